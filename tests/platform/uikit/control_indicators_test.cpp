#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/Appearance.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/PageControl.h"
#include "platform/uikit/Switch.h"
#include "platform/uikit/TouchSimulation.h"
#include "platform/uikit/VisualEffectView.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using ui::ActivityIndicatorView;
using Style = ui::ActivityIndicatorViewStyle;

ns::Ref<ui::Image> opaqueImage(int width, int height, double scale = 1) {
    cg::Bitmap bitmap(int(width * scale), int(height * scale), cg::PixelFormat::ARGB32Premultiplied);
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) bitmap.setPixel(x, y, {255, 255, 255, 255});
    }
    return ui::Image::imageWithCGImage(cg::Image::make(std::move(bitmap)), scale);
}

class IndicatorTest : public UIKitTest {
protected:
    IndicatorTest() {
        window = ui::Window::makeFullScreen();
        window->makeKeyAndVisible();
    }
    ns::Ref<ui::Window> window;
};

TEST_F(IndicatorTest, ImageViewsAnimateOnTheClock) {
    auto view = ui::ImageView::make({0, 0, 10, 10});
    window->addSubview(view);
    view->startAnimating();
    EXPECT_FALSE(view->isAnimating());  // nothing to play

    view->setAnimationImages({opaqueImage(10, 10), opaqueImage(10, 10), opaqueImage(10, 10)});
    view->setAnimationDuration(0.3);
    view->setAnimationRepeatCount(2);
    view->startAnimating();
    EXPECT_TRUE(view->isAnimating());
    env.fastForwardBy(0.5);
    EXPECT_TRUE(view->isAnimating());
    env.fastForwardBy(0.2);
    EXPECT_FALSE(view->isAnimating());

    // Without a count it runs until stopped; without a duration each image
    // shows for a thirtieth of a second.
    view->setAnimationRepeatCount(0);
    view->setAnimationDuration(0);
    view->startAnimating();
    auto animation = view->layer()->animationForKey(ui::ImageView::AnimationKey);
    ASSERT_TRUE(animation);
    EXPECT_DOUBLE_EQ(animation->duration(), 0.1);
    env.fastForwardBy(100);
    EXPECT_TRUE(view->isAnimating());
    view->stopAnimating();
    EXPECT_FALSE(view->isAnimating());

    view->startAnimating();
    view->setAnimationImages({});
    EXPECT_FALSE(view->isAnimating());
}

TEST_F(IndicatorTest, ImageViewsTakeTheirImagesSize) {
    auto image = opaqueImage(30, 20, 2);
    auto view = ui::ImageView::withImage(image);
    EXPECT_EQ(view->frame(), (cg::Rect{0, 0, 30, 20}));
    EXPECT_EQ(view->sizeThatFits({1, 1}), (cg::Size{30, 20}));
    EXPECT_EQ(view->layer()->contents(), image->cgImage());
    EXPECT_FALSE(view->isUserInteractionEnabled());

    view->setImage(nullptr);
    EXPECT_EQ(view->sizeThatFits({1, 1}), (cg::Size{0, 0}));
    EXPECT_EQ(view->intrinsicContentSize(), (cg::Size{ui::ViewNoIntrinsicMetric, ui::ViewNoIntrinsicMetric}));

    auto lit = opaqueImage(5, 5);
    view->setImage(image);
    view->setHighlightedImage(lit);
    view->setHighlighted(true);
    EXPECT_EQ(view->displayedImage(), lit);
    EXPECT_EQ(view->layer()->contents(), lit->cgImage());
}

TEST_F(IndicatorTest, TemplateImagesShowInTheTint) {
    auto image = opaqueImage(2, 2)->imageWithRenderingMode(ui::ImageRenderingMode::AlwaysTemplate);
    auto view = ui::ImageView::withImage(image);
    view->setTintColor(ui::redColor());
    window->addSubview(view);
    ASSERT_TRUE(view->layer()->contents());
    EXPECT_EQ(view->layer()->contents()->bitmap().colorAt(1, 1), ui::redColor());
    view->setTintColor(ui::blueColor());
    EXPECT_EQ(view->layer()->contents()->bitmap().colorAt(0, 0), ui::blueColor());
}

TEST_F(IndicatorTest, ActivityIndicatorsHaveThePlatformSizes) {
    EXPECT_EQ(ActivityIndicatorView::make(Style::WhiteLarge)->frame().size, (cg::Size{37, 37}));
    EXPECT_EQ(ActivityIndicatorView::make(Style::Large)->frame().size, (cg::Size{37, 37}));
    EXPECT_EQ(ActivityIndicatorView::make(Style::White)->frame().size, (cg::Size{20, 20}));
    EXPECT_EQ(ActivityIndicatorView::make(Style::Gray)->sizeThatFits({100, 100}), (cg::Size{20, 20}));

    auto spinner = ActivityIndicatorView::make(Style::Medium);
    spinner->setCenter({100, 100});
    spinner->setActivityIndicatorViewStyle(Style::Large);
    EXPECT_EQ(spinner->frame(), (cg::Rect{81.5, 81.5, 37, 37}));
    EXPECT_EQ(spinner->intrinsicContentSize(), (cg::Size{37, 37}));
}

TEST_F(IndicatorTest, ActivityIndicatorsHideWhileStopped) {
    auto spinner = ActivityIndicatorView::make(Style::WhiteLarge);
    EXPECT_TRUE(spinner->isHidden());
    spinner->startAnimating();
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_FALSE(spinner->isHidden());
    spinner->stopAnimating();
    EXPECT_TRUE(spinner->isHidden());
    spinner->setHidesWhenStopped(false);
    EXPECT_FALSE(spinner->isHidden());

    EXPECT_EQ(spinner->color(), ui::whiteColor());
    EXPECT_EQ(ActivityIndicatorView::make(Style::Gray)->color(), ui::grayColor());
}

TEST_F(IndicatorTest, ActivityIndicatorsTakeTheColourOfTheirAppearanceProxy) {
    ui::Appearance<ActivityIndicatorView>::appearanceWhenContainedIn({ui::VisualEffectView::staticClass()})
        .setColor("color", ui::redColor());
    auto inside = ActivityIndicatorView::make();
    auto outside = ActivityIndicatorView::make();
    auto panel = ui::VisualEffectView::make();
    panel->contentView()->addSubview(inside);
    window->addSubview(panel);
    window->addSubview(outside);
    EXPECT_EQ(inside->color(), ui::redColor());
    EXPECT_EQ(outside->color(), ui::whiteColor());
}

TEST_F(IndicatorTest, SwitchesFlipOnATap) {
    auto toggle = ui::Switch::make({10, 10, 200, 200});
    EXPECT_EQ(toggle->frame(), (cg::Rect{10, 10, 51, 31}));
    window->addSubview(toggle);
    std::vector<bool> changes;
    toggle->addTarget(nullptr, [&](ui::Control& c, ui::Event*) { changes.push_back(static_cast<ui::Switch&>(c).isOn()); },
                      ui::ControlEventValueChanged);
    ui::simulateTap({20, 20});
    ui::simulateTap({20, 20});
    EXPECT_EQ(changes, (std::vector<bool>{true, false}));
    toggle->setOn(true, true);
    EXPECT_TRUE(toggle->isOn());
    EXPECT_EQ(changes.size(), 2u);
}

TEST_F(IndicatorTest, PageControlsStepByTapsOnEitherHalf) {
    auto pages = ui::PageControl::make({0, 0, 100, 37});
    EXPECT_EQ(pages->sizeForNumberOfPages(3), (cg::Size{39, 37}));
    EXPECT_EQ(pages->sizeForNumberOfPages(0), (cg::Size{0, 37}));
    pages->setNumberOfPages(3);
    pages->setCurrentPage(7);
    EXPECT_EQ(pages->currentPage(), 2);
    window->addSubview(pages);

    int changes = 0;
    pages->addTarget(nullptr, [&](ui::Control&, ui::Event*) { ++changes; }, ui::ControlEventValueChanged);
    ui::simulateTap({90, 18});  // already on the last page
    EXPECT_EQ(changes, 0);
    ui::simulateTap({10, 18});
    EXPECT_EQ(pages->currentPage(), 1);
    EXPECT_EQ(changes, 1);

    pages->setNumberOfPages(1);
    EXPECT_EQ(pages->currentPage(), 0);
    EXPECT_TRUE(pages->showsIndicators());
    pages->setHidesForSinglePage(true);
    EXPECT_FALSE(pages->showsIndicators());
}

TEST_F(IndicatorTest, EffectViewsCarryTheirEffectAndContent) {
    auto view = ui::VisualEffectView::make(ui::BlurEffect::effectWithStyle(ui::BlurEffectStyle::Dark));
    view->setFrame({0, 0, 100, 100});
    view->setFrame({0, 0, 200, 50});
    EXPECT_EQ(view->contentView()->frame(), (cg::Rect{0, 0, 200, 50}));
    EXPECT_TRUE(view->effect()->isEqual(ui::BlurEffect::effectWithStyle(ui::BlurEffectStyle::Dark)));
    EXPECT_FALSE(view->effect()->isEqual(ui::BlurEffect::effectWithStyle(ui::BlurEffectStyle::Light)));
    view->setEffect(nullptr);
    EXPECT_EQ(view->effect(), nullptr);
}

}  // namespace
