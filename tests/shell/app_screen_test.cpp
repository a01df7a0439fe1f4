// The screen and its delegate on their own: the launch, the layout, the
// curtain, the page's dialogs and how each facade callback reaches the page.

#include "app_test_support.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Number.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/TextField.h"

using apptest::str;

namespace {

class ScreenTest : public apptest::AppTest {
protected:
    // Launched with the page loaded; the channel login is left unanswered.
    void launchAndLoad() {
        launch();
        ASSERT_TRUE(settle([&] { return screen()->pageFinished() == 1; }));
        recordPageCallbacks();
    }

    // Answers the next alert with `action` once it is up, noting what it showed.
    void answerNextAlert(std::string action) {
        dispatch::after(0.05, dispatch::mainQueue(), [this, action] {
            auto alert = driver.presentedAlert();
            if (!alert) return answerNextAlert(action);
            shownTitle = str(alert->title());
            shownMessage = str(alert->message());
            shownActions.clear();
            for (const auto& a : alert->actions()) {
                shownActions.push_back(str(a->title()) + (a->style() == ui::AlertActionStyle::Cancel ? "/cancel" : ""));
            }
            shownField = alert->textFields().empty() ? "-" : str(alert->textFields().front()->text());
            if (!alert->textFields().empty() && !typed.empty()) alert->textFields().front()->setText(typed);
            ASSERT_TRUE(driver.answerAlert(action));
        });
    }

    ns::Ref<ns::Dictionary> dataOf(const std::string& action) {
        auto callback = lastPageCallback(action);
        return callback ? ns::cast<ns::Dictionary>(callback->objectForKey("data")) : nullptr;
    }

    std::string shownTitle, shownMessage, shownField, typed;
    std::vector<std::string> shownActions;
};

ns::Ref<ns::String> text(const std::string& s) { return ns::String::make(s); }

// Notes when the channel hears of the launch, and whether the screen was up.
class LaunchWatchingChannel : public apptest::FakeChannel {
public:
    void didFinishLaunching() override {
        FakeChannel::didFinishLaunching();
        launchedAt = dispatch::nowTicks();
        auto delegate = std::dynamic_pointer_cast<AppDelegate>(ui::Application::sharedApplication()->delegate());
        windowVisibleAtLaunch = delegate && delegate->window() && !delegate->window()->isHidden();
    }
    dispatch::TimeTicks launchedAt;
    bool windowVisibleAtLaunch = true;
};

}  // namespace

TEST_F(ScreenTest, LaunchPausesThenStartsTheSdkAndShowsTheMainInterface) {
    auto watching = std::make_shared<LaunchWatchingChannel>();
    channel = watching;
    KVTRChannelSDK::setShared(watching);
    const dispatch::TimeTicks start = dispatch::nowTicks();
    launch();

    EXPECT_EQ(watching->launchedAt - start, dispatch::TimeDelta::fromSeconds(AppDelegate::LaunchPauseSeconds));
    EXPECT_FALSE(watching->windowVisibleAtLaunch);
    EXPECT_EQ(requestsTo(platform.http(), "/init"), 1);

    auto window = appDelegate()->window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isKeyWindow());
    ASSERT_TRUE(screen());
    EXPECT_TRUE(screen()->isViewLoaded());
    EXPECT_EQ(screen()->view()->backgroundColor(), ui::blackColor());
    EXPECT_FALSE(screen()->activityIndicator());
}

TEST_F(ScreenTest, WebViewFollowsTheSafeArea) {
    launchAndLoad();
    auto window = appDelegate()->window();
    window->layoutIfNeeded();
    EXPECT_TRUE(ui::Application::sharedApplication()->isStatusBarHidden());
    // The notched phone upright: 47 above, 34 below.
    EXPECT_EQ(screen()->wkWebView()->frame(), (cg::Rect{0, 47, 390, 844 - 47 - 34}));
    EXPECT_FALSE(screen()->wkWebView()->scrollView()->isScrollEnabled());

    ui::Screen::mainScreen()->setOrientation(ui::InterfaceOrientation::LandscapeLeft);
    window->layoutIfNeeded();
    EXPECT_EQ(screen()->wkWebView()->frame(), (cg::Rect{47, 0, 844 - 94, 390 - 21}));

    // Before the safe area existed the frame stays as made.
    auto model = ui::Screen::mainScreen()->model();
    model.systemVersion = "10.3";
    ui::Screen::mainScreen()->setModel(model);
    screen()->wkWebView()->setFrame({0, 0, 10, 10});
    screen()->view()->setNeedsLayout();
    window->layoutIfNeeded();
    EXPECT_EQ(screen()->wkWebView()->frame(), (cg::Rect{0, 0, 10, 10}));
}

TEST_F(ScreenTest, CurtainCoversThePageUntilItFades) {
    launch();
    auto curtain = screen()->curtain();
    ASSERT_TRUE(curtain);
    ASSERT_TRUE(curtain->image());
    EXPECT_EQ(curtain->frame(), ui::Screen::mainScreen()->bounds());
    // Above the web view.
    const auto& subviews = screen()->view()->subviews();
    ASSERT_EQ(subviews.size(), 2u);
    EXPECT_EQ(subviews[0], screen()->wkWebView());
    EXPECT_EQ(subviews[1], curtain);

    env.fastForwardBy(1.9);
    EXPECT_EQ(curtain->superview(), screen()->view());
    env.fastForwardBy(0.7);
    EXPECT_FALSE(curtain->superview());
    EXPECT_FALSE(screen()->curtain());
    EXPECT_EQ(screen()->view()->alpha(), 1.0);
}

TEST_F(ScreenTest, ConfirmDialogAsksWithTheTwoButtons) {
    launchAndLoad();
    answerNextAlert("确认");
    EXPECT_EQ(str(evaluate("confirm('放弃本局?') ? 'yes' : 'no'")), "yes");
    EXPECT_EQ(shownTitle, "提示");
    EXPECT_EQ(shownMessage, "放弃本局?");
    EXPECT_EQ(shownActions, (std::vector<std::string>{"取消/cancel", "确认"}));

    answerNextAlert("取消");
    EXPECT_EQ(str(evaluate("confirm() ? 'yes' : 'no'")), "no");
    EXPECT_EQ(shownMessage, "");

    // A page alert is answered at once, with nothing shown.
    EXPECT_EQ(str(evaluate("alert('hello'); 'after'")), "after");
    EXPECT_FALSE(driver.presentedAlert());
}

TEST_F(ScreenTest, PromptDialogAnswersTheFieldsText) {
    launchAndLoad();
    answerNextAlert("完成");
    EXPECT_EQ(str(evaluate("prompt('昵称', 'player1')")), "player1");
    EXPECT_EQ(shownTitle, "昵称");
    EXPECT_EQ(shownMessage, "");
    EXPECT_EQ(shownField, "player1");
    EXPECT_EQ(shownActions, (std::vector<std::string>{"完成"}));

    typed = "新名字";
    answerNextAlert("完成");
    EXPECT_EQ(str(evaluate("prompt('昵称', 'player1')")), "新名字");

    // Without a default the field starts empty and empty is answered.
    typed = "";
    answerNextAlert("完成");
    EXPECT_EQ(str(evaluate("var answer = prompt('昵称'); typeof answer + ':' + answer.length")), "string:0");
    EXPECT_EQ(shownField, "");
}

TEST_F(ScreenTest, PayCallbacksReachThePageAsText) {
    launchAndLoad();
    screen()->getPayFailCallBack(ns::Dictionary::make({{"order_id", ns::Number::withLongLong(77)},
                                                        {"cpOrder", text("cp-9")}}));
    ASSERT_TRUE(settle([&] { return dataOf("payNotify") != nullptr; }));
    auto data = dataOf("payNotify");
    EXPECT_EQ(str(data->objectForKey("status")), "2");
    EXPECT_EQ(str(data->objectForKey("order_id")), "77");
    EXPECT_TRUE(ns::cast<ns::String>(data->objectForKey("order_id")));
    EXPECT_EQ(str(data->objectForKey("channel_order")), "77");
    EXPECT_EQ(str(data->objectForKey("cp_order")), "cp-9");

    // A missing order id travels as the absent text.
    screen()->getPaySuccessCallBack(ns::Dictionary::make({{"cpOrder", text("cp-10")}}));
    ASSERT_TRUE(settle([&] { return str(dataOf("payNotify")->objectForKey("status")) == "1"; }));
    EXPECT_EQ(str(dataOf("payNotify")->objectForKey("order_id")), "(null)");
}

TEST_F(ScreenTest, RechargeAsksThePageToPayWithoutData) {
    launchAndLoad();
    screen()->rechargeCallBack(text("{\"event\" : \"open_shop\"}"));
    ASSERT_TRUE(settle([&] { return lastPageCallback("goPay") != nullptr; }));
    EXPECT_EQ(lastPageCallback("goPay")->count(), 1u);
    EXPECT_TRUE(log.contains("活动商城充值回调:{\"event\" : \"open_shop\"}"));
}

TEST_F(ScreenTest, CallbackRunsOnALaterTurn) {
    launchAndLoad();
    auto evaluated = [&] {
        size_t n = 0;
        for (const auto& line : log.lines()) n += line.find("CallbackFromIOS   Result=") != std::string::npos;
        return n;
    };
    const size_t before = evaluated();
    screen()->getUpdateRoleCallBack(nullptr);
    EXPECT_TRUE(log.contains("CallbackFromIOS   value=CallbackFromIOS('{\"action\":\"uploadGameRoleInfo\",\"data\":\"\"}')"));
    EXPECT_EQ(evaluated(), before);
    env.runUntilIdle();
    EXPECT_EQ(evaluated(), before + 1);
    EXPECT_TRUE(lastPageCallback("uploadGameRoleInfo"));
}

TEST_F(ScreenTest, UrlsReachTheChannelThroughTheFacade) {
    launchAndLoad();
    auto url = ns::URL::make("ToviraQuiPayScheme1001://safepay/?result=1");
    EXPECT_TRUE(ui::Application::sharedApplication()->simulateOpenURL(url));
    EXPECT_EQ(channel->count("openURLOptions"), 1);
    EXPECT_TRUE(appDelegate()->applicationHandleOpenURL(*ui::Application::sharedApplication(), url));
    EXPECT_EQ(channel->count("handleOpenURL"), 1);
}
