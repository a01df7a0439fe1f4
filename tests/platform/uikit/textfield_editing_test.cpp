#include <algorithm>
#include <string>
#include <vector>

#include "platform/foundation/KeyValueCoding.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Number.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/TouchSimulation.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using ui::TextField;

// A delegate that logs its calls and answers as told.
class FieldDelegate : public ui::TextFieldDelegate {
public:
    bool textFieldShouldBeginEditing(TextField&) override {
        log.push_back("shouldBegin");
        return allowBegin;
    }
    void textFieldDidBeginEditing(TextField&) override { log.push_back("didBegin"); }
    bool textFieldShouldEndEditing(TextField&) override {
        log.push_back("shouldEnd");
        return allowEnd;
    }
    void textFieldDidEndEditing(TextField&) override { log.push_back("didEnd"); }
    bool textFieldShouldChangeCharactersInRange(TextField&, ns::Range range,
                                                const ns::Ref<ns::String>& replacement) override {
        changes.push_back({range, replacement->utf8()});
        // Digits only, at most 11 of them.
        for (char c : replacement->utf8()) {
            if (c < '0' || c > '9') return false;
        }
        return range.location + replacement->length() <= 11;
    }
    bool textFieldShouldReturn(TextField&) override {
        log.push_back("shouldReturn");
        return allowReturn;
    }
    bool textFieldShouldClear(TextField&) override {
        log.push_back("shouldClear");
        return true;
    }

    struct Change {
        ns::Range range;
        std::string replacement;
        bool operator==(const Change&) const = default;
    };
    std::vector<std::string> log;
    std::vector<Change> changes;
    bool allowBegin = true;
    bool allowEnd = true;
    bool allowReturn = true;
};

class TextFieldTest : public UIKitTest {
protected:
    TextFieldTest() {
        window = ui::Window::makeFullScreen();
        window->makeKeyAndVisible();
        field = TextField::make({20, 100, 200, 30});
        other = TextField::make({20, 200, 200, 30});
        window->addSubview(field);
        window->addSubview(other);
        delegate = std::make_shared<FieldDelegate>();
        field->setDelegate(delegate);
        auto center = ns::NotificationCenter::defaultCenter();
        for (const char* name :
             {ui::TextFieldTextDidBeginEditingNotification, ui::TextFieldTextDidEndEditingNotification,
              ui::TextFieldTextDidChangeNotification, ui::KeyboardWillShowNotification,
              ui::KeyboardWillHideNotification}) {
            center->addObserver(this, name, nullptr, [this](const ns::Ref<ns::Notification>& n) {
                notes.push_back(n->name());
            });
        }
    }
    ~TextFieldTest() override { ns::NotificationCenter::defaultCenter()->removeObserver(this); }

    ns::Ref<ui::Window> window;
    ns::Ref<TextField> field;
    ns::Ref<TextField> other;
    std::shared_ptr<FieldDelegate> delegate;
    std::vector<std::string> notes;
};

TEST_F(TextFieldTest, TheDelegateVetoesCharactersOneByOne) {
    int changed = 0;
    field->addTarget(nullptr, [&](ui::Control&, ui::Event*) { ++changed; }, ui::ControlEventEditingChanged);
    EXPECT_TRUE(field->typeText("12a3"));
    EXPECT_EQ(field->text()->utf8(), "123");
    EXPECT_EQ(changed, 3);
    EXPECT_EQ(delegate->changes, (std::vector<FieldDelegate::Change>{
                                     {{0, 0}, "1"}, {{1, 0}, "2"}, {{2, 0}, "a"}, {{2, 0}, "3"}}));
    EXPECT_EQ(std::count(notes.begin(), notes.end(), ui::TextFieldTextDidChangeNotification), 3);

    // A paste is one question for the whole text.
    delegate->changes.clear();
    field->paste("45678901");
    EXPECT_EQ(field->text()->utf8(), "12345678901");
    field->paste("2");
    EXPECT_EQ(field->text()->utf8(), "12345678901");
    EXPECT_EQ(delegate->changes.size(), 2u);
}

TEST_F(TextFieldTest, RangesCountUtf16Units) {
    field->setDelegate(nullptr);
    field->typeText("a😀好");
    EXPECT_EQ(field->text()->length(), 4u);
    field->setDelegate(delegate);
    field->deleteBackward();
    // The character before the caret: one unit for 好.
    EXPECT_EQ(delegate->changes.back(), (FieldDelegate::Change{{3, 1}, ""}));
    // Then both units of the emoji at once.
    field->deleteBackward();
    EXPECT_EQ(delegate->changes.back(), (FieldDelegate::Change{{1, 2}, ""}));
}

TEST_F(TextFieldTest, BeginAndEndEditingInThePlatformsOrder) {
    std::vector<std::string> order;
    field->addTarget(nullptr, [&](ui::Control&, ui::Event*) { order.push_back("action:begin"); },
                     ui::ControlEventEditingDidBegin);
    field->addTarget(nullptr, [&](ui::Control&, ui::Event*) { order.push_back("action:end"); },
                     ui::ControlEventEditingDidEnd);

    EXPECT_TRUE(field->becomeFirstResponder());
    EXPECT_TRUE(field->isEditing());
    EXPECT_TRUE(ui::Keyboard::isVisible());
    EXPECT_EQ(delegate->log, (std::vector<std::string>{"shouldBegin", "didBegin"}));
    EXPECT_EQ(notes, (std::vector<std::string>{ui::TextFieldTextDidBeginEditingNotification,
                                               ui::KeyboardWillShowNotification}));

    notes.clear();
    EXPECT_TRUE(field->resignFirstResponder());
    EXPECT_FALSE(field->isEditing());
    EXPECT_FALSE(ui::Keyboard::isVisible());
    EXPECT_EQ(delegate->log, (std::vector<std::string>{"shouldBegin", "didBegin", "shouldEnd", "didEnd"}));
    EXPECT_EQ(notes, (std::vector<std::string>{ui::TextFieldTextDidEndEditingNotification,
                                               ui::KeyboardWillHideNotification}));
    EXPECT_EQ(order, (std::vector<std::string>{"action:begin", "action:end"}));
}

TEST_F(TextFieldTest, TheDelegateMayRefuseToBeginOrEnd) {
    delegate->allowBegin = false;
    EXPECT_FALSE(field->becomeFirstResponder());
    EXPECT_FALSE(field->typeText("1"));
    EXPECT_EQ(field->text()->utf8(), "");
    EXPECT_TRUE(notes.empty());

    delegate->allowBegin = true;
    delegate->allowEnd = false;
    field->becomeFirstResponder();
    EXPECT_FALSE(other->becomeFirstResponder());
    EXPECT_TRUE(field->isEditing());
    EXPECT_FALSE(window->endEditing(false));
    EXPECT_TRUE(field->isFirstResponder());

    // Forced, the delegate is not asked, and the session still ends as usual.
    delegate->log.clear();
    notes.clear();
    EXPECT_TRUE(window->endEditing(true));
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(delegate->log, (std::vector<std::string>{"didEnd"}));
    EXPECT_EQ(notes, (std::vector<std::string>{ui::TextFieldTextDidEndEditingNotification,
                                               ui::KeyboardWillHideNotification}));
    EXPECT_FALSE(ui::Keyboard::isVisible());
}

TEST_F(TextFieldTest, FocusMovesBetweenFieldsWithoutHidingTheKeyboard) {
    field->becomeFirstResponder();
    notes.clear();
    EXPECT_TRUE(other->becomeFirstResponder());
    EXPECT_FALSE(field->isEditing());
    EXPECT_TRUE(other->isEditing());
    EXPECT_EQ(notes, (std::vector<std::string>{ui::TextFieldTextDidEndEditingNotification,
                                               ui::TextFieldTextDidBeginEditingNotification}));
    EXPECT_TRUE(ui::Keyboard::isVisible());

    // Ending editing under the window lets the keyboard go.
    EXPECT_TRUE(window->endEditing(false));
    EXPECT_FALSE(ui::Keyboard::isVisible());
}

TEST_F(TextFieldTest, ATapBeginsEditing) {
    EXPECT_TRUE(ui::simulateTap({50, 110}));
    EXPECT_TRUE(field->isEditing());
    // Fields outside a window cannot edit.
    auto loose = TextField::make({0, 0, 100, 30});
    EXPECT_FALSE(loose->becomeFirstResponder());
    EXPECT_FALSE(loose->typeText("x"));
}

TEST_F(TextFieldTest, LeavingTheWindowEndsEditing) {
    field->becomeFirstResponder();
    field->removeFromSuperview();
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(delegate->log.back(), "didEnd");
    EXPECT_FALSE(ui::Keyboard::isVisible());
}

TEST_F(TextFieldTest, ReturnAsksTheDelegateAndEndsOnExit) {
    int exits = 0;
    field->addTarget(nullptr, [&](ui::Control&, ui::Event*) { ++exits; }, ui::ControlEventEditingDidEndOnExit);
    EXPECT_FALSE(field->pressReturn());  // not editing
    field->becomeFirstResponder();

    delegate->allowReturn = false;
    EXPECT_FALSE(field->pressReturn());
    EXPECT_EQ(exits, 0);
    EXPECT_TRUE(field->isEditing());

    delegate->allowReturn = true;
    EXPECT_TRUE(field->pressReturn());
    EXPECT_EQ(exits, 1);
    EXPECT_FALSE(field->isEditing());

    // Without anyone listening for it, return leaves the field editing.
    other->becomeFirstResponder();
    EXPECT_TRUE(other->pressReturn());
    EXPECT_TRUE(other->isEditing());
}

TEST_F(TextFieldTest, SecureEntryShowsBulletsAndStartsOverWhenEditedAgain) {
    field->setDelegate(nullptr);
    field->setSecureTextEntry(true);
    field->typeText("pw好");
    EXPECT_EQ(field->text()->utf8(), "pw好");
    EXPECT_EQ(field->displayedText(), "\u2022\u2022\u2022");
    field->resignFirstResponder();

    // Back in the field, the first key replaces what was there.
    field->setDelegate(delegate);
    field->typeText("9");
    EXPECT_EQ(delegate->changes.front(), (FieldDelegate::Change{{0, 3}, "9"}));
    EXPECT_EQ(field->text()->utf8(), "9");
    field->typeText("8");
    EXPECT_EQ(field->text()->utf8(), "98");

    field->setSecureTextEntry(false);
    EXPECT_EQ(field->displayedText(), "98");
}

TEST_F(TextFieldTest, SettingTextInCodeTellsNobody) {
    field->setText("123");
    field->setText(nullptr);
    EXPECT_EQ(field->text()->utf8(), "");
    EXPECT_TRUE(delegate->changes.empty());
    EXPECT_TRUE(notes.empty());
}

TEST_F(TextFieldTest, TheClearButtonAsksAndEmpties) {
    field->setText("123");
    EXPECT_FALSE(field->tapClearButton());  // mode never
    field->setClearButtonMode(ui::TextFieldViewMode::WhileEditing);
    EXPECT_FALSE(field->isClearButtonVisible());
    field->becomeFirstResponder();
    EXPECT_TRUE(field->isClearButtonVisible());
    EXPECT_TRUE(field->tapClearButton());
    EXPECT_EQ(field->text()->utf8(), "");
    EXPECT_EQ(delegate->log.back(), "shouldClear");
    EXPECT_FALSE(field->isClearButtonVisible());
}

TEST_F(TextFieldTest, SideViewsShowByMode) {
    auto icon = ui::View::make({0, 0, 24, 20});
    field->setLeftView(icon);
    field->setLeftViewMode(ui::TextFieldViewMode::UnlessEditing);
    field->layoutIfNeeded();
    EXPECT_EQ(icon->superview(), field);
    EXPECT_EQ(icon->frame(), (cg::Rect{0, 5, 24, 20}));
    EXPECT_EQ(field->textRectForBounds(field->bounds()), (cg::Rect{24, 0, 176, 30}));

    field->becomeFirstResponder();
    field->layoutIfNeeded();
    EXPECT_EQ(icon->superview(), nullptr);
    EXPECT_EQ(field->editingRectForBounds(field->bounds()), (cg::Rect{0, 0, 200, 30}));
}

TEST_F(TextFieldTest, SizeFitsTheTextOrPlaceholder) {
    field->setPlaceholder("6-12位字母或数字");
    // 4 narrow at 8.5 and 6 wide at 17; lines 21 high.
    EXPECT_EQ(field->sizeThatFits({}), (cg::Size{136, 21}));
    field->setText("abc");
    EXPECT_EQ(field->sizeThatFits({}), (cg::Size{136, 21}));
    EXPECT_EQ(field->attributedPlaceholder()->string()->utf8(), "6-12位字母或数字");
}

TEST_F(TextFieldTest, KeyValueCodingReachesTextAndState) {
    ns::setValueForKey(*field, ns::str("abc"), "text");
    EXPECT_EQ(field->text()->utf8(), "abc");
    ns::setValueForKey(*field, nullptr, "placeholder");
    EXPECT_EQ(field->placeholder(), nullptr);
    EXPECT_TRUE(ns::equal(ns::valueForKey(*field, "text"), ns::str("abc")));
    ns::setValueForKey(*field, ns::Number::withBool(false), "enabled");
    EXPECT_FALSE(field->isEnabled());
    EXPECT_FALSE(field->becomeFirstResponder());
    EXPECT_EQ(TextField::staticClass()->findProperty("text")->attributes, "T@\"NSString\",C,N,V_text");
}

}  // namespace
