#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/KeyValueCoding.h"
#include "platform/foundation/Log.h"
#include "platform/runtime/Exception.h"
#include "platform/testing/UIDriver.h"
#include "platform/uikit/AlertController.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

class AlertTest : public UIKitTest {
protected:
    AlertTest() {
        root = std::make_shared<ui::ViewController>();
        window = ui::Window::makeFullScreen();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        env.runUntilIdle();
    }

    ns::Ref<ui::ViewController> root;
    ns::Ref<ui::Window> window;
    testing::UIDriver driver;
};

TEST_F(AlertTest, TheDriverAnswersAnAlertAndTheHandlerRunsOnceItIsGone) {
    EXPECT_FALSE(driver.answerAlert("重试"));
    std::vector<std::string> answered;
    auto alert = ui::AlertController::alertControllerWithTitle("提示", "连接服务器失败", ui::AlertControllerStyle::Alert);
    alert->addAction(ui::AlertAction::actionWithTitle("重试", ui::AlertActionStyle::Default,
                                                      [&](ui::AlertAction& a) { answered.push_back(a.title()->utf8()); }));
    root->presentViewController(alert, true);
    env.fastForwardBy(ui::ViewController::TransitionDuration);

    EXPECT_EQ(driver.presentedAlert(), alert);
    auto message = driver.findByText("连接服务器失败");
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(message->isDescendantOfView(alert->view().get()));
    // The presenter stays on screen under the alert.
    EXPECT_EQ(root->view()->window(), window);
    auto box = alert->buttonForAction(alert->actions().front())->superview();
    EXPECT_DOUBLE_EQ(box->frame().width(), ui::AlertController::AlertWidth);
    EXPECT_DOUBLE_EQ(box->frame().midY(), window->bounds().midY());

    EXPECT_FALSE(driver.answerAlert("取消"));
    ASSERT_TRUE(driver.answerAlert("重试"));
    EXPECT_TRUE(answered.empty());
    EXPECT_TRUE(alert->isBeingDismissed());
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(answered, (std::vector<std::string>{"重试"}));
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(driver.presentedAlert(), nullptr);
}

TEST_F(AlertTest, TextFieldsAreConfiguredAtOnceAndReadByTheHandler) {
    auto alert = ui::AlertController::alertControllerWithTitle("添加新小号", "", ui::AlertControllerStyle::Alert);
    alert->addTextFieldWithConfigurationHandler([](ui::TextField& field) { field.setPlaceholder("名称不能超过8个字符"); });
    ASSERT_EQ(alert->textFields().size(), 1u);
    EXPECT_EQ(alert->textFields()[0]->placeholder()->utf8(), "名称不能超过8个字符");
    std::string entered;
    alert->addAction(ui::AlertAction::actionWithTitle("取消", ui::AlertActionStyle::Destructive));
    alert->addAction(ui::AlertAction::actionWithTitle("确认", ui::AlertActionStyle::Default, [&](ui::AlertAction&) {
        entered = alert->textFields()[0]->text()->utf8();
    }));
    root->presentViewController(alert, false);
    env.runUntilIdle();

    auto field = ns::cast<ui::TextField>(driver.findByText("名称不能超过8个字符"));
    ASSERT_EQ(field, alert->textFields()[0]);
    EXPECT_TRUE(driver.typeText(field, "abc"));
    // Two actions sit side by side, in the order added.
    auto cancel = alert->buttonForAction(alert->actionWithTitle("取消"));
    auto confirm = alert->buttonForAction(alert->actionWithTitle("确认"));
    EXPECT_LT(cancel->frame().minX(), confirm->frame().minX());
    EXPECT_EQ(cancel->frame().minY(), confirm->frame().minY());
    EXPECT_EQ(cancel->titleColorForState(ui::ControlStateNormal), ui::redColor());

    ASSERT_TRUE(driver.answerAlert("确认"));
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(entered, "abc");
}

TEST_F(AlertTest, AttributedKeysAreAcceptedByKeyValueCoding) {
    auto alert = ui::AlertController::alertControllerWithTitle("提示", "需要实名认证", ui::AlertControllerStyle::Alert);
    auto action = ui::AlertAction::actionWithTitle("确定", ui::AlertActionStyle::Default);
    alert->addAction(action);
    auto title = ui::AttributedText::make("提示", {{ui::ForegroundColorAttributeName, ui::valueWithColor(ui::blackColor())}});
    EXPECT_NO_THROW(ns::setValueForKey(*alert, title, "attributedTitle"));
    EXPECT_NO_THROW(ns::setValueForKey(*alert, ui::AttributedText::make("需要实名认证"), "attributedMessage"));
    EXPECT_NO_THROW(ns::setValueForKey(*action, ui::valueWithColor(ui::orangeColor()), "titleTextColor"));
    EXPECT_EQ(ns::valueForKey(*alert, "attributedTitle"), title);
    EXPECT_EQ(action->titleTextColor(), ui::orangeColor());
    EXPECT_EQ(alert->buttonForAction(action)->titleColorForState(ui::ControlStateNormal), ui::orangeColor());
}

TEST_F(AlertTest, TheScreenLogShowsWhatTheAlertShowsAndWhichButtonWasTapped) {
    ns::LogCapture log;
    auto alert = ui::AlertController::alertControllerWithTitle("登录", "", ui::AlertControllerStyle::Alert);
    alert->addTextFieldWithConfigurationHandler([](ui::TextField& field) { field.setText("player1"); });
    alert->addTextFieldWithConfigurationHandler([](ui::TextField& field) {
        field.setSecureTextEntry(true);
        field.setText("hunter2");
    });
    alert->addAction(ui::AlertAction::actionWithTitle("确认", ui::AlertActionStyle::Default));
    alert->addAction(ui::AlertAction::actionWithTitle("取消", ui::AlertActionStyle::Cancel));
    root->presentViewController(alert, true);
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    // The empty message is left out; the cancel button shows first side by
    // side; the secure field's content never reaches the log.
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"screen: alert: 登录 | {player1} | {•••} | [取消] [确认]"}));
    ASSERT_TRUE(driver.answerAlert("确认"));
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(log.lines().back(), "screen: alert tap: 登录 | [确认]");
    for (const auto& line : log.lines()) EXPECT_EQ(line.find("hunter2"), std::string::npos) << line;

    // An action sheet of three: the cancel action comes last; a disabled
    // action taken by code logs nothing.
    log.clear();
    auto sheet = ui::AlertController::alertControllerWithTitle("", "选择支付方式", ui::AlertControllerStyle::ActionSheet);
    sheet->addAction(ui::AlertAction::actionWithTitle("取消", ui::AlertActionStyle::Cancel));
    sheet->addAction(ui::AlertAction::actionWithTitle("钱包", ui::AlertActionStyle::Default));
    auto disabled = ui::AlertAction::actionWithTitle("平台币", ui::AlertActionStyle::Default);
    disabled->setEnabled(false);
    sheet->addAction(disabled);
    root->presentViewController(sheet, false);
    env.runUntilIdle();
    sheet->performAction(disabled);
    sheet->performAction(sheet->actionWithTitle("钱包"));
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"screen: action sheet: 选择支付方式 | [钱包] [平台币] [取消]",
                                                     "screen: action sheet tap: [钱包]"}));
}

TEST_F(AlertTest, MisuseRaises) {
    auto alert = ui::AlertController::alertControllerWithTitle("", "", ui::AlertControllerStyle::ActionSheet);
    alert->addAction(ui::AlertAction::actionWithTitle("Cancel", ui::AlertActionStyle::Cancel));
    EXPECT_THROW(alert->addAction(ui::AlertAction::actionWithTitle("Back", ui::AlertActionStyle::Cancel)),
                 ns::Exception);
    EXPECT_THROW(alert->addTextFieldWithConfigurationHandler(), ns::Exception);
}

}  // namespace
