#include <memory>
#include <string>
#include <vector>

#include "platform/testing/UIDriver.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

ns::Ref<ui::Label> label(const cg::Rect& frame, const char* text) {
    auto l = ui::Label::make(frame);
    if (text) l->setText(text);
    return l;
}

class DriverTest : public UIKitTest {
protected:
    DriverTest() {
        window = ui::Window::makeFullScreen();
        window->makeKeyAndVisible();
    }

    ns::Ref<ui::Window> window;
    testing::UIDriver driver;
};

TEST_F(DriverTest, TreeDumpListsClassFrameTextAndHiddenViews) {
    auto small = ui::Window::make({0, 0, 200, 100});
    auto panel = ui::View::make({10, 10, 180, 40});
    small->addSubview(panel);
    panel->addSubview(label({5, 5, 100, 20}, "Say \"hi\"\nthere"));
    auto hidden = ui::View::make({0, 30, 10, 10});
    hidden->setHidden(true);
    hidden->addSubview(label({0, 0, 10, 10}, "inside"));
    panel->addSubview(hidden);
    small->addSubview(label({10, 60, 50, 20}, nullptr));

    EXPECT_EQ(testing::UIDriver::dumpTree(small),
              "UIWindow {{0, 0}, {200, 100}} hidden\n"
              "  UIView {{10, 10}, {180, 40}}\n"
              "    UILabel {{5, 5}, {100, 20}} \"Say \\\"hi\\\"\\nthere\"\n"
              "    UIView {{0, 30}, {10, 10}} hidden\n"
              "      UILabel {{0, 0}, {10, 10}} \"inside\"\n"
              "  UILabel {{10, 60}, {50, 20}}\n");
}

TEST_F(DriverTest, FindingLooksFromTheFrontAndSkipsHiddenViews) {
    auto back = label({0, 100, 100, 20}, "Same");
    auto front = label({0, 100, 100, 20}, "Same");
    front->setTag(7);
    front->setAccessibilityIdentifier("front");
    window->addSubview(back);
    window->addSubview(front);
    EXPECT_EQ(driver.findByText("Same"), front);
    EXPECT_EQ(driver.findAllByText("Same"), (std::vector<ns::Ref<ui::View>>{front, back}));
    EXPECT_EQ(driver.findByTag(7), front);
    EXPECT_EQ(driver.findByAccessibilityIdentifier("front"), front);
    EXPECT_EQ(driver.findByClassName("UILabel"), front);
    EXPECT_EQ(driver.findByClassName("UIView"), window) << "a window is a view too";

    // A window above wins over what lies below it.
    auto top = ui::Window::makeFullScreen();
    top->setWindowLevel(ui::WindowLevelAlert);
    auto onTop = label({0, 0, 100, 20}, "Same");
    top->addSubview(onTop);
    top->setHidden(false);
    EXPECT_EQ(driver.findByText("Same"), onTop);
    top->setHidden(true);

    front->setHidden(true);
    EXPECT_EQ(driver.findByText("Same"), back);
    EXPECT_EQ(driver.findByText("Nothing"), nullptr);
    EXPECT_FALSE(driver.tap("Nothing"));
    EXPECT_TRUE(near(testing::UIDriver::frameInWindow(*back), {0, 100, 100, 20}));
}

TEST_F(DriverTest, TapsGoThroughHitTesting) {
    auto container = ui::View::make({20, 200, 300, 100});
    window->addSubview(container);
    auto button = ui::Button::buttonWithType(ui::ButtonType::System);
    button->setFrame({10, 10, 100, 44});
    button->setTitle("Log in", ui::ControlStateNormal);
    int taps = 0;
    button->addTarget(nullptr, [&](ui::Control&, ui::Event*) { ++taps; }, ui::ControlEventTouchUpInside);
    container->addSubview(button);

    EXPECT_TRUE(driver.tap("Log in"));
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(testing::UIDriver::textOf(*button), "Log in");
    EXPECT_TRUE(driver.tapAt({20 + 10 + 50, 200 + 10 + 22}));
    EXPECT_EQ(taps, 2);

    // Covered by another view, the button does not get the touch.
    auto cover = ui::View::make({0, 0, 300, 100});
    int coverTaps = 0;
    cover->addGestureRecognizer(
        std::make_shared<ui::TapGestureRecognizer>([&](ui::GestureRecognizer&) { ++coverTaps; }));
    container->addSubview(cover);
    EXPECT_FALSE(driver.tap(button));
    EXPECT_EQ(taps, 2);
    EXPECT_EQ(coverTaps, 1);

    // Off screen nothing is tapped.
    cover->removeFromSuperview();
    container->setHidden(true);
    EXPECT_FALSE(driver.tap(button));
    EXPECT_EQ(taps, 2);
}

class VetoDigits : public ui::TextFieldDelegate {
public:
    bool textFieldShouldChangeCharactersInRange(ui::TextField&, ns::Range, const ns::Ref<ns::String>& text) override {
        return text->utf8().find_first_of("0123456789") == std::string::npos;
    }
    bool textFieldShouldReturn(ui::TextField&) override {
        ++returns;
        return true;
    }
    int returns = 0;
};

TEST_F(DriverTest, TypingGoesThroughTheFieldsDelegate) {
    auto field = ui::TextField::make({20, 100, 200, 30});
    auto delegate = std::make_shared<VetoDigits>();
    field->setDelegate(delegate);
    window->addSubview(field);
    EXPECT_TRUE(driver.typeText(field, "a1b2"));
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_EQ(field->text()->utf8(), "ab");
    EXPECT_EQ(driver.findByText("ab"), field);
    EXPECT_TRUE(driver.pressReturn(field));
    EXPECT_EQ(delegate->returns, 1);

    field->setSecureTextEntry(true);
    EXPECT_EQ(testing::UIDriver::textOf(*field), "••");
}

TEST_F(DriverTest, DraggingAViewMovesAFingerFromItsCentre) {
    auto pad = ui::View::make({0, 100, 200, 200});
    window->addSubview(pad);
    cg::Point translation;
    auto pan = std::make_shared<ui::PanGestureRecognizer>([&](ui::GestureRecognizer& r) {
        translation = static_cast<ui::PanGestureRecognizer&>(r).translationInView(pad.get());
    });
    pad->addGestureRecognizer(pan);
    EXPECT_TRUE(driver.drag(pad, {60, -30}, 6));
    EXPECT_TRUE(near(translation, {60, -30}));
}

}  // namespace
