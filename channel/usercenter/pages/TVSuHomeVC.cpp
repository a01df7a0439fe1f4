#include "channel/usercenter/pages/TVSuHomeVC.h"

#include "channel/NSString+URLEncode.h"
#include "channel/ShareVale.h"
#include "channel/TVAPIStrings.h"
#include "channel/TVCompanionApp.h"
#include "channel/TVFormManager.h"
#include "channel/TVReplyFields.h"
#include "channel/VRQWindowManager.h"
#include "channel/screens/TVScreenResources.h"
#include "channel/usercenter/TVSuReply.h"
#include "channel/usercenter/UIButton+TVImageTitleSpacing.h"
#include "channel/usercenter/UIView+LabelHeight.h"
#include "channel/usercenter/pages/TVSuHomeMsgCells.h"
#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "channel/usercenter/pages/TVSuWebLoad.h"
#include "channel/usercenter/pages/TVSuWebVC.h"
#include "image/web/UIButton+TVWebImage.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/LayoutAnchor.h"
#include "platform/uikit/Nib.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Window.h"

RT_DEFINE_CLASS(TVSuHomeVC, ui::ViewController, "TVSuHomeVC")

namespace {

ns::Ref<ui::Label> label(ui::View& parent, const cg::Rect& frame, const char* text, double size) {
    auto l = TVSuPageScenes::label(parent, frame, size, cg::Color::fromWhite(0.2));
    if (text) l->setText(text);
    return l;
}

// A button calling a method of the page while it lives.
ns::Ref<ui::Button> action(TVSuHomeVC& owner, ui::View& parent, const cg::Rect& frame, const char* title,
                           const char* selector, void (TVSuHomeVC::*method)()) {
    ns::Weak<TVSuHomeVC> weak = owner.ref<TVSuHomeVC>();
    auto button = TVSuPageScenes::actionButton(frame, title, selector, [weak, method] {
        if (auto page = weak.lock()) (page.get()->*method)();
    });
    parent.addSubview(button);
    return button;
}

// The profile strip: avatar, nickname, coins, vouchers, real name and the
// companion-app entries.
ns::Ref<ui::View> profile(TVSuHomeVC& owner) {
    auto top = ui::View::make({0, 0, 300, 120});
    auto avatar = action(owner, *top, {15, 15, 60, 60}, nullptr, "goToUserVC", &TVSuHomeVC::goToUserVC);
    avatar->setBackgroundImage(TVScreenResources::image("TV_subname_user"), ui::ControlStateNormal);
    owner.userBtn = avatar;
    owner.nameL = label(*top, {85, 15, 125, 20}, "玩家:", 15);
    owner.ptbL = label(*top, {85, 38, 125, 18}, "平台币:0个", 12);
    owner.djqL = label(*top, {85, 58, 125, 18}, "代金券:0元", 12);
    auto rz = action(owner, *top, {215, 15, 70, 26}, "实名认证", "doRzBtnClick", &TVSuHomeVC::doRzBtnClick);
    rz->setTitleColor(cg::Color::fromWhite(2.0 / 3), ui::ControlStateDisabled);
    rz->setTitle("已实名", ui::ControlStateDisabled);
    owner.rzBtn = rz;
    action(owner, *top, {215, 48, 70, 26}, "切换账号", "changeUser", &TVSuHomeVC::changeUser);
    action(owner, *top, {15, 86, 80, 26}, "充值商城", "goToGoldStore", &TVSuHomeVC::goToGoldStore);
    action(owner, *top, {110, 86, 80, 26}, "赚金币", "getGoldCoin", &TVSuHomeVC::getGoldCoin);
    action(owner, *top, {205, 86, 80, 26}, "领返利", "goToFanli", &TVSuHomeVC::goToFanli);
    return top;
}

// The middle area: the activity line and the rebate text, folded at 47 pt.
ns::Ref<ui::View> middle(TVSuHomeVC& owner) {
    auto mid = ui::View::make({0, 120, 300, TVSuHomeVC::kMiddleHeight});
    mid->setClipsToBounds(true);
    auto activity = action(owner, *mid, {0, 0, 300, 40}, nullptr, "goToActivityVC", &TVSuHomeVC::goToActivityVC);
    (void)activity;
    owner.activityL = label(*mid, {15, 10, 270, 20}, "专属活动", 14);
    label(*mid, {15, 48, 200, 20}, "返利说明", 14);
    auto rebate = label(*mid, {15, 75, TVSuHomeVC::kRebateWidth, TVSuHomeVC::kFoldedHeight}, nullptr, 13);
    rebate->setNumberOfLines(0);
    owner.fanliL = rebate;
    ns::Weak<TVSuHomeVC> weak = owner.ref<TVSuHomeVC>();
    auto check = TVSuPageScenes::actionButton({225, 46, 60, 24}, "展开", "checkFanli:", nullptr);
    check->setTitle("收起", ui::ControlStateSelected);
    check->addTarget(nullptr, "checkFanli:", [weak](ui::Control& sender, ui::Event*) {
        auto page = weak.lock();
        if (auto b = dynamic_cast<ui::Button*>(&sender); page && b) page->checkFanli(*b);
    }, ui::ControlEventTouchUpInside);
    mid->addSubview(check);
    owner.checkBtn = check;
    rebate->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto height = rebate->heightAnchor()->constraintEqualToConstant(TVSuHomeVC::kFoldedHeight);
    ui::LayoutConstraint::activateConstraints({
        rebate->topAnchor()->constraintEqualToAnchor(mid->topAnchor(), 75),
        rebate->leadingAnchor()->constraintEqualToAnchor(mid->leadingAnchor(), 15),
        rebate->widthAnchor()->constraintEqualToConstant(TVSuHomeVC::kRebateWidth),
        height,
    });
    owner.fanH = height;
    return mid;
}

// The newest messages: a heading with "more", the table goes in at y 37.
ns::Ref<ui::View> messages(TVSuHomeVC& owner) {
    auto bottom = ui::View::make({0, 280, 300, 317});
    label(*bottom, {15, 8, 150, 22}, "最新消息", 15);
    owner.moreBtn = action(owner, *bottom, {225, 6, 60, 26}, "更多", "doMore", &TVSuHomeVC::doMore);
    owner.bottomView = bottom;
    return bottom;
}

}  // namespace

UI_STORYBOARD_SCENE("TVSuspendVC", "TVSuHomeVC", TVSuHomeVC, [](TVSuHomeVC& owner) -> ns::Ref<ui::View> {
    auto root = TVSuPageScenes::pageRoot();
    auto scroll = ui::ScrollView::make(root->bounds());
    scroll->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight);
    root->addSubview(scroll);
    owner.scrollView = scroll;
    auto content = ui::View::make({0, 0, 300, TVSuHomeVC::kContentHeight});
    scroll->addSubview(content);
    auto top = profile(owner), mid = middle(owner), bottom = messages(owner);
    for (auto& part : {top, mid, bottom}) {
        content->addSubview(part);
        part->setTranslatesAutoresizingMaskIntoConstraints(false);
    }
    auto midHeight = mid->heightAnchor()->constraintEqualToConstant(TVSuHomeVC::kMiddleHeight);
    std::vector<ns::Ref<ui::LayoutConstraint>> constraints = {
        top->topAnchor()->constraintEqualToAnchor(content->topAnchor()),
        top->heightAnchor()->constraintEqualToConstant(120),
        mid->topAnchor()->constraintEqualToAnchor(top->bottomAnchor()),
        midHeight,
        bottom->topAnchor()->constraintEqualToAnchor(mid->bottomAnchor()),
        bottom->heightAnchor()->constraintEqualToConstant(317),
    };
    for (auto& part : {top, mid, bottom}) {
        constraints.push_back(part->leadingAnchor()->constraintEqualToAnchor(content->leadingAnchor()));
        constraints.push_back(part->widthAnchor()->constraintEqualToConstant(300));
    }
    ui::LayoutConstraint::activateConstraints(constraints);
    owner.midViewH = midHeight;
    return root;
})

TVSuHomeVC::~TVSuHomeVC() {
    ns::NotificationCenter::defaultCenter()->removeObserver(this);
}

void TVSuHomeVC::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    ns::Weak<TVSuHomeVC> weak = ref<TVSuHomeVC>();
    ns::NotificationCenter::defaultCenter()->addObserver(this, TVSuWebLoad::kRealNameNotification, nullptr,
                                                         [weak](const auto&) {
                                                             if (auto page = weak.lock()) page->RzUpdated();
                                                         });
    loadData();
    for (auto& button : {checkBtn.lock(), moreBtn.lock()})
        if (button) TVImageTitleSpacing::layoutButtonWithEdgeInsetsStyle(*button, TVImageTitleSpacing::ImageRight, 5);
    if (auto bottom = bottomView.lock()) bottom->addSubview(tableView());
}

const ns::Ref<ui::TableView>& TVSuHomeVC::tableView() {
    if (tableView_) return tableView_;
    tableView_ = ui::TableView::make({0, 37, 300, 120});
    tableView_->setRowHeight(40);
    tableView_->setScrollEnabled(false);
    tableView_->setDataSource(std::shared_ptr<ui::TableViewDataSource>(ref<TVSuHomeVC>()));
    tableView_->setDelegate(std::shared_ptr<ui::TableViewDelegate>(ref<TVSuHomeVC>()));
    tableView_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
    tableView_->registerNib(ui::Nib::nibWithName(TVSuHomeCell::kIdentifier, TVScreenResources::sdkBundle()),
                            TVSuHomeCell::kIdentifier);
    return tableView_;
}

void TVSuHomeVC::loadData() {
    auto vale = ShareVale::sharedInstance();
    auto body = ns::MutableDictionary::make();
    if (auto user = vale->userName()) body->setObjectForKey(user, "username");
    if (auto gid = vale->gameID()) body->setObjectForKey(gid, "gid");
    ns::Weak<TVSuHomeVC> weak = ref<TVSuHomeVC>();
    manager()->POST(
        TVAPIStrings::endpoint(TVAPIStrings::at(TVAPIStrings::HomeIndex)), body, nullptr,
        [weak](const ns::Ref<ns::URLSessionDataTask>&, const ns::Id& reply) {
            auto page = weak.lock();
            if (!page || !TVSuReply::isAccepted(reply)) return;
            page->data_ = TVReply::field(reply, "c");
            page->initUIWithData(page->data_);
            page->loadMsgData();
        },
        [](const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::Error>& error) {
            ns::log("error = %@", error ? error->description() : std::string("(null)"));
        });
}

void TVSuHomeVC::initUIWithData(const ns::Id& data) {
    auto user = TVSuReply::dictionaryAt(data, {"uinfo"});
    auto text = [&](const ns::Id& from, const char* key) {
        auto value = TVSuReply::textAt(from, key);
        return value ? value->utf8() : std::string("(null)");
    };
    if (auto l = nameL.lock()) l->setText("玩家:" + text(user, "nicename"));
    if (auto l = ptbL.lock()) l->setText("平台币:" + text(user, "money") + "个");
    if (auto l = djqL.lock()) l->setText("代金券:" + text(user, "djq") + "元");
    if (auto l = activityL.lock()) l->setText(TVSuReply::textAt(TVSuReply::dictionaryAt(data, {"post"}), "t_desc"));
    auto rebate = TVSuReply::textAt(TVSuReply::dictionaryAt(data, {"ginfo"}), "fanli");
    if (auto l = fanliL.lock()) l->setText(rebate);
    // Without an avatar the button keeps its picture.
    auto avatar = TVSuReply::textAt(user, "avatar");
    if (auto button = userBtn.lock(); button && avatar && avatar->length() > 0)
        TV_setBackgroundImageWithURL(*button, TVWebImageURL(avatar->utf8()), ui::ControlStateNormal,
                                     TVWebImageOptionNetworkIndicator);
    auto verified = ShareVale::sharedInstance()->isRz();
    if (auto rz = rzBtn.lock()) rz->setEnabled(!(verified && verified->boolValue()));

    realHeight_ = static_cast<float>(
        LabelHeight::getLabelHeightByWidth(kRebateWidth, rebate, ui::Font::systemFontOfSize(13)));
    auto check = checkBtn.lock();
    if (realHeight_ < kFoldedHeight) {
        if (check) check->setHidden(true);
        double short_ = kFoldedHeight - realHeight_;
        setRebate(realHeight_, kMiddleHeight - short_, kContentHeight - short_);
    } else {
        if (check) check->setHidden(false);
        setRebate(kFoldedHeight, kMiddleHeight, kContentHeight);
    }
}

void TVSuHomeVC::setRebate(double height, double middle, double content) {
    if (auto h = fanH.lock()) h->setConstant(height);
    if (auto m = midViewH.lock()) m->setConstant(middle);
    if (auto scroll = scrollView.lock()) scroll->setContentSize({0, content});
}

void TVSuHomeVC::checkFanli(ui::Button& button) {
    if (button.isSelected()) {
        setRebate(kFoldedHeight, kMiddleHeight, kContentHeight);
    } else {
        double more = realHeight_ - kFoldedHeight;
        setRebate(realHeight_, more + kMiddleHeight, more + kContentHeight);
    }
    button.setSelected(!button.isSelected());
}

void TVSuHomeVC::loadMsgData() {
    auto body = ns::MutableDictionary::make();
    if (auto gid = ShareVale::sharedInstance()->gameID()) body->setObjectForKey(gid, "gid");
    body->setObjectForKey(ns::str("3"), "num");
    ns::Weak<TVSuHomeVC> weak = ref<TVSuHomeVC>();
    manager()->POST(
        TVAPIStrings::endpoint(TVAPIStrings::at(TVAPIStrings::NewsLists)), body, nullptr,
        [weak](const ns::Ref<ns::URLSessionDataTask>&, const ns::Id& reply) {
            auto page = weak.lock();
            if (!page) return;
            page->msgData_.clear();
            for (auto& row : TVSuRow::rowsOf<TVSuHomeMsgModel>(TVReply::field(reply, "lists")))
                page->msgData_.push_back(ns::cast<TVSuHomeMsgModel>(row));
            page->tableView()->reloadData();
        },
        [](const ns::Ref<ns::URLSessionDataTask>&, const ns::Ref<ns::Error>&) {});
}

int64_t TVSuHomeVC::numberOfRowsInSection(ui::TableView&, int64_t) {
    return static_cast<int64_t>(msgData_.size());
}

ns::Ref<ui::TableViewCell> TVSuHomeVC::cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) {
    auto cell = view.dequeueReusableCellWithIdentifier(TVSuHomeCell::kIdentifier, path);
    if (auto row = ns::cast<TVSuHomeCell>(cell); row && static_cast<size_t>(path.row) < msgData_.size())
        row->setModel(msgData_[static_cast<size_t>(path.row)]);
    return cell;
}

void TVSuHomeVC::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& path) {
    if (static_cast<size_t>(path.row) >= msgData_.size()) return;
    TVSuWebVC::openFrom(*this, msgData_[static_cast<size_t>(path.row)]->url(), "消息详情");
}

void TVSuHomeVC::goToUserVC() {
    TVSuWebVC::openFrom(*this, ns::str(TVAPIStrings::at(TVAPIStrings::UserPage) + URLEncode::getWebViewURLArgument()),
                        nullptr);
}

void TVSuHomeVC::goToActivityVC() {
    TVSuWebVC::openFrom(*this, TVSuReply::textAt(TVSuReply::dictionaryAt(data_, {"post"}), "url"), "专属活动");
}

void TVSuHomeVC::doMore() {
    loadMsgVC();
}

void TVSuHomeVC::loadMsgVC() {
    TVSuChildPage::open(*this, "TVSuHomeMsgVC");
}

void TVSuHomeVC::goToGoldStore() {
    TVCompanionApp::open(TVAPIStrings::at(TVAPIStrings::GoldStoreKey));
}

void TVSuHomeVC::goToFanli() {
    TVCompanionApp::open(TVAPIStrings::at(TVAPIStrings::FanliKey));
}

void TVSuHomeVC::getGoldCoin() {
    TVCompanionApp::open(TVAPIStrings::at(TVAPIStrings::ScoreMissionKey));
}

void TVSuHomeVC::doRzBtnClick() {
    cg::Rect screen = ui::Screen::mainScreen()->bounds();
    if (!coverView_) {
        coverView_ = ui::View::make(screen);
        coverView_->setBackgroundColor(cg::Color{0, 0, 0, 0.2});
    }
    // A card per showing: one that has answered answers no more.
    if (rzView_) rzView_->removeFromSuperview();
    rzView_ = VRQRealNameView::realNameView();
    rzView_->setReponse(nullptr);
    rzView_->setDelegate(std::shared_ptr<VRQRealNameDelegate>(ref<TVSuHomeVC>()));
    rzView_->setCenter({screen.size.width / 2, screen.size.height / 2});
    coverView_->addSubview(rzView_);
    if (auto top = VRQWindowManager::topWindow()) top->addSubview(coverView_);
}

void TVSuHomeVC::VRQRealNameViewResponse(VRQRealNameView& view, const ns::Ref<LoginResult>&) {
    auto rz = ShareVale::sharedInstance()->isRz();
    if (auto button = rzBtn.lock()) button->setHidden((rz ? rz->integerValue() : 0) != 0);
    view.removeFromSuperview();
    if (coverView_) coverView_->removeFromSuperview();
}

void TVSuHomeVC::centreLeft() {
    if (coverView_ && coverView_->superview()) ns::log("user centre: the real-name card goes with the centre");
    if (coverView_) coverView_->removeFromSuperview();
    if (rzView_) rzView_->removeFromSuperview();
    rzView_.reset();
}

void TVSuHomeVC::RzUpdated() {
    ShareVale::sharedInstance()->setIsRz(ns::str("1"));
    if (auto button = rzBtn.lock()) button->setEnabled(false);
}

void TVSuHomeVC::changeUser() {
    if (loginOutBlock_) loginOutBlock_();
}
