#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Geometry.h"

namespace cg {
namespace {

constexpr double kPi = std::numbers::pi;

void expectNear(const Rect& actual, const Rect& expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, tolerance) << actual;
    EXPECT_NEAR(actual.origin.y, expected.origin.y, tolerance) << actual;
    EXPECT_NEAR(actual.size.width, expected.size.width, tolerance) << actual;
    EXPECT_NEAR(actual.size.height, expected.size.height, tolerance) << actual;
}

void expectNear(Point actual, Point expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << actual;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << actual;
}

TEST(RectTest, EdgesAndOperationsUseTheStandardizedRect) {
    Rect flipped(10, 20, -10, -20);
    EXPECT_EQ(flipped.minX(), 0);
    EXPECT_EQ(flipped.maxX(), 10);
    EXPECT_EQ(flipped.minY(), 0);
    EXPECT_EQ(flipped.maxY(), 20);
    EXPECT_EQ(flipped.midX(), 5);
    EXPECT_EQ(flipped.width(), 10);
    EXPECT_EQ(flipped.standardized(), Rect(0, 0, 10, 20));
    EXPECT_EQ(flipped.offsetBy(1, 2).origin, (Point{1, 2}));
    EXPECT_EQ(flipped, Rect(0, 0, 10, 20));
}

TEST(RectTest, InsetShrinksGrowsAndGoesNullWhenASideWouldBeNegative) {
    Rect r(0, 0, 100, 50);
    EXPECT_EQ(r.insetBy(10, 5), Rect(10, 5, 80, 40));
    EXPECT_EQ(r.insetBy(-10, -5), Rect(-10, -5, 120, 60));
    EXPECT_EQ(r.insetBy(50, 0), Rect(50, 0, 0, 50));
    EXPECT_TRUE(r.insetBy(50.5, 0).isNull());
    EXPECT_TRUE(Rect::null().insetBy(-10, -10).isNull());

    EdgeInsets insets{10, 20, 30, 40};
    EXPECT_EQ(insets.insetRect(r), Rect(20, 10, 40, 10));
    // No standardizing: insets larger than the rect leave a negative size.
    EXPECT_EQ(EdgeInsets({40, 0, 40, 0}).insetRect(r).size.height, -30);
}

TEST(RectTest, IntersectionUnionAndNull) {
    Rect a(0, 0, 10, 10);
    EXPECT_EQ(a.intersection(Rect(5, 5, 10, 10)), Rect(5, 5, 5, 5));
    EXPECT_TRUE(a.intersects(Rect(5, 5, 10, 10)));

    Rect touching = a.intersection(Rect(10, 0, 10, 10));
    EXPECT_FALSE(touching.isNull());
    EXPECT_EQ(touching, Rect(10, 0, 0, 10));
    EXPECT_TRUE(touching.isEmpty());
    EXPECT_FALSE(a.intersects(Rect(10, 0, 10, 10)));

    EXPECT_TRUE(a.intersection(Rect(11, 0, 5, 5)).isNull());
    EXPECT_TRUE(a.intersection(Rect::null()).isNull());

    EXPECT_EQ(a.unionWith(Rect(20, -5, 5, 5)), Rect(0, -5, 25, 15));
    EXPECT_EQ(a.unionWith(Rect::null()), a);
    EXPECT_EQ(Rect::null().unionWith(a), a);
    // An empty but placed rect still counts in a union.
    EXPECT_EQ(a.unionWith(Rect(30, 30, 0, 0)), Rect(0, 0, 30, 30));

    EXPECT_EQ(Rect::null(), Rect::null());
    EXPECT_NE(Rect::null(), Rect::zero());
    EXPECT_TRUE(Rect::zero().isEmpty());
    EXPECT_FALSE(Rect::zero().isNull());
}

TEST(RectTest, ContainmentIsHalfOpenForPoints) {
    Rect r(0, 0, 10, 10);
    EXPECT_TRUE(r.containsPoint({0, 0}));
    EXPECT_TRUE(r.containsPoint({9.999, 9.999}));
    EXPECT_FALSE(r.containsPoint({10, 5}));
    EXPECT_FALSE(r.containsPoint({5, 10}));
    EXPECT_FALSE(r.containsPoint({-0.001, 5}));
    EXPECT_FALSE(Rect::null().containsPoint({0, 0}));

    EXPECT_TRUE(r.containsRect(Rect(0, 0, 10, 10)));
    EXPECT_TRUE(r.containsRect(Rect(2, 2, 3, 3)));
    EXPECT_FALSE(r.containsRect(Rect(2, 2, 9, 3)));
    EXPECT_FALSE(r.containsRect(Rect::null()));
}

TEST(RectTest, IntegralEnclosesWithWholeNumbers) {
    EXPECT_EQ(Rect(0.5, 1.2, 10.1, 3.3).integral(), Rect(0, 1, 11, 4));
    EXPECT_EQ(Rect(-0.5, -0.5, 1, 1).integral(), Rect(-1, -1, 2, 2));
    EXPECT_EQ(Rect(3, 4, 5, 6).integral(), Rect(3, 4, 5, 6));
    EXPECT_TRUE(Rect::null().integral().isNull());
}

TEST(RectTest, PrintsInBraceForm) {
    EXPECT_EQ(toString(Rect(0, 0.5, 320, 480)), "{{0, 0.5}, {320, 480}}");
    EXPECT_EQ(toString(Point{-1, 2.25}), "{-1, 2.25}");
    EXPECT_EQ(toString(EdgeInsets{44, 0, 34, 0}), "{44, 0, 34, 0}");
}

TEST(AffineTransformTest, BuildersApplyTheNewStepFirst) {
    // Scale, then the earlier translation.
    AffineTransform t = AffineTransform::makeTranslation(10, 0).scaled(2, 2);
    expectNear(t.apply(Point{1, 1}), {12, 2});
    // The other order.
    AffineTransform u = AffineTransform::makeScale(2, 2).translated(10, 0);
    expectNear(u.apply(Point{1, 1}), {22, 2});
    // concat: the receiver, then the argument.
    AffineTransform v = AffineTransform::makeScale(2, 2).concat(AffineTransform::makeTranslation(10, 0));
    expectNear(v.apply(Point{1, 1}), {12, 2});
    EXPECT_TRUE(AffineTransform::identity().isIdentity());
    EXPECT_FALSE(t.isIdentity());
}

TEST(AffineTransformTest, RotatesClockwiseOnScreenAboutAPoint) {
    AffineTransform quarter = AffineTransform::makeRotation(kPi / 2);
    expectNear(quarter.apply(Point{1, 0}), {0, 1});

    AffineTransform aboutCentre = AffineTransform::makeRotation(kPi / 2, {10, 10});
    expectNear(aboutCentre.apply(Point{20, 10}), {10, 20});
    expectNear(aboutCentre.apply(Point{10, 10}), {10, 10});
}

TEST(AffineTransformTest, InverseUndoesAndSingularStaysUnchanged) {
    AffineTransform t = AffineTransform::makeRotation(0.3).translated(5, -7).scaled(2, 3);
    ASSERT_TRUE(t.isInvertible());
    AffineTransform inv = t.inverted();
    Point p{12.5, -3};
    expectNear(inv.apply(t.apply(p)), p);
    AffineTransform id = t.concat(inv);
    EXPECT_NEAR(id.a, 1, 1e-12);
    EXPECT_NEAR(id.b, 0, 1e-12);
    EXPECT_NEAR(id.c, 0, 1e-12);
    EXPECT_NEAR(id.d, 1, 1e-12);
    EXPECT_NEAR(id.tx, 0, 1e-12);
    EXPECT_NEAR(id.ty, 0, 1e-12);

    AffineTransform flat = AffineTransform::makeScale(0, 1).translated(3, 4);
    EXPECT_FALSE(flat.isInvertible());
    EXPECT_EQ(flat.inverted(), flat);
}

TEST(AffineTransformTest, RectsMapToTheBoundingBoxOfTheirCorners) {
    Rect r(0, 0, 100, 50);
    expectNear(AffineTransform::makeRotation(kPi / 2).apply(r), Rect(-50, 0, 50, 100));
    Rect diamond = AffineTransform::makeRotation(kPi / 4).apply(r);
    double side = 150 / std::sqrt(2.0);
    EXPECT_NEAR(diamond.width(), side, 1e-9);
    EXPECT_NEAR(diamond.height(), side, 1e-9);
    EXPECT_NEAR(diamond.minY(), 0, 1e-9);
    EXPECT_TRUE(AffineTransform::makeScale(2, 2).apply(Rect::null()).isNull());

    // Sizes ignore translation.
    EXPECT_EQ(AffineTransform::makeTranslation(5, 5).scaled(2, -1).apply(Size{3, 4}), (Size{6, -4}));
}

}  // namespace
}  // namespace cg
