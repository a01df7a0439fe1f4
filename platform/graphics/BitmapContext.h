#pragma once
// A drawing context over an in-memory bitmap, drawn by cairo, recording each
// call beside the drawing (see DrawingRecord).
//
// Coordinates are those of the view layer's image contexts: origin at the
// top left, y growing downwards, in points; the context starts with its CTM
// scaled by `scale`, so one point covers scale x scale pixels.
//
// Angles are in radians from the positive x axis towards the positive y
// axis, so in this y-down space a growing angle turns clockwise on screen.
// addArc() takes its `clockwise` flag as the platform's low-level context
// call does, which names directions as seen in a y-up space: clockwise=false
// sweeps with growing angles (clockwise on screen here), clockwise=true with
// shrinking ones. BezierPath, like the view layer's path object, names them
// as seen on screen instead.
//
// As on the platform, the current path is not part of the graphics state,
// and filling, stroking or clipping consumes it.

#include <initializer_list>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/BlendMode.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/DrawingRecord.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/LineStyle.h"

namespace cg {

class BezierPath;

enum class InterpolationQuality { Default = 0, None = 1, Low = 2, Medium = 4, High = 3 };

struct GradientStop {
    double location;  // 0..1
    Color color;
};

class BitmapContext {
public:
    // Pixels = ceil(points x scale) on each side. Opaque contexts are RGB24
    // and start black; others are premultiplied ARGB32 and start clear.
    // Nil for a size or scale that is not positive and finite, or too large.
    static std::shared_ptr<BitmapContext> create(Size size, double scale, bool opaque);
    // The platform's low-level bitmap context: `width` x `height` pixels at
    // scale 1 with the origin at the bottom left, y up. Alpha info 1-4 make
    // an ARGB32 surface (its images are 0x2002), 5 and 6 an opaque RGB24
    // one (0x2006); nil for other words or sizes. drawImageBottomUp() draws
    // images upright here.
    static std::shared_ptr<BitmapContext> createWithPixels(int width, int height, uint32_t bitmapInfo);
    ~BitmapContext();
    BitmapContext(const BitmapContext&) = delete;
    BitmapContext& operator=(const BitmapContext&) = delete;

    Size size() const { return size_; }
    double scale() const { return scale_; }
    bool isOpaque() const { return opaque_; }
    int pixelWidth() const;
    int pixelHeight() const;

    // ---- Graphics state ----
    // Saves the CTM, clip, colours, line style, alpha and blend mode. A
    // restore without a save is ignored.
    void saveGState();
    void restoreGState();
    void translateCTM(double tx, double ty);
    void scaleCTM(double sx, double sy);
    void rotateCTM(double angle);
    void concatCTM(const AffineTransform& t);
    AffineTransform ctm() const;

    void setFillColor(const Color& color);
    void setStrokeColor(const Color& color);
    Color fillColor() const;
    Color strokeColor() const;
    void setLineWidth(double width);
    double lineWidth() const;
    void setLineCap(LineCap cap);
    void setLineJoin(LineJoin join);
    // Multiplies every later fill, stroke, image and gradient.
    void setAlpha(double alpha);
    // Each mode maps to the drawing library's operator of the same formula;
    // plus-darker, which it lacks, draws as darken.
    void setBlendMode(BlendMode mode);
    BlendMode blendMode() const;
    void setShouldAntialias(bool on);
    void setInterpolationQuality(InterpolationQuality quality);

    // ---- Path ----
    void beginPath();
    void moveTo(double x, double y);
    void lineTo(double x, double y);
    void addCurveTo(double cp1x, double cp1y, double cp2x, double cp2y, double x, double y);
    void addQuadCurveTo(double cpx, double cpy, double x, double y);
    // A line joins the current point, if any, to the arc's start.
    void addArc(double cx, double cy, double radius, double startAngle, double endAngle, bool clockwise);
    // The arc of `radius` tangent to the lines from the current point to
    // (x1, y1) and from there to (x2, y2), after a line to its first tangent
    // point; just a line to (x1, y1) when the lines are parallel or the
    // radius is 0. Without a current point it starts at (x1, y1).
    void addArcToPoint(double x1, double y1, double x2, double y2, double radius);
    void addRect(const Rect& rect);
    void addEllipseInRect(const Rect& rect);
    // Circular corners; the radius is limited to half the shorter side.
    void addRoundedRect(const Rect& rect, double radius);
    void addPath(const BezierPath& path);
    void closePath();
    bool isPathEmpty() const;
    std::optional<Point> currentPoint() const;

    // ---- Painting ----
    void fillPath(bool evenOdd = false);
    void strokePath();
    void fillRect(const Rect& rect);
    void strokeRect(const Rect& rect);
    // Makes the rect transparent (black in opaque contexts), whatever the
    // blend mode.
    void clearRect(const Rect& rect);
    void fillEllipseInRect(const Rect& rect);
    void strokeEllipseInRect(const Rect& rect);

    // ---- Clipping (intersects the current clip) ----
    void clip(bool evenOdd = false);
    void clipToRect(const Rect& rect);
    void clipToRoundedRect(const Rect& rect, double radius);

    // ---- Images, gradients, text ----
    // The image scaled to fill `rect`, upright in this y-down space (its
    // first row along the rect's top edge), as the view layer draws images.
    void drawImage(const Image& image, const Rect& rect);
    // The image as the platform's low-level call draws it: first row along
    // the rect's bottom edge (upright in a y-up space). Callers that flip the
    // CTM first (scale 1, -1; translate 0, -height) see it upright.
    void drawImageBottomUp(const Image& image, const Rect& rect);
    // Fills the clip with the gradient. The drawing library extends both ends
    // together, so either extend flag extends both.
    void drawLinearGradient(const std::vector<GradientStop>& stops, Point start, Point end, bool extendStart,
                            bool extendEnd);
    void drawRadialGradient(const std::vector<GradientStop>& stops, Point startCenter, double startRadius,
                            Point endCenter, double endRadius, bool extendStart, bool extendEnd);
    // A run of text with its top-left corner at `origin`, laid out by
    // TextMetrics (line breaks honoured, no wrapping). Glyphs are drawn as
    // boxes: no font files are involved. Returns the run's size.
    Size drawText(std::string_view text, Point origin, double fontSize, const Color& color);

    // ---- Results ----
    // A snapshot of the pixels; later drawing does not change it.
    ns::Ref<Image> makeImage() const;
    // The same carrying `charge`, the account's charge its maker took for
    // the snapshot's pixels before asking for it (see PictureAccount.h).
    ns::Ref<Image> makeImage(PictureCharge charge) const;
    // The pixels themselves as an image, without a copy, for a context
    // drawn once and then let go: the context is spent, with no pixels
    // left (0 x 0) and nothing drawn by later calls. Nil once spent. The
    // image takes over the charge of the last charged picture drawn here
    // (Image::charge()), so that a copy made for display stays charged
    // after its source goes; a snapshot (makeImage) does not.
    ns::Ref<Image> takeImage();
    // The same carrying `charge`, the account's charge for the context's
    // own pixels, in place of a drawn picture's: for a canvas larger than
    // what is drawn on it.
    ns::Ref<Image> takeImage(PictureCharge charge);
    // Makes the context carry `charge`, the account's charge for its own
    // pixels, for as long as it lives: a canvas kept and drawn on again and
    // again. Pictures drawn on it then leave their charges with them, and
    // takeImage() hands this one on.
    void carryOwnCharge(PictureCharge charge);
    const std::vector<DrawingRecord>& records() const { return records_; }
    void clearRecords() { records_.clear(); }

private:
    struct Impl;
    BitmapContext(Size size, double scale, bool opaque, std::unique_ptr<Impl> impl);
    void record(DrawingRecord::Kind kind, std::initializer_list<double> numbers = {});
    void paintImage(const Image& image, const Rect& rect, bool bottomUp);

    Size size_;
    double scale_;
    bool opaque_;
    std::unique_ptr<Impl> impl_;
    std::vector<DrawingRecord> records_;
    // The charge of the last charged picture drawn: its pixels live on in
    // the context's, which hold one picture's worth at most. Or the
    // context's own, when it carries one.
    PictureCharge charge_;
    bool carriesOwnCharge_ = false;
};

}  // namespace cg
