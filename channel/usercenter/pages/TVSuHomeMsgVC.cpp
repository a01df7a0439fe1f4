#include "channel/usercenter/pages/TVSuHomeMsgVC.h"

#include "channel/usercenter/pages/TVSuHomeMsgCells.h"
#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "channel/usercenter/pages/TVSuWebVC.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(TVSuHomeMsgVC, TVSuChildPage, "TVSuHomeMsgVC")

// The title bar with back, the list below.
UI_STORYBOARD_SCENE("TVSuspendVC", "TVSuHomeMsgVC", TVSuHomeMsgVC, [](TVSuHomeMsgVC& owner) -> ns::Ref<ui::View> {
    auto root = TVSuPageScenes::pageRoot();
    ns::Weak<TVSuHomeMsgVC> weak = owner.ref<TVSuHomeMsgVC>();
    TVSuPageScenes::titleBar(*root, "消息", [weak] {
        if (auto page = weak.lock()) page->goBack();
    });
    cg::Rect bounds = root->bounds();
    auto table = ui::TableView::make({0, TVSuPageScenes::kBarHeight, bounds.size.width,
                                      bounds.size.height - TVSuPageScenes::kBarHeight});
    table->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight);
    root->addSubview(table);
    owner.tableView = table;
    return root;
})

void TVSuHomeMsgVC::viewDidLoad() {
    TVSuChildPage::viewDidLoad();
    initTableView();
}

void TVSuHomeMsgVC::initTableView() {
    auto table = tableView.lock();
    if (!table) return;
    table->setShowsVerticalScrollIndicator(false);
    table->setRowHeight(kRowHeight);
    setUpList({"News/lists", [](ns::MutableDictionary& body) { body.setObjectForKey(ns::str("10"), "num"); },
               [] { return std::make_shared<TVSuHomeMsgModel>(); }, ""},
              table, {TVSuHomeMsgCell::kIdentifier}, ref<TVSuHomeMsgVC>());
    loadNewData();
}

void TVSuHomeMsgVC::goBack() {
    remove();
}

void TVSuHomeMsgVC::loadWebVcWithUrl(const ns::Ref<ns::String>& url, const char* name) {
    TVSuWebVC::openFrom(*this, url, name);
}

ns::Ref<ui::TableViewCell> TVSuHomeMsgVC::cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) {
    auto cell = view.dequeueReusableCellWithIdentifier(TVSuHomeMsgCell::kIdentifier, path);
    if (auto row = ns::cast<TVSuHomeMsgCell>(cell)) row->setModel(ns::cast<TVSuHomeMsgModel>(rowAt(path.row)));
    return cell;
}

void TVSuHomeMsgVC::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& path) {
    if (auto model = ns::cast<TVSuHomeMsgModel>(rowAt(path.row))) loadWebVcWithUrl(model->url(), "消息详情");
}
