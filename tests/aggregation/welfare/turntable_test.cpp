// The turntables' draws and claims: the 1.0 s wait, the spin's steps, the
// prize pop-ups, the super bar and its claim, and the replies a wheel must
// survive (scripted by a loopback server of the test's own).

#include "aggregation/welfare/KVTRResourceHall.h"
#include "aggregation/welfare/KVTRTurnGiftPopViews.h"
#include "platform/testing/LoopbackServer.h"
#include "sandbox/FormFields.h"
#include "tests/aggregation/welfare/welfare_test_support.h"

namespace {

using namespace welfaretest;

class TurntableTest : public WelfareTest {
protected:
    ns::Ref<KVTRResourceHall> open(bool settle = true) {
        auto hall = std::make_shared<KVTRResourceHall>();
        hall->userInfo = text(storestest::kIdentity);
        hall->setResponseData(json(goodsReply(2)));
        hall->show();
        if (settle) env.runUntilIdle();
        return hall;
    }
    static int highlighted(const KVTRTurntable& wheel) {
        int found = -1, count = 0;
        for (size_t i = 0; i < wheel.cellArray().size(); ++i) {
            if (wheel.cellArray()[i]->selectBtn->isSelected()) {
                found = int(i);
                ++count;
            }
        }
        return count == 1 ? found : -1 - count;
    }
    // The game server's routes, scripted; the sandbox stays for the rest.
    void script(const std::string& path, const std::string& body) {
        scripted.route("GET", path, testing::Reply::text(body, "application/json"));
    }
    void useScriptedServer() { ::setenv("GAMEHOST_GAME_SERVER_URL", scripted.baseURL().c_str(), 1); }

    testing::LoopbackServer scripted;
};

TEST_F(TurntableTest, ABurstOfTapsDrawsOnceASecondAfterTheLastAndTheSpinEndsOnTheFirstSector) {
    auto hall = open();
    auto& wheel = *hall->welfare;
    ASSERT_TRUE(driver.tap(hall->rebtn2));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(driver.tap(wheel.clickOneBtn));
        env.fastForwardBy(0.4);
    }
    env.fastForwardBy(0.5);  // 0.9 s after the last tap
    env.runUntilIdle();
    EXPECT_EQ(countOf("/infiniteres/getwelfareturntable"), 0u);
    env.fastForwardBy(0.1);
    env.runUntilIdle();
    ASSERT_EQ(countOf("/infiniteres/getwelfareturntable"), 1u);
    EXPECT_EQ(sandbox::FormFields::parse(requestsTo("/infiniteres/getwelfareturntable")[0].query).value("nums"), "1");

    // 8 steps of 0.08 s; the buttons are off meanwhile.
    EXPECT_TRUE(wheel.isSpinning());
    EXPECT_FALSE(wheel.clickOneBtn->isEnabled());
    EXPECT_FALSE(wheel.clickFiveBtn->isEnabled());
    EXPECT_TRUE(hall->superwelfare->clickOneBtn->isEnabled()) << "the other wheel is free";
    const size_t loads = countOf("/infiniteres/welfareturntable");
    for (int step = 1; step <= 7; ++step) {
        env.fastForwardBy(0.08);
        EXPECT_EQ(highlighted(wheel), step % 8) << "step " << step;
    }
    EXPECT_FALSE(driver.findOfType<KVTRTurnOneGiftPopView>());
    env.fastForwardBy(0.08);
    env.runUntilIdle();
    EXPECT_FALSE(wheel.isSpinning());
    EXPECT_TRUE(wheel.clickOneBtn->isEnabled());
    EXPECT_EQ(highlighted(wheel), 0);
    EXPECT_EQ(countOf("/infiniteres/welfareturntable"), loads + 1) << "the wheel reloads";
    EXPECT_EQ(str(wheel.numLabel->text()), "5");
    auto popup = driver.findOfType<KVTRTurnOneGiftPopView>();
    ASSERT_TRUE(popup);
    EXPECT_EQ(str(popup->name()), "Gold*100");
}

TEST_F(TurntableTest, FiveDrawsStepSixteenTimesAndShowEveryPrize) {
    auto hall = open();
    auto& wheel = *hall->superwelfare;
    ASSERT_TRUE(driver.tap(hall->rebtn3));
    ASSERT_TRUE(driver.tap(wheel.clickFiveBtn));
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    ASSERT_TRUE(wheel.isSpinning());
    env.fastForwardBy(0.05 * 15);
    EXPECT_EQ(highlighted(wheel), 15 % 8);
    EXPECT_TRUE(wheel.isSpinning());
    env.fastForwardBy(0.05);
    env.runUntilIdle();
    EXPECT_FALSE(wheel.isSpinning());
    EXPECT_EQ(highlighted(wheel), 0);
    auto popup = driver.findOfType<KVTRTurnFiveGiftPopView>();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->prop_listArray()->count(), 5u);
    EXPECT_TRUE(driver.findByText("Hero shard*10") || driver.findByText("Gold*100"));

    // Five super draws passed the bar's count of three: full bar, pulse, claim.
    EXPECT_EQ(str(wheel.use_superwelfare_nums), "5");
    EXPECT_EQ(wheel.processView->frame(), (cg::Rect{0, 0, 206, 40}));
    EXPECT_TRUE(wheel.processIcon->isUserInteractionEnabled());
    auto keys = wheel.processIcon->layer()->animationKeys();
    ASSERT_EQ(keys.size(), 1u);
    auto pulse = std::dynamic_pointer_cast<ui::BasicAnimation>(wheel.processIcon->layer()->animationForKey(keys[0]));
    ASSERT_TRUE(pulse);
    EXPECT_EQ(pulse->keyPath(), "opacity");
    EXPECT_TRUE(pulse->autoreverses());
    EXPECT_EQ(pulse->duration(), 0.5);

    popup->closeClick();
    env.runUntilIdle();
    ASSERT_TRUE(driver.tap(wheel.processIcon));
    env.runUntilIdle();
    EXPECT_EQ(hudText(), "领取成功");
    env.runUntilIdle();
    EXPECT_EQ(str(wheel.use_superwelfare_nums), "0");
    EXPECT_EQ(wheel.processView->frame().size.width, 0);
    EXPECT_FALSE(wheel.processIcon->isUserInteractionEnabled());
    EXPECT_TRUE(wheel.processIcon->layer()->animationKeys().empty());
}

TEST_F(TurntableTest, ADrawOnOneWheelLeavesTheOthersSpinAlone) {
    auto hall = open();
    ASSERT_TRUE(driver.tap(hall->rebtn2));
    ASSERT_TRUE(driver.tap(hall->welfare->clickFiveBtn));
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    ASSERT_TRUE(hall->welfare->isSpinning());
    env.fastForwardBy(0.2);
    ASSERT_TRUE(driver.tap(hall->rebtn3));
    ASSERT_TRUE(driver.tap(hall->superwelfare->clickOneBtn));
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    EXPECT_EQ(hall->welfare->stopTime, 15) << "the super draw kept its own spin state";
    EXPECT_EQ(hall->welfare->type, 0);
    EXPECT_EQ(hall->superwelfare->stopTime, 7);
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    EXPECT_FALSE(hall->welfare->isSpinning());
    EXPECT_FALSE(hall->superwelfare->isSpinning());
    EXPECT_TRUE(driver.findOfType<KVTRTurnFiveGiftPopView>());
    EXPECT_TRUE(driver.findOfType<KVTRTurnOneGiftPopView>());
}

TEST_F(TurntableTest, ARefusedDrawShowsTheServersMessageAndDoesNotSpin) {
    auto hall = open();
    ASSERT_TRUE(driver.tap(hall->rebtn2));
    ASSERT_TRUE(driver.tap(hall->welfare->clickFiveBtn));
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    auto prizes = driver.findOfType<KVTRTurnFiveGiftPopView>();
    ASSERT_TRUE(prizes);
    prizes->closeClick();
    env.runUntilIdle();
    // One draw left of six.
    ASSERT_TRUE(driver.tap(hall->welfare->clickFiveBtn));
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    EXPECT_FALSE(hall->welfare->isSpinning());
    EXPECT_TRUE(hall->welfare->clickFiveBtn->isEnabled());
    EXPECT_EQ(hudText(), "not enough draws");
}

TEST_F(TurntableTest, DrawsWithoutPrizesSpinAndReloadButShowNoPopUp) {
    auto hall = open();
    useScriptedServer();
    script("/infiniteres/getwelfareturntable", R"({"status":"200","data":{"prop_list":"none"}})");
    script("/infiniteres/getsuperwelfareturntable", R"({"status":200})");
    script("/infiniteres/welfareturntable", R"({"status":"200","data":{"items":[],"user_welfare_nums":"9"}})");
    ASSERT_TRUE(driver.tap(hall->rebtn2));
    ASSERT_TRUE(driver.tap(hall->welfare->clickOneBtn));
    ASSERT_TRUE(driver.tap(hall->rebtn3));
    ASSERT_TRUE(driver.tap(hall->superwelfare->clickFiveBtn));
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    ASSERT_TRUE(hall->welfare->isSpinning());
    ASSERT_TRUE(hall->superwelfare->isSpinning());
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    EXPECT_FALSE(hall->welfare->isSpinning());
    EXPECT_FALSE(hall->superwelfare->isSpinning());
    EXPECT_FALSE(driver.findOfType<KVTRTurnGiftPopBase>()) << "never the previous draw's prizes";
    EXPECT_EQ(scripted.requests().size(), 4u) << "two draws and two reloads";

    // The welfare wheel now has no sectors; a draw still steps and ends.
    EXPECT_TRUE(hall->welfare->cellArray().empty());
    EXPECT_EQ(str(hall->welfare->numLabel->text()), "9");
    ASSERT_TRUE(driver.tap(hall->rebtn2));
    ASSERT_TRUE(driver.tap(hall->welfare->clickOneBtn));
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    EXPECT_FALSE(hall->welfare->isSpinning());
    EXPECT_EQ(hall->welfare->currentTime, 8);
}

TEST_F(TurntableTest, ABarRatioThatIsNoNumberLeavesTheBarEmptyAndTheIconDeaf) {
    auto hall = open();
    useScriptedServer();
    auto superLoad = [&](const std::string& use, const std::string& nums) {
        std::string centre = R"({"name":"Hero")" + (nums.empty() ? std::string() : R"(,"nums":)" + nums) + "}";
        std::string body = R"({"status":"200","data":{"items":[{"name":"Gold","amount":"1"}],"select_extra_items":)" +
                           centre + (use.empty() ? std::string() : R"(,"use_superwelfare_nums":)" + use) + "}}";
        scripted.clearRequests();
        script("/infiniteres/superwelfareturntable", body);
        hall->getInfiniteresSuperWelfareData();
        env.runUntilIdle();
        return hall->superwelfare->processView->frame().size.width;
    };
    EXPECT_EQ(superLoad(R"("0")", R"("0")"), 0);
    EXPECT_FALSE(hall->superwelfare->processIcon->isUserInteractionEnabled());
    EXPECT_EQ(superLoad("", R"("3")"), 0) << "without the numerator";
    EXPECT_EQ(superLoad(R"("2")", ""), 0) << "without the centre's count";
    EXPECT_EQ(superLoad(R"("two")", R"("3")"), 0);
    EXPECT_TRUE(hall->superwelfare->processIcon->layer()->animationKeys().empty());
    EXPECT_EQ(superLoad(R"("1")", R"("0")"), 206) << "a count of 0 with draws made fills the bar";
    EXPECT_TRUE(hall->superwelfare->processIcon->isUserInteractionEnabled());
    EXPECT_FLOAT_EQ(superLoad("1", "4"), 206 * 0.25f);
    // The bar shows its picture cut to its length, at three pixels a point.
    auto bar = hall->superwelfare->processView->image();
    ASSERT_TRUE(bar && bar->cgImage());
    EXPECT_EQ(bar->cgImage()->width(), 155);
    EXPECT_EQ(bar->cgImage()->height(), 120);
    EXPECT_FALSE(hall->superwelfare->processIcon->isUserInteractionEnabled());
    EXPECT_EQ(hall->superwelfare->cellArray().size(), 1u);

    // Wrong-type lists read as empty; a dropped reply keeps the wheel.
    script("/infiniteres/superwelfareturntable",
           R"({"status":"200","data":{"items":{"a":1},"select_extra_items":[]}})");
    hall->getInfiniteresSuperWelfareData();
    env.runUntilIdle();
    EXPECT_TRUE(hall->superwelfare->cellArray().empty());
    script("/infiniteres/superwelfareturntable", R"({"status":"500","data":{"items":[]}})");
    script("/infiniteres/welfareturntable", R"({"status":"200","data":[]})");
    const size_t before = hall->welfare->cellArray().size();
    hall->getInfiniteresWelfareData();
    env.runUntilIdle();
    EXPECT_EQ(hall->welfare->cellArray().size(), before);
}

}  // namespace

namespace {

using namespace welfaretest;

class PortraitTurntableTest : public TurntableTest {};

TEST_F(PortraitTurntableTest, PortraitPagesStackTheirPartsAndShowFivePrizesInTwoRows) {
    useScreen(375, 667);
    auto hall = std::make_shared<KVTRVerResourceHall>();
    hall->userInfo = text(storestest::kIdentity);
    hall->setResponseData(json(goodsReply(1)));
    hall->show();
    env.runUntilIdle();
    auto& welfare = *hall->welfare;
    auto& super = *hall->superwelfare;
    // The page is 375 x 513.
    EXPECT_EQ(welfare.turnTableImg->frame(), (cg::Rect{54.5, 30, 266, 266}));
    EXPECT_EQ(super.turnTableImg->frame(), (cg::Rect{64.5, 30, 266, 266}));
    EXPECT_EQ(welfare.numLabel->superview()->frame(), (cg::Rect{282, 290, 78, 32}));
    EXPECT_EQ(welfare.clickOneBtn->frame(), (cg::Rect{65.75, 337, 112, 34}));
    EXPECT_EQ(welfare.clickFiveBtn->frame(), (cg::Rect{207.75, 337, 112, 34}));
    EXPECT_EQ(super.processBg->frame(), (cg::Rect{10, 50, 40, 206}));
    EXPECT_EQ(super.processView->frame(), (cg::Rect{0, 0, 40, 0})) << "no super draw made yet";
    EXPECT_EQ(super.processIcon->frame(), (cg::Rect{2, 168, 35, 35}));

    ASSERT_TRUE(driver.tap(hall->rebtn2));
    EXPECT_FALSE(hall->descImage->isHidden());
    EXPECT_TRUE(hall->redescImage->isHidden());
    ASSERT_TRUE(driver.tap(welfare.centerImg));
    const cg::Rect r = welfare.centerImg->convertRectToView(welfare.centerImg->bounds(), nullptr);
    auto tip = driver.findByText("Mount");
    ASSERT_TRUE(tip);
    EXPECT_EQ(tip->frame().origin, (cg::Point{r.origin.x, r.origin.y - 60}));

    ASSERT_TRUE(driver.tap(welfare.clickFiveBtn));
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    env.fastForwardBy(0.8);
    env.runUntilIdle();
    auto popup = driver.findOfType<KVTRVETurnFiveGiftPopView>();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->frame().size, (cg::Size{354, 316}));
}

TEST_F(TurntableTest, ClosingTheHallLetsARunningSpinEndWithItsReloadAndPrizes) {
    auto hall = open();
    ASSERT_TRUE(driver.tap(hall->rebtn2));
    ASSERT_TRUE(driver.tap(hall->welfare->clickOneBtn));
    env.fastForwardBy(1.0);
    env.runUntilIdle();
    ASSERT_TRUE(hall->welfare->isSpinning());
    ns::Weak<KVTRTurntable> wheel = hall->welfare;
    ASSERT_TRUE(driver.tap(hall->closeBtn));
    env.runUntilIdle();
    EXPECT_FALSE(hall->superview());
    const size_t loads = countOf("/infiniteres/welfareturntable");
    hall = nullptr;
    EXPECT_TRUE(wheel.lock()) << "the spin holds its wheel";
    env.fastForwardBy(0.64);
    env.runUntilIdle();
    EXPECT_EQ(countOf("/infiniteres/welfareturntable"), loads + 1);
    EXPECT_TRUE(driver.findOfType<KVTRTurnOneGiftPopView>());
}

}  // namespace
