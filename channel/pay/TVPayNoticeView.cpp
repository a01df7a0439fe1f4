#include "channel/pay/TVPayNoticeView.h"

#include "channel/UIView+Extension.h"
#include "channel/UIControl+Action.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(TVPayNoticeView, ui::View, "TVPayNoticeView")

namespace {

constexpr double kWidth = 270, kHeight = 160;
const cg::Color kBlue = cg::Color::fromBytes(48, 146, 246);

ns::Ref<ui::Button> cardButton(TVPayNoticeView& card, const cg::Rect& frame, const char* title, const char* selector,
                               void (TVPayNoticeView::*action)()) {
    auto button = ui::Button::make(frame);
    button->setTitle(title, ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(15));
    ControlAction::addTapAction(*button, card, selector, action);
    return button;
}

}  // namespace

// A white card: the title, the status in the middle, the two buttons below.
UI_NIB(TVPayNoticeView::kNibName, [](const ns::Id&, const ns::Ref<ns::Bundle>&) -> std::vector<ns::Id> {
    auto card = std::make_shared<TVPayNoticeView>(cg::Rect{0, 0, kWidth, kHeight});
    card->setBackgroundColor(cg::Color::white());
    ViewExtension::setLayerCornerRadius(*card, 5);

    auto title = ui::Label::make({0, 15, kWidth, 24});
    title->setText(ns::str("支付结果"));
    title->setFont(ui::Font::boldSystemFontOfSize(17));
    title->setTextAlignment(ui::TextAlignment::Center);
    card->addSubview(title);

    auto status = ui::Label::make({15, 55, kWidth - 30, 30});
    status->setFont(ui::Font::systemFontOfSize(16));
    status->setTextColor(cg::Color::fromWhite(0.2));
    status->setTextAlignment(ui::TextAlignment::Center);
    card->addSubview(status);
    card->statusL = status;

    double half = (kWidth - 45) / 2;
    auto back = cardButton(*card, {15, kHeight - 55, half, 40}, "返回游戏", "doCancel:", &TVPayNoticeView::doCancel);
    back->setTitleColor(kBlue, ui::ControlStateNormal);
    ViewExtension::setLayerBorderWidth(*back, 1, kBlue);
    auto go = cardButton(*card, {30 + half, kHeight - 55, half, 40}, "领取返利", "doGo:", &TVPayNoticeView::doGo);
    go->setTitleColor(cg::Color::white(), ui::ControlStateNormal);
    go->setBackgroundColor(kBlue);
    for (auto& button : {back, go}) {
        ViewExtension::setLayerCornerRadius(*button, 5);
        card->addSubview(button);
    }
    card->cancelBtn = back;
    card->goBtn = go;
    return {card};
})

void TVPayNoticeView::doCancel() {
    if (!goToGameBlock) return;
    // The block may let the card go: keep it for the call.
    auto self = ref<TVPayNoticeView>();
    removeFromSuperview();
    auto block = goToGameBlock;
    block(payError, payStatus);
}

void TVPayNoticeView::doGo() {
    if (!goToApplyBlock) return;
    auto self = ref<TVPayNoticeView>();
    auto block = goToApplyBlock;
    block(payError, payStatus);
}
