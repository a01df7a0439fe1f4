#include "channel/usercenter/TVSuChildPage.h"

#include "channel/NSString+URLEncode.h"
#include "platform/foundation/Bundle.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Storyboard.h"
#include "platform/uikit/View.h"

RT_DEFINE_CLASS(TVSuChildPage, ui::ViewController, "TVSuChildPage")

namespace {

void slide(ui::View& view, double to, ui::View::Completion completion = {}) {
    ns::Weak<ui::View> weak = view.ref<ui::View>();
    ui::View::animateWithSpring(
        TVSuChildPage::kSlideSeconds, 0, 1.0, 0, 0,
        [weak, to] {
            if (auto v = weak.lock()) v->setTransform(cg::AffineTransform::makeTranslation(to, 0));
        },
        std::move(completion));
}

}  // namespace

ns::Ref<TVSuChildPage> TVSuChildPage::open(ui::ViewController& opener, std::string_view identifier,
                                           const std::function<void(TVSuChildPage& page)>& configure) {
    auto parent = opener.parentViewController();
    auto area = parent ? parent->view()->viewWithTag(kSlideAreaTag) : nullptr;
    if (!area || !ui::SceneRegistry::scene("TVSuspendVC", identifier)) return nullptr;
    auto storyboard = ui::Storyboard::storyboardWithName("TVSuspendVC", ns::Bundle::bundleWithPath(URLEncode::getBundlePath()));
    auto page = storyboard ? ns::cast<TVSuChildPage>(storyboard->instantiateViewControllerWithIdentifier(identifier))
                           : nullptr;
    if (!page) return nullptr;
    if (configure) configure(*page);
    page->setRemoveBlock([](TVSuChildPage& closing) {
        ns::Weak<TVSuChildPage> weak = closing.ref<TVSuChildPage>();
        slide(*closing.view(), kSlideDistance, [weak](bool) {
            auto page = weak.lock();
            if (!page) return;
            page->view()->removeFromSuperview();
            page->removeFromParentViewController();
        });
    });
    page->view()->setFrame(area->bounds());
    page->view()->setTransform(cg::AffineTransform::makeTranslation(kSlideDistance, 0));
    area->addSubview(page->view());
    parent->addChildViewController(page);
    return page;
}

void TVSuChildPage::remove() {
    if (removeBlock_) removeBlock_(*this);
}

void TVSuChildPage::viewDidAppear(bool animated) {
    ui::ViewController::viewDidAppear(animated);
    slide(*view(), 0);
}
