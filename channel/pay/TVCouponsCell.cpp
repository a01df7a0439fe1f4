#include "channel/pay/TVCouponsCell.h"

#include "channel/TVReplyFields.h"
#include "channel/UIButton+FillColor.h"
#include "channel/UIControl+Action.h"
#include "channel/UIView+Extension.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(TVCouponsCell, ui::TableViewCell, "TVCouponsCell")

namespace {

ns::Ref<ui::Label> rowLabel(const cg::Rect& frame, double size, const cg::Color& color) {
    auto label = ui::Label::make(frame);
    label->setFont(ui::Font::systemFontOfSize(size));
    label->setTextColor(color);
    return label;
}

}  // namespace

// A white card inset in the 100-point row: the amount off at the left, name,
// minimum and validity in the middle, the kind and the choose button at the
// right.
UI_NIB(TVCouponsCell::kIdentifier, [](const ns::Id&, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    auto cell = std::make_shared<TVCouponsCell>();
    cell->setFrame({0, 0, 375, 100});
    cell->setBackgroundColor(cg::Color::clear());
    auto content = cell->contentView();
    content->setFrame(cell->bounds());
    auto card = ui::View::make({10, 8, 355, 84});
    card->setBackgroundColor(cg::Color::white());
    card->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    ViewExtension::setLayerCornerRadius(*card, 5);
    content->addSubview(card);
    cell->bgView = card;

    auto off = rowLabel({10, 20, 80, 44}, 22, cg::Color::fromBytes(255, 80, 40));
    off->setTextAlignment(ui::TextAlignment::Center);
    auto name = rowLabel({95, 8, 170, 22}, 15, cg::Color::fromWhite(0.2));
    auto minimum = rowLabel({95, 32, 170, 20}, 13, cg::Color::fromWhite(0.4));
    auto time = rowLabel({95, 54, 170, 20}, 12, cg::Color::fromWhite(0.6));
    auto kind = rowLabel({275, 8, 70, 20}, 12, cg::Color::fromBytes(48, 146, 246));
    kind->setTextAlignment(ui::TextAlignment::Center);
    auto button = ui::Button::make({275, 34, 70, 36});
    button->setTitle("立即使用", ui::ControlStateNormal);
    button->setTitleColor(cg::Color::white(), ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(13));
    button->titleLabel()->setLineBreakMode(ui::LineBreakMode::ByWordWrapping);
    kind->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
    button->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
    ViewExtension::setLayerCornerRadius(*button, 5);
    FillColor::setBackgroundColorForState(*button, cg::Color::fromBytes(48, 146, 246), ui::ControlStateNormal);
    FillColor::setBackgroundColorForState(*button, cg::Color::fromBytes(170, 170, 170), ui::ControlStateDisabled);
    ControlAction::addTapAction(*button, *cell, "btnClick", &TVCouponsCell::btnClick);
    for (const ns::Ref<ui::View>& view : {ns::Ref<ui::View>(off), ns::Ref<ui::View>(name), ns::Ref<ui::View>(minimum),
                                          ns::Ref<ui::View>(time), ns::Ref<ui::View>(kind), ns::Ref<ui::View>(button)})
        card->addSubview(view);
    cell->couponsL = off;
    cell->nameL = name;
    cell->moneyL = minimum;
    cell->timeL = time;
    cell->showL = kind;
    cell->btn = button;
    return {cell};
})

void TVCouponsCell::setModel(const ns::Ref<TVCouponsModel>& model) {
    model_ = model;
    if (!model) return;
    if (auto button = btn.lock()) {
        button->setEnabled(ns::textOf(model->av) == "1");
        button->layer()->setBackgroundColor(cg::Color::fromBytes(40, 144, 249));
    }
    // The name as the row holds it: a number shows its digits, a missing or
    // null one leaves the label empty rather than spelling out the nothing.
    if (auto label = nameL.lock()) {
        auto name = TVReply::messageText(model->coupon_name);
        label->setText(name ? name : ns::str(""));
    }
    if (auto label = couponsL.lock()) label->setText(ns::str(ns::format("%@元", model->coupon_money)));
    if (auto label = moneyL.lock()) label->setText(ns::str(ns::format("满%@元可用", model->pay_money)));
    if (auto label = timeL.lock()) label->setText(ns::str(ns::format("有效期:%@", model->av_time)));
    bool tied = model->gid && ns::str(ns::textOf(model->gid))->integerValue() != 0;
    if (auto label = showL.lock()) label->setText(ns::str(tied ? "专用券" : "通用券"));
}

void TVCouponsCell::btnClick() {
    if (couponsBlock) couponsBlock(model_);
}
