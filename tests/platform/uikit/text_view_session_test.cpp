// Text views share the field's editing session; these check it through the
// text view's own delegate hooks and notifications.

#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/TextView.h"
#include "platform/uikit/TouchSimulation.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using ui::TextView;

class SessionDelegate : public ui::TextViewDelegate {
public:
    bool textViewShouldBeginEditing(TextView&) override {
        log.push_back("shouldBegin");
        return true;
    }
    void textViewDidBeginEditing(TextView&) override { log.push_back("didBegin"); }
    bool textViewShouldEndEditing(TextView&) override {
        log.push_back("shouldEnd");
        return allowEnd;
    }
    void textViewDidEndEditing(TextView&) override { log.push_back("didEnd"); }
    bool textViewShouldChangeTextInRange(TextView&, ns::Range range, const ns::Ref<ns::String>& text) override {
        log.push_back("change " + std::to_string(range.location) + "+" + std::to_string(range.length) + " " +
                      text->utf8());
        return true;
    }

    std::vector<std::string> log;
    bool allowEnd = true;
};

class TextViewSessionTest : public UIKitTest {
protected:
    TextViewSessionTest() {
        window = ui::Window::makeFullScreen();
        window->makeKeyAndVisible();
        view = TextView::make({0, 100, 200, 100});
        window->addSubview(view);
        view->setDelegate(delegate);
        auto center = ns::NotificationCenter::defaultCenter();
        for (const char* name : {ui::TextViewTextDidBeginEditingNotification, ui::TextViewTextDidEndEditingNotification}) {
            center->addObserver(this, name, nullptr,
                                [this](const ns::Ref<ns::Notification>& n) { notes.push_back(n->name()); });
        }
    }
    ~TextViewSessionTest() override { ns::NotificationCenter::defaultCenter()->removeObserver(this); }

    ns::Ref<ui::Window> window;
    ns::Ref<TextView> view;
    std::shared_ptr<SessionDelegate> delegate = std::make_shared<SessionDelegate>();
    std::vector<std::string> notes;
};

TEST_F(TextViewSessionTest, EndingAsksUnlessForcedAndAnnounces) {
    ASSERT_TRUE(view->becomeFirstResponder());
    delegate->allowEnd = false;
    EXPECT_FALSE(window->endEditing(false));
    EXPECT_TRUE(view->isEditing());
    EXPECT_TRUE(ui::Keyboard::isVisible());

    EXPECT_TRUE(window->endEditing(true));
    EXPECT_FALSE(view->isEditing());
    EXPECT_FALSE(ui::Keyboard::isVisible());
    EXPECT_EQ(delegate->log, (std::vector<std::string>{"shouldBegin", "didBegin", "shouldEnd", "didEnd"}));
    EXPECT_EQ(notes, (std::vector<std::string>{ui::TextViewTextDidBeginEditingNotification,
                                               ui::TextViewTextDidEndEditingNotification}));
}

TEST_F(TextViewSessionTest, LeavingTheWindowEndsTheSession) {
    ASSERT_TRUE(view->typeText("a"));
    view->removeFromSuperview();
    EXPECT_FALSE(view->isEditing());
    EXPECT_FALSE(ui::Keyboard::isVisible());
    EXPECT_EQ(delegate->log.back(), "didEnd");
    // Out of a window nothing begins again.
    EXPECT_FALSE(view->typeText("b"));
    EXPECT_EQ(view->text()->utf8(), "a");
}

TEST_F(TextViewSessionTest, PasteAndDeleteKeepTheAttributedTextInStep) {
    auto text = ui::AttributedText::make("go");
    text->addAttribute(ui::LinkAttributeName, ns::str("wenzilianjie://"), {0, 2});
    view->setAttributedText(text);

    EXPECT_TRUE(view->paste("\xF0\x9F\x98\x80x"));  // an emoji (two UTF-16 units), then x
    EXPECT_TRUE(view->deleteBackward());
    EXPECT_TRUE(view->deleteBackward());
    EXPECT_EQ(view->text()->utf8(), "go");
    EXPECT_EQ(delegate->log, (std::vector<std::string>{"shouldBegin", "didBegin", "change 2+0 \xF0\x9F\x98\x80x",
                                                       "change 4+1 ", "change 2+2 "}));

    // Typed text takes the attributes of the text it follows.
    view->typeText("!");
    auto shown = view->attributedText();
    EXPECT_EQ(shown->string()->utf8(), "go!");
    ns::Range link;
    EXPECT_TRUE(shown->attributeAtIndex(ui::LinkAttributeName, 0, &link));
    EXPECT_EQ(link, (ns::Range{0, 3}));
}

TEST_F(TextViewSessionTest, IsAScrollViewThatDoesNotScrollByItself) {
    EXPECT_EQ(TextView::staticClass()->name(), "UITextView");
    EXPECT_EQ(TextView::staticClass()->superclass()->name(), "UIScrollView");
    ui::ScrollView& scroll = *view;
    scroll.simulateDrag({0, -60});
    EXPECT_EQ(scroll.contentOffset(), (cg::Point{0, 0}));

    // A finger's drag belongs to the pan, so it does not begin editing; a tap does.
    ui::simulatePan({100, 150}, {{0, -20}, {0, -20}, {0, -20}});
    EXPECT_EQ(scroll.contentOffset(), (cg::Point{0, 0}));
    EXPECT_TRUE(delegate->log.empty());
    ui::simulateTap({100, 150});
    EXPECT_TRUE(view->isEditing());
}

}  // namespace
