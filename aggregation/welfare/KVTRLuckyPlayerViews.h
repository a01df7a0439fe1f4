#pragma once
// The lucky, daily and activity gift pop-up: a panel over a dimmed and
// blurred window with the stage's title, one tile per gift and a claim
// button whose pictures depend on the stage. The claim button is the only
// way out: it runs the facade's close block (which claims the gift and
// starts the next stage) and removes the pop-up.
//
// The facade knows the pop-up as KVTRLuckyPlayerView (landscape) and
// KVTRVerticalLuckyPlayerView (portrait); KVTRLuckyPlayerPopView and
// KVTRVerticalLuckyPlayerPopView are their screens, one template with the
// two frames. The portrait panel has three places; a fourth and later gift
// gets no tile there. Main thread only.

#include <vector>

#include "aggregation/core/KVTRViews.h"
#include "aggregation/stores/KVTRGiftModels.h"
#include "platform/foundation/MutableArray.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"

// One gift tile, 85 x 85: a translucent square, the picture and
// "<name>*<amount>" above the bottom edge.
class KVTRLuckyPlayerItem : public ui::View {
    RT_DECLARE_CLASS(KVTRLuckyPlayerItem)
public:
    explicit KVTRLuckyPlayerItem(const cg::Rect& frame);

    const ns::Ref<KVTRFixedGiftModel>& model() const { return model_; }
    void setModel(const ns::Ref<KVTRFixedGiftModel>& model);

    const ns::Ref<ui::ImageView>& backbg();
    const ns::Ref<ui::ImageView>& icon();
    const ns::Ref<ui::Label>& name();

private:
    void p_setUI();

    ns::Ref<KVTRFixedGiftModel> model_;
    ns::Ref<ui::ImageView> backbg_;
    ns::Ref<ui::ImageView> icon_;
    ns::Ref<ui::Label> name_;
};

template <class Base, bool Portrait>
class LuckyPlayerPop : public Base {
public:
    LuckyPlayerPop();

    ns::Ref<ui::Button> coverView;
    ns::Ref<ui::ImageView> backbg;
    ns::Ref<ui::Button> closeBtn;
    ns::Ref<ui::Label> titleLabel;

    // The gift records of "items", in reply order, once shown.
    const ns::Ref<ns::MutableArray>& itemsArray();
    const std::vector<ns::Ref<KVTRLuckyPlayerItem>>& tiles() const { return tiles_; }

    void setType(const ns::Ref<ns::String>& stage) override;
    void show() override;
    void closeClick();

private:
    void showTitle();
    void showTiles();

    ns::Ref<ns::MutableArray> items_;
    std::vector<ns::Ref<KVTRLuckyPlayerItem>> tiles_;
};

class KVTRLuckyPlayerPopView : public LuckyPlayerPop<KVTRLuckyPlayerView, false> {
    RT_DECLARE_CLASS(KVTRLuckyPlayerPopView)
};

class KVTRVerticalLuckyPlayerPopView : public LuckyPlayerPop<KVTRVerticalLuckyPlayerView, true> {
    RT_DECLARE_CLASS(KVTRVerticalLuckyPlayerPopView)
};
