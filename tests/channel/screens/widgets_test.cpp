// The login card's widgets: the progress view's ring and title cycle on the
// clock, the count-down button's titles and stop rule, and the saved-account
// drop-down.

#include <string>
#include <vector>

#include "channel/screens/AccountTableView.h"
#include "channel/screens/JKCountDownButton.h"
#include "channel/screens/TVProgressDP.h"
#include "platform/dispatch/Clock.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Animation.h"
#include "platform/uikit/AnimationRecorder.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/TableViewCell.h"
#include "screens_test_support.h"

namespace {

using screens_test::ScreensTest;

using ProgressViewTest = ScreensTest;

TEST_F(ProgressViewTest, NineDotsPulseInTurnAroundTheRing) {
    auto dp = TVProgressDP::make({0, 0, 144, 85});
    window->addSubview(dp);
    dp->showWithTitle("正在登陆");

    auto ring = dp->replayer();
    auto dot = dp->dotLayer();
    ASSERT_TRUE(ring && dot);
    EXPECT_EQ(ring->superlayer(), dp->layer());
    EXPECT_EQ(ring->frame(), (cg::Rect{0, 0, 144, 85}));
    EXPECT_EQ(ring->instanceCount(), 9);
    EXPECT_DOUBLE_EQ(ring->instanceDelay(), 0.7 / 9);
    cg::Point turned = ring->instanceTransform().affine.apply(cg::Point{0, -1});
    EXPECT_NEAR(turned.x, std::sin(2 * M_PI / 9), 1e-9) << "40 degrees a dot";
    EXPECT_EQ(dot->bounds(), (cg::Rect{0, 0, 13, 13}));
    EXPECT_EQ(dot->cornerRadius(), 6.5);
    EXPECT_TRUE(dot->masksToBounds());
    EXPECT_EQ(dot->position(), (cg::Point{72, 10}));
    EXPECT_EQ(dot->transform().affine.a, 0) << "invisible until the pulse";

    ASSERT_EQ(dot->animationKeys().size(), 1u);
    auto pulse = ns::cast<ui::BasicAnimation>(dot->animationForKey(dot->animationKeys()[0]));
    ASSERT_TRUE(pulse);
    EXPECT_EQ(pulse->keyPath(), "transform.scale");
    EXPECT_EQ(ns::cast<ns::Number>(pulse->fromValue())->doubleValue(), 1);
    EXPECT_EQ(ns::cast<ns::Number>(pulse->toValue())->doubleValue(), 0);
    EXPECT_EQ(pulse->duration(), 0.7);
    EXPECT_EQ(pulse->timingFunction()->name(), "easeInEaseOut");
    EXPECT_TRUE(std::isinf(pulse->repeatCount()));
    env.fastForwardBy(30);
    EXPECT_EQ(dot->animationKeys().size(), 1u) << "the pulse never ends by itself";
}

TEST_F(ProgressViewTest, TheTitleRunsThreeTwoOneDotsEveryFifthOfASecondUntilDismissed) {
    auto dp = TVProgressDP::make({0, 0, 144, 85});
    window->addSubview(dp);
    dp->showWithTitle("正在登陆");
    auto label = dp->label();
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text()->utf8(), "正在登陆...");
    EXPECT_EQ(label->font()->pointSize(), 15);
    EXPECT_EQ(label->frame().origin.y, 85 + 8) << "under the ring";
    EXPECT_EQ(label->center().x, 72);

    std::vector<std::string> seen;
    // On ticks, so the steps add up exactly at any uptime.
    dispatch::TimeTicks start = dispatch::nowTicks();
    std::vector<dispatch::TimeDelta> at;
    for (int i = 0; i < 4; ++i) {
        env.fastForwardBy(0.2);
        seen.push_back(label->text()->utf8());
        at.push_back(dispatch::nowTicks() - start);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"正在登陆...", "正在登陆..", "正在登陆.", "正在登陆..."}));
    EXPECT_EQ(at.back(), dispatch::TimeDelta::fromSeconds(0.8));

    auto timer = dp->timer();
    ASSERT_TRUE(timer);
    dp->dismiss();
    EXPECT_FALSE(timer->isValid());
    EXPECT_FALSE(dp->timer());
    EXPECT_TRUE(dp->subviews().empty());
    EXPECT_TRUE(dp->layer()->sublayers().empty()) << "the ring is gone";
    env.fastForwardBy(1);
    EXPECT_EQ(label->text()->utf8(), "正在登陆...") << "no timer fires after dismiss";
}

TEST_F(ProgressViewTest, AViewThatGoesUndismissedTakesItsTimerWithIt) {
    auto dp = TVProgressDP::make({0, 0, 144, 85});
    window->addSubview(dp);
    dp->showWithTitle("正在登陆");
    std::weak_ptr<dispatch::RunLoopTimer> timer = dp->timer();
    ASSERT_TRUE(timer.lock());
    dp->removeFromSuperview();
    dp.reset();
    env.fastForwardBy(0.5);
    auto left = timer.lock();
    EXPECT_TRUE(!left || !left->isValid()) << "a title timer outlived its view";
    // Nothing is left to fire for ever.
    env.fastForwardUntilNoTasksRemain();
}

TEST_F(ProgressViewTest, ASecondShowWithoutDismissAddsASecondLabelAndTimer) {
    auto dp = TVProgressDP::make({0, 0, 144, 85});
    dp->showWithTitle("正在登陆");
    auto first = dp->timer();
    dp->showWithTitle("正在注册");
    EXPECT_EQ(dp->subviews().size(), 2u);
    EXPECT_NE(dp->timer(), first);
    EXPECT_TRUE(first->isValid());
    EXPECT_EQ(dp->dotLayer()->animationKeys().size(), 2u);
    dp->dismiss();
    EXPECT_TRUE(first->isValid()) << "only the last timer is known to the view";
    first->invalidate();
}

class CountDownTest : public ScreensTest {
protected:
    ns::Ref<JKCountDownButton> button = JKCountDownButton::make({0, 0, 100, 30});
    std::string title() const {
        auto text = button->titleForState(ui::ControlStateNormal);
        return text ? text->utf8() : "(none)";
    }
};

TEST_F(CountDownTest, TicksCountFromNMinusOneToOneThenTheFinishTitleAtNSeconds) {
    button->setTitle("获取验证码", ui::ControlStateNormal);
    button->startWithSecond(5);
    EXPECT_EQ(title(), "获取验证码") << "the caller titles the start";
    std::vector<std::string> titles;
    for (int i = 0; i < 5; ++i) {
        env.fastForwardBy(1);
        titles.push_back(title());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"4秒", "3秒", "2秒", "1秒", "重新获取"}));
    EXPECT_EQ(button->second(), 5);
    EXPECT_FALSE(button->timer()->isValid());
    env.fastForwardBy(3);
    EXPECT_EQ(title(), "重新获取");
}

TEST_F(CountDownTest, StopResetsTheSecondsOnceAndDoesNothingWhenNotRunning) {
    button->setTitle("获取验证码", ui::ControlStateNormal);
    button->stop();
    EXPECT_EQ(title(), "获取验证码") << "never started";

    button->startWithSecond(30);
    env.fastForwardBy(3);
    EXPECT_EQ(button->second(), 27);
    button->stop();
    EXPECT_EQ(title(), "重新获取");
    EXPECT_EQ(button->second(), 30);
    button->setTitle("x", ui::ControlStateNormal);
    button->stop();
    EXPECT_EQ(title(), "x") << "stopping again changes nothing";
    env.fastForwardBy(5);
    EXPECT_EQ(title(), "x");
}

TEST_F(CountDownTest, TitleClosuresAndTheTouchHandler) {
    std::vector<int> told;
    button->didChange([&](JKCountDownButton&, int second) {
        told.push_back(second);
        return ns::str("剩余" + std::to_string(second) + "秒");
    });
    button->didFinished([](JKCountDownButton&, int total) { return ns::str("完" + std::to_string(total)); });
    button->startWithSecond(3);
    env.fastForwardBy(1);
    EXPECT_EQ(title(), "剩余2秒");
    env.fastForwardBy(2);
    EXPECT_EQ(title(), "完3");
    EXPECT_EQ(told, (std::vector<int>{2, 1}));

    int64_t tag = -1;
    int touches = 0;
    button->setTag(7);
    button->addToucheHandler([&](JKCountDownButton&, int64_t t) {
        tag = t;
        ++touches;
    });
    button->addToucheHandler([&](JKCountDownButton&, int64_t t) {
        tag = t;
        ++touches;
    });
    button->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(tag, 7);
    EXPECT_EQ(touches, 1) << "attached once, the latest closure";
}

TEST_F(CountDownTest, StartingAgainWhileRunningLeavesOneTimerTicking) {
    button->startWithSecond(10);
    auto first = button->timer();
    env.fastForwardBy(3);
    button->startWithSecond(5);
    EXPECT_FALSE(first->isValid());
    env.fastForwardBy(1);
    EXPECT_EQ(title(), "4秒");
    EXPECT_EQ(button->second(), 4) << "one decrement a second";
    env.fastForwardBy(4);
    EXPECT_EQ(title(), "重新获取");
}

class DropDownTest : public ScreensTest {
protected:
    void saveAccounts(int count) {
        std::vector<ns::Id> pairs;
        for (int i = 1; i <= count; ++i)
            pairs.push_back(ns::Array::make({ns::str("user" + std::to_string(i)), ns::str("pwd" + std::to_string(i))}));
        ns::UserDefaults::standardUserDefaults()->setObjectForKey(ns::Array::make(pairs), "TV_accounts");
    }
    std::vector<std::string> shownNames(const ns::Ref<AccountTableView>& table) {
        std::vector<std::string> names;
        for (auto& cell : table->visibleCells()) names.push_back(cell->textLabel()->text()->utf8());
        return names;
    }
};

TEST_F(DropDownTest, FiveSavedAccountsListTheFifthFourthAndThirdByNameIn42PointRows) {
    saveAccounts(5);
    ui::AnimationRecorder::shared().clear();
    auto table = AccountTableView::make();
    table->setFrame({18, 116, 264, 126});
    window->addSubview(table);
    env.runUntilIdle();

    EXPECT_EQ(table->rowHeight(), 42);
    EXPECT_EQ(table->numberOfRowsInSection(*table, 0), 3);
    EXPECT_EQ(shownNames(table), (std::vector<std::string>{"user5", "user4", "user3"}));
    EXPECT_FALSE(driver.findByText("pwd5")) << "passwords are never shown";
    auto pair = ns::cast<ns::Array>(table->dataArray()->objectAtIndex(0));
    EXPECT_EQ(ns::cast<ns::String>(pair->objectAtIndex(1))->utf8(), "pwd5") << "the chooser reads it from the pair";
    for (auto& cell : table->visibleCells()) EXPECT_EQ(cell->frame().size.height, 42);

    EXPECT_EQ(table->layer()->anchorPoint(), (cg::Point{0.5, 0.0})) << "grows out of its top edge";
    auto record = ui::AnimationRecorder::shared().lastFor(*table);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->duration, 0.3);
    EXPECT_TRUE(record->animates(*table, "transform"));
    EXPECT_EQ(table->frame(), (cg::Rect{18, 116, 264, 126}));
}

TEST_F(DropDownTest, OneSavedAccountListsItAloneAndNoneListsNothing) {
    saveAccounts(1);
    auto one = AccountTableView::make();
    one->setFrame({18, 116, 264, 126});
    window->addSubview(one);
    env.runUntilIdle();
    EXPECT_EQ(shownNames(one), (std::vector<std::string>{"user1"}));

    ns::UserDefaults::standardUserDefaults()->removeObjectForKey("TV_accounts");
    auto none = AccountTableView::make();
    EXPECT_EQ(none->dataArray()->count(), 0u);
    EXPECT_EQ(none->numberOfRowsInSection(*none, 0), 0);
}

TEST_F(DropDownTest, SavedEntriesThatAreNotPairsMakeNoRows) {
    ns::UserDefaults::standardUserDefaults()->setObjectForKey(
        ns::Array::make({ns::Array::make({ns::str("old"), ns::str("pwd")}), ns::str("not a pair"),
                         ns::Array::make({ns::str("alone")})}),
        "TV_accounts");
    auto table = AccountTableView::make();
    table->setFrame({18, 116, 264, 126});
    window->addSubview(table);
    env.runUntilIdle();
    EXPECT_EQ(shownNames(table), (std::vector<std::string>{"old"}));
}

}  // namespace
