#include "channel/usercenter/pages/TVSuPaging.h"

namespace TVSuPaging {

size_t pageIndex(const ui::ScrollView& scrollView, size_t children) {
    double width = scrollView.bounds().size.width;
    double offset = scrollView.contentOffset().x;
    if (children == 0 || !(width > 0) || !(offset > 0)) return 0;
    double page = offset / width;
    return page >= static_cast<double>(children - 1) ? children - 1 : static_cast<size_t>(page);
}

size_t loadShownChild(ui::ScrollView& scrollView, const std::vector<ns::Ref<ui::ViewController>>& children) {
    size_t index = pageIndex(scrollView, children.size());
    if (children.empty()) return index;
    const auto& child = children[index];
    if (!child->isViewLoaded()) {
        cg::Size size = scrollView.bounds().size;
        child->view()->setFrame({scrollView.contentOffset().x, 0, size.width, size.height});
        scrollView.addSubview(child->view());
    }
    return index;
}

}  // namespace TVSuPaging
