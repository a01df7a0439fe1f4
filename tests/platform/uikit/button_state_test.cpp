#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TouchSimulation.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using ui::Button;
using ui::ButtonType;

ns::Ref<ui::Image> imageOfSize(int width, int height, double scale = 1) {
    auto cg = cg::Image::make(cg::Bitmap(int(width * scale), int(height * scale), cg::PixelFormat::ARGB32Premultiplied));
    return ui::Image::imageWithCGImage(cg, scale);
}

std::string labelText(const Button& button) {
    auto text = button.titleLabel()->text();
    return text ? text->utf8() : "(nil)";
}

class ButtonTest : public UIKitTest {};

TEST_F(ButtonTest, MissingStatesFallBackToNormal) {
    auto button = Button::buttonWithType(ButtonType::Custom);
    button->setTitle("normal", ui::ControlStateNormal);
    button->setTitle("selected", ui::ControlStateSelected);

    EXPECT_EQ(button->titleForState(ui::ControlStateHighlighted)->utf8(), "normal");
    EXPECT_EQ(button->titleForState(ui::ControlStateSelected)->utf8(), "selected");
    // A combined state is a state of its own: it falls back to normal, not
    // to one of its parts.
    EXPECT_EQ(button->titleForState(ui::ControlStateSelected | ui::ControlStateHighlighted)->utf8(), "normal");

    button->setSelected(true);
    EXPECT_EQ(button->currentTitle()->utf8(), "selected");
    EXPECT_EQ(labelText(*button), "selected");
    button->setHighlighted(true);
    EXPECT_EQ(labelText(*button), "normal");

    // Clearing the state's own title falls back again.
    button->setHighlighted(false);
    button->setTitle(nullptr, ui::ControlStateSelected);
    EXPECT_EQ(labelText(*button), "normal");

    auto image = imageOfSize(10, 10);
    auto disabled = imageOfSize(12, 12);
    button->setImage(image, ui::ControlStateNormal);
    button->setImage(disabled, ui::ControlStateDisabled);
    EXPECT_EQ(button->imageForState(ui::ControlStateHighlighted), image);
    button->setEnabled(false);
    // Still selected: selected + disabled has no image of its own.
    EXPECT_EQ(button->currentImage(), image);
    button->setSelected(false);
    EXPECT_EQ(button->currentImage(), disabled);
    EXPECT_EQ(button->imageView()->image(), disabled);
    EXPECT_EQ(button->backgroundImageForState(ui::ControlStateDisabled), nullptr);
}

TEST_F(ButtonTest, TitleColoursDependOnTheTypeUntilSet) {
    auto custom = Button::buttonWithType(ButtonType::Custom);
    custom->setTitle("a", ui::ControlStateNormal);
    EXPECT_EQ(custom->titleColorForState(ui::ControlStateNormal), ui::whiteColor());
    custom->setTitleColor(ui::redColor(), ui::ControlStateNormal);
    custom->setTitleColor(ui::blueColor(), ui::ControlStateHighlighted);
    EXPECT_EQ(custom->titleColorForState(ui::ControlStateSelected), ui::redColor());
    EXPECT_EQ(custom->titleLabel()->textColor(), ui::redColor());
    custom->setHighlighted(true);
    EXPECT_EQ(custom->titleLabel()->textColor(), ui::blueColor());

    // A system button's title takes the tint it inherits.
    auto system = Button::buttonWithType(ButtonType::System);
    system->setTitle("b", ui::ControlStateNormal);
    auto parent = ui::View::make({0, 0, 100, 100});
    parent->setTintColor(ui::greenColor());
    parent->addSubview(system);
    EXPECT_EQ(system->currentTitleColor(), ui::greenColor());
    parent->setTintColor(ui::orangeColor());
    EXPECT_EQ(system->titleLabel()->textColor(), ui::orangeColor());
}

TEST_F(ButtonTest, AttributedTitlesWinOverPlainOnes) {
    auto button = Button::make();
    button->setTitle("plain", ui::ControlStateNormal);
    auto rich = ui::AttributedText::make("rich", {{ui::ForegroundColorAttributeName, ui::valueWithColor(ui::redColor())}});
    button->setAttributedTitle(rich, ui::ControlStateSelected);
    button->setSelected(true);
    EXPECT_EQ(labelText(*button), "rich");
    EXPECT_EQ(button->currentTitle()->utf8(), "plain");
    EXPECT_TRUE(button->currentAttributedTitle()->isEqual(rich));
    button->setSelected(false);
    EXPECT_EQ(labelText(*button), "plain");
    EXPECT_EQ(button->currentAttributedTitle(), nullptr);
}

TEST_F(ButtonTest, SizeThatFitsAddsImageTitleAndInsets) {
    auto button = Button::buttonWithType(ButtonType::Custom);
    EXPECT_EQ(button->sizeThatFits({}), Button::EmptySize);

    // Custom buttons title in the system font of 18 points.
    button->setTitle("OK", ui::ControlStateNormal);
    EXPECT_EQ(button->sizeThatFits({}), (cg::Size{18, 22}));

    button->setImage(imageOfSize(20, 20, 2), ui::ControlStateNormal);
    button->setContentEdgeInsets({5, 10, 5, 10});
    EXPECT_EQ(button->intrinsicContentSize(), (cg::Size{58, 32}));

    // Title and image insets move the elements, never the size.
    button->setTitleEdgeInsets({0, -20, -25, 0});
    EXPECT_EQ(button->intrinsicContentSize(), (cg::Size{58, 32}));

    // A larger background image sets the least size.
    button->setBackgroundImage(imageOfSize(100, 40), ui::ControlStateNormal);
    EXPECT_EQ(button->intrinsicContentSize(), (cg::Size{100, 40}));

    auto system = Button::buttonWithType(ButtonType::System);
    system->setTitle("OK", ui::ControlStateNormal);
    system->sizeToFit();
    EXPECT_EQ(system->frame().size, (cg::Size{15, 18}));
}

TEST_F(ButtonTest, ImageAndTitleAreCentredSideBySide) {
    auto button = Button::make({0, 0, 100, 50});
    button->setTitle("OK", ui::ControlStateNormal);
    button->setImage(imageOfSize(20, 20), ui::ControlStateNormal);
    button->layoutIfNeeded();
    EXPECT_EQ(button->imageView()->frame(), (cg::Rect{31, 15, 20, 20}));
    EXPECT_EQ(button->titleLabel()->frame(), (cg::Rect{51, 14, 18, 22}));

    button->setContentHorizontalAlignment(ui::ControlContentHorizontalAlignment::Left);
    button->setContentEdgeInsets({0, 8, 0, 0});
    button->layoutIfNeeded();
    EXPECT_EQ(button->imageView()->frame().origin, (cg::Point{8, 15}));
    EXPECT_EQ(button->titleLabel()->frame().origin, (cg::Point{28, 14}));
}

TEST_F(ButtonTest, EdgeInsetsStackTheImageAboveTheTitle) {
    // The widget that puts the image over its title, 10 points apart.
    auto button = Button::make({0, 0, 100, 50});
    button->setTitle("OK", ui::ControlStateNormal);
    button->setImage(imageOfSize(20, 20), ui::ControlStateNormal);
    double s = 5, iw = 20, ih = 20;
    cg::Size title = button->titleLabel()->intrinsicContentSize();
    button->setImageEdgeInsets({-title.height - s, 0, 0, -title.width});
    button->setTitleEdgeInsets({0, -iw, -ih - s, 0});
    button->layoutIfNeeded();

    cg::Rect image = button->imageView()->frame();
    cg::Rect label = button->titleLabel()->frame();
    EXPECT_EQ(image.midX(), 50);
    EXPECT_EQ(label.midX(), 50);
    EXPECT_EQ(label.minY() - image.maxY(), s);
    EXPECT_EQ(image, (cg::Rect{40, 1.5, 20, 20}));
}

TEST_F(ButtonTest, SubviewsJoinOnceThereIsSomethingToShow) {
    auto button = Button::make({0, 0, 60, 60});
    EXPECT_TRUE(button->subviews().empty());
    button->setTitle("t", ui::ControlStateNormal);
    button->setBackgroundImage(imageOfSize(60, 60), ui::ControlStateNormal);
    button->setImage(imageOfSize(10, 10), ui::ControlStateNormal);
    ASSERT_EQ(button->subviews().size(), 3u);
    // Background at the back, then the image, the title in front.
    EXPECT_TRUE(ns::cast<ui::ImageView>(button->subviews()[0]));
    EXPECT_EQ(button->subviews()[1], button->imageView());
    EXPECT_EQ(button->subviews()[2], button->titleLabel());
    button->layoutIfNeeded();
    EXPECT_EQ(button->subviews()[0]->frame(), (cg::Rect{0, 0, 60, 60}));
}

TEST_F(ButtonTest, TouchesHighlightWhileDown) {
    auto window = ui::Window::makeFullScreen();
    window->makeKeyAndVisible();
    auto button = Button::make({50, 100, 100, 50});
    button->setTitle("up", ui::ControlStateNormal);
    button->setTitle("down", ui::ControlStateHighlighted);
    window->addSubview(button);

    ui::TouchSequence finger({100, 125});
    EXPECT_TRUE(button->isHighlighted());
    EXPECT_EQ(labelText(*button), "down");
    // Dragging far away takes the highlight off.
    finger.moveTo({100, 400});
    EXPECT_FALSE(button->isHighlighted());
    finger.moveTo({100, 130});
    EXPECT_TRUE(button->isHighlighted());
    finger.end();
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_EQ(labelText(*button), "up");
}

}  // namespace
