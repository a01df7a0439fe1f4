#include "channel/pay/TVCouponsVC.h"

#include "channel/NSMutableDictionary+HTTP.h"
#include "channel/ShareVale.h"
#include "channel/TVAPIStrings.h"
#include "channel/TVCompanionApp.h"
#include "channel/TVReplyFields.h"
#include "channel/UIView+Extension.h"
#include "channel/UIControl+Action.h"
#include "channel/pay/TVCouponsCell.h"
#include "channel/screens/TVScreenResources.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/LayoutAnchor.h"
#include "platform/uikit/Nib.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Screen.h"

RT_DEFINE_CLASS(TVCouponsVC, ui::ViewController, "TVCouponsVC")

namespace {

constexpr double kHeaderHeight = 45;
constexpr double kTopGap = 150;

ns::Ref<ui::Button> linkButton(TVCouponsVC& owner, const cg::Rect& frame, const char* title, const char* selector,
                               void (TVCouponsVC::*action)()) {
    auto button = ui::Button::make(frame);
    button->setTitle(title, ui::ControlStateNormal);
    button->setTitleColor(cg::Color::fromBytes(48, 146, 246), ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    ControlAction::addTapAction(*button, owner, selector, action);
    return button;
}

}  // namespace

// A dimmed backdrop and, below a 150-point gap, the panel: a 45-point header
// (title, game-box link, close) over the list the picker adds itself.
UI_STORYBOARD_SCENE("TVNewPayVC", "TVCouponsVC", TVCouponsVC, [](TVCouponsVC& owner) -> ns::Ref<ui::View> {
    cg::Rect screen = ui::Screen::mainScreen()->bounds();
    auto root = ui::View::make(screen);
    root->setBackgroundColor(cg::Color{0, 0, 0, 0.4});
    auto panel = ui::View::make({0, kTopGap, screen.size.width, screen.size.height - kTopGap});
    panel->setBackgroundColor(cg::Color::fromBytes(240, 240, 240));
    root->addSubview(panel);
    owner.couponsView = panel;

    auto header = ui::View::make({0, 0, screen.size.width, kHeaderHeight});
    header->setBackgroundColor(cg::Color::white());
    header->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    auto title = ui::Label::make({10, 0, 120, kHeaderHeight});
    title->setText(ns::str("选择优惠券"));
    title->setFont(ui::Font::boldSystemFontOfSize(16));
    header->addSubview(title);
    auto box = linkButton(owner, {screen.size.width - 170, 5, 100, 35}, "领更多券", "goToGameBox",
                          &TVCouponsVC::goToGameBox);
    auto close = linkButton(owner, {screen.size.width - 60, 5, 50, 35}, "关闭", "doCancel:", &TVCouponsVC::doCancel);
    for (auto& button : {box, close}) {
        button->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
        header->addSubview(button);
    }
    panel->addSubview(header);

    // The title's inset, wider on a notched phone on its side.
    title->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto leading = title->leadingAnchor()->constraintEqualToAnchor(header->leadingAnchor(), 10);
    ui::LayoutConstraint::activateConstraints({
        leading,
        title->topAnchor()->constraintEqualToAnchor(header->topAnchor()),
        title->widthAnchor()->constraintEqualToConstant(120),
        title->heightAnchor()->constraintEqualToConstant(kHeaderHeight),
    });
    owner.left = leading;
    return root;
})

TVCouponsVC::~TVCouponsVC() {
    ns::log("销毁了");
}

void TVCouponsVC::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    if (auto panel = couponsView.lock()) panel->addSubview(tableView());
    if (auto constraint = left.lock()) constraint->setConstant(ViewExtension::isNotchedPhoneOnItsSide() ? 40 : 10);
    loadData();
}

const ns::Ref<ui::TableView>& TVCouponsVC::tableView() {
    if (!tableView_) {
        cg::Size screen = ui::Screen::mainScreen()->bounds().size;
        tableView_ = ui::TableView::make({0, kHeaderHeight, screen.width, screen.height - kTopGap - kHeaderHeight});
        tableView_->setBackgroundColor(cg::Color::fromBytes(240, 240, 240));
        tableView_->setRowHeight(100);
        tableView_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
        tableView_->setContentInset({0, 0, 50, 0});
        tableView_->registerNib(ui::Nib::nibWithName(TVCouponsCell::kIdentifier, TVScreenResources::sdkBundle()),
                                TVCouponsCell::kIdentifier);
        tableView_->setDataSource(std::shared_ptr<ui::TableViewDataSource>(ref<TVCouponsVC>()));
        tableView_->setDelegate(std::shared_ptr<ui::TableViewDelegate>(ref<TVCouponsVC>()));
    }
    return tableView_;
}

void TVCouponsVC::loadData() {
    auto vale = ShareVale::sharedInstance();
    auto parameters = ns::MutableDictionary::make();
    HTTPFields::setObjectForField(*parameters, vale->userName(), "z");
    HTTPFields::setObjectForField(*parameters, vale->appID(), "b");
    HTTPFields::setObjectForField(*parameters, vale->gameID(), "e");
    HTTPFields::setObjectForField(*parameters, vale->chanelid(), "f");
    HTTPFields::setObjectForField(*parameters, money, "mm");
    ns::Weak<TVCouponsVC> weak = ref<TVCouponsVC>();
    NetWorkManager::sharedInstance()->POST(
        TVAPIStrings::endpoint(TVAPIStrings::at(TVAPIStrings::PayCoupons)), parameters,
        [weak](const ns::Id& reply) {
            if (auto picker = weak.lock()) picker->showList(reply);
        },
        [](const ns::Ref<ns::Error>&) {});
}

void TVCouponsVC::showList(const ns::Id& reply) {
    if (TVReply::integerOf(reply, "code") != 1) return;
    auto rows = ns::cast<ns::Array>(TVReply::field(reply, "data"));
    for (uint64_t i = 0; rows && i < rows->count(); ++i)
        dataSource_.push_back(TVCouponsModel::initWithDictionary(rows->objectAtIndex(i)));
    tableView()->reloadData();
}

void TVCouponsVC::doCancel() {
    dismissViewController(true);
}

void TVCouponsVC::goToGameBox() {
    TVCompanionApp::open("");
    dismissViewController(true);
}

int64_t TVCouponsVC::numberOfRowsInSection(ui::TableView&, int64_t) {
    return static_cast<int64_t>(dataSource_.size());
}

ns::Ref<ui::TableViewCell> TVCouponsVC::cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) {
    auto cell = view.dequeueReusableCellWithIdentifier(TVCouponsCell::kIdentifier, path);
    auto row = ns::cast<TVCouponsCell>(cell);
    if (!row) return cell;
    row->setModel(dataSource_.at(static_cast<size_t>(path.row)));
    ns::Weak<TVCouponsVC> weak = ref<TVCouponsVC>();
    row->couponsBlock = [weak](const ns::Ref<TVCouponsModel>& model) {
        auto picker = weak.lock();
        if (!picker || !picker->couponsBlock) return;
        picker->couponsBlock(model);
        picker->dismissViewController(true);
    };
    return cell;
}
