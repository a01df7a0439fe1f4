// The scene "TVNewPayVC" of the storyboard "TVNewPayVC": in a scroll view,
// the purchase panel (product, full amount struck through, price to pay,
// discount, voucher button; left inset `infoLeft`) over the six pay-way rows
// (left inset `typeLeft`, each row's height a constraint the centre sets to
// 0 for a way the server does not offer) and the pay button. The row under
// `ptbViewH` is the WeChat H5 way (code 1) and the one under `wxViewH` the
// coins (code 3), as the server's codes pair them.

#include "channel/UIView+Extension.h"
#include "channel/UIControl+Action.h"
#include "channel/pay/TVNewPayVC.h"
#include "channel/screens/TVScreenResources.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/LayoutAnchor.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Screen.h"

namespace {

constexpr double kRowHeight = 50;
constexpr double kInfoHeight = 130;
const cg::Color kBlue = cg::Color::fromBytes(48, 146, 246);

ns::Ref<ui::Label> label(const cg::Rect& frame, double size, const cg::Color& color, bool bold = false) {
    auto label = ui::Label::make(frame);
    label->setFont(bold ? ui::Font::boldSystemFontOfSize(size) : ui::Font::systemFontOfSize(size));
    label->setTextColor(color);
    return label;
}

// A button whose tap calls `action` on the centre while it lives.
ns::Ref<ui::Button> button(TVNewPayVC& owner, const cg::Rect& frame, const char* selector,
                           void (TVNewPayVC::*action)()) {
    auto button = ui::Button::make(frame);
    ControlAction::addTapAction(*button, owner, selector, action);
    return button;
}

struct Row {
    const char* title;
    const char* icon;
    const char* selector;
    void (TVNewPayVC::*action)();
    ns::Weak<ui::Button> TVNewPayVC::*iconBtn;
    ns::Weak<ui::LayoutConstraint> TVNewPayVC::*height;
    ns::Weak<ui::Label> TVNewPayVC::*remain;
};

const Row kRows[] = {
    {"微信支付", "tov_pay_wx", "doWXPay", &TVNewPayVC::doWXPay, &TVNewPayVC::wxIconBtn, &TVNewPayVC::ptbViewH, nullptr},
    {"趣付支付", "tov_pay_quipay", "doQuipay", &TVNewPayVC::doQuipay, &TVNewPayVC::quipayIconBtn,
     &TVNewPayVC::quipayViewH, nullptr},
    {"平台币支付", "tov_pay_ptb", "doPtbPay", &TVNewPayVC::doPtbPay, &TVNewPayVC::ptbIconBtn, &TVNewPayVC::wxViewH,
     &TVNewPayVC::remainPtbL},
    {"代金券支付", "tov_pay_djq", "doDjqPay", &TVNewPayVC::doDjqPay, &TVNewPayVC::djqIconBtn, &TVNewPayVC::djqViewH,
     &TVNewPayVC::remainDjqL},
    {"趣付APP支付", "tov_pay_quipay", "doGFQuipay", &TVNewPayVC::doGFQuipay, &TVNewPayVC::GFQuipayIconBtn,
     &TVNewPayVC::GFQuipayViewH, nullptr},
    {"官方微信支付", "tov_pay_wx", "doGFWxPay", &TVNewPayVC::doGFWxPay, &TVNewPayVC::GFWxIconBtn,
     &TVNewPayVC::GFWxViewH, nullptr},
};

// One pay way: icon, title, balance where it has one, and the selection
// button across the whole row (its tap selects the way).
ns::Ref<ui::View> payRow(TVNewPayVC& owner, const Row& row, double width) {
    auto view = ui::View::make({0, 0, width, kRowHeight});
    view->setBackgroundColor(cg::Color::white());
    view->setClipsToBounds(true);
    auto icon = ui::ImageView::make({10, 13, 24, 24});
    icon->setImage(TVScreenResources::image(row.icon));
    view->addSubview(icon);
    auto title = label({44, 10, 120, 30}, 15, cg::Color::fromWhite(0.2));
    title->setText(ns::str(row.title));
    view->addSubview(title);
    if (row.remain) {
        auto remain = label({160, 10, width - 210, 30}, 12, cg::Color::fromWhite(0.5));
        remain->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
        view->addSubview(remain);
        owner.*row.remain = remain;
    }
    auto select = button(owner, {0, 0, width, kRowHeight}, row.selector, row.action);
    select->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    select->setImage(TVScreenResources::image("tov_pay_unselected"), ui::ControlStateNormal);
    select->setImage(TVScreenResources::image("tov_pay_selected"), ui::ControlStateSelected);
    // The ring sits at the row's right end.
    select->setContentHorizontalAlignment(ui::ControlContentHorizontalAlignment::Right);
    select->setContentEdgeInsets({0, 0, 0, 15});
    view->addSubview(select);
    owner.*row.iconBtn = select;
    return view;
}

ns::Ref<ui::View> infoPanel(TVNewPayVC& owner, double width) {
    auto panel = ui::View::make({0, 0, width, kInfoHeight});
    panel->setBackgroundColor(cg::Color::white());
    ViewExtension::setLayerCornerRadius(*panel, 5);
    auto name = label({10, 8, width - 20, 24}, 16, cg::Color::fromWhite(0.2), true);
    name->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    auto full = label({10, 36, 120, 20}, 13, cg::Color::fromWhite(0.6));
    auto price = label({10, 60, 110, 30}, 22, cg::Color::fromBytes(255, 80, 40), true);
    auto rate = label({120, 64, 120, 24}, 13, cg::Color::fromBytes(255, 80, 40));
    for (auto& view : {name, full, price, rate}) panel->addSubview(view);
    owner.productNameL = name;
    owner.moneyL = full;
    owner.realMoneyL = price;
    owner.discountL = rate;
    auto coupons = button(owner, {10, 94, width - 20, 30}, "goToCoupons:", &TVNewPayVC::goToCoupons);
    coupons->setTitle("选择优惠券", ui::ControlStateNormal);
    coupons->setTitleColor(kBlue, ui::ControlStateNormal);
    coupons->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    coupons->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    panel->addSubview(coupons);
    owner.couponsBtn = coupons;
    return panel;
}

}  // namespace

UI_STORYBOARD_SCENE("TVNewPayVC", "TVNewPayVC", TVNewPayVC, [](TVNewPayVC& owner) -> ns::Ref<ui::View> {
    cg::Rect screen = ui::Screen::mainScreen()->bounds();
    double width = screen.size.width;
    auto root = ui::View::make(screen);
    root->setBackgroundColor(cg::Color::fromBytes(240, 240, 240));
    root->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    auto scroll = ui::ScrollView::make(root->bounds());
    scroll->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    root->addSubview(scroll);
    owner.scrollView = scroll;
    double contentHeight = 10 + kInfoHeight + 10 + 6 * kRowHeight + 20 + 44 + 20;
    auto content = ui::View::make({0, 0, width, contentHeight});
    content->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    scroll->addSubview(content);
    scroll->setContentSize({width, contentHeight});

    auto info = infoPanel(owner, width - 30);
    content->addSubview(info);
    std::vector<ns::Ref<ui::View>> rows;
    for (const Row& row : kRows) {
        rows.push_back(payRow(owner, row, width - 30));
        content->addSubview(rows.back());
    }
    auto pay = button(owner, {0, 0, width - 30, 44}, "doPay:", &TVNewPayVC::doPay);
    pay->setTitle("立即支付", ui::ControlStateNormal);
    pay->setTitleColor(cg::Color::white(), ui::ControlStateNormal);
    pay->setBackgroundColor(kBlue);
    ViewExtension::setLayerCornerRadius(*pay, 5);
    content->addSubview(pay);
    owner.payBtn = pay;

    std::vector<ns::Ref<ui::LayoutConstraint>> constraints;
    auto infoLeading = info->leadingAnchor()->constraintEqualToAnchor(content->leadingAnchor(), 15);
    info->setTranslatesAutoresizingMaskIntoConstraints(false);
    constraints.insert(constraints.end(), {
        info->topAnchor()->constraintEqualToAnchor(content->topAnchor(), 10),
        infoLeading,
        info->trailingAnchor()->constraintEqualToAnchor(content->trailingAnchor(), -15),
        info->heightAnchor()->constraintEqualToConstant(kInfoHeight),
    });
    owner.infoLeft = infoLeading;
    auto typeLeading = rows.front()->leadingAnchor()->constraintEqualToAnchor(content->leadingAnchor(), 15);
    owner.typeLeft = typeLeading;
    ns::Ref<ui::View> above = info;
    for (size_t i = 0; i < rows.size(); ++i) {
        auto& row = rows[i];
        row->setTranslatesAutoresizingMaskIntoConstraints(false);
        auto height = row->heightAnchor()->constraintEqualToConstant(kRowHeight);
        owner.*kRows[i].height = height;
        constraints.push_back(height);
        constraints.push_back(row->topAnchor()->constraintEqualToAnchor(above->bottomAnchor(), i == 0 ? 10 : 0));
        constraints.push_back(i == 0 ? typeLeading
                                     : row->leadingAnchor()->constraintEqualToAnchor(rows.front()->leadingAnchor()));
        constraints.push_back(row->trailingAnchor()->constraintEqualToAnchor(content->trailingAnchor(), -15));
        above = row;
    }
    pay->setTranslatesAutoresizingMaskIntoConstraints(false);
    constraints.insert(constraints.end(), {
        pay->topAnchor()->constraintEqualToAnchor(above->bottomAnchor(), 20),
        pay->leadingAnchor()->constraintEqualToAnchor(rows.front()->leadingAnchor()),
        pay->trailingAnchor()->constraintEqualToAnchor(content->trailingAnchor(), -15),
        pay->heightAnchor()->constraintEqualToConstant(44),
    });
    ui::LayoutConstraint::activateConstraints(constraints);
    return root;
})
