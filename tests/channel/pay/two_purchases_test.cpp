// Two purchases of one player. Purchase "A" of 6 yuan goes to the wallet,
// which never answers; back in the app the poll runs under "支付中...", the
// game takes the centre down, and the player logs out. Then the same player
// (or another) logs in and purchase "B" of 6 yuan is entered, to be paid on
// the web pay page. The order-status request names the player alone, so
// B of the same player waits until A's poll has ended; another player's B
// opens at once. Row by row, with the stand-in confirming a paid order only
// after a number of requests, what each purchase hears.

#include <string>

#include "purchase_road_support.h"

namespace {

using pay_test::Heard;

enum class Login { SamePlayer, OtherPlayer };

struct Row {
    Login login;
    // Order-status requests the stand-in answers "not yet" before it
    // confirms a paid order.
    int confirmAfter;
    // Whether B waits for A's poll to end before its centre opens.
    bool bWaits;
    Heard heard;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << (row.login == Login::SamePlayer ? "same player" : "other player") << ", confirmed after "
        << row.confirmAfter;
}

const Heard kEachItsOwn{"A failure 支付失败 1 6", "B success 支付成功 6"};
const Heard kBFirst{"B success 支付成功 6", "A failure 支付失败 1 6"};

// clang-format off
const Row kRows[] = {
    {Login::SamePlayer,  0, true,  kEachItsOwn},
    {Login::SamePlayer,  1, true,  kEachItsOwn},
    {Login::SamePlayer,  2, true,  kEachItsOwn},
    {Login::SamePlayer,  3, true,  kEachItsOwn},
    {Login::SamePlayer,  4, true,  kEachItsOwn},
    {Login::SamePlayer,  5, true,  kEachItsOwn},
    {Login::SamePlayer,  6, true,  kEachItsOwn},
    {Login::OtherPlayer, 0, false, kBFirst},
    {Login::OtherPlayer, 3, false, kBFirst},
    {Login::OtherPlayer, 6, false, kBFirst},
};
// clang-format on

class TwoPurchasesTest : public pay_test::PurchaseRoadTest, public testing::WithParamInterface<Row> {
protected:
    // A on the wallet, back without an answer, taken down under its card.
    void purchaseAPollingUnseen() {
        ui::Application::sharedApplication()->addInstalledScheme(QuipaySDK::kWalletScheme);
        walletAppOnly();
        auto centre = openOverDialog("A");
        payByWallet(centre);
        auto application = ui::Application::sharedApplication();
        application->simulateEnterBackground();
        env.runUntilIdle();
        application->simulateEnterForeground();
        env.runUntilIdle();
        ASSERT_EQ(noticeShown(centre), "支付中...");
        takeDown();
        // B pays on the stand-in's own pay ways.
        server.setReply("pay/getPayWayios", std::nullopt);
    }
    ns::Ref<TVNewPayVC> centreOnRoot() {
        auto navigation = ns::cast<ui::NavigationController>(root->presentedViewController());
        return navigation ? ns::cast<TVNewPayVC>(navigation->viewControllers().front()) : nullptr;
    }
};

TEST_P(TwoPurchasesTest, EachPurchaseHearsItsOwnResult) {
    const Row& row = GetParam();
    server.setStatusDelay(row.confirmAfter);
    purchaseAPollingUnseen();
    if (HasFatalFailure()) return;
    ASSERT_EQ(polls(), 1);
    ToviraSDK::LoginOut();
    env.runUntilIdle();
    if (row.login == Login::SamePlayer) logIn(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    else logIn(sandbox::ChannelServer::kMinorUser, sandbox::ChannelServer::kMinorPassword);
    if (HasFatalFailure()) return;

    enter("B", "6");
    env.fastForwardBy(1);
    auto second = centreOnRoot();
    EXPECT_EQ(!second, row.bWaits);
    if (row.bWaits) {
        EXPECT_EQ(hudShown(), "支付中...") << "the player is told a payment is still being confirmed";
        EXPECT_TRUE(heard.empty());
        env.fastForwardBy(60);
        EXPECT_EQ(heard, (Heard{"A failure 支付失败 1 6"})) << "A's poll has given up";
        second = centreOnRoot();
        EXPECT_EQ(hudShown(), "");
    }
    ASSERT_TRUE(second) << "B's centre is up";
    auto page = payByWebPage(second);
    ASSERT_TRUE(page);
    page->popAction();
    env.runUntilIdle();
    env.fastForwardBy(2 * row.confirmAfter + 1);
    ASSERT_EQ(noticeShown(second), "支付成功");
    ASSERT_TRUE(driver.tap(second->noticeView()->cancelBtn.lock()));
    env.fastForwardBy(70);
    EXPECT_EQ(heard, row.heard);
}

std::string rowName(const testing::TestParamInfo<Row>& info) {
    return std::string(info.param.login == Login::SamePlayer ? "SamePlayer" : "OtherPlayer") + "_ConfirmedAfter" +
           std::to_string(info.param.confirmAfter);
}

INSTANTIATE_TEST_SUITE_P(SecondPurchaseWhileTheFirstPolls, TwoPurchasesTest, testing::ValuesIn(kRows), rowName);

}  // namespace
