#include "aggregation/core/KVTRViews.h"

RT_DEFINE_CLASS(TRKVNoticeView, ui::View, "TRKVNoticeView", RT_PROPERTY(TRKVNoticeView, notice_url, "C"),
                RT_PROPERTY(TRKVNoticeView, notice_type, "C"), RT_PROPERTY(TRKVNoticeView, notice_content, "C"),
                RT_PROPERTY(TRKVNoticeView, notice_title, "C"))

RT_DEFINE_CLASS(KVTRGMShopView, ui::View, "KVTRGMShopView", RT_PROPERTY(KVTRGMShopView, responseArray),
                RT_PROPERTY(KVTRGMShopView, VIPArray), RT_PROPERTY(KVTRGMShopView, menuBtnArray),
                RT_PROPERTY(KVTRGMShopView, token, "C"), RT_PROPERTY(KVTRGMShopView, super_user_id, "C"),
                RT_PROPERTY(KVTRGMShopView, gmtotal_money, "C"), RT_PROPERTY(KVTRGMShopView, viptotal_money, "C"),
                RT_PROPERTY(KVTRGMShopView, userInfo, "C"), RT_PROPERTY(KVTRGMShopView, rechargeBlock),
                RT_PROPERTY(KVTRGMShopView, closeBlock))

RT_DEFINE_CLASS(KVTRVerticalGMShopView, KVTRGMShopView, "KVTRVerticalGMShopView")

RT_DEFINE_CLASS(KVTRTimePopView, ui::View, "KVTRTimePopView", RT_PROPERTY(KVTRTimePopView, lastTimeLabel),
                RT_PROPERTY(KVTRTimePopView, closeBlock))

RT_DEFINE_CLASS(KVTRResourceHallView, ui::View, "KVTRResourceHallView",
                RT_PROPERTY(KVTRResourceHallView, userInfo, "C"), RT_PROPERTY(KVTRResourceHallView, responseData))

RT_DEFINE_CLASS(KVTRVerResourceHallView, KVTRResourceHallView, "KVTRVerResourceHallView")

RT_DEFINE_CLASS(KVTRLuckyPlayerView, ui::View, "KVTRLuckyPlayerView", RT_PROPERTY(KVTRLuckyPlayerView, playerDic),
                RT_PROPERTY(KVTRLuckyPlayerView, type, "C"), RT_PROPERTY(KVTRLuckyPlayerView, closeBlock))

RT_DEFINE_CLASS(KVTRVerticalLuckyPlayerView, KVTRLuckyPlayerView, "KVTRVerticalLuckyPlayerView")

KVTRTimePopView::KVTRTimePopView() : KVTRTimePopView(cg::Rect{}) {}

KVTRTimePopView::KVTRTimePopView(const cg::Rect& frame) : View(frame), lastTimeLabel(ui::Label::make(bounds())) {
    // The label follows the banner, whatever frame the facade gives it later.
    lastTimeLabel->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    addSubview(lastTimeLabel);
}
