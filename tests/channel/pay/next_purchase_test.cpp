// The game enters its next purchase from the success block of one paid by
// coins while that one's centre is still coming up (the platform's
// transitions take 0.3 s): the paid centre closes, and the next opens only
// once it has gone, over the game, where it stays for the player to pay.

#include <string>

#include "platform/foundation/Log.h"
#include "purchase_road_support.h"

namespace {

class NextPurchaseTest : public pay_test::PurchaseRoadTest, public testing::WithParamInterface<double> {
protected:
    // Purchase "A" of 6 yuan whose success block enters purchase "B".
    void enterAThenBFromItsSuccess() {
        TVNewPayVC::loadToPayVCWithroleid(
            ns::str("role9"), ns::str("s1"), ns::str("6"), ns::str("order-A"), ns::str("元宝"), ns::str("元宝"),
            [this](const ns::Ref<ns::String>& t, const ns::Ref<ns::String>& amount) {
                heard.push_back("A success " + text(t) + " " + text(amount));
                enter("B", "6");
            },
            [this](const ns::Ref<ns::String>& t, const ns::Id& code, const ns::Ref<ns::String>& amount) {
                heard.push_back("A failure " + text(t) + " " + ns::textOf(code) + " " + text(amount));
            });
    }
    // The centre the root presents, if any.
    ns::Ref<TVNewPayVC> centreOnRoot() {
        auto navigation = ns::cast<ui::NavigationController>(root->presentedViewController());
        return navigation ? ns::cast<TVNewPayVC>(navigation->viewControllers().front()) : nullptr;
    }
};

TEST_P(NextPurchaseTest, TheNextCentreOpensOnceThePaidOneHasGoneAndStays) {
    server.setStatusDelay(1);
    enterAThenBFromItsSuccess();
    env.runUntilIdle();
    auto first = centreOnRoot();
    ASSERT_TRUE(first);
    ASSERT_EQ(first->payStyle(), TVNewPayVC::Ptb) << "the pay ways are in";
    env.fastForwardBy(GetParam());
    ASSERT_TRUE(root->presentedViewController()->isBeingPresented()) << "the tap comes during the presentation";
    ns::LogCapture log;
    ASSERT_TRUE(driver.tap(first->payBtn.lock()));
    env.runUntilIdle();
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6"}));

    env.fastForwardBy(1);
    auto second = centreOnRoot();
    ASSERT_TRUE(second) << "the next centre is over the game";
    EXPECT_NE(second, first);
    EXPECT_EQ(text(TVNewPayVC::orderState().cpExtend), "order-B");
    EXPECT_FALSE(root->presentedViewController()->presentedViewController());
    env.fastForwardBy(1);
    EXPECT_EQ(centreOnRoot(), second) << "still up a second later";
    EXPECT_FALSE(log.contains("taken down"));

    // The player pays it on the pay page and comes back: the notice shows,
    // and the second poll confirms.
    payByWebPageAndComeBack(second);
    env.fastForwardBy(2);
    ASSERT_EQ(noticeShown(second), "支付成功");
    ASSERT_TRUE(driver.tap(second->noticeView()->cancelBtn.lock()));
    env.fastForwardBy(10);
    EXPECT_EQ(heard, (pay_test::Heard{"A success 支付成功 6", "B success 支付成功 6"}));
    EXPECT_FALSE(root->presentedViewController());
}

// The tap early in the presentation, and at its end.
INSTANTIATE_TEST_SUITE_P(TapDuringThePresentation, NextPurchaseTest, testing::Values(0.027, 0.299),
                         [](const testing::TestParamInfo<double>& info) {
                             return info.index == 0 ? std::string("Early") : std::string("AtTheEnd");
                         });

}  // namespace
