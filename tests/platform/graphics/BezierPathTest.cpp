#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/graphics/BezierPath.h"
#include "platform/graphics/BitmapContext.h"

namespace cg {
namespace {

constexpr double kPi = std::numbers::pi;

void expectNear(const Rect& actual, const Rect& expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, tolerance) << actual;
    EXPECT_NEAR(actual.origin.y, expected.origin.y, tolerance) << actual;
    EXPECT_NEAR(actual.size.width, expected.size.width, tolerance) << actual;
    EXPECT_NEAR(actual.size.height, expected.size.height, tolerance) << actual;
}

TEST(BezierPathTest, BoundsCoverCurvesButNotControlPoints) {
    EXPECT_TRUE(BezierPath().bounds().isNull());

    BezierPath cubic;
    cubic.moveTo({0, 0});
    cubic.addCurve({100, 0}, {0, 100}, {100, 100});
    expectNear(cubic.bounds(), {0, 0, 100, 75});

    BezierPath quad;
    quad.moveTo({0, 0});
    quad.addQuadCurve({100, 0}, {50, 100});
    expectNear(quad.bounds(), {0, 0, 100, 50});

    expectNear(BezierPath::oval({10, 20, 30, 40}).bounds(), {10, 20, 30, 40});
    expectNear(BezierPath::roundedRect({0, 0, 50, 20}, 30).bounds(), {0, 0, 50, 20});
}

TEST(BezierPathTest, ArcBoundsAndEndFollowTheSweep) {
    // Clockwise on screen from the top: the upper right quarter.
    BezierPath quarter = BezierPath::arc({24, 24}, 18, -kPi / 2, 0, true);
    expectNear(quarter.bounds(), {24, 6, 18, 18});
    ASSERT_TRUE(quarter.currentPoint());
    EXPECT_NEAR(quarter.currentPoint()->x, 42, 1e-9);
    EXPECT_NEAR(quarter.currentPoint()->y, 24, 1e-9);

    // The same angles the other way round cover three quarters.
    expectNear(BezierPath::arc({24, 24}, 18, -kPi / 2, 0, false).bounds(), {6, 6, 36, 36});
    // A whole ring, and two turns, stay one circle.
    expectNear(BezierPath::arc({24, 24}, 18, -kPi / 2, 3 * kPi / 2, true).bounds(), {6, 6, 36, 36});
    expectNear(BezierPath::arc({24, 24}, 18, 3 * kPi / 2, 11 * kPi / 2, true).bounds(), {6, 6, 36, 36});
}

TEST(BezierPathTest, ContainsHonoursCornersAndFillRule) {
    BezierPath rounded = BezierPath::roundedRect({0, 0, 20, 20}, 10);
    EXPECT_TRUE(rounded.contains({10, 10}));
    EXPECT_FALSE(rounded.contains({1, 1}));
    EXPECT_FALSE(rounded.contains({25, 10}));

    BezierPath topLeft = BezierPath::roundedRect({0, 0, 20, 20}, CornerTopLeft, {8, 8});
    EXPECT_FALSE(topLeft.contains({1, 1}));
    EXPECT_TRUE(topLeft.contains({19, 1}));
    EXPECT_TRUE(topLeft.contains({1, 19}));

    BezierPath frame = BezierPath::rect({0, 0, 30, 30});
    frame.appendPath(BezierPath::rect({10, 10, 10, 10}));
    EXPECT_TRUE(frame.contains({15, 15}));
    frame.setUsesEvenOddFillRule(true);
    EXPECT_FALSE(frame.contains({15, 15}));
    EXPECT_TRUE(frame.contains({5, 5}));
}

TEST(BezierPathTest, CloseReturnsToTheSubpathStart) {
    BezierPath path;
    path.moveTo({1, 2});
    path.lineTo({10, 2});
    path.lineTo({10, 8});
    EXPECT_EQ(path.currentPoint(), (Point{10, 8}));
    path.closePath();
    EXPECT_EQ(path.currentPoint(), (Point{1, 2}));
    path.removeAllPoints();
    EXPECT_TRUE(path.isEmpty());
    EXPECT_FALSE(path.currentPoint());
}

TEST(BezierPathTest, FillPaintsWithTheContextColourAndItsOwnRule) {
    auto context = BitmapContext::create({30, 30}, 1, false);
    ASSERT_TRUE(context);
    context->setFillColor(Color::fromRGB(0x0000FF));
    BezierPath frame = BezierPath::rect({0, 0, 30, 30});
    frame.appendPath(BezierPath::rect({10, 10, 10, 10}));
    frame.setUsesEvenOddFillRule(true);
    frame.fill(*context);
    const DrawingRecord& fill = context->records()[context->records().size() - 2];
    EXPECT_EQ(describe(fill), "fill 0 0 1 1 1 0 1");
    auto image = context->makeImage();
    EXPECT_EQ(image->bitmap().pixel(5, 5), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(image->bitmap().pixel(15, 15).alpha, 0);
}

}  // namespace
}  // namespace cg
