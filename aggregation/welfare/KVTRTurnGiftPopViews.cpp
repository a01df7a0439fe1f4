#include "aggregation/welfare/KVTRTurnGiftPopViews.h"

#include <cmath>

#include "aggregation/stores/KVTRStoreSupport.h"
#include "aggregation/welfare/KVTRWelfareModels.h"
#include "aggregation/welfare/KVTRWelfareSupport.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Font.h"

RT_DEFINE_CLASS(KVTRTurnGiftPopBase, ui::View, "KVTRTurnGiftPopBase")
RT_DEFINE_CLASS(KVTRTurnOneGiftPopView, KVTRTurnGiftPopBase, "KVTRTurnOneGiftPopView")
RT_DEFINE_CLASS(KVTRTurnFiveGiftPopView, KVTRTurnGiftPopBase, "KVTRTurnFiveGiftPopView")
RT_DEFINE_CLASS(KVTRVETurnFiveGiftPopView, KVTRTurnFiveGiftPopView, "KVTRVETurnFiveGiftPopView")

using namespace kvtr_stores;

namespace {

// The prize label's orange.
ui::Color prizeOrange() { return rgb(238, 192, 118); }

ns::Ref<ui::Label> prizeLabel(double fontSize) {
    auto label = makeLabel({}, ui::Font::systemFontOfSize(fontSize), ui::whiteColor(), ui::TextAlignment::Center);
    label->setNumberOfLines(0);
    label->layer()->setCornerRadius(4);
    label->layer()->setMasksToBounds(true);
    label->setBackgroundColor(prizeOrange());
    return label;
}

}  // namespace

// ---- Shared ----

KVTRTurnGiftPopBase::KVTRTurnGiftPopBase(cg::Size size) : View(cg::Rect{}), size_(size) {}

void KVTRTurnGiftPopBase::buildFrame(const char* background, cg::Size backgroundSize, double claimWidth,
                                     double claimX) {
    auto backbg = ui::ImageView::make({0, 0, backgroundSize.width, backgroundSize.height});
    backbg->setImage(storeImage(background));
    addSubview(backbg);
    closeBtn = imageButton({backgroundSize.width - 4, 18, 32, 32}, "onegiftclose");
    closeBtn->addTarget(
        ns::Id(), "closeClick", [this](ui::Control&, ui::Event*) { closeClick(); }, ui::ControlEventTouchUpInside);
    addSubview(closeBtn);
    getBtn = imageButton({claimX, backgroundSize.height - 55, claimWidth, 52}, "onegiftget");
    getBtn->addTarget(
        ns::Id(), "giftgetBtnClick", [this](ui::Control&, ui::Event*) { closeClick(); }, ui::ControlEventTouchUpInside);
    addSubview(getBtn);
}

void KVTRTurnGiftPopBase::show() {
    auto window = keyWindow();
    if (!window) return;
    window->makeKeyAndVisible();
    coverView = makeCover(window->bounds(), 0.4);
    window->addSubview(coverView);
    setFrame({0, 0, size_.width, size_.height});
    const cg::Rect bounds = window->bounds();
    setCenter({bounds.origin.x + bounds.size.width / 2, bounds.origin.y + bounds.size.height / 2});
    window->addSubview(ref<ui::View>());
}

void KVTRTurnGiftPopBase::closeClick() {
    if (closeBlock) closeBlock();
    // The cover and this pop-up hold each other only through the window.
    auto self = ref<KVTRTurnGiftPopBase>();
    dispatch::async(dispatch::mainQueue(), [self] {
        if (self->coverView) self->coverView->removeFromSuperview();
        self->removeFromSuperview();
    });
}

// ---- One prize ----

KVTRTurnOneGiftPopView::KVTRTurnOneGiftPopView() : KVTRTurnGiftPopBase({256, 200}) {
    buildFrame("onegiftbg", {228, 200}, 228 - 72, 36);
    iconImg()->setImage(storeImage("onegifticonbg"));
    iconImg()->setFrame({(228 - 62) / 2.0, 32, 62, 62});
    addSubview(iconImg());
    nameLabel()->setFrame({5, 94, 218, 12});
    addSubview(nameLabel());
}

const ns::Ref<ui::ImageView>& KVTRTurnOneGiftPopView::iconImg() {
    if (!iconImg_) iconImg_ = ui::ImageView::make();
    return iconImg_;
}

const ns::Ref<ui::Label>& KVTRTurnOneGiftPopView::nameLabel() {
    if (!nameLabel_) nameLabel_ = prizeLabel(10);
    return nameLabel_;
}

void KVTRTurnOneGiftPopView::setName(const ns::Ref<ns::String>& name) {
    name_ = name;
    nameLabel()->setText(name);
    const cg::Size size =
        kvtr_welfare::measuredSize(ns::String::make(ns::textOf(name)), ui::Font::systemFontOfSize(10), 200);
    const double h = std::ceil(size.height) + 5;
    const double w = std::ceil(size.width) + 1;
    const double width = w > 200 ? 218 : w + 18;
    nameLabel()->setFrame({(228 - width) / 2, iconImg()->frame().maxY(), width, h});
}

void KVTRTurnOneGiftPopView::setIconUrl(const ns::Ref<ns::String>& iconUrl) {
    iconUrl_ = iconUrl;
    ns::Weak<ui::ImageView> weak = iconImg();
    loadRemoteImage(iconUrl, [weak](const ns::Ref<ui::Image>& image) {
        if (auto view = weak.lock()) view->setImage(image);
    });
}

// ---- Several prizes ----

KVTRTurnFiveGiftPopView::KVTRTurnFiveGiftPopView()
    : KVTRTurnFiveGiftPopView({506, 275}, "fivegiftbg", {478, 275}, 164) {}

KVTRTurnFiveGiftPopView::KVTRTurnFiveGiftPopView(cg::Size size, const char* background, cg::Size backgroundSize,
                                                 double claimX)
    : KVTRTurnGiftPopBase(size) {
    buildFrame(background, backgroundSize, 150, claimX);
}

cg::Rect KVTRTurnFiveGiftPopView::cellFrame(size_t index) const { return {48 + 80.0 * double(index), 60, 62, 180}; }

void KVTRTurnFiveGiftPopView::setProp_listArray(const ns::Ref<ns::Array>& list) {
    prop_list_ = list;
    if (!list) return;
    size_t index = 0;
    for (const ns::Id& entry : *list) {
        auto prize = KVTRTurnTableModel::withDictionary(entry);
        auto cell = ui::View::make(cellFrame(index++));
        addSubview(cell);
        auto picture = ui::ImageView::make({0, 0, 62, 62});
        cell->addSubview(picture);
        ns::Weak<ui::ImageView> weak = picture;
        loadRemoteImage(prize->icon, [weak](const ns::Ref<ui::Image>& image) {
            if (auto view = weak.lock()) view->setImage(image);
        });
        auto text = kvtr_welfare::prizeText(prize->name, prize->amount);
        auto label = prizeLabel(8);
        label->setText(text);
        label->setFrame(
            {0, 65, 62, std::ceil(kvtr_welfare::measuredSize(text, ui::Font::systemFontOfSize(8), 62).height) + 5});
        cell->addSubview(label);
    }
}

KVTRVETurnFiveGiftPopView::KVTRVETurnFiveGiftPopView()
    : KVTRTurnFiveGiftPopView({354, 316}, "vefivegiftbg", {326, 316}, 88) {}

cg::Rect KVTRVETurnFiveGiftPopView::cellFrame(size_t index) const {
    if (index < 2) return {94 + 98.0 * double(index), 40, 62, 80};
    return {45 + 92.0 * double(index - 2), 130, 62, 80};
}
