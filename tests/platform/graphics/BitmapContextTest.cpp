#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "platform/graphics/BezierPath.h"
#include "platform/graphics/BitmapContext.h"

namespace cg {
namespace {

constexpr double kPi = std::numbers::pi;
using Kind = DrawingRecord::Kind;

std::shared_ptr<BitmapContext> makeContext(double w, double h, double scale = 1, bool opaque = false) {
    auto context = BitmapContext::create({w, h}, scale, opaque);
    EXPECT_TRUE(context);
    return context;
}

uint8_t alphaAt(const BitmapContext& context, int x, int y) { return context.makeImage()->bitmap().pixel(x, y).alpha; }

std::vector<Kind> kinds(const BitmapContext& context) {
    std::vector<Kind> out;
    for (const auto& r : context.records()) out.push_back(r.kind);
    return out;
}

TEST(BitmapContextTest, SizesFollowPointsTimesScale) {
    auto context = makeContext(10.5, 20, 2);
    EXPECT_EQ(context->pixelWidth(), 21);
    EXPECT_EQ(context->pixelHeight(), 40);
    EXPECT_EQ(context->ctm(), AffineTransform::makeScale(2, 2));
    EXPECT_EQ(makeContext(10, 0.1, 10)->pixelHeight(), 1);
    EXPECT_EQ(makeContext(0.3, 1, 3)->pixelWidth(), 1);

    EXPECT_FALSE(BitmapContext::create({0, 10}, 1, false));
    EXPECT_FALSE(BitmapContext::create({10, 10}, 0, false));
    EXPECT_FALSE(BitmapContext::create({NAN, 10}, 1, false));
    EXPECT_FALSE(BitmapContext::create({1e6, 10}, 1, false));
}

TEST(BitmapContextTest, FilledRectIsPremultipliedAtPixelLevel) {
    auto context = makeContext(4, 4);
    context->setFillColor({1, 0, 0, 0.5});
    context->fillRect({1, 1, 2, 2});
    auto image = context->makeImage();
    ASSERT_TRUE(image->hasAlpha());
    Pixel inside = image->bitmap().pixel(1, 1);
    EXPECT_NEAR(inside.alpha, 128, 1);
    EXPECT_EQ(inside.red, inside.alpha);
    EXPECT_EQ(inside.green, 0);
    EXPECT_EQ(inside.blue, 0);
    EXPECT_EQ(image->bitmap().pixel(2, 2), inside);
    EXPECT_EQ(image->bitmap().pixel(0, 0), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(image->bitmap().pixel(3, 3), (Pixel{0, 0, 0, 0}));

    // Drawing again over it composites; the snapshot does not change.
    context->fillRect({1, 1, 2, 2});
    EXPECT_GT(alphaAt(*context, 1, 1), inside.alpha);
    EXPECT_EQ(image->bitmap().pixel(1, 1), inside);
}

TEST(BitmapContextTest, ScaleMapsOnePointToSeveralPixelsAndOpaqueStartsBlack) {
    auto context = makeContext(2, 2, 2, true);
    context->setFillColor(Color::white());
    context->fillRect({0, 0, 1, 1});
    auto image = context->makeImage();
    const Bitmap& bitmap = image->bitmap();
    EXPECT_EQ(bitmap.format(), PixelFormat::RGB24);
    EXPECT_EQ(bitmap.pixel(1, 1), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ(bitmap.pixel(2, 2), (Pixel{255, 0, 0, 0}));
}

TEST(BitmapContextTest, CopyAndClearReplaceInsteadOfCompositing) {
    auto context = makeContext(2, 1);
    context->setFillColor(Color::fromRGB(0xFF0000));
    context->fillRect({0, 0, 2, 1});
    context->setBlendMode(BlendMode::Copy);
    context->setFillColor({0, 0, 1, 0.5});
    context->fillRect({0, 0, 1, 1});
    context->clearRect({1, 0, 1, 1});
    auto image = context->makeImage();
    const Bitmap& bitmap = image->bitmap();
    Pixel copied = bitmap.pixel(0, 0);
    EXPECT_NEAR(copied.alpha, 128, 1);
    EXPECT_EQ(copied.red, 0);
    EXPECT_EQ(copied.blue, copied.alpha);
    EXPECT_EQ(bitmap.pixel(1, 0), (Pixel{0, 0, 0, 0}));
}

TEST(BitmapContextTest, DestinationInShapesAColourByAnImagesAlpha) {
    Bitmap mask(2, 1, PixelFormat::ARGB32Premultiplied);
    mask.setPixel(0, 0, premultiplied(255, 0, 0, 0));
    mask.setPixel(1, 0, premultiplied(0, 0, 0, 0));
    auto context = makeContext(2, 1);
    context->setFillColor(Color::fromRGB(0x00FF00));
    context->fillRect({0, 0, 2, 1});
    context->setBlendMode(BlendMode::DestinationIn);
    context->drawImage(*Image::make(mask), {0, 0, 2, 1});
    auto image = context->makeImage();
    const Bitmap& bitmap = image->bitmap();
    EXPECT_EQ(bitmap.pixel(0, 0), (Pixel{255, 0, 255, 0}));
    EXPECT_EQ(bitmap.pixel(1, 0).alpha, 0);
}

TEST(BitmapContextTest, ImagesDrawUprightOrBottomUp) {
    Bitmap picture(1, 2, PixelFormat::RGB24);
    picture.setPixel(0, 0, {255, 255, 0, 0});  // top row red
    picture.setPixel(0, 1, {255, 0, 0, 255});  // bottom row blue
    auto image = Image::make(picture);

    auto upright = makeContext(1, 2);
    upright->drawImage(*image, {0, 0, 1, 2});
    EXPECT_EQ(upright->makeImage()->bitmap().pixel(0, 0), (Pixel{255, 255, 0, 0}));

    auto bottomUp = makeContext(1, 2);
    bottomUp->drawImageBottomUp(*image, {0, 0, 1, 2});
    EXPECT_EQ(bottomUp->makeImage()->bitmap().pixel(0, 0), (Pixel{255, 0, 0, 255}));

    // Flipping the CTM first, as ported code does, makes it upright again.
    auto flipped = makeContext(1, 2);
    flipped->scaleCTM(1, -1);
    flipped->translateCTM(0, -2);
    flipped->drawImageBottomUp(*image, {0, 0, 1, 2});
    EXPECT_EQ(flipped->makeImage()->bitmap().pixel(0, 0), (Pixel{255, 255, 0, 0}));
    EXPECT_EQ(flipped->records().back().kind, Kind::DrawImage);
    EXPECT_EQ(flipped->records().back()[6], 1);
}

TEST(BitmapContextTest, ClipToRoundedRectAndGStateRestore) {
    auto context = makeContext(20, 20);
    context->saveGState();
    context->clipToRoundedRect({0, 0, 20, 20}, 10);
    context->setFillColor(Color::black());
    context->translateCTM(5, 5);
    context->fillRect({-5, -5, 20, 20});
    context->restoreGState();
    EXPECT_EQ(alphaAt(*context, 0, 0), 0);
    EXPECT_EQ(alphaAt(*context, 19, 19), 0);
    EXPECT_EQ(alphaAt(*context, 10, 10), 255);
    EXPECT_EQ(alphaAt(*context, 10, 2), 255);

    // Clip, CTM and colour are back: the corner now fills, in black (default).
    EXPECT_EQ(context->ctm(), AffineTransform::identity());
    context->fillRect({0, 0, 1, 1});
    EXPECT_EQ(context->makeImage()->bitmap().pixel(0, 0), (Pixel{255, 0, 0, 0}));
    // An unmatched restore is ignored.
    context->restoreGState();
    EXPECT_EQ(context->ctm(), AffineTransform::identity());
}

TEST(BitmapContextTest, ArcDirectionFollowsTheLowLevelFlag) {
    // Growing angles from 0 to pi/2 sweep through the lower right quadrant
    // of this y-down space.
    auto context = makeContext(40, 40);
    context->setLineWidth(4);
    context->addArc(20, 20, 15, 0, kPi / 2, false);
    context->strokePath();
    EXPECT_GT(alphaAt(*context, 30, 30), 200);
    EXPECT_EQ(alphaAt(*context, 30, 9), 0);

    auto other = makeContext(40, 40);
    other->setLineWidth(4);
    other->addArc(20, 20, 15, 0, kPi / 2, true);
    other->strokePath();
    EXPECT_EQ(alphaAt(*other, 30, 30), 0);
    EXPECT_GT(alphaAt(*other, 30, 9), 200);
}

TEST(BitmapContextTest, RecordsAPathArcAndItsStroke) {
    auto context = makeContext(48, 48);
    context->setStrokeColor(Color::white());
    BezierPath ring = BezierPath::arc({24, 24}, 18, -kPi / 2, 0, true);  // a quarter, from the top
    ring.setLineWidth(2);
    ring.setLineCapStyle(LineCap::Round);
    ring.stroke(*context);

    EXPECT_EQ(kinds(*context), (std::vector<Kind>{Kind::StrokeColor, Kind::SaveGState, Kind::LineWidth, Kind::LineCap,
                                                  Kind::LineJoin, Kind::BeginPath, Kind::Arc, Kind::Stroke,
                                                  Kind::RestoreGState}));
    const DrawingRecord& arc = context->records()[6];
    EXPECT_EQ(describe(arc), "arc 24 24 18 -1.5708 0 1");
    EXPECT_EQ(arc[3], -kPi / 2);
    const DrawingRecord& stroke = context->records()[7];
    EXPECT_EQ(describe(stroke), "stroke 1 1 1 1 2 0 1");

    // The quarter from the top to the right-hand side, and nothing else.
    EXPECT_GT(alphaAt(*context, 24 + 12, 24 - 13), 0);
    EXPECT_EQ(alphaAt(*context, 24 - 13, 24 + 12), 0);
    EXPECT_EQ(context->lineWidth(), 1);  // restored
}

TEST(BitmapContextTest, ArcToPointEndsOnTheSecondTangent) {
    auto context = makeContext(20, 20);
    context->moveTo(0, 10);
    context->addArcToPoint(0, 0, 10, 0, 5);
    auto end = context->currentPoint();
    ASSERT_TRUE(end);
    EXPECT_NEAR(end->x, 5, 1e-9);
    EXPECT_NEAR(end->y, 0, 1e-9);

    // Parallel lines or no radius: a straight line to the corner.
    context->addArcToPoint(10, 0, 20, 0, 5);
    EXPECT_EQ(context->currentPoint(), (Point{10, 0}));
    EXPECT_EQ(context->records().back().kind, Kind::ArcToPoint);
}

TEST(BitmapContextTest, RadialGradientDarkensWithDistance) {
    auto context = makeContext(320, 480);
    context->drawRadialGradient({{0, {0, 0, 0, 0}}, {1, {0, 0, 0, 0.75}}}, {160, 240}, 0, {160, 240}, 320, false,
                                true);
    EXPECT_LE(alphaAt(*context, 160, 240), 1);
    EXPECT_NEAR(alphaAt(*context, 160, 0), 0.5625 * 255, 2);
    EXPECT_LT(alphaAt(*context, 0, 0), uint8_t(0.75 * 255));
}

TEST(BitmapContextTest, SingularCtmDrawsNothingUntilRestored) {
    auto context = makeContext(4, 4);
    context->saveGState();
    context->scaleCTM(0, 0);
    context->fillRect({0, 0, 4, 4});
    EXPECT_EQ(alphaAt(*context, 1, 1), 0);
    context->restoreGState();
    context->fillRect({0, 0, 4, 4});
    EXPECT_EQ(alphaAt(*context, 1, 1), 255);
}

TEST(BitmapContextTest, TextIsMeasuredRecordedAndDrawnInsideItsBox) {
    auto context = makeContext(100, 40);
    context->moveTo(0, 0);
    context->lineTo(5, 5);
    Size size = context->drawText("OK 确定", {10, 10}, 10, Color::black());
    EXPECT_EQ(size, (Size{35, 12}));
    const DrawingRecord& text = context->records().back();
    EXPECT_EQ(text.kind, Kind::Text);
    EXPECT_EQ(text.text, "OK 确定");
    EXPECT_EQ(text[2], 10);
    EXPECT_GT(alphaAt(*context, 12, 16), 0);
    EXPECT_EQ(alphaAt(*context, 50, 16), 0);
    // Text leaves the path being built alone.
    EXPECT_EQ(context->currentPoint(), (Point{5, 5}));
}

}  // namespace
// The pixels handed over are what a snapshot would have copied (an opaque
// context's unused byte cleared); the context is spent after.
TEST(BitmapContextTest, TakenImageHoldsTheDrawingAndSpendsTheContext) {
    for (bool opaque : {false, true}) {
        auto context = makeContext(5, 4, 1, opaque);
        context->setFillColor(Color{0.2, 0.4, 0.6, opaque ? 1.0 : 0.5});
        context->fillRect({1, 1, 3, 2});
        auto snapshot = context->makeImage();
        auto taken = context->takeImage();
        ASSERT_TRUE(taken);
        EXPECT_EQ(taken->bitmap(), snapshot->bitmap()) << opaque;
        EXPECT_EQ(context->pixelWidth(), 0);
        context->fillRect({0, 0, 5, 4});
        EXPECT_FALSE(context->takeImage());
        EXPECT_TRUE(context->makeImage()->bitmap().isEmpty());
        EXPECT_EQ(taken->bitmap(), snapshot->bitmap()) << "later drawing changed the taken pixels";
    }
}

}  // namespace cg
