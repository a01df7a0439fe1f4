#include "aggregation/stores/KVTROptionalGiftView.h"

#include <algorithm>

#include "aggregation/stores/KVTRFixBtn.h"
#include "aggregation/stores/KVTRStoreSupport.h"

RT_DEFINE_CLASS(KVTROptionalGiftView, ui::View, "KVTROptionalGiftView")

using namespace kvtr_stores;

namespace {
constexpr double Pitch = 50;
constexpr double Tile = 45;
constexpr int Columns = 3;
}  // namespace

KVTROptionalGiftView::KVTROptionalGiftView() {
    setBackgroundColor(teal());
    layer()->setCornerRadius(12);
}

void KVTROptionalGiftView::show() {
    auto window = keyWindow();
    if (!window) return;
    coverView = makeCover(window->bounds(), 0.5);
    window->addSubview(coverView);
    setFrame({10, screenBounds().size.height - 165, 165, 100});
    setCenter(window->center());
    layer()->setCornerRadius(12);
    window->addSubview(ref<View>());
}

void KVTROptionalGiftView::dissmiss() {
    if (coverView) coverView->removeFromSuperview();
    removeFromSuperview();
}

void KVTROptionalGiftView::layoutSubviews() {
    View::layoutSubviews();
    if (!giftArray || giftArray->count() == 0) return;
    // Built once: the resize below lays the chooser out again.
    if (!tiles_.empty()) return;
    const size_t n = giftArray->count();
    for (size_t i = 0; i < n; ++i) {
        auto tile = std::make_shared<KVTRFixBtn>(
            cg::Rect{10 + Pitch * double(i % Columns), 10 + Pitch * double(i / Columns), Tile, Tile});
        tile->addTarget(ref<KVTROptionalGiftView>(), "ClickBtn:", &KVTROptionalGiftView::ClickBtn,
                        ui::ControlEventTouchUpInside);
        tile->setModel(ns::cast<KVTRFixedGiftModel>(giftArray->objectAtIndex(i)));
        addSubview(tile);
        tiles_.push_back(tile);
    }
    const double width = 65 + Pitch * double(std::min<size_t>(n - 1, Columns - 1));
    const double height = 65 + Pitch * double((n - 1) / Columns);
    const cg::Point centre = center();
    setFrame({10, screenBounds().size.height - 165, width, height});
    if (auto window = keyWindow()) {
        setCenter(window->center());
    } else {
        setCenter(centre);
    }
}

void KVTROptionalGiftView::ClickBtn(ui::Control& sender) {
    auto tile = dynamic_cast<KVTRFixBtn*>(&sender);
    ns::Ref<KVTRFixedGiftModel> gift = tile ? tile->model() : nullptr;
    // The block may drop the row's hold on this chooser.
    auto self = ref<KVTROptionalGiftView>();
    dissmiss();
    if (chooseBlock) chooseBlock(gift);
}
