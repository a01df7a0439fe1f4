#include "platform/graphics/BitmapContext.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>
#include <utility>

#include "platform/graphics/BezierPath.h"
#include "platform/graphics/TextMetrics.h"
#include "platform/graphics/Utf8.h"

namespace cg {

namespace {

constexpr double kPi = std::numbers::pi;
// The drawing library's largest image side.
constexpr int kMaxPixels = 32767;

using Kind = DrawingRecord::Kind;

cairo_operator_t operatorFor(BlendMode mode) {
    switch (mode) {
    case BlendMode::Normal: return CAIRO_OPERATOR_OVER;
    case BlendMode::Multiply: return CAIRO_OPERATOR_MULTIPLY;
    case BlendMode::Screen: return CAIRO_OPERATOR_SCREEN;
    case BlendMode::Overlay: return CAIRO_OPERATOR_OVERLAY;
    case BlendMode::Darken: return CAIRO_OPERATOR_DARKEN;
    case BlendMode::Lighten: return CAIRO_OPERATOR_LIGHTEN;
    case BlendMode::ColorDodge: return CAIRO_OPERATOR_COLOR_DODGE;
    case BlendMode::ColorBurn: return CAIRO_OPERATOR_COLOR_BURN;
    case BlendMode::SoftLight: return CAIRO_OPERATOR_SOFT_LIGHT;
    case BlendMode::HardLight: return CAIRO_OPERATOR_HARD_LIGHT;
    case BlendMode::Difference: return CAIRO_OPERATOR_DIFFERENCE;
    case BlendMode::Exclusion: return CAIRO_OPERATOR_EXCLUSION;
    case BlendMode::Hue: return CAIRO_OPERATOR_HSL_HUE;
    case BlendMode::Saturation: return CAIRO_OPERATOR_HSL_SATURATION;
    case BlendMode::Color: return CAIRO_OPERATOR_HSL_COLOR;
    case BlendMode::Luminosity: return CAIRO_OPERATOR_HSL_LUMINOSITY;
    case BlendMode::Clear: return CAIRO_OPERATOR_CLEAR;
    case BlendMode::Copy: return CAIRO_OPERATOR_SOURCE;
    case BlendMode::SourceIn: return CAIRO_OPERATOR_IN;
    case BlendMode::SourceOut: return CAIRO_OPERATOR_OUT;
    case BlendMode::SourceAtop: return CAIRO_OPERATOR_ATOP;
    case BlendMode::DestinationOver: return CAIRO_OPERATOR_DEST_OVER;
    case BlendMode::DestinationIn: return CAIRO_OPERATOR_DEST_IN;
    case BlendMode::DestinationOut: return CAIRO_OPERATOR_DEST_OUT;
    case BlendMode::DestinationAtop: return CAIRO_OPERATOR_DEST_ATOP;
    case BlendMode::XOR: return CAIRO_OPERATOR_XOR;
    case BlendMode::PlusDarker: return CAIRO_OPERATOR_DARKEN;
    case BlendMode::PlusLighter: return CAIRO_OPERATOR_ADD;
    }
    return CAIRO_OPERATOR_OVER;
}

cairo_filter_t filterFor(InterpolationQuality q) {
    switch (q) {
    case InterpolationQuality::None: return CAIRO_FILTER_NEAREST;
    case InterpolationQuality::Low: return CAIRO_FILTER_FAST;
    case InterpolationQuality::Medium: return CAIRO_FILTER_GOOD;
    case InterpolationQuality::High: return CAIRO_FILTER_BEST;
    case InterpolationQuality::Default: break;
    }
    return CAIRO_FILTER_GOOD;
}

cairo_line_cap_t capFor(LineCap cap) {
    switch (cap) {
    case LineCap::Round: return CAIRO_LINE_CAP_ROUND;
    case LineCap::Square: return CAIRO_LINE_CAP_SQUARE;
    case LineCap::Butt: break;
    }
    return CAIRO_LINE_CAP_BUTT;
}

cairo_line_join_t joinFor(LineJoin join) {
    switch (join) {
    case LineJoin::Round: return CAIRO_LINE_JOIN_ROUND;
    case LineJoin::Bevel: return CAIRO_LINE_JOIN_BEVEL;
    case LineJoin::Miter: break;
    }
    return CAIRO_LINE_JOIN_MITER;
}

cairo_matrix_t toCairo(const AffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}

AffineTransform fromCairo(const cairo_matrix_t& m) { return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0}; }

void cairoRoundedRect(cairo_t* cr, const Rect& rect, double radius) {
    Rect r = rect.standardized();
    double rad = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
    if (rad == 0) {
        cairo_rectangle(cr, r.minX(), r.minY(), r.width(), r.height());
        return;
    }
    double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
    cairo_new_sub_path(cr);
    cairo_arc(cr, x1 - rad, y0 + rad, rad, -kPi / 2, 0);
    cairo_arc(cr, x1 - rad, y1 - rad, rad, 0, kPi / 2);
    cairo_arc(cr, x0 + rad, y1 - rad, rad, kPi / 2, kPi);
    cairo_arc(cr, x0 + rad, y0 + rad, rad, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void cairoEllipse(cairo_t* cr, const Rect& rect) {
    Rect r = rect.standardized();
    if (r.isEmpty()) return;
    cairo_new_sub_path(cr);
    cairo_save(cr);
    cairo_translate(cr, r.midX(), r.midY());
    cairo_scale(cr, r.width() / 2, r.height() / 2);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
    cairo_close_path(cr);
}

// Keeps the path being built across drawing that makes its own path (images
// and text, which leave the current path alone).
class PathKeeper {
public:
    explicit PathKeeper(cairo_t* cr) : cr_(cr), path_(cairo_copy_path(cr)) {}
    ~PathKeeper() {
        cairo_new_path(cr_);
        cairo_append_path(cr_, path_);
        cairo_path_destroy(path_);
    }
    PathKeeper(const PathKeeper&) = delete;
    PathKeeper& operator=(const PathKeeper&) = delete;

private:
    cairo_t* cr_;
    cairo_path_t* path_;
};

}  // namespace

struct BitmapContext::Impl {
    struct State {
        Color fill = Color::black();
        Color stroke = Color::black();
        double alpha = 1;
        BlendMode blend = BlendMode::Normal;
        InterpolationQuality interpolation = InterpolationQuality::Default;
        // Set once the CTM stops being invertible; nothing paints until the
        // state that made it so is restored away.
        bool singular = false;
    };

    // The surface draws into these pixels, so that takeImage() can hand
    // them over instead of copying them.
    Bitmap pixels;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    State state;
    std::vector<State> saved;

    ~Impl() { release(); }

    void release() {
        if (cr) cairo_destroy(cr);
        if (surface) cairo_surface_destroy(surface);
        cr = nullptr;
        surface = nullptr;
    }

    // A surface over `pixels`: false when the drawing library will not
    // draw into them as laid out.
    bool attach(cairo_format_t format) {
        const int w = pixels.width(), h = pixels.height();
        if (cairo_format_stride_for_width(format, w) != int(pixels.bytesPerRow())) return false;
        surface = cairo_image_surface_create_for_data(pixels.data(), format, w, h, int(pixels.bytesPerRow()));
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return false;
        cr = cairo_create(surface);
        return cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    }

    void applyOperator() { cairo_set_operator(cr, operatorFor(state.blend)); }

    void setSource(const Color& c) {
        Color k = c.clamped();
        cairo_set_source_rgba(cr, k.red, k.green, k.blue, k.alpha * std::clamp(state.alpha, 0.0, 1.0));
    }

    void paintGradient(cairo_pattern_t* pattern, const std::vector<GradientStop>& stops, bool extend) {
        for (const auto& stop : stops) {
            Color c = stop.color.clamped();
            cairo_pattern_add_color_stop_rgba(pattern, std::clamp(stop.location, 0.0, 1.0), c.red, c.green, c.blue,
                                              c.alpha);
        }
        cairo_pattern_set_extend(pattern, extend ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
        if (!state.singular && !stops.empty()) {
            cairo_save(cr);
            applyOperator();
            cairo_set_source(cr, pattern);
            cairo_paint_with_alpha(cr, std::clamp(state.alpha, 0.0, 1.0));
            cairo_restore(cr);
        }
        cairo_pattern_destroy(pattern);
    }

    // Applies a change to the CTM only if the result can still be inverted,
    // since the drawing library refuses all further work after a singular
    // matrix.
    void transform(const AffineTransform& t) {
        cairo_matrix_t current;
        cairo_get_matrix(cr, &current);
        AffineTransform next = t.concat(fromCairo(current));
        if (!next.isInvertible()) {
            state.singular = true;
            return;
        }
        cairo_matrix_t m = toCairo(t);
        cairo_transform(cr, &m);
    }
};

std::shared_ptr<BitmapContext> BitmapContext::create(Size size, double scale, bool opaque) {
    if (!(size.width > 0 && size.height > 0 && scale > 0) || !std::isfinite(size.width) ||
        !std::isfinite(size.height) || !std::isfinite(scale))
        return nullptr;
    // A hair below a whole number (10 x 0.1 x 10) must not add a pixel.
    double pw = std::ceil(size.width * scale - 1e-9), ph = std::ceil(size.height * scale - 1e-9);
    if (pw < 1 || ph < 1 || pw > kMaxPixels || ph > kMaxPixels) return nullptr;
    auto impl = std::make_unique<Impl>();
    try {
        impl->pixels = Bitmap(int(pw), int(ph), opaque ? PixelFormat::RGB24 : PixelFormat::ARGB32Premultiplied);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (!impl->attach(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32)) return nullptr;
    cairo_scale(impl->cr, scale, scale);
    cairo_set_line_width(impl->cr, 1);
    return std::shared_ptr<BitmapContext>(new BitmapContext(size, scale, opaque, std::move(impl)));
}

std::shared_ptr<BitmapContext> BitmapContext::createWithPixels(int width, int height, uint32_t bitmapInfo) {
    uint32_t alpha = bitmapInfo & BitmapInfo::AlphaInfoMask;
    if (alpha < 1 || alpha > 6 || width <= 0 || height <= 0) return nullptr;
    auto context = create(Size{double(width), double(height)}, 1, alpha >= 5);
    if (!context) return nullptr;
    context->translateCTM(0, height);
    context->scaleCTM(1, -1);
    context->clearRecords();
    return context;
}

BitmapContext::BitmapContext(Size size, double scale, bool opaque, std::unique_ptr<Impl> impl)
    : size_(size), scale_(scale), opaque_(opaque), impl_(std::move(impl)) {}

BitmapContext::~BitmapContext() = default;

int BitmapContext::pixelWidth() const { return impl_->pixels.width(); }
int BitmapContext::pixelHeight() const { return impl_->pixels.height(); }

void BitmapContext::record(Kind kind, std::initializer_list<double> numbers) {
    DrawingRecord r{kind, {}, {}};
    std::copy_n(numbers.begin(), std::min(numbers.size(), r.n.size()), r.n.begin());
    records_.push_back(std::move(r));
}

// ---- Graphics state ----

void BitmapContext::saveGState() {
    record(Kind::SaveGState);
    impl_->saved.push_back(impl_->state);
    cairo_save(impl_->cr);
}

void BitmapContext::restoreGState() {
    record(Kind::RestoreGState);
    if (impl_->saved.empty()) return;
    impl_->state = impl_->saved.back();
    impl_->saved.pop_back();
    cairo_restore(impl_->cr);
}

void BitmapContext::translateCTM(double tx, double ty) {
    record(Kind::TranslateCTM, {tx, ty});
    impl_->transform(AffineTransform::makeTranslation(tx, ty));
}

void BitmapContext::scaleCTM(double sx, double sy) {
    record(Kind::ScaleCTM, {sx, sy});
    impl_->transform(AffineTransform::makeScale(sx, sy));
}

void BitmapContext::rotateCTM(double angle) {
    record(Kind::RotateCTM, {angle});
    impl_->transform(AffineTransform::makeRotation(angle));
}

void BitmapContext::concatCTM(const AffineTransform& t) {
    record(Kind::ConcatCTM, {t.a, t.b, t.c, t.d, t.tx, t.ty});
    impl_->transform(t);
}

AffineTransform BitmapContext::ctm() const {
    cairo_matrix_t m;
    cairo_get_matrix(impl_->cr, &m);
    return fromCairo(m);
}

void BitmapContext::setFillColor(const Color& c) {
    record(Kind::FillColor, {c.red, c.green, c.blue, c.alpha});
    impl_->state.fill = c;
}

void BitmapContext::setStrokeColor(const Color& c) {
    record(Kind::StrokeColor, {c.red, c.green, c.blue, c.alpha});
    impl_->state.stroke = c;
}

Color BitmapContext::fillColor() const { return impl_->state.fill; }
Color BitmapContext::strokeColor() const { return impl_->state.stroke; }

void BitmapContext::setLineWidth(double width) {
    record(Kind::LineWidth, {width});
    if (width >= 0 && std::isfinite(width)) cairo_set_line_width(impl_->cr, width);
}

double BitmapContext::lineWidth() const { return cairo_get_line_width(impl_->cr); }

void BitmapContext::setLineCap(LineCap cap) {
    record(Kind::LineCap, {double(cap)});
    cairo_set_line_cap(impl_->cr, capFor(cap));
}

void BitmapContext::setLineJoin(LineJoin join) {
    record(Kind::LineJoin, {double(join)});
    cairo_set_line_join(impl_->cr, joinFor(join));
}

void BitmapContext::setAlpha(double alpha) {
    record(Kind::Alpha, {alpha});
    impl_->state.alpha = alpha;
}

void BitmapContext::setBlendMode(BlendMode mode) {
    record(Kind::BlendMode, {double(mode)});
    impl_->state.blend = mode;
}

BlendMode BitmapContext::blendMode() const { return impl_->state.blend; }

void BitmapContext::setShouldAntialias(bool on) {
    record(Kind::Antialias, {on ? 1.0 : 0.0});
    cairo_set_antialias(impl_->cr, on ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void BitmapContext::setInterpolationQuality(InterpolationQuality quality) {
    record(Kind::Interpolation, {double(quality)});
    impl_->state.interpolation = quality;
}

// ---- Path ----

void BitmapContext::beginPath() {
    record(Kind::BeginPath);
    cairo_new_path(impl_->cr);
}

void BitmapContext::moveTo(double x, double y) {
    record(Kind::MoveTo, {x, y});
    cairo_move_to(impl_->cr, x, y);
}

void BitmapContext::lineTo(double x, double y) {
    record(Kind::LineTo, {x, y});
    cairo_line_to(impl_->cr, x, y);
}

void BitmapContext::addCurveTo(double cp1x, double cp1y, double cp2x, double cp2y, double x, double y) {
    record(Kind::CurveTo, {cp1x, cp1y, cp2x, cp2y, x, y});
    if (!cairo_has_current_point(impl_->cr)) cairo_move_to(impl_->cr, cp1x, cp1y);
    cairo_curve_to(impl_->cr, cp1x, cp1y, cp2x, cp2y, x, y);
}

void BitmapContext::addQuadCurveTo(double cpx, double cpy, double x, double y) {
    record(Kind::QuadCurveTo, {cpx, cpy, x, y});
    cairo_t* cr = impl_->cr;
    double x0 = cpx, y0 = cpy;
    if (cairo_has_current_point(cr)) cairo_get_current_point(cr, &x0, &y0);
    else cairo_move_to(cr, cpx, cpy);
    cairo_curve_to(cr, x0 + 2.0 / 3 * (cpx - x0), y0 + 2.0 / 3 * (cpy - y0), x + 2.0 / 3 * (cpx - x),
                   y + 2.0 / 3 * (cpy - y), x, y);
}

void BitmapContext::addArc(double cx, double cy, double radius, double startAngle, double endAngle, bool clockwise) {
    record(Kind::Arc, {cx, cy, radius, startAngle, endAngle, clockwise ? -1.0 : 1.0});
    if (clockwise) cairo_arc_negative(impl_->cr, cx, cy, radius, startAngle, endAngle);
    else cairo_arc(impl_->cr, cx, cy, radius, startAngle, endAngle);
}

void BitmapContext::addArcToPoint(double x1, double y1, double x2, double y2, double radius) {
    record(Kind::ArcToPoint, {x1, y1, x2, y2, radius});
    cairo_t* cr = impl_->cr;
    if (!cairo_has_current_point(cr)) {
        cairo_move_to(cr, x1, y1);
        return;
    }
    double x0, y0;
    cairo_get_current_point(cr, &x0, &y0);
    // Unit vectors from the corner (x1, y1) back to the current point and on
    // towards (x2, y2).
    double ax = x0 - x1, ay = y0 - y1, bx = x2 - x1, by = y2 - y1;
    double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
    double cross = ax * by - ay * bx;
    if (radius <= 0 || la == 0 || lb == 0 || std::fabs(cross) < 1e-12 * la * lb) {
        cairo_line_to(cr, x1, y1);
        return;
    }
    ax /= la, ay /= la, bx /= lb, by /= lb;
    double half = std::acos(std::clamp(ax * bx + ay * by, -1.0, 1.0)) / 2;
    double tangent = radius / std::tan(half);  // corner to each tangent point
    double toCenter = radius / std::sin(half);
    double mx = ax + bx, my = ay + by, lm = std::hypot(mx, my);
    double cx = x1 + mx / lm * toCenter, cy = y1 + my / lm * toCenter;
    double t1x = x1 + ax * tangent, t1y = y1 + ay * tangent;
    double t2x = x1 + bx * tangent, t2y = y1 + by * tangent;
    double a1 = std::atan2(t1y - cy, t1x - cx), a2 = std::atan2(t2y - cy, t2x - cx);
    cairo_line_to(cr, t1x, t1y);
    // The short way round: growing angles when the turn from the first
    // tangent point to the second is positive.
    bool growing = (t1x - cx) * (t2y - cy) - (t1y - cy) * (t2x - cx) > 0;
    if (growing) cairo_arc(cr, cx, cy, radius, a1, a2);
    else cairo_arc_negative(cr, cx, cy, radius, a1, a2);
}

void BitmapContext::addRect(const Rect& r) {
    record(Kind::Rect, {r.origin.x, r.origin.y, r.size.width, r.size.height});
    cairo_rectangle(impl_->cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
}

void BitmapContext::addEllipseInRect(const Rect& r) {
    record(Kind::Ellipse, {r.origin.x, r.origin.y, r.size.width, r.size.height});
    cairoEllipse(impl_->cr, r);
}

void BitmapContext::addRoundedRect(const Rect& r, double radius) {
    record(Kind::RoundedRect, {r.origin.x, r.origin.y, r.size.width, r.size.height, radius});
    cairoRoundedRect(impl_->cr, r, radius);
}

void BitmapContext::addPath(const BezierPath& path) { path.addTo(*this); }

void BitmapContext::closePath() {
    record(Kind::ClosePath);
    cairo_close_path(impl_->cr);
}

bool BitmapContext::isPathEmpty() const {
    cairo_path_t* path = cairo_copy_path(impl_->cr);
    bool empty = path->num_data == 0;
    cairo_path_destroy(path);
    return empty;
}

std::optional<Point> BitmapContext::currentPoint() const {
    if (!cairo_has_current_point(impl_->cr)) return std::nullopt;
    Point p;
    cairo_get_current_point(impl_->cr, &p.x, &p.y);
    return p;
}

// ---- Painting ----

void BitmapContext::fillPath(bool evenOdd) {
    const auto& s = impl_->state;
    record(Kind::Fill, {s.fill.red, s.fill.green, s.fill.blue, s.fill.alpha, evenOdd ? 1.0 : 0.0, double(s.blend),
                        s.alpha});
    cairo_t* cr = impl_->cr;
    if (s.singular) {
        cairo_new_path(cr);
        return;
    }
    impl_->setSource(s.fill);
    impl_->applyOperator();
    cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr);
}

void BitmapContext::strokePath() {
    const auto& s = impl_->state;
    record(Kind::Stroke, {s.stroke.red, s.stroke.green, s.stroke.blue, s.stroke.alpha, lineWidth(), double(s.blend),
                          s.alpha});
    cairo_t* cr = impl_->cr;
    if (s.singular) {
        cairo_new_path(cr);
        return;
    }
    impl_->setSource(s.stroke);
    impl_->applyOperator();
    cairo_stroke(cr);
}

void BitmapContext::fillRect(const Rect& r) {
    record(Kind::FillRect, {r.origin.x, r.origin.y, r.size.width, r.size.height});
    cairo_t* cr = impl_->cr;
    cairo_new_path(cr);
    if (impl_->state.singular) return;
    cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
    impl_->setSource(impl_->state.fill);
    impl_->applyOperator();
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr);
}

void BitmapContext::strokeRect(const Rect& r) {
    record(Kind::StrokeRect, {r.origin.x, r.origin.y, r.size.width, r.size.height});
    cairo_t* cr = impl_->cr;
    cairo_new_path(cr);
    if (impl_->state.singular) return;
    cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
    impl_->setSource(impl_->state.stroke);
    impl_->applyOperator();
    cairo_stroke(cr);
}

void BitmapContext::clearRect(const Rect& r) {
    record(Kind::ClearRect, {r.origin.x, r.origin.y, r.size.width, r.size.height});
    cairo_t* cr = impl_->cr;
    cairo_new_path(cr);
    if (impl_->state.singular) return;
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
    cairo_fill(cr);
    cairo_restore(cr);
}

void BitmapContext::fillEllipseInRect(const Rect& r) {
    beginPath();
    addEllipseInRect(r);
    fillPath();
}

void BitmapContext::strokeEllipseInRect(const Rect& r) {
    beginPath();
    addEllipseInRect(r);
    strokePath();
}

// ---- Clipping ----

void BitmapContext::clip(bool evenOdd) {
    record(Kind::Clip, {evenOdd ? 1.0 : 0.0});
    cairo_set_fill_rule(impl_->cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_clip(impl_->cr);
}

void BitmapContext::clipToRect(const Rect& r) {
    record(Kind::ClipToRect, {r.origin.x, r.origin.y, r.size.width, r.size.height});
    cairo_t* cr = impl_->cr;
    // The rect clips on its own; the path being built is left alone.
    PathKeeper keeper(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr);
}

void BitmapContext::clipToRoundedRect(const Rect& r, double radius) {
    beginPath();
    addRoundedRect(r, radius);
    clip();
}

// ---- Images, gradients, text ----

void BitmapContext::drawImage(const Image& image, const Rect& rect) { paintImage(image, rect, false); }

void BitmapContext::drawImageBottomUp(const Image& image, const Rect& rect) { paintImage(image, rect, true); }

void BitmapContext::paintImage(const Image& image, const Rect& rect, bool bottomUp) {
    Rect r = rect.standardized();
    record(Kind::DrawImage, {r.origin.x, r.origin.y, r.size.width, r.size.height, double(image.width()),
                             double(image.height()), bottomUp ? 1.0 : 0.0});
    const Bitmap& bitmap = image.bitmap();
    if (impl_->state.singular || bitmap.isEmpty() || r.isEmpty()) return;
    if (image.charge() && !carriesOwnCharge_) charge_ = image.charge();
    cairo_t* cr = impl_->cr;
    PathKeeper keeper(cr);
    // The drawing library only reads through this pointer.
    cairo_surface_t* source = cairo_image_surface_create_for_data(
        const_cast<uint8_t*>(bitmap.data()), bitmap.hasAlpha() ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24,
        bitmap.width(), bitmap.height(), int(bitmap.bytesPerRow()));
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(source);
    // User space to the image's pixels.
    double sx = bitmap.width() / r.width(), sy = bitmap.height() / r.height();
    cairo_matrix_t m;
    if (bottomUp) cairo_matrix_init(&m, sx, 0, 0, -sy, -r.minX() * sx, r.maxY() * sy);
    else cairo_matrix_init(&m, sx, 0, 0, sy, -r.minX() * sx, -r.minY() * sy);
    cairo_pattern_set_matrix(pattern, &m);
    // Edge pixels repeat outward so filtering keeps the picture's edges hard.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, filterFor(impl_->state.interpolation));

    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, r.minX(), r.minY(), r.width(), r.height());
    cairo_clip(cr);
    impl_->applyOperator();
    cairo_set_source(cr, pattern);
    cairo_paint_with_alpha(cr, std::clamp(impl_->state.alpha, 0.0, 1.0));
    cairo_restore(cr);

    cairo_pattern_destroy(pattern);
    cairo_surface_destroy(source);
}

void BitmapContext::drawLinearGradient(const std::vector<GradientStop>& stops, Point start, Point end,
                                       bool extendStart, bool extendEnd) {
    record(Kind::LinearGradient, {start.x, start.y, end.x, end.y, double(stops.size())});
    impl_->paintGradient(cairo_pattern_create_linear(start.x, start.y, end.x, end.y), stops, extendStart || extendEnd);
}

void BitmapContext::drawRadialGradient(const std::vector<GradientStop>& stops, Point startCenter, double startRadius,
                                       Point endCenter, double endRadius, bool extendStart, bool extendEnd) {
    record(Kind::RadialGradient,
           {startCenter.x, startCenter.y, startRadius, endCenter.x, endCenter.y, endRadius, double(stops.size())});
    cairo_pattern_t* pattern = cairo_pattern_create_radial(startCenter.x, startCenter.y, startRadius, endCenter.x,
                                                           endCenter.y, endRadius);
    impl_->paintGradient(pattern, stops, extendStart || extendEnd);
}

Size BitmapContext::drawText(std::string_view text, Point origin, double fontSize, const Color& color) {
    record(Kind::Text, {origin.x, origin.y, fontSize, color.red, color.green, color.blue, color.alpha});
    records_.back().text = std::string(text);
    Size size = TextMetrics::measure(text, fontSize);
    if (impl_->state.singular || size.width == 0) return size;

    cairo_t* cr = impl_->cr;
    PathKeeper keeper(cr);
    cairo_save(cr);
    cairo_new_path(cr);
    const double lineHeight = TextMetrics::lineHeight(fontSize);
    double y = origin.y;
    for (const std::string& line : TextMetrics::lines(text, fontSize, 0)) {
        double x = origin.x;
        size_t pos = 0;
        while (pos < line.size()) {
            char32_t c = utf8::next(line, pos);
            double advance = TextMetrics::advance(c, fontSize);
            if (advance > 0 && c != ' ' && c != '\t' && c != 0x3000)
                cairo_rectangle(cr, x + advance * 0.1, y + lineHeight * 0.2, advance * 0.8, lineHeight * 0.6);
            x += advance;
        }
        y += lineHeight;
    }
    impl_->setSource(color);
    impl_->applyOperator();
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr);
    cairo_restore(cr);
    return size;
}

// ---- Results ----

ns::Ref<Image> BitmapContext::makeImage() const { return makeImage(nullptr); }

ns::Ref<Image> BitmapContext::makeImage(PictureCharge charge) const {
    cairo_surface_flush(impl_->surface);
    const int w = pixelWidth(), h = pixelHeight();
    const int stride = cairo_image_surface_get_stride(impl_->surface);
    const uint8_t* data = cairo_image_surface_get_data(impl_->surface);
    Bitmap bitmap(w, h, opaque_ ? PixelFormat::RGB24 : PixelFormat::ARGB32Premultiplied);
    // RGB24 leaves the top byte undefined; a bitmap keeps it zero.
    const uint32_t mask = opaque_ ? 0x00FFFFFFu : 0xFFFFFFFFu;
    for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(stride));
        uint32_t* dst = bitmap.row(y);
        for (int x = 0; x < w; ++x) dst[x] = src[x] & mask;
    }
    return Image::make(std::move(bitmap), std::move(charge));
}

ns::Ref<Image> BitmapContext::takeImage() { return takeImage(std::move(charge_)); }

void BitmapContext::carryOwnCharge(PictureCharge charge) {
    charge_ = std::move(charge);
    carriesOwnCharge_ = true;
}

ns::Ref<Image> BitmapContext::takeImage(PictureCharge charge) {
    if (impl_->pixels.isEmpty()) return nullptr;
    cairo_surface_flush(impl_->surface);
    impl_->release();
    Bitmap bitmap = std::exchange(impl_->pixels, Bitmap());
    // Spent: later calls draw into a surface of no pixels.
    impl_->surface = cairo_image_surface_create(opaque_ ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, 0, 0);
    impl_->cr = cairo_create(impl_->surface);
    if (opaque_) {
        // RGB24 leaves the top byte undefined; a bitmap keeps it zero.
        for (int y = 0; y < bitmap.height(); ++y) {
            uint32_t* row = bitmap.row(y);
            for (int x = 0; x < bitmap.width(); ++x) row[x] &= 0x00FFFFFFu;
        }
    }
    charge_ = nullptr;
    return Image::make(std::move(bitmap), std::move(charge));
}

}  // namespace cg
