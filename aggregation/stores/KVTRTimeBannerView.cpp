#include "aggregation/stores/KVTRTimeBannerView.h"

#include "aggregation/stores/KVTRStoreSupport.h"
#include "platform/foundation/Data.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GestureRecognizer.h"
#include "ui/gif/KVTRGFAnimatedImage.h"

RT_DEFINE_CLASS(KVTRTimeBannerView, KVTRTimePopView, "KVTRTimeBannerView")

using namespace kvtr_stores;

KVTRTimeBannerView::KVTRTimeBannerView(const cg::Rect& frame) : KVTRTimePopView(frame) { p_setupUI(); }

void KVTRTimeBannerView::p_setupUI() {
    popBg = KVTRGFAnimatedImageView::make({0, 0, 300, 75});
    popBg->setUserInteractionEnabled(true);
    popBg->setContentMode(ui::ViewContentMode::ScaleAspectFill);
    addSubview(popBg);
    auto gif = resourcePath("timepopbg", "gif");
    popBg->setAnimatedImage(
        gif ? KVTRGFAnimatedImage::animatedImageWithGIFData(ns::Data::withContentsOfFile(gif->utf8())) : nullptr);

    // The plain banner's label, moved onto the picture.
    lastTimeLabel->removeFromSuperview();
    lastTimeLabel->setAutoresizingMask(ui::ViewAutoresizingNone);
    lastTimeLabel->setFrame({200, 50, 75, 15});
    lastTimeLabel->setFont(ui::Font::boldSystemFontOfSize(10));
    lastTimeLabel->setTextAlignment(ui::TextAlignment::Right);
    lastTimeLabel->setTextColor(teal());
    lastTimeLabel->setText("5秒后自动关闭");
    popBg->addSubview(lastTimeLabel);

    closeImage = ui::ImageView::make({275, 5, 25, 25});
    closeImage->setUserInteractionEnabled(true);
    closeImage->setImage(storeImage("close"));
    closeImage->addGestureRecognizer(
        std::make_shared<ui::TapGestureRecognizer>([this](ui::GestureRecognizer&) { addPopGestureRecognizer(); }));
    popBg->addSubview(closeImage);
}

void KVTRTimeBannerView::addPopGestureRecognizer() {
    if (closeBlock) closeBlock();
}
