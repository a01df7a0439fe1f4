#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/TextView.h"
#include "platform/uikit/TouchSimulation.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using ui::TextView;

class ViewDelegate : public ui::TextViewDelegate {
public:
    bool textViewShouldChangeTextInRange(TextView&, ns::Range range, const ns::Ref<ns::String>& text) override {
        log.push_back("change " + std::to_string(range.location) + " " + text->utf8());
        return text->utf8() != "x";
    }
    void textViewDidChange(TextView& view) override { log.push_back("did " + view.text()->utf8()); }
    bool textViewShouldInteractWithURL(TextView&, const ns::Ref<ns::URL>& url, ns::Range range,
                                       ui::TextItemInteraction) override {
        log.push_back("url " + url->absoluteString()->utf8() + " " + std::to_string(range.location) + "+" +
                      std::to_string(range.length));
        return allowURL;
    }
    std::vector<std::string> log;
    bool allowURL = true;
};

class TextViewTest : public UIKitTest {
protected:
    TextViewTest() {
        window = ui::Window::makeFullScreen();
        window->makeKeyAndVisible();
        view = TextView::make({0, 100, 200, 100});
        window->addSubview(view);
        delegate = std::make_shared<ViewDelegate>();
        view->setDelegate(delegate);
    }

    ns::Ref<ui::Window> window;
    ns::Ref<TextView> view;
    std::shared_ptr<ViewDelegate> delegate;
};

TEST_F(TextViewTest, TypingAsksPerCharacterAndReportsEachChange) {
    int notes = 0;
    auto token = ns::NotificationCenter::defaultCenter()->addObserverForName(
        ui::TextViewTextDidChangeNotification, view, nullptr, [&](const auto&) { ++notes; });
    EXPECT_TRUE(view->typeText("axb"));
    EXPECT_EQ(view->text()->utf8(), "ab");
    EXPECT_EQ(delegate->log, (std::vector<std::string>{"change 0 a", "did a", "change 1 x", "change 1 b", "did ab"}));
    EXPECT_EQ(notes, 2);
    EXPECT_TRUE(ui::Keyboard::isVisible());
    ns::NotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(TextViewTest, ReadOnlyViewsDoNotEdit) {
    view->setEditable(false);
    EXPECT_FALSE(view->becomeFirstResponder());
    EXPECT_FALSE(view->typeText("a"));
    EXPECT_FALSE(ui::Keyboard::isVisible());

    // Turning editing off ends a session in progress.
    view->setEditable(true);
    view->becomeFirstResponder();
    view->setEditable(false);
    EXPECT_FALSE(view->isEditing());
    EXPECT_FALSE(ui::Keyboard::isVisible());
}

TEST_F(TextViewTest, FocusPassesFromAFieldWithoutHidingTheKeyboard) {
    auto field = ui::TextField::make({0, 0, 100, 30});
    window->addSubview(field);
    field->becomeFirstResponder();
    int hides = 0;
    auto token = ns::NotificationCenter::defaultCenter()->addObserverForName(
        ui::KeyboardWillHideNotification, nullptr, nullptr, [&](const auto&) { ++hides; });
    EXPECT_TRUE(view->becomeFirstResponder());
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(hides, 0);
    ns::NotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(TextViewTest, TappingALinkAsksTheDelegateThenOpensIt) {
    auto text = ui::AttributedText::make("see the rules", {{ui::FontAttributeName, ui::Font::systemFontOfSize(10)}});
    text->addAttribute(ui::LinkAttributeName, ns::str("wenzilianjie://"), {8, 5});
    view->setAttributedText(text);
    view->setEditable(false);
    // Text starts 8 down and 5 in: "rules" spans x 45..70 of the view.
    EXPECT_EQ(view->closestIndexToPoint({46, 10}), 8u);

    ui::simulateTap({60, 112});
    EXPECT_EQ(delegate->log, (std::vector<std::string>{"url wenzilianjie:// 8+5"}));
    auto& opened = ui::Application::sharedApplication()->openedURLs();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0]->absoluteString()->utf8(), "wenzilianjie://");

    // Elsewhere in the text nothing happens; a refusing delegate keeps it shut.
    ui::simulateTap({12, 112});
    delegate->allowURL = false;
    ui::simulateTap({60, 112});
    EXPECT_EQ(delegate->log.size(), 2u);
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(TextViewTest, SizeThatFitsWrapsInsideTheInsets) {
    view->setFont(ui::Font::systemFontOfSize(10));
    view->setText("aaaa bbbb cccc");
    // 60 offered: 50 after the 5-point padding each side, so two lines.
    EXPECT_EQ(view->sizeThatFits({60, 0}), (cg::Size{60, 24 + 16}));
    view->setTextContainerInset({0, 0, 0, 0});
    EXPECT_EQ(view->sizeThatFits({0, 0}), (cg::Size{80, 12}));
    // An empty view still holds a line.
    view->setText("");
    EXPECT_EQ(view->sizeThatFits({60, 0}), (cg::Size{60, 12}));
}

}  // namespace
