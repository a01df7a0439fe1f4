#include "channel/screens/VRQSubNameVC.h"

#include "channel/NSMutableDictionary+HTTP.h"
#include "channel/NSObject+TVLoginAPI.h"
#include "channel/ShareVale.h"
#include "channel/TVAPIStrings.h"
#include "channel/TVCompanionApp.h"
#include "channel/TVReplyFields.h"
#include "channel/UIView+Extension.h"
#include "channel/VRQMessage.h"
#include "channel/VRQNetTool.h"
#include "channel/screens/TVScreenResources.h"
#include "channel/screens/VRQSubNameCell.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/uikit/AlertController.h"
#include "platform/uikit/Nib.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Window.h"
#include "ui/hud/sd_KXBackgroundView.h"

RT_DEFINE_CLASS(VRQSubNameVC, TVBaseVC, "VRQSubNameVC")

namespace {

const cg::Color kPanelGrey = cg::Color::fromBytes(245, 245, 245);

}  // namespace

void VRQSubNameVC::viewDidLoad() {
    TVBaseVC::viewDidLoad();
    if (ViewExtension::isNotchedPhoneOnItsSide())
        if (auto left = midLeft.lock()) left->setConstant(20);

    for (auto& panel : {view(), viewTop.lock(), viewMid.lock()})
        if (panel) panel->setBackgroundColor(kPanelGrey);
    if (auto add = addBtn.lock()) ViewExtension::setLayerCornerRadius(*add, 3);
    if (auto name = nameL.lock()) name->setText(ShareVale::sharedInstance()->userName());
    if (auto table = tableView.lock()) {
        table->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
        ViewExtension::setLayerCornerRadius(*table, 5);
        table->setTableFooterView(ui::View::make());
        table->setRowHeight(50);
        table->registerNib(ui::Nib::nibWithName(VRQSubNameCell::kIdentifier, TVScreenResources::sdkBundle()),
                           VRQSubNameCell::kIdentifier);
        table->setDataSource(std::shared_ptr<ui::TableViewDataSource>(ref<VRQSubNameVC>()));
        table->setDelegate(std::shared_ptr<ui::TableViewDelegate>(ref<VRQSubNameVC>()));
    }

    ns::Weak<VRQSubNameVC> weak = ref<VRQSubNameVC>();
    TVLoginAPI::getSubNameListWithUserName(
        ShareVale::sharedInstance()->userName(),
        [weak](const std::vector<ns::Ref<VRQSubNameModel>>& list) {
            if (auto screen = weak.lock()) screen->showList(list);
        },
        nullptr);
}

void VRQSubNameVC::showList(std::vector<ns::Ref<VRQSubNameModel>> list) {
    dataSource_ = std::move(list);
    if (dataSource_.size() == kMaxSubAccounts)
        if (auto add = addBtn.lock()) add->setHidden(true);
    if (auto table = tableView.lock()) table->reloadData();
}

int64_t VRQSubNameVC::numberOfRowsInSection(ui::TableView&, int64_t) {
    return static_cast<int64_t>(dataSource_.size());
}

ns::Ref<ui::TableViewCell> VRQSubNameVC::cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) {
    auto cell = view.dequeueReusableCellWithIdentifier(VRQSubNameCell::kIdentifier, path);
    if (auto row = ns::cast<VRQSubNameCell>(cell)) row->setModel(dataSource_.at(static_cast<size_t>(path.row)));
    return cell;
}

void VRQSubNameVC::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& path) {
    auto delegate = this->delegate();
    if (!delegate || static_cast<size_t>(path.row) >= dataSource_.size()) return;
    auto model = dataSource_[static_cast<size_t>(path.row)];
    std::weak_ptr<VRQSubNameVCDelegate> weakDelegate = delegate;
    dismissViewController(true, [weakDelegate, model] {
        if (auto d = weakDelegate.lock()) d->didSelectedVRQSubNameVCTableViewWithResponse(model);
    });
}

void VRQSubNameVC::addSubName() {
    auto alert = ui::AlertController::alertControllerWithTitle(ns::str("添加新小号"), nullptr,
                                                               ui::AlertControllerStyle::Alert);
    alert->addTextFieldWithConfigurationHandler(
        [](ui::TextField& field) { field.setPlaceholder("名称不能超过8个字符"); });
    alert->addAction(ui::AlertAction::actionWithTitle("取消", ui::AlertActionStyle::Destructive));
    // The alert owns its actions: their handlers hold it and the screen weakly.
    ns::Weak<ui::AlertController> weakAlert = alert;
    ns::Weak<VRQSubNameVC> weak = ref<VRQSubNameVC>();
    alert->addAction(ui::AlertAction::actionWithTitle("确认", ui::AlertActionStyle::Default, [weakAlert, weak](auto&) {
        auto alert = weakAlert.lock();
        if (!alert) return;
        alert->view()->endEditing(true);
        auto text = alert->textFields().empty() ? nullptr : alert->textFields().front()->text();
        uint64_t length = text ? text->length() : 0;
        if (length < 1 || length > kMaxNicknameLength) {
            VRQMessage::showMessage("请输入有效字符");
            return;
        }
        if (auto screen = weak.lock()) screen->addSubNameWithNickName(text);
    }));
    presentViewController(alert, true);
}

void VRQSubNameVC::addSubNameWithNickName(const ns::Ref<ns::String>& nickname) {
    hud_ = sd_KXProgressHUD::showHUDAddedTo(view(), true);
    hud_->backgroundView()->setStyle(sd_KXProgressHUDBackgroundStyle::SolidColor);
    hud_->backgroundView()->setColor(cg::Color{0, 0, 0, 0.2});

    auto vale = ShareVale::sharedInstance();
    auto parameters = ns::MutableDictionary::make();
    HTTPFields::setObjectForField(*parameters, vale->userName(), "z");
    HTTPFields::setObjectForField(*parameters, vale->gameID(), "c");
    HTTPFields::setObjectForField(*parameters, vale->chanelid(), "e");
    HTTPFields::setObjectForField(*parameters, vale->appID(), "f");
    HTTPFields::setObjectForField(*parameters, nickname, "x");
    ns::Weak<VRQSubNameVC> weak = ref<VRQSubNameVC>();
    VRQNetTool::sharedInstance()->POST(
        TVAPIStrings::endpoint(TVAPIStrings::at(TVAPIStrings::AddSubAccount)), parameters,
        [weak](const ns::Id& reply) {
            if (auto screen = weak.lock()) screen->addReplied(reply);
        },
        [weak](const ns::Ref<ns::Error>&) {
            if (auto screen = weak.lock()) screen->hideHUD();
            VRQMessage::showMessage("无法链接服务器");
        });
}

void VRQSubNameVC::addReplied(const ns::Id& reply) {
    hideHUD();
    if (TVReply::textOf(reply, "code") != "1") {
        VRQMessage::showMessage("小号" + TVReply::textOf(reply, "msg"));
        return;
    }
    showList(VRQSubNameModel::listOf(TVReply::field(reply, "data")));
}

void VRQSubNameVC::hideHUD() {
    if (hud_) hud_->hideAnimated(true);
    hud_ = nullptr;
}

void VRQSubNameVC::loginOut() {
    // The dismissal lets the screen go: the completion reaches the delegate
    // by itself.
    dismissViewController(true, [weakDelegate = delegate_] {
        if (auto delegate = weakDelegate.lock()) delegate->VRQSubNameVCLoginOut();
    });
}

void VRQSubNameVC::goToBoxActivity() {
    openBoxPage(TVAPIStrings::at(TVAPIStrings::ActivityKey));
}

void VRQSubNameVC::goToFanli() {
    openBoxPage(TVAPIStrings::at(TVAPIStrings::FanliKey));
}

void VRQSubNameVC::openBoxPage(std::string_view key) {
    TVCompanionApp::open(key);
}
