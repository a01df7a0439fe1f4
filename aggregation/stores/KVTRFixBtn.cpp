#include "aggregation/stores/KVTRFixBtn.h"

#include "aggregation/stores/KVTRStoreSupport.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Font.h"

RT_DEFINE_CLASS(KVTRFixBtn, ui::Button, "KVTRFixBtn")

using namespace kvtr_stores;

namespace {
constexpr double LabelFontSize = 6;
}

KVTRFixBtn::KVTRFixBtn(const cg::Rect& frame) : ui::Button(ui::ButtonType::Custom, frame) {
    setBackgroundColor(rgb(241, 241, 241));
    layer()->setCornerRadius(4);
    icon_ = ui::ImageView::make();
    icon_->setContentMode(ui::ViewContentMode::ScaleAspectFit);
    num_ = makeLabel({}, ui::Font::boldSystemFontOfSize(LabelFontSize), teal(), ui::TextAlignment::Right);
    name_ = makeLabel({}, ui::Font::boldSystemFontOfSize(LabelFontSize), teal(), ui::TextAlignment::Center);
    name_->setNumberOfLines(0);
    addSubview(icon_);
    addSubview(num_);
    addSubview(name_);
}

void KVTRFixBtn::setModel(const ns::Ref<KVTRFixedGiftModel>& model) {
    model_ = model;
    const double w = frame().size.width;
    const double h = frame().size.height;
    const bool empty = !model || !model->name;
    icon_->setFrame({5, 2, w - 10, h - 10});
    num_->setFrame({0, 2, w, 8});
    num_->setHidden(empty);
    name_->setHidden(empty);
    if (empty) {
        icon_->setImage(storeImage("fixbtnbg"));
        return;
    }
    num_->setText(ns::String::make(ns::textOf(model->amount)));
    name_->setText(ns::String::make(ns::textOf(model->name)));
    const double nameHeight = textHeight(model->name, ui::Font::systemFontOfSize(LabelFontSize), w - 10) + 1;
    name_->setFrame({0, h - nameHeight, w, nameHeight});
    icon_->setImage(nullptr);
    // The picture lands later; a tile that shows another record by then
    // keeps its own.
    ns::Weak<KVTRFixBtn> weak = ref<KVTRFixBtn>();
    ns::Weak<KVTRFixedGiftModel> shown = model;
    loadRemoteImage(model->icon, [weak, shown](const ns::Ref<ui::Image>& image) {
        auto tile = weak.lock();
        auto record = shown.lock();
        if (tile && record && tile->model_ == record) tile->icon_->setImage(image);
    });
}
