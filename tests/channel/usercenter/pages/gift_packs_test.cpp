// The welfare tab's gift packs: claim rows by state, a claim that reloads
// into a code row, a refused and a failed claim, claims overlapping another
// channel request, and copying a code.

#include <gtest/gtest.h>

#include "channel/NetWorkManager.h"
#include "channel/usercenter/pages/TVGiftCells.h"
#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "channel/usercenter/pages/TVSuWelfareVC.h"
#include "channel/usercenter/pages/TVWelfareBaseVC.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/uikit/AlertController.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Pasteboard.h"
#include "sandbox/Json.h"
#include "tests/channel/usercenter/pages/pages_test_support.h"

namespace {

class GiftPacksTest : public pages_test::PagesTest {
protected:
    ns::Ref<TVWelfareBaseVC> gifts() {
        auto welfare = page<TVSuWelfareVC>(12);
        return welfare ? ns::cast<TVWelfareBaseVC>(welfare->childViewControllers().at(0)) : nullptr;
    }
    // The cell on screen for row `index`, scrolled into view.
    ns::Ref<ui::TableViewCell> row(size_t index) {
        auto list = gifts();
        if (!list) return nullptr;
        auto table = list->tableView();
        auto path = ui::IndexPath::forRow(static_cast<int64_t>(index), 0);
        table->layoutIfNeeded();
        if (!table->cellForRowAtIndexPath(path)) {
            table->setContentOffset({0, table->rectForRowAtIndexPath(path).origin.y});
            table->layoutIfNeeded();
        }
        return table->cellForRowAtIndexPath(path);
    }
    // The alert on screen, whichever controller presents it.
    ns::Ref<ui::AlertController> shownAlert() {
        for (ns::Ref<ui::ViewController> c = root; c; c = c->presentedViewController())
            if (auto alert = ns::cast<ui::AlertController>(c)) return alert;
        return nullptr;
    }
    ns::Ref<TVGetGiftCell> claimRow(size_t index) { return ns::cast<TVGetGiftCell>(row(index)); }
    std::string title(const ns::Ref<TVGetGiftCell>& cell) {
        auto button = cell->getBtn.lock();
        return button->currentTitle() ? button->currentTitle()->utf8() : "";
    }
    size_t toasts(const ns::LogCapture& log, const std::string& text) {
        size_t n = 0;
        for (const auto& line : log.lines()) n += line == "screen: toast: " + text;
        return n;
    }
};

TEST_F(GiftPacksTest, ClaimRowsShowWhatIsLeft) {
    ASSERT_TRUE(openOn(Landscape, 12));
    auto list = gifts();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->dataSource().size(), 4u);
    EXPECT_EQ(sent("Card/lists").at(0).value("username"), "player1");

    auto full = claimRow(0);
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->getBtn.lock()->isEnabled());
    EXPECT_EQ(full->lineView.lock()->frame().size.width, 150);
    EXPECT_EQ(full->residueL.lock()->text()->utf8(), "剩余:100%");
    EXPECT_EQ(full->countL.lock()->text()->utf8(), "已有60人领取");
    auto model = ns::cast<TVSuGiftModel>(list->dataSource()[0]);
    EXPECT_EQ(gifts()->tableView()->rectForRowAtIndexPath({0, 0}).size.height, model->getCodeH());
    auto gone = claimRow(1);
    ASSERT_TRUE(gone);
    EXPECT_FALSE(gone->getBtn.lock()->isEnabled());
    EXPECT_EQ(title(gone), "已抢完");
    EXPECT_EQ(gone->lineView.lock()->frame().size.width, 0);
    EXPECT_EQ(gone->residueL.lock()->text()->utf8(), "剩余:0%");
    // Claimed wins over run out.
    auto taken = claimRow(2);
    ASSERT_TRUE(taken);
    EXPECT_FALSE(taken->getBtn.lock()->isEnabled());
    EXPECT_EQ(title(taken), "已领取");
    auto part = claimRow(3);
    ASSERT_TRUE(part);
    EXPECT_TRUE(part->getBtn.lock()->isEnabled());
    EXPECT_EQ(part->lineView.lock()->frame().size.width, 60);
}

TEST_F(GiftPacksTest, AnAcceptedClaimReloadsIntoACodeRowAndCopies) {
    ASSERT_TRUE(openOn(Landscape, 12));
    ns::LogCapture log;
    ASSERT_TRUE(driver.tap(claimRow(0)->getBtn.lock()));
    settle();
    EXPECT_EQ(toasts(log, "领取成功"), 1u);
    auto claims = sent("Card/receive");
    ASSERT_EQ(claims.size(), 1u);
    EXPECT_EQ(sent("Card/lists").size(), 2u);
    auto codeRow = ns::cast<TVCopyGiftCell>(row(0));
    ASSERT_TRUE(codeRow);
    EXPECT_EQ(codeRow->codeL.lock()->text()->utf8(), "GIFT-1-player1");
    auto model = ns::cast<TVSuGiftModel>(gifts()->dataSource()[0]);
    EXPECT_EQ(gifts()->tableView()->rectForRowAtIndexPath({0, 0}).size.height, model->copyH());

    ui::Pasteboard::generalPasteboard()->setString(std::nullopt);
    auto shownRow = ns::cast<TVCopyGiftCell>(cells(*gifts()->tableView()).at(0));
    ASSERT_TRUE(shownRow);
    auto copy = driver.find([&](ui::View& v) {
        auto b = dynamic_cast<ui::Button*>(&v);
        return b && b->isDescendantOfView(shownRow.get()) && b->currentTitle() &&
               b->currentTitle()->utf8() == "复制";
    });
    ASSERT_TRUE(driver.tap(copy));
    EXPECT_EQ(ui::Pasteboard::generalPasteboard()->string(), "GIFT-1-player1");
    env.fastForwardBy(0.05);
    EXPECT_FALSE(shownAlert());
    env.fastForwardBy(0.1);
    auto alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title()->utf8(), "礼包码已复制");
    EXPECT_EQ(alert->message()->utf8(), "使用说明：在游戏设置中输入礼包码");
    ASSERT_EQ(alert->actions().size(), 1u);
    EXPECT_EQ(alert->actions()[0]->title()->utf8(), "知道了");
    EXPECT_EQ(alert->actions()[0]->titleTextColor(), TVSuPageScenes::kOrange);
}

TEST_F(GiftPacksTest, ARefusedClaimShowsTheServersTextAndKeepsTheList) {
    ASSERT_TRUE(openOn(Landscape, 12));
    ns::LogCapture log;
    auto model = ns::cast<TVSuGiftModel>(gifts()->dataSource()[1]);
    gifts()->getGiftCodeWithBtn(nullptr, model);
    settle();
    EXPECT_EQ(toasts(log, "礼包已抢完"), 1u);
    EXPECT_EQ(sent("Card/lists").size(), 1u);
}

TEST_F(GiftPacksTest, TwoQuickTapsSendTwoClaims) {
    ASSERT_TRUE(openOn(Landscape, 12));
    ns::LogCapture log;
    auto button = claimRow(3)->getBtn.lock();
    ASSERT_TRUE(driver.tap(button));
    ASSERT_TRUE(driver.tap(button));
    settle();
    EXPECT_EQ(sent("Card/receive").size(), 2u);
    EXPECT_EQ(toasts(log, "领取成功") + toasts(log, "您已领取过该礼包"), 2u);
}

TEST_F(GiftPacksTest, AClaimOverlappingAPlayTimeReportGetsItsOwnReply) {
    ASSERT_TRUE(openOn(Landscape, 12));
    ns::LogCapture log;
    bool reported = false;
    NetWorkManager::sharedInstance()->PostCouponURL(
        "login/setTime", ns::MutableDictionary::make(), [&](const ns::Id&) { reported = true; }, nullptr);
    gifts()->getGiftCodeWithBtn(nullptr, ns::cast<TVSuGiftModel>(gifts()->dataSource()[0]));
    settle();
    EXPECT_TRUE(reported);
    EXPECT_EQ(toasts(log, "领取成功"), 1u);
    EXPECT_EQ(sent("Card/lists").size(), 2u);
}

TEST_F(GiftPacksTest, AFailedClaimShowsNothing) {
    ASSERT_TRUE(openOn(Landscape, 12));
    ::setenv("GAMEHOST_CHANNEL_API_URL", "http://127.0.0.1:1/sdkapicoupon/", 1);
    ns::LogCapture log;
    ASSERT_TRUE(driver.tap(claimRow(0)->getBtn.lock()));
    settle();
    for (const auto& line : log.lines()) EXPECT_EQ(line.find("screen: toast"), std::string::npos) << line;
    EXPECT_TRUE(claimRow(0)->getBtn.lock()->isEnabled());
}

TEST_F(GiftPacksTest, CodeRowsNeedACode) {
    auto rows = TVSuRow::rowsOf<TVSuGiftModel>(sandbox::jsonValue(
        R"([{"ID":"1","code":"","excerpt":"x"},{"ID":"2","code":"A","excerpt":"x"},{"ID":"3","excerpt":"x"}])"));
    ASSERT_EQ(rows.size(), 3u);
    auto empty = ns::cast<TVSuGiftModel>(rows[0]), one = ns::cast<TVSuGiftModel>(rows[1]);
    EXPECT_FALSE(empty->hasCode());
    EXPECT_TRUE(one->hasCode());
    EXPECT_FALSE(ns::cast<TVSuGiftModel>(rows[2])->hasCode());
    EXPECT_DOUBLE_EQ(one->getCodeH() - one->copyH(), 99 - 84.5);
}

}  // namespace
