#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/String.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Png.h"
#include "platform/uikit/Accessibility.h"
#include "platform/uikit/Appearance.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/FeedbackGenerator.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/GradientLayer.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/MotionEffect.h"
#include "platform/uikit/Pasteboard.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ShapeLayer.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

namespace fs = std::filesystem;

class ResourcesTest : public UIKitTest {
protected:
    ResourcesTest() {
        dir = fs::temp_directory_path() / ("uikit-images-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    ~ResourcesTest() override { fs::remove_all(dir); }

    void writePng(const std::string& name, int width, int height) {
        cg::Bitmap bitmap(width, height, cg::PixelFormat::ARGB32Premultiplied);
        ASSERT_TRUE(cg::writePngFile(bitmap, (dir / name).string()));
    }

    fs::path dir;
};

TEST_F(ResourcesTest, ImagesTakeTheirScaleFromTheFileName) {
    writePng("ball@2x.png", 120, 120);
    writePng("ball.png", 60, 60);
    writePng("icon@3x.png", 90, 30);

    auto two = ui::Image::imageWithContentsOfFile((dir / "ball@2x.png").string());
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->scale(), 2);
    EXPECT_EQ(two->size(), (cg::Size{60, 60}));
    EXPECT_EQ(two->cgImage()->width(), 120);

    // The main screen is 3x: no @3x ball, so the @2x one; the icon at 3x.
    auto ball = ui::Image::imageNamed("ball", dir.string());
    ASSERT_NE(ball, nullptr);
    EXPECT_EQ(ball->scale(), 2);
    auto icon = ui::Image::imageNamed("icon.png", dir.string());
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->size(), (cg::Size{30, 10}));

    ui::Screen::mainScreen()->setModel(ui::ScreenModel::classicPhone());
    auto iconAt2x = ui::Image::imageNamed("icon", dir.string());
    ASSERT_NE(iconAt2x, nullptr);
    EXPECT_EQ(iconAt2x->scale(), 3);  // the only one there is

    EXPECT_EQ(ui::Image::imageWithContentsOfFile((dir / "none.png").string()), nullptr);
}

TEST_F(ResourcesTest, AMissingPictureIsLoggedOnceNamingTheFile) {
    writePng("icon.png", 4, 4);
    ns::LogCapture log;
    EXPECT_EQ(ui::Image::imageNamed("missing", dir.string()), nullptr);
    EXPECT_EQ(ui::Image::imageNamed("missing.png", dir.string()), nullptr);
    ASSERT_NE(ui::Image::imageNamed("icon", dir.string()), nullptr);
    std::vector<std::string> said;
    for (const auto& line : log.lines()) {
        if (line.find("missing") != std::string::npos) said.push_back(line);
    }
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find((dir / "missing.png").string() + " is missing"), std::string::npos) << said[0];
}

TEST_F(ResourcesTest, ImagesComeFromBundles) {
    fs::create_directories(dir / "Skin.bundle");
    writePng("Skin.bundle/close@3x.png", 30, 30);
    auto bundle = ns::Bundle::bundleWithPath(dir.string());
    ASSERT_NE(bundle, nullptr);
    auto close = ui::Image::imageNamed("Skin.bundle/close", bundle);
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->size(), (cg::Size{10, 10}));

    ::setenv("GAMEHOST_RESOURCES", dir.string().c_str(), 1);
    auto fromMain = ui::Image::imageNamed("Skin.bundle/close.png");
    ::unsetenv("GAMEHOST_RESOURCES");
    ASSERT_NE(fromMain, nullptr);
    EXPECT_EQ(fromMain->path(), (dir / "Skin.bundle/close@3x.png").string());
}

TEST_F(ResourcesTest, RenderingModeAndCapInsetsMakeNewImages) {
    writePng("arrow.png", 8, 8);
    auto arrow = ui::Image::imageNamed("arrow", dir.string());
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(arrow->renderingMode(), ui::ImageRenderingMode::Automatic);
    auto templ = arrow->imageWithRenderingMode(ui::ImageRenderingMode::AlwaysTemplate);
    EXPECT_NE(templ, arrow);
    EXPECT_EQ(templ->renderingMode(), ui::ImageRenderingMode::AlwaysTemplate);
    EXPECT_EQ(templ->cgImage(), arrow->cgImage());
    EXPECT_EQ(templ->imageWithRenderingMode(ui::ImageRenderingMode::AlwaysTemplate), templ);

    auto stretchy = arrow->resizableImageWithCapInsets({2, 3, 2, 3}, ui::ImageResizingMode::Stretch);
    EXPECT_EQ(stretchy->capInsets(), (cg::EdgeInsets{2, 3, 2, 3}));
    EXPECT_EQ(stretchy->resizingMode(), ui::ImageResizingMode::Stretch);
    EXPECT_EQ(arrow->capInsets(), cg::EdgeInsets{});
}

TEST_F(ResourcesTest, FontsFollowTheTextMetricsModel) {
    EXPECT_EQ(ui::Font::preferredFontForTextStyle(ui::FontTextStyleSubheadline)->pointSize(), 15);
    EXPECT_EQ(ui::Font::preferredFontForTextStyle(ui::FontTextStyleBody)->pointSize(), 17);
    EXPECT_EQ(ui::Font::preferredFontForTextStyle(ui::FontTextStyleLargeTitle)->pointSize(), 34);
    EXPECT_EQ(ui::Font::preferredFontForTextStyle(ui::FontTextStyleCaption2)->pointSize(), 11);
    EXPECT_TRUE(ui::Font::preferredFontForTextStyle(ui::FontTextStyleHeadline)->isBold());

    auto bold = ui::Font::boldSystemFontOfSize(16);
    EXPECT_TRUE(bold->isBold());
    EXPECT_EQ(bold->lineHeight(), 20);  // ceil(19.2)
    EXPECT_TRUE(bold->isEqual(ui::Font::boldSystemFontOfSize(16)));
    EXPECT_FALSE(bold->isEqual(ui::Font::systemFontOfSize(16)));
    // Two Latin characters at 0.5 x 16, one wide at 1.0 x 16.
    EXPECT_EQ(bold->sizeOfText("ab"), (cg::Size{16, 20}));
    EXPECT_EQ(bold->sizeOfText("提"), (cg::Size{16, 20}));
}

TEST_F(ResourcesTest, ColoursHaveThePlatformsNames) {
    EXPECT_EQ(ui::colorWithHex(0xFF8000), (cg::Color{1, 128 / 255.0, 0, 1}));
    EXPECT_EQ(ui::colorWithWhite(0, 0.4), (cg::Color{0, 0, 0, 0.4}));
    EXPECT_EQ(ui::colorWithHexString("#00ff00"), ui::greenColor());
    EXPECT_EQ(ui::darkGrayColor().red, 1.0 / 3);
    EXPECT_EQ(ui::clearColor().alpha, 0);
}

class Spinner : public ui::View {
    RT_DECLARE_CLASS(Spinner)
public:
    Spinner() = default;
};
class Hud : public ui::View {
    RT_DECLARE_CLASS(Hud)
public:
    Hud() = default;
};
RT_DEFINE_CLASS(Spinner, ui::View, "ResourcesTestSpinner")
RT_DEFINE_CLASS(Hud, ui::View, "ResourcesTestHud")

TEST_F(ResourcesTest, AppearanceProxiesApplyWhenViewsJoinAWindow) {
    ui::Appearance<Spinner>::appearance().setTintColor(ui::blueColor());
    ui::Appearance<Spinner>::appearanceWhenContainedIn({Hud::staticClass()}).setTintColor(ui::redColor());

    auto window = ui::Window::makeFullScreen();
    window->setHidden(false);
    auto loose = std::make_shared<Spinner>();
    auto hud = std::make_shared<Hud>();
    auto held = std::make_shared<Spinner>();
    auto own = std::make_shared<Spinner>();
    own->setTintColor(ui::greenColor());
    hud->addSubview(held);
    EXPECT_EQ(held->tintColor(), (cg::Color{0, 122 / 255.0, 1, 1}));  // the default until it shows

    window->addSubview(loose);
    window->addSubview(hud);
    window->addSubview(own);
    EXPECT_EQ(loose->tintColor(), ui::blueColor());
    EXPECT_EQ(held->tintColor(), ui::redColor());
    EXPECT_EQ(own->tintColor(), ui::greenColor());
    EXPECT_EQ(ui::colorValue(ui::AppearanceRegistry::valueFor(*held, "tintColor")), ui::redColor());
    EXPECT_EQ(ui::AppearanceRegistry::valueFor(*hud, "tintColor"), nullptr);

    // Tint flows down to subviews without their own.
    auto inside = ui::View::make();
    loose->addSubview(inside);
    EXPECT_EQ(inside->tintColor(), ui::blueColor());
}

TEST_F(ResourcesTest, RecordersKeepFeedbackAndAccessibilityPosts) {
    ui::NotificationFeedbackGenerator haptics;
    haptics.prepare();
    haptics.notificationOccurred(ui::NotificationFeedbackType::Error);
    ui::ImpactFeedbackGenerator(ui::ImpactFeedbackStyle::Heavy).impactOccurred(0.5);
    const auto& feedback = ui::FeedbackRecorder::shared().records();
    ASSERT_EQ(feedback.size(), 3u);
    EXPECT_EQ(feedback[0].kind, ui::FeedbackRecord::Kind::Prepare);
    EXPECT_EQ(feedback[1].generator, "UINotificationFeedbackGenerator");
    EXPECT_EQ(feedback[1].value, 2);
    EXPECT_EQ(feedback[2].value, int(ui::ImpactFeedbackStyle::Heavy));
    EXPECT_EQ(feedback[2].intensity, 0.5);

    ui::accessibilityPostNotification(ui::AccessibilityScreenChangedNotification);
    ui::accessibilityPostNotification(ui::AccessibilityAnnouncementNotification, ns::str("Loading"));
    const auto& posts = ui::AccessibilityRecorder::shared().posts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].notification, 1000u);
    EXPECT_EQ(posts[1].notification, 1008u);
    EXPECT_EQ(ns::cast<ns::String>(posts[1].argument)->utf8(), "Loading");

    auto board = ui::Pasteboard::generalPasteboard();
    EXPECT_FALSE(board->hasStrings());
    board->setString("gift-code");
    EXPECT_EQ(board->string(), "gift-code");
}

TEST_F(ResourcesTest, MotionEffectsStayOnTheView) {
    auto view = ui::View::make();
    auto x = std::make_shared<ui::InterpolatingMotionEffect>(
        "center.x", ui::InterpolatingMotionEffectType::TiltAlongHorizontalAxis);
    x->setMinimumRelativeValue(ns::Number::withDouble(-10));
    x->setMaximumRelativeValue(ns::Number::withDouble(10));
    auto group = std::make_shared<ui::MotionEffectGroup>();
    group->setMotionEffects({x});
    view->setMotionEffects({});
    view->addMotionEffect(group);
    view->addMotionEffect(group);
    ASSERT_EQ(view->motionEffects().size(), 1u);
    auto stored = ns::cast<ui::MotionEffectGroup>(view->motionEffects()[0]);
    ASSERT_NE(stored, nullptr);
    auto effect = ns::cast<ui::InterpolatingMotionEffect>(stored->motionEffects()[0]);
    EXPECT_EQ(effect->keyPath(), "center.x");
    EXPECT_EQ(ui::doubleValue(effect->maximumRelativeValue()), 10);
    view->removeMotionEffect(group);
    EXPECT_TRUE(view->motionEffects().empty());
}

TEST_F(ResourcesTest, ShapeLayerStrokesThePartBetweenStartAndEnd) {
    auto window = ui::Window::makeFullScreen();
    window->setHidden(false);
    auto ring = ui::ShapeLayer::make();
    ring->setFrame({0, 0, 48, 48});
    ring->setFillColor(std::nullopt);
    ring->setStrokeColor(ui::blackColor());
    ring->setLineWidth(2);
    ring->setPath(cg::BezierPath::arc({24, 24}, 18, -std::numbers::pi / 2, 3 * std::numbers::pi / 2, true));
    window->layer()->addSublayer(ring);
    env.runUntilIdle();
    ASSERT_EQ(ring->displayCount(), 1u);
    auto whole = ring->displayRecords();
    auto arcs = std::count_if(whole.begin(), whole.end(),
                              [](const auto& r) { return r.kind == cg::DrawingRecord::Kind::Arc; });
    EXPECT_EQ(arcs, 1);

    // A quarter: from the top to the right-hand side, as straight pieces.
    ring->setStrokeEnd(0.25);
    env.runUntilIdle();
    const auto& quarter = ring->displayRecords();
    std::vector<cg::Point> points;
    for (const auto& r : quarter) {
        if (r.kind == cg::DrawingRecord::Kind::MoveTo || r.kind == cg::DrawingRecord::Kind::LineTo) {
            points.push_back({r[0], r[1]});
        }
    }
    ASSERT_GE(points.size(), 2u);
    EXPECT_TRUE(near(points.front(), {24, 6}, 1e-6));
    EXPECT_TRUE(near(points.back(), {42, 24}, 1e-6));
    for (const auto& p : points) EXPECT_NEAR(std::hypot(p.x - 24, p.y - 24), 18, 0.05);
}

TEST_F(ResourcesTest, GradientLayerDrawsItsColoursAlongItsAxis) {
    auto window = ui::Window::makeFullScreen();
    window->setHidden(false);
    auto gradient = ui::GradientLayer::make();
    gradient->setFrame({0, 0, 10, 100});
    gradient->setColors({ui::whiteColor(), ui::blackColor()});
    window->layer()->addSublayer(gradient);
    env.runUntilIdle();
    ASSERT_EQ(gradient->displayRecords().size(), 1u);
    const auto& r = gradient->displayRecords()[0];
    EXPECT_EQ(r.kind, cg::DrawingRecord::Kind::LinearGradient);
    EXPECT_EQ((cg::Point{r[0], r[1]}), (cg::Point{5, 0}));
    EXPECT_EQ((cg::Point{r[2], r[3]}), (cg::Point{5, 100}));
    auto image = gradient->contents();
    ASSERT_NE(image, nullptr);
    EXPECT_GT(image->bitmap().colorAt(0, 1).red, 0.9);
    EXPECT_LT(image->bitmap().colorAt(0, image->height() - 2).red, 0.1);
}

TEST_F(ResourcesTest, DeviceReadsTheScreenModel) {
    auto model = ui::ScreenModel::notchedPhone();
    model.systemVersion = "12.4";
    ui::Screen::mainScreen()->setModel(model);
    EXPECT_EQ(ui::Device::currentDevice()->systemVersion(), "12.4");
    EXPECT_EQ(ui::Screen::mainScreen()->model().systemMajorVersion(), 12);
    EXPECT_EQ(ui::Device::currentDevice()->userInterfaceIdiom(), ui::UserInterfaceIdiom::Phone);
    EXPECT_EQ(ui::Screen::mainScreen()->nativeBounds(), cg::Rect(0, 0, 1170, 2532));
    EXPECT_EQ(ui::ScreenModel::classicPhone().keyboardHeight(), 260);
}

}  // namespace
