// A purchase against its events, stage by stage: for each stage it can be
// at (the centre up with nothing out, its order waiting for an earlier
// purchase of its player, an order out, the pay page up, the wallet out, a
// card showing a result, the poll running under its card or with no screen
// left, the poll a wallet-out takedown started running with the app away,
// settled) and each event that can come then (the
// player's close, the game's takedown, the game dropping its root under the
// centre, the app leaving and returning, a logout, a login as another
// account, a logout then a login as the same player, a wallet answer naming
// its order or another, the order's reply, the poll's end), what the game
// hears and how many times, whether a purchase of the player logged in then,
// entered just after the event, waits, and what the screen shows. A stage and event that cannot meet is a
// row of its own, saying why.

#include <string>

#include "channel/ShareVale.h"
#include "purchase_road_support.h"

namespace {

using pay_test::Heard;

enum class Stage {
    Choosing,
    OrderWaiting,
    Ordering,
    PayPage,
    WalletOut,
    Card,
    Polling,
    PollingUnseen,
    PollingWalletAway,
    Settled
};
enum class Event {
    Close,
    Takedown,
    RootDropped,
    AppAway,
    Logout,
    OtherLogin,
    LogoutThenSameLogin,
    WalletOwn,
    WalletOther,
    OrderReply,
    PollEnd,
};

const char* nameOf(Stage stage) {
    const char* names[] = {"choosing", "order waiting", "ordering",       "pay page",
                           "wallet out", "card",          "polling",        "polling unseen",
                           "polling wallet away",         "settled"};
    return names[static_cast<int>(stage)];
}

const char* nameOf(Event event) {
    const char* names[] = {"close",      "takedown",   "root dropped", "app away", "logout", "other login",
                           "same login", "wallet own", "wallet other", "order reply", "poll end"};
    return names[static_cast<int>(event)];
}

struct Row {
    Stage stage;
    Event event;
    // Why the two cannot meet; the rest of the row is then unused.
    const char* cannotMeet;
    // What the screen shows just after the event: "centre", "card <text>",
    // or "game" (nothing of the purchase over the game).
    const char* shows;
    // Whether a purchase entered just after the event waits.
    bool holds;
    // What the game has heard of the purchase once 62 s have gone by.
    Heard heard;
};

// A failing row names itself.
void PrintTo(const Row& row, std::ostream* os) { *os << nameOf(row.stage) << " x " << nameOf(row.event); }

constexpr const char* kCanMeet = nullptr;
// They meet, but a login's own requests cannot be answered while the
// order's reply is held back; the logout row stands for both.
constexpr const char* kNotDriven = "not driven: the login would wait on the held-back reply";
const Heard kNothing{};
const Heard kWebPaid{"A success 支付成功 6"};
const Heard kCoinPaid{"A success 支付成功 6"};
const Heard kUnconfirmed{"A failure 支付失败 1 6"};
const Heard kWalletPaid{"A success 充值成功 6"};

// clang-format off
const Row kRows[] = {
    // The centre up, nothing out.
    {Stage::Choosing, Event::Close,               kCanMeet, "game",   false, kNothing},
    {Stage::Choosing, Event::Takedown,            kCanMeet, "game",   false, kNothing},
    {Stage::Choosing, Event::RootDropped,         kCanMeet, "game",   false, kNothing},
    {Stage::Choosing, Event::AppAway,             kCanMeet, "centre", true,  kNothing},
    {Stage::Choosing, Event::Logout,              kCanMeet, "centre", true,  kNothing},
    {Stage::Choosing, Event::OtherLogin,          kCanMeet, "centre", true,  kNothing},
    {Stage::Choosing, Event::LogoutThenSameLogin, kCanMeet, "centre", true,  kNothing},
    {Stage::Choosing, Event::WalletOwn,           "no wallet order yet", "", false, {}},
    {Stage::Choosing, Event::WalletOther,         kCanMeet, "centre", true,  kNothing},
    {Stage::Choosing, Event::OrderReply,          "no order out", "", false, {}},
    {Stage::Choosing, Event::PollEnd,             "no poll", "", false, {}},
    // A web order waiting: an earlier purchase ("E") of the player, paid on
    // its page and taken down, polls; A, entered while no one was logged
    // in, is paid for by the same player, back again. E's 21st poll
    // confirms it (about 40 s on), and A's order goes then.
    {Stage::OrderWaiting, Event::Close,           kCanMeet, "game",   true,  kNothing},
    {Stage::OrderWaiting, Event::Takedown,        kCanMeet, "game",   true,  kNothing},
    {Stage::OrderWaiting, Event::RootDropped,     kCanMeet, "game",   true,  kNothing},
    {Stage::OrderWaiting, Event::AppAway,         kCanMeet, "centre", true,  kNothing},
    // The order is not sent for a player who has gone.
    {Stage::OrderWaiting, Event::Logout,          kCanMeet, "centre", true,  kNothing},
    {Stage::OrderWaiting, Event::OtherLogin,      kCanMeet, "centre", true,  kNothing},
    {Stage::OrderWaiting, Event::LogoutThenSameLogin, kCanMeet, "centre", true, kNothing},
    {Stage::OrderWaiting, Event::WalletOwn,       "no wallet order", "", false, {}},
    {Stage::OrderWaiting, Event::WalletOther,     kCanMeet, "centre", true,  kNothing},
    {Stage::OrderWaiting, Event::OrderReply,      "no order out: it waits", "", false, {}},
    // Here the earlier purchase's poll: it ends, and A's order goes.
    {Stage::OrderWaiting, Event::PollEnd,         kCanMeet, "page",   true,  kNothing},
    // A coin order out, its reply held back 10 s.
    {Stage::Ordering, Event::Close,               kCanMeet, "game",   true,  kCoinPaid},
    {Stage::Ordering, Event::Takedown,            kCanMeet, "game",   true,  kCoinPaid},
    {Stage::Ordering, Event::RootDropped,         kCanMeet, "game",   true,  kCoinPaid},
    {Stage::Ordering, Event::AppAway,             kCanMeet, "centre", true,  kCoinPaid},
    {Stage::Ordering, Event::Logout,              kCanMeet, "centre", true,  kCoinPaid},
    {Stage::Ordering, Event::OtherLogin,          kNotDriven, "", false, {}},
    {Stage::Ordering, Event::LogoutThenSameLogin, kNotDriven, "", false, {}},
    {Stage::Ordering, Event::WalletOwn,           "no wallet order yet", "", false, {}},
    {Stage::Ordering, Event::WalletOther,         kCanMeet, "centre", true,  kCoinPaid},
    {Stage::Ordering, Event::OrderReply,          kCanMeet, "game",   false, kCoinPaid},
    {Stage::Ordering, Event::PollEnd,             "no poll", "", false, {}},
    // The web pay page up and loaded (paid); the sixth poll confirms.
    // The centre's own close (the player's is covered by the page, whose
    // back button is its return): the page goes with the centre.
    {Stage::PayPage, Event::Close,                kCanMeet, "game",   false, kNothing},
    {Stage::PayPage, Event::Takedown,             kCanMeet, "game",   true,  kWebPaid},
    {Stage::PayPage, Event::RootDropped,          kCanMeet, "game",   true,  kWebPaid},
    {Stage::PayPage, Event::AppAway,              kCanMeet, "card 支付中...", true, kNothing},
    {Stage::PayPage, Event::Logout,               kCanMeet, "page",   true,  kNothing},
    {Stage::PayPage, Event::OtherLogin,           kCanMeet, "page",   true,  kNothing},
    {Stage::PayPage, Event::LogoutThenSameLogin,  kCanMeet, "page",   true,  kNothing},
    {Stage::PayPage, Event::WalletOwn,            "no wallet order", "", false, {}},
    {Stage::PayPage, Event::WalletOther,          kCanMeet, "page",   true,  kNothing},
    {Stage::PayPage, Event::OrderReply,           "no order out", "", false, {}},
    {Stage::PayPage, Event::PollEnd,              "no poll before the return", "", false, {}},
    // The wallet has the order and has not answered; every poll confirms.
    // Taken down in the app in front, it polls at once.
    {Stage::WalletOut, Event::Close,              kCanMeet, "game",   false, kNothing},
    {Stage::WalletOut, Event::Takedown,           kCanMeet, "game",   false, kWebPaid},
    {Stage::WalletOut, Event::RootDropped,        kCanMeet, "game",   false, kWebPaid},
    {Stage::WalletOut, Event::AppAway,            kCanMeet, "card 支付成功", true, kNothing},
    {Stage::WalletOut, Event::Logout,             kCanMeet, "centre", true,  kNothing},
    {Stage::WalletOut, Event::OtherLogin,         kCanMeet, "centre", true,  kNothing},
    {Stage::WalletOut, Event::LogoutThenSameLogin, kCanMeet, "centre", true, kNothing},
    {Stage::WalletOut, Event::WalletOwn,          kCanMeet, "card 充值成功", true, kNothing},
    {Stage::WalletOut, Event::WalletOther,        kCanMeet, "centre", true,  kNothing},
    {Stage::WalletOut, Event::OrderReply,         "no order out", "", false, {}},
    {Stage::WalletOut, Event::PollEnd,            "no poll before the return", "", false, {}},
    // The card shows the poll's confirmation.
    {Stage::Card, Event::Close,                   kCanMeet, "game",   false, kWebPaid},
    {Stage::Card, Event::Takedown,                kCanMeet, "game",   false, kWebPaid},
    {Stage::Card, Event::RootDropped,             kCanMeet, "game",   false, kWebPaid},
    {Stage::Card, Event::AppAway,                 kCanMeet, "card 支付成功", true, kNothing},
    {Stage::Card, Event::Logout,                  kCanMeet, "card 支付成功", true, kNothing},
    {Stage::Card, Event::OtherLogin,              kCanMeet, "card 支付成功", true, kNothing},
    {Stage::Card, Event::LogoutThenSameLogin,     kCanMeet, "card 支付成功", true, kNothing},
    {Stage::Card, Event::WalletOwn,               "no wallet order", "", false, {}},
    {Stage::Card, Event::WalletOther,             kCanMeet, "card 支付成功", true, kNothing},
    {Stage::Card, Event::OrderReply,              "no order out", "", false, {}},
    {Stage::Card, Event::PollEnd,                 "the poll has ended", "", false, {}},
    // The poll under the card at "支付中...", never confirming: it runs 62 s.
    {Stage::Polling, Event::Close,                kCanMeet, "game",   false, kUnconfirmed},
    {Stage::Polling, Event::Takedown,             kCanMeet, "game",   true,  kUnconfirmed},
    {Stage::Polling, Event::RootDropped,          kCanMeet, "game",   true,  kUnconfirmed},
    {Stage::Polling, Event::AppAway,              kCanMeet, "card 支付中...", true, kNothing},
    {Stage::Polling, Event::Logout,               kCanMeet, "card 支付中...", true, kNothing},
    {Stage::Polling, Event::OtherLogin,           kCanMeet, "card 支付中...", true, kNothing},
    {Stage::Polling, Event::LogoutThenSameLogin,  kCanMeet, "card 支付中...", true, kNothing},
    {Stage::Polling, Event::WalletOwn,            "no wallet order", "", false, {}},
    {Stage::Polling, Event::WalletOther,          kCanMeet, "card 支付中...", true, kNothing},
    {Stage::Polling, Event::OrderReply,           "no order out", "", false, {}},
    {Stage::Polling, Event::PollEnd,              kCanMeet, "card 支付中...", true, kNothing},
    // The poll with the screens taken down; the sixth poll confirms.
    {Stage::PollingUnseen, Event::Close,          "no screen left", "", false, {}},
    {Stage::PollingUnseen, Event::Takedown,       "no screen left", "", false, {}},
    {Stage::PollingUnseen, Event::RootDropped,    "no screen left", "", false, {}},
    {Stage::PollingUnseen, Event::AppAway,        kCanMeet, "game",   true,  kWebPaid},
    {Stage::PollingUnseen, Event::Logout,         kCanMeet, "game",   false, kWebPaid},
    {Stage::PollingUnseen, Event::OtherLogin,     kCanMeet, "game",   false, kWebPaid},
    // The same player's next purchase waits for the poll: it would ask with
    // the same request.
    {Stage::PollingUnseen, Event::LogoutThenSameLogin, kCanMeet, "game", true, kWebPaid},
    {Stage::PollingUnseen, Event::WalletOwn,      "no wallet order", "", false, {}},
    {Stage::PollingUnseen, Event::WalletOther,    kCanMeet, "game",   true,  kWebPaid},
    {Stage::PollingUnseen, Event::OrderReply,     "no order out", "", false, {}},
    {Stage::PollingUnseen, Event::PollEnd,        kCanMeet, "game",   false, kWebPaid},
    // The wallet out, taken down in the app in front (its poll starts),
    // then the wallet takes the app away; the player has not paid yet, so
    // no poll confirms. A poll that ends with the app away reports
    // nothing: the wallet's answer or the return still tells.
    {Stage::PollingWalletAway, Event::Close,       "no screen left", "", false, {}},
    {Stage::PollingWalletAway, Event::Takedown,    "no screen left", "", false, {}},
    {Stage::PollingWalletAway, Event::RootDropped, "no screen left", "", false, {}},
    // Back before the poll's end: the poll ends in front.
    {Stage::PollingWalletAway, Event::AppAway,     kCanMeet, "game",   true,  kUnconfirmed},
    {Stage::PollingWalletAway, Event::Logout,      kCanMeet, "game",   false, kNothing},
    {Stage::PollingWalletAway, Event::OtherLogin,  kCanMeet, "game",   false, kNothing},
    {Stage::PollingWalletAway, Event::LogoutThenSameLogin, kCanMeet, "game", true, kNothing},
    {Stage::PollingWalletAway, Event::WalletOwn,   kCanMeet, "game",   false, kWalletPaid},
    {Stage::PollingWalletAway, Event::WalletOther, kCanMeet, "game",   true,  kNothing},
    {Stage::PollingWalletAway, Event::OrderReply,  "no order out", "", false, {}},
    {Stage::PollingWalletAway, Event::PollEnd,     kCanMeet, "game",   true,  kNothing},
    // Paid by coins and closed; what it heard then is not counted.
    {Stage::Settled, Event::Close,                "no centre left", "", false, {}},
    {Stage::Settled, Event::Takedown,             kCanMeet, "game",   false, kNothing},
    {Stage::Settled, Event::RootDropped,          kCanMeet, "game",   false, kNothing},
    {Stage::Settled, Event::AppAway,              kCanMeet, "game",   false, kNothing},
    {Stage::Settled, Event::Logout,               kCanMeet, "game",   false, kNothing},
    {Stage::Settled, Event::OtherLogin,           kCanMeet, "game",   false, kNothing},
    {Stage::Settled, Event::LogoutThenSameLogin,  kCanMeet, "game",   false, kNothing},
    {Stage::Settled, Event::WalletOwn,            "no wallet order", "", false, {}},
    {Stage::Settled, Event::WalletOther,          kCanMeet, "game",   false, kNothing},
    {Stage::Settled, Event::OrderReply,           "no order out", "", false, {}},
    {Stage::Settled, Event::PollEnd,              "no poll", "", false, {}},
};
// clang-format on

class PurchaseTableTest : public pay_test::PurchaseRoadTest, public testing::WithParamInterface<Row> {
protected:
    // Brings purchase "A" of 6 yuan to `stage`, its centre over the game's
    // dialog.
    void reach(Stage stage) {
        switch (stage) {
            case Stage::Choosing:
                centre = openOverDialog("A");
                return;
            case Stage::OrderWaiting: {
                server.setStatusDelay(20);
                auto earlier = openOverDialog("E");
                ASSERT_TRUE(earlier);
                ASSERT_TRUE(payByWebPage(earlier));
                takeDown();
                ASSERT_EQ(polls(), 1);
                ToviraSDK::LoginOut();
                env.runUntilIdle();
                centre = openOverDialog("A");
                ASSERT_TRUE(centre) << "no one logged in: A opens at once";
                // The player is back (as a login would leave it, without
                // its window: a later login event opens its own).
                ShareVale::sharedInstance()->setUserName(ns::str(sandbox::ChannelServer::kKnownUser));
                ASSERT_TRUE(driver.tap(centre->quipayIconBtn.lock()));
                ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
                env.fastForwardBy(1);
                ASSERT_EQ(shown(), "centre") << "A's order waits for E";
                return;
            }
            case Stage::Ordering:
                centre = openOverDialog("A");
                ASSERT_TRUE(centre);
                ASSERT_EQ(centre->payStyle(), TVNewPayVC::Ptb);
                ASSERT_TRUE(sendHeldBack(centre, "Ttbpay/ttbnew", kOrderHeld));
                orderHeld = true;
                return;
            case Stage::PayPage:
                server.setStatusDelay(5);
                centre = openOverDialog("A");
                ASSERT_TRUE(centre);
                ASSERT_TRUE(payByWebPage(centre));
                return;
            case Stage::WalletOut:
                ui::Application::sharedApplication()->addInstalledScheme(QuipaySDK::kWalletScheme);
                walletAppOnly();
                server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("1")}}));
                centre = openOverDialog("A");
                payByWallet(centre);
                return;
            case Stage::Card: {
                centre = openOverDialog("A");
                ASSERT_TRUE(centre);
                auto page = payByWebPage(centre);
                ASSERT_TRUE(page);
                page->popAction();
                env.fastForwardBy(1);
                ASSERT_EQ(noticeShown(centre), "支付成功");
                return;
            }
            case Stage::Polling:
                server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
                centre = openOverDialog("A");
                ASSERT_TRUE(centre);
                payByWebPageAndComeBack(centre);
                return;
            case Stage::PollingUnseen:
                server.setStatusDelay(5);
                centre = openOverDialog("A");
                ASSERT_TRUE(centre);
                payByWebPageAndComeBack(centre);
                takeDown();
                return;
            case Stage::PollingWalletAway:
                ui::Application::sharedApplication()->addInstalledScheme(QuipaySDK::kWalletScheme);
                walletAppOnly();
                server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
                centre = openOverDialog("A");
                payByWallet(centre);
                if (HasFatalFailure()) return;
                takeDown();
                ASSERT_EQ(polls(), 1) << "taken down in front: the poll starts";
                ui::Application::sharedApplication()->simulateEnterBackground();
                env.runUntilIdle();
                return;
            case Stage::Settled:
                centre = openOverDialog("A");
                ASSERT_TRUE(centre);
                ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
                env.fastForwardBy(1);
                ASSERT_EQ(heard, kCoinPaid);
                heard.clear();
                return;
        }
    }

    void happen(Event event) {
        auto application = ui::Application::sharedApplication();
        switch (event) {
            case Event::Close:
                if (centre->noticeView()->window()) ASSERT_TRUE(driver.tap(centre->noticeView()->cancelBtn.lock()));
                else centre->popAction();
                return letTimePass(1);
            case Event::Takedown: return takeDown();
            case Event::RootDropped:
                // Nothing of the test keeps the centre either.
                centre = nullptr;
                return dropRoot();
            case Event::AppAway:
                application->simulateEnterBackground();
                letTimePass(1);
                application->simulateEnterForeground();
                return letTimePass(0);
            case Event::Logout:
                ToviraSDK::LoginOut();
                return letTimePass(0);
            case Event::OtherLogin: return logIn(sandbox::ChannelServer::kMinorUser, sandbox::ChannelServer::kMinorPassword);
            case Event::LogoutThenSameLogin:
                ToviraSDK::LoginOut();
                env.runUntilIdle();
                return logIn(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
            case Event::WalletOwn:
                application->simulateOpenURL(walletReturn("9000", currentWalletOrder()));
                return letTimePass(0);
            case Event::WalletOther:
                application->simulateOpenURL(walletReturn("9000", "order_no=ELSEWHERE&sign=sandbox"));
                return letTimePass(0);
            case Event::OrderReply:
                releaseOrder();
                return letTimePass(1);
            case Event::PollEnd:
                env.fastForwardBy(62);
                return;
        }
    }

    // While the order's reply is held back nothing may wait for I/O: time
    // passes on the clock alone.
    void letTimePass(double seconds) override {
        if (!orderHeld) return seconds > 0 ? env.fastForwardBy(seconds) : env.runUntilIdle();
        env.advanceClockWhileInFlight(seconds);
        env.runReadyWhileInFlight();
    }

    // The held-back reply comes, before anything waits for I/O.
    void releaseOrder() {
        env.advanceClockWhileInFlight(kOrderHeld);
        env.runUntilIdle();
        orderHeld = false;
    }

    // Longer than any event's steps take on the clock.
    static constexpr double kOrderHeld = 10;
    ns::Ref<TVNewPayVC> centre;
    bool orderHeld = false;
};

TEST_P(PurchaseTableTest, WhatTheGameHearsWhetherItHoldsAndWhatItShows) {
    const Row& row = GetParam();
    if (row.cannotMeet) GTEST_SKIP() << nameOf(row.stage) << " x " << nameOf(row.event) << ": " << row.cannotMeet;
    ui::Application::sharedApplication()->simulateBecomeActive();
    reach(row.stage);
    if (HasFatalFailure()) return;
    happen(row.event);
    if (HasFatalFailure()) return;
    EXPECT_EQ(shown(), row.shows);
    EXPECT_EQ(!nextOpens(), row.holds);
    if (orderHeld) releaseOrder();
    env.fastForwardBy(62);
    Heard own;
    for (const auto& each : heard)
        if (each.rfind("A ", 0) == 0) own.push_back(each);
    EXPECT_EQ(own, row.heard);
}

std::string rowName(const testing::TestParamInfo<Row>& info) {
    std::string name = std::string(nameOf(info.param.stage)) + "_" + nameOf(info.param.event);
    for (char& c : name)
        if (c == ' ') c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(EveryStageAgainstEveryEvent, PurchaseTableTest, testing::ValuesIn(kRows), rowName);

}  // namespace
