#include "aggregation/welfare/KVTRTurnCellView.h"

#include "aggregation/stores/KVTRStoreSupport.h"
#include "aggregation/welfare/KVTRWelfareSupport.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Format.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/Font.h"

RT_DEFINE_CLASS(KVTRTurnCellView, ui::View, "KVTRTurnCellView")

using kvtr_stores::loadRemoteImage;
using kvtr_stores::storeImage;

KVTRTurnCellView::KVTRTurnCellView(const cg::Rect& frame) : View(frame) { commonInit(); }

void KVTRTurnCellView::commonInit() {
    icon()->setFrame({22, 40, 36, 36});
    addSubview(icon());
    num()->setFrame({0, 70, 80, 12});
    addSubview(num());
    selectBtn = ui::Button::buttonWithType(ui::ButtonType::Custom);
    selectBtn->setFrame({-2, 20, 85, 75});
    selectBtn->setBackgroundImage(storeImage("turnablechoose"), ui::ControlStateSelected);
    // The sector lives as long as its button: a raw back-pointer is enough.
    selectBtn->addTarget(
        ns::Id(), "tapCellView:", [this](ui::Control& sender, ui::Event*) { tapCellView(sender); },
        ui::ControlEventTouchUpInside);
    addSubview(selectBtn);
}

const ns::Ref<ui::Label>& KVTRTurnCellView::num() {
    if (!num_) {
        num_ = ui::Label::make();
        num_->setTextColor(ui::whiteColor());
        num_->setTextAlignment(ui::TextAlignment::Center);
        num_->setFont(ui::Font::boldSystemFontOfSize(10));
    }
    return num_;
}

const ns::Ref<ui::ImageView>& KVTRTurnCellView::icon() {
    if (!icon_) icon_ = ui::ImageView::make();
    return icon_;
}

void KVTRTurnCellView::setModel(const ns::Ref<KVTRTurnTableModel>& model) {
    model_ = model;
    ns::Weak<ui::ImageView> weakIcon = icon();
    loadRemoteImage(model ? model->icon : nullptr, [weakIcon](const ns::Ref<ui::Image>& image) {
        if (auto view = weakIcon.lock()) view->setImage(image);
    });
    const std::string amount = ns::format("×%@", model ? model->amount : nullptr);
    num()->setText(amount);
    auto shadow = ui::Shadow::make();
    shadow->setShadowBlurRadius(1.0);
    shadow->setShadowOffset({-1, 1});
    shadow->setShadowColor(cg::Color{0, 0, 0, 1});
    auto text = ui::AttributedText::make(amount);
    text->addAttribute(ui::ShadowAttributeName, shadow, {0, text->length()});
    num()->setAttributedText(text);
}

void KVTRTurnCellView::tapCellView(ui::Control& sender) {
    removeTips();
    auto wheel = sender.superview() ? sender.superview()->superview() : nullptr;
    if (!wheel) return;
    const cg::Rect r = sender.convertRectToView(sender.bounds(), nullptr);
    const bool portrait = ui::isPortrait(ui::Application::sharedApplication()->statusBarOrientation());
    const cg::Point origin =
        portrait ? cg::Point{r.origin.x - 20, r.origin.y - 160} : cg::Point{r.origin.x - 160, r.origin.y - 20};
    auto tip = kvtr_welfare::makeTip(model_ ? model_->name : nullptr, origin);
    wheel->addSubview(tip);
    tips_.push_back(tip);
    ns::Weak<KVTRTurnCellView> weak = ref<KVTRTurnCellView>();
    dispatch::after(kvtr_welfare::TipSeconds, dispatch::mainQueue(), [weak] {
        if (auto self = weak.lock()) self->removeTips();
    });
}

void KVTRTurnCellView::removeTips() { kvtr_welfare::removeTips(tips_); }
