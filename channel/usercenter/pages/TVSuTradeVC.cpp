#include "channel/usercenter/pages/TVSuTradeVC.h"

#include "channel/ShareVale.h"
#include "channel/TVAPIStrings.h"
#include "channel/TVCompanionApp.h"
#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "channel/usercenter/pages/TVTradeCells.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(TVSuTradeVC, ui::ViewController, "TVSuTradeVC")

// The list fills the page.
UI_STORYBOARD_SCENE("TVSuspendVC", "TVSuTradeVC", TVSuTradeVC, [](TVSuTradeVC& owner) -> ns::Ref<ui::View> {
    auto root = TVSuPageScenes::pageRoot();
    auto table = ui::TableView::make(root->bounds());
    table->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    root->addSubview(table);
    owner.tableView = table;
    return root;
})

void TVSuTradeVC::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    initTableView();
}

void TVSuTradeVC::initTableView() {
    auto table = tableView.lock();
    if (!table) return;
    table->setContentInset({0, 0, 8, 0});
    setUpList({"Transaction/lists", nullptr, [] { return std::make_shared<TVSuTradeModel>(); }, "我是有底线的~"},
              table, {TVSuTradeHeadCell::kIdentifier, TVTradeCell::kIdentifier}, ref<TVSuTradeVC>());
    list_->beginRefreshing();
}

int64_t TVSuTradeVC::numberOfRowsInSection(ui::TableView& view, int64_t section) {
    return section == 0 ? 1 : TVSuListSource::numberOfRowsInSection(view, section);
}

ns::Ref<ui::TableViewCell> TVSuTradeVC::cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) {
    if (path.section == 0) return view.dequeueReusableCellWithIdentifier(TVSuTradeHeadCell::kIdentifier, path);
    auto cell = view.dequeueReusableCellWithIdentifier(TVTradeCell::kIdentifier, path);
    if (auto row = ns::cast<TVTradeCell>(cell)) row->setModel(ns::cast<TVSuTradeModel>(rowAt(path.row)));
    return cell;
}

std::optional<double> TVSuTradeVC::heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath& path) {
    return path.section == 0 ? kHeadHeight : kRowHeight;
}

void TVSuTradeVC::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& path) {
    if (path.section != 1) return;
    auto game = ShareVale::sharedInstance()->gameID();
    TVCompanionApp::open(TVAPIStrings::at(TVAPIStrings::TradeKeyPrefix) + (game ? game->utf8() : std::string("(null)")));
}
