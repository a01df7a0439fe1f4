#pragma once
// The time-store banner's picture: the animated "timepopbg" strip with the
// countdown label and a close image. The facade owns the banner's timing
// and the tap on its body; a tap on the close image runs closeBlock alone
// and never reaches the body's tap.
//
// The facade knows it as KVTRTimePopView; KVTRTimeBannerView is its screen.

#include "aggregation/core/KVTRViews.h"
#include "platform/uikit/ImageView.h"
#include "ui/gif/KVTRGFAnimatedImageView.h"

class KVTRTimeBannerView : public KVTRTimePopView {
    RT_DECLARE_CLASS(KVTRTimeBannerView)
public:
    KVTRTimeBannerView() : KVTRTimeBannerView(cg::Rect{}) {}
    explicit KVTRTimeBannerView(const cg::Rect& frame);

    ns::Ref<KVTRGFAnimatedImageView> popBg;
    ns::Ref<ui::ImageView> closeImage;

    // The close image's tap.
    void addPopGestureRecognizer();

private:
    void p_setupUI();
};
