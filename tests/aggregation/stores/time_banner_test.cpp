// The time-store banner's picture: its animated strip, label and close
// image, whose tap is its own.

#include "aggregation/stores/KVTRTimeBannerView.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/GestureRecognizer.h"
#include "tests/aggregation/stores/stores_test_support.h"
#include "ui/gif/KVTRGFAnimatedImage.h"

namespace {

using namespace storestest;

class TimeBannerTest : public StoresTest {
protected:
    // On the window as the facade shows it, with the facade's body tap.
    ns::Ref<KVTRTimeBannerView> showBanner() {
        auto banner = std::make_shared<KVTRTimeBannerView>();
        banner->addGestureRecognizer(
            std::make_shared<ui::TapGestureRecognizer>([this](ui::GestureRecognizer&) { ++bodyTaps; }));
        banner->setFrame({183.5, 0, 300, 75});
        app->window_->addSubview(banner);
        env.runUntilIdle();
        return banner;
    }
    int bodyTaps = 0;
};

TEST_F(TimeBannerTest, TheStripPlaysTheGIFWithTheCountdownLabelOnIt) {
    auto banner = showBanner();
    EXPECT_EQ(banner->popBg->frame(), (cg::Rect{0, 0, 300, 75}));
    ASSERT_TRUE(banner->popBg->animatedImage());
    EXPECT_EQ(banner->popBg->animatedImage()->frameCount(), 3u);
    EXPECT_EQ(banner->lastTimeLabel->superview().get(), banner->popBg.get());
    EXPECT_EQ(banner->lastTimeLabel->frame(), (cg::Rect{200, 50, 75, 15}));
    EXPECT_EQ(ns::textOf(banner->lastTimeLabel->text()), "5秒后自动关闭");
    EXPECT_EQ(banner->closeImage->frame(), (cg::Rect{275, 5, 25, 25}));
    EXPECT_TRUE(banner->closeImage->image());
}

TEST_F(TimeBannerTest, TheCloseImageRunsOnlyTheCloseBlock) {
    auto banner = showBanner();
    // Without a block the close image changes nothing.
    ASSERT_TRUE(driver.tap(banner->closeImage));
    EXPECT_EQ(bodyTaps, 0);
    int closes = 0;
    banner->closeBlock = [&] { ++closes; };
    ASSERT_TRUE(driver.tap(banner->closeImage));
    env.runUntilIdle();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(bodyTaps, 0);
    // Anywhere else the body's tap is the facade's.
    ASSERT_TRUE(driver.tapAt({183.5 + 50, 30}));
    EXPECT_EQ(bodyTaps, 1);
    EXPECT_EQ(closes, 1);
}

}  // namespace
