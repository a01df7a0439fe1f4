#include "channel/usercenter/pages/TVWelfareBaseVC.h"

#include "channel/NetWorkManager.h"
#include "channel/ShareVale.h"
#include "channel/TVAPIStrings.h"
#include "channel/TVReplyFields.h"
#include "channel/VRQMessage.h"
#include "channel/usercenter/TVSuReply.h"
#include "channel/usercenter/TVSuTableSizing.h"
#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/uikit/AlertController.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Pasteboard.h"

RT_DEFINE_CLASS(TVWelfareBaseVC, ui::ViewController, "TVWelfareBaseVC")

void TVWelfareBaseVC::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->addSubview(tableView());
}

const ns::Ref<ui::TableView>& TVWelfareBaseVC::tableView() {
    if (tableView_) return tableView_;
    tableView_ = ui::TableView::make({0, 0, TVSuTableSizing::kPanelWidth,
                                      TVSuTableSizing::tableHeight(kTopAllowance) + kAddedBack});
    tableView_->setShowsVerticalScrollIndicator(false);
    tableView_->setShowsHorizontalScrollIndicator(false);
    setUpList({"Card/lists",
               [](ns::MutableDictionary& body) {
                   if (auto user = ShareVale::sharedInstance()->userName()) body.setObjectForKey(user, "username");
               },
               [] { return std::make_shared<TVSuGiftModel>(); }, ""},
              tableView_, {TVCopyGiftCell::kIdentifier, TVGetGiftCell::kIdentifier}, ref<TVWelfareBaseVC>());
    list_->beginRefreshing();
    return tableView_;
}

ns::Ref<ui::TableViewCell> TVWelfareBaseVC::cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) {
    auto model = ns::cast<TVSuGiftModel>(rowAt(path.row));
    ns::Weak<TVWelfareBaseVC> weak = ref<TVWelfareBaseVC>();
    if (model && model->hasCode()) {
        auto cell = ns::cast<TVCopyGiftCell>(view.dequeueReusableCellWithIdentifier(TVCopyGiftCell::kIdentifier, path));
        cell->setModel(model);
        ns::Weak<TVSuGiftModel> weakModel = model;
        cell->setCopyBlock([weak, weakModel](const ns::Ref<ns::String>& code) {
            if (auto page = weak.lock()) page->copyCode(code, weakModel.lock());
        });
        return cell;
    }
    auto cell = ns::cast<TVGetGiftCell>(view.dequeueReusableCellWithIdentifier(TVGetGiftCell::kIdentifier, path));
    cell->setModel(model);
    cell->setGetCodeBlock([weak, model](ui::Button& button) {
        if (auto page = weak.lock()) page->getGiftCodeWithBtn(&button, model);
    });
    return cell;
}

std::optional<double> TVWelfareBaseVC::heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath& path) {
    auto model = ns::cast<TVSuGiftModel>(rowAt(path.row));
    if (!model) return std::nullopt;
    return model->hasCode() ? model->copyH() : model->getCodeH();
}

void TVWelfareBaseVC::getGiftCodeWithBtn(ui::Button*, const ns::Ref<TVSuGiftModel>& model) {
    if (!model) return;
    auto body = ns::MutableDictionary::make();
    if (auto user = ShareVale::sharedInstance()->userName()) body->setObjectForKey(user, "username");
    if (auto id = model->ID()) body->setObjectForKey(id, "cardid");
    ns::Weak<TVWelfareBaseVC> weak = ref<TVWelfareBaseVC>();
    NetWorkManager::sharedInstance()->POST(
        TVAPIStrings::endpoint(TVAPIStrings::at(TVAPIStrings::CardReceive)), body,
        [weak](const ns::Id& reply) {
            auto page = weak.lock();
            if (!page) return;
            VRQMessage::showMessage(TVReply::messageOf(reply, "b"), page->view());
            if (TVSuReply::isAccepted(reply)) page->loadNewData();
        },
        [](const ns::Ref<ns::Error>&) {});
}

void TVWelfareBaseVC::copyCode(const ns::Ref<ns::String>& code, const ns::Ref<TVSuGiftModel>& model) {
    ui::Pasteboard::generalPasteboard()->setString(code ? std::optional<std::string>(code->utf8()) : std::nullopt);
    ns::Weak<TVWelfareBaseVC> weak = ref<TVWelfareBaseVC>();
    std::string usage = "使用说明：" + (model ? model->format("instructions") : std::string("(null)"));
    dispatch::after(kCopyAlertDelay, dispatch::mainQueue(), [weak, usage] {
        auto page = weak.lock();
        if (!page) return;
        auto alert = ui::AlertController::alertControllerWithTitle(ns::str("礼包码已复制"), ns::str(usage),
                                                                   ui::AlertControllerStyle::Alert);
        auto action = ui::AlertAction::actionWithTitle("知道了", ui::AlertActionStyle::Default);
        auto version = ns::str(ui::Device::currentDevice()->systemVersion());
        if (version->floatValue() > 8.3f) action->setTitleTextColor(TVSuPageScenes::kOrange);
        alert->addAction(action);
        page->presentViewController(alert, true);
    });
}
