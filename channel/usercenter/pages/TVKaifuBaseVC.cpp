#include "channel/usercenter/pages/TVKaifuBaseVC.h"

#include "channel/usercenter/TVSuTableSizing.h"
#include "channel/usercenter/pages/TVKaifuCell.h"

RT_DEFINE_CLASS(TVKaifuBaseVC, ui::ViewController, "TVKaifuBaseVC")

namespace {
const cg::Color kGrey{240.0 / 255, 240.0 / 255, 240.0 / 255, 1};
}

void TVKaifuBaseVC::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->addSubview(tableView());
}

const ns::Ref<ui::TableView>& TVKaifuBaseVC::tableView() {
    if (tableView_) return tableView_;
    tableView_ = ui::TableView::make(
        {0, 0, TVSuTableSizing::kPanelWidth, TVSuTableSizing::tableHeight(kTopAllowance)});
    ns::Weak<TVKaifuBaseVC> weak = ref<TVKaifuBaseVC>();
    setUpList({"Server/lists",
               [weak](ns::MutableDictionary& body) {
                   auto page = weak.lock();
                   if (page && page->is_display_) body.setObjectForKey(page->is_display_, "is_display");
               },
               [] { return std::make_shared<TVSuKaifuModel>(); }, ""},
              tableView_, {TVKaifuCell::kIdentifier}, ref<TVKaifuBaseVC>());
    list_->beginRefreshing();
    return tableView_;
}

ns::Ref<ui::TableViewCell> TVKaifuBaseVC::cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) {
    auto cell = view.dequeueReusableCellWithIdentifier(TVKaifuCell::kIdentifier, path);
    if (auto row = ns::cast<TVKaifuCell>(cell)) row->setModel(ns::cast<TVSuKaifuModel>(rowAt(path.row)));
    cell->setBackgroundColor(path.row % 2 ? kGrey : cg::Color::white());
    return cell;
}

std::optional<double> TVKaifuBaseVC::heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath& path) {
    auto model = ns::cast<TVSuKaifuModel>(rowAt(path.row));
    return model ? std::optional<double>(model->height()) : std::nullopt;
}
