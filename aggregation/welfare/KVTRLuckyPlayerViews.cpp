#include "aggregation/welfare/KVTRLuckyPlayerViews.h"

#include <cmath>
#include <optional>

#include "aggregation/core/KVTRDataFormat.h"
#include "aggregation/stores/KVTRStoreSupport.h"
#include "aggregation/welfare/KVTRWelfareSupport.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Font.h"

RT_DEFINE_CLASS(KVTRLuckyPlayerItem, ui::View, "KVTRLuckyPlayerItem")
RT_DEFINE_CLASS(KVTRLuckyPlayerPopView, KVTRLuckyPlayerView, "KVTRLuckyPlayerPopView")
RT_DEFINE_CLASS(KVTRVerticalLuckyPlayerPopView, KVTRVerticalLuckyPlayerView, "KVTRVerticalLuckyPlayerPopView")

using namespace kvtr_stores;

namespace {

struct PanelLayout {
    cg::Size panel;
    cg::Rect claim;
    cg::Point titleOrigin;
    double titleMaxWidth;
};

const PanelLayout LandscapePanel{{575, 310}, {100, 255, 110, 35}, {60, 35}, 435};
const PanelLayout PortraitPanel{{330, 540}, {60, 460, 110, 35}, {35, 40}, 240};

// The three places of the portrait panel.
constexpr cg::Point PortraitPlaces[] = {{80, 170}, {35, 270}, {135, 270}};

struct StagePictures {
    const char* stage;
    const char* landscape;
    const char* portrait;
    const char* button;
};

constexpr StagePictures Stages[] = {{"luck", "img_luckbg", "img_veluckbg", "img_luckbtn"},
                                    {"day", "img_daybg", "img_vedaybg", "img_daybtn"},
                                    {"active", "img_activebg", "img_veactivebg", "img_activebtn"}};

}  // namespace

// ---- Gift tile ----

KVTRLuckyPlayerItem::KVTRLuckyPlayerItem(const cg::Rect& frame) : View(frame) { p_setUI(); }

const ns::Ref<ui::ImageView>& KVTRLuckyPlayerItem::backbg() {
    if (!backbg_) {
        backbg_ = ui::ImageView::make();
        backbg_->layer()->setCornerRadius(4);
        backbg_->layer()->setMasksToBounds(true);
        backbg_->setBackgroundColor(ui::colorWithWhite(1, 0.3));
    }
    return backbg_;
}

const ns::Ref<ui::ImageView>& KVTRLuckyPlayerItem::icon() {
    if (!icon_) {
        icon_ = ui::ImageView::make();
        icon_->setContentMode(ui::ViewContentMode::ScaleAspectFit);
    }
    return icon_;
}

const ns::Ref<ui::Label>& KVTRLuckyPlayerItem::name() {
    if (!name_) {
        name_ = makeLabel({}, ui::Font::systemFontOfSize(10), ui::blackColor(), ui::TextAlignment::Center);
        name_->setNumberOfLines(0);
    }
    return name_;
}

void KVTRLuckyPlayerItem::p_setUI() {
    backbg()->setFrame({0, 0, 85, 85});
    addSubview(backbg());
    icon()->setFrame({12, 5, 60, 60});
    addSubview(icon());
    addSubview(name());
}

void KVTRLuckyPlayerItem::setModel(const ns::Ref<KVTRFixedGiftModel>& model) {
    model_ = model;
    ns::Weak<ui::ImageView> weakIcon = icon();
    loadRemoteImage(model ? model->icon : nullptr, [weakIcon](const ns::Ref<ui::Image>& image) {
        if (auto view = weakIcon.lock()) view->setImage(image);
    });
    auto text = kvtr_welfare::prizeText(model ? model->name : nullptr, model ? model->amount : nullptr);
    name()->setText(text);
    const double h = std::ceil(kvtr_welfare::measuredSize(text, ui::Font::systemFontOfSize(10), 85).height) + 2;
    name()->setFrame({0, 85 - h - 5, 85, h});
}

// ---- Pop-up ----

template <class Base, bool Portrait>
LuckyPlayerPop<Base, Portrait>::LuckyPlayerPop() {
    const PanelLayout& l = Portrait ? PortraitPanel : LandscapePanel;
    backbg = ui::ImageView::make({0, 0, l.panel.width, l.panel.height});
    backbg->setUserInteractionEnabled(true);
    if (!Portrait) backbg->setBackgroundColor(ui::whiteColor());
    this->addSubview(backbg);

    titleLabel = makeLabel({}, ui::Font::boldSystemFontOfSize(20), teal(), ui::TextAlignment::Center);
    titleLabel->setBackgroundColor(ui::colorWithWhite(1, 0.3));
    titleLabel->layer()->setCornerRadius(4);
    titleLabel->layer()->setMasksToBounds(true);
    titleLabel->setNumberOfLines(0);
    backbg->addSubview(titleLabel);

    closeBtn = ui::Button::buttonWithType(ui::ButtonType::Custom);
    closeBtn->setFrame(l.claim);
    // The pop-up owns its button: a raw back-pointer is enough.
    closeBtn->addTarget(
        ns::Id(), "closeClick", [this](ui::Control&, ui::Event*) { closeClick(); }, ui::ControlEventTouchUpInside);
    backbg->addSubview(closeBtn);
}

template <class Base, bool Portrait>
const ns::Ref<ns::MutableArray>& LuckyPlayerPop<Base, Portrait>::itemsArray() {
    if (!items_) items_ = ns::MutableArray::make();
    return items_;
}

template <class Base, bool Portrait>
void LuckyPlayerPop<Base, Portrait>::setType(const ns::Ref<ns::String>& stage) {
    Base::setType(stage);
    const std::string name = ns::textOf(stage);
    for (const StagePictures& pictures : Stages) {
        if (name != pictures.stage) continue;
        backbg->setImage(storeImage(Portrait ? pictures.portrait : pictures.landscape));
        closeBtn->setBackgroundImage(storeImage(pictures.button), ui::ControlStateNormal);
    }
}

template <class Base, bool Portrait>
void LuckyPlayerPop<Base, Portrait>::show() {
    auto window = keyWindow();
    if (!window) return;
    coverView = makeCover(window->bounds(), 0.4);
    window->addSubview(coverView);
    const PanelLayout& l = Portrait ? PortraitPanel : LandscapePanel;
    const cg::Rect screen = screenBounds();
    this->setFrame(
        {(screen.width() - l.panel.width) / 2, (screen.height() - l.panel.height) / 2, l.panel.width, l.panel.height});
    if (Portrait) {
        const cg::Rect bounds = window->bounds();
        this->setCenter({bounds.midX(), bounds.midY()});
    }
    window->addSubview(this->template ref<ui::View>());
    showTitle();
    showTiles();
}

template <class Base, bool Portrait>
void LuckyPlayerPop<Base, Portrait>::showTitle() {
    const PanelLayout& l = Portrait ? PortraitPanel : LandscapePanel;
    auto title = ns::String::make(ns::textOf(this->playerDic ? this->playerDic->objectForKey("title") : nullptr));
    titleLabel->setText(title);
    if (KVTRDataFormat::isBlankString(title)) {
        titleLabel->setHidden(true);
        return;
    }
    const cg::Size size = kvtr_welfare::measuredSize(title, ui::Font::systemFontOfSize(20), l.titleMaxWidth);
    const double height = std::ceil(size.height) + 20;
    const double w = std::ceil(size.width) + 1;
    const double width = w > l.titleMaxWidth ? l.titleMaxWidth + 20 : w + 20;
    titleLabel->setFrame({l.titleOrigin.x, l.titleOrigin.y, width, height});
}

template <class Base, bool Portrait>
void LuckyPlayerPop<Base, Portrait>::showTiles() {
    auto items = ns::cast<ns::Array>(this->playerDic ? this->playerDic->objectForKey("items") : nullptr);
    if (!items) return;  // a wrong-type list reads as empty
    size_t index = 0;
    for (const ns::Id& entry : *items) {
        const size_t i = index++;
        auto gift = KVTRFixedGiftModel::withDictionary(entry);
        itemsArray()->addObject(gift);
        std::optional<cg::Point> origin;
        if (!Portrait)
            origin = cg::Point{35 + 100.0 * double(i), 112};
        else if (i < std::size(PortraitPlaces))
            origin = PortraitPlaces[i];
        if (!origin) continue;  // the portrait panel has no place for it
        auto tile = std::make_shared<KVTRLuckyPlayerItem>(cg::Rect{origin->x, origin->y, 85, 85});
        tile->setModel(gift);
        this->addSubview(tile);
        tiles_.push_back(tile);
    }
}

template <class Base, bool Portrait>
void LuckyPlayerPop<Base, Portrait>::closeClick() {
    if (this->closeBlock) this->closeBlock();
    // Keeps the pop-up alive until it has left the window.
    auto self = this->template ref<ui::View>();
    if (coverView) coverView->removeFromSuperview();
    self->removeFromSuperview();
}

template class LuckyPlayerPop<KVTRLuckyPlayerView, false>;
template class LuckyPlayerPop<KVTRVerticalLuckyPlayerView, true>;
