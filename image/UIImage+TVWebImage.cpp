// Making, drawing, resizing, cropping, insetting, rounding and tinting.

#include "image/UIImage+TVWebImage.h"

#include <cmath>
#include <utility>

#include "image/TVImageContext.h"
#include "platform/graphics/BezierPath.h"
#include "platform/uikit/GraphicsContext.h"

// ---- Making images ----

ns::Ref<ui::Image> TV_imageWithColor(const std::optional<cg::Color>& color, cg::Size size) {
    if (!color || size.width <= 0 || size.height <= 0) return nullptr;
    return TVDrawInImageContext(size, false, 0, [&](cg::BitmapContext& context) {
        context.setFillColor(*color);
        context.fillRect({0, 0, size.width, size.height});
    });
}

ns::Ref<ui::Image> TV_imageWithSize(cg::Size size, const std::function<void(cg::BitmapContext&)>& draw) {
    if (!draw) return nullptr;
    return TVDrawInImageContext(size, false, 0, draw);
}

// ---- Drawing and resizing ----

bool TV_hasAlphaChannel(const ui::Image& image) {
    if (!image.cgImage()) return false;
    cg::ImageAlphaInfo alpha = image.cgImage()->alphaInfo();
    return alpha == cg::ImageAlphaInfo::PremultipliedLast || alpha == cg::ImageAlphaInfo::PremultipliedFirst ||
           alpha == cg::ImageAlphaInfo::Last || alpha == cg::ImageAlphaInfo::First;
}

namespace {

// Where a view of `mode` puts contents of `image` points inside `rect`.
cg::Rect contentModeRect(cg::Rect rect, cg::Size image, ui::ViewContentMode mode) {
    rect = rect.standardized();
    image = {std::fabs(image.width), std::fabs(image.height)};
    const double x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    const cg::Point c{x + w / 2, y + h / 2};
    auto centred = [&](cg::Size size) { return cg::Rect{c.x - size.width / 2, c.y - size.height / 2, size.width, size.height}; };
    switch (mode) {
    case ui::ViewContentMode::ScaleAspectFit:
    case ui::ViewContentMode::ScaleAspectFill: {
        if (image.width < 0.01 || image.height < 0.01 || w < 0.01 || h < 0.01) return {c.x, c.y, 0, 0};
        bool imageNarrower = image.width / image.height < w / h;
        bool byHeight = mode == ui::ViewContentMode::ScaleAspectFit ? imageNarrower : !imageNarrower;
        double scale = byHeight ? h / image.height : w / image.width;
        return centred({image.width * scale, image.height * scale});
    }
    case ui::ViewContentMode::Center: return centred(image);
    case ui::ViewContentMode::Top: return {c.x - image.width / 2, y, image.width, image.height};
    case ui::ViewContentMode::Bottom: return {c.x - image.width / 2, y + h - image.height, image.width, image.height};
    case ui::ViewContentMode::Left: return {x, c.y - image.height / 2, image.width, image.height};
    case ui::ViewContentMode::Right: return {x + w - image.width, c.y - image.height / 2, image.width, image.height};
    case ui::ViewContentMode::TopLeft: return {x, y, image.width, image.height};
    case ui::ViewContentMode::TopRight: return {x + w - image.width, y, image.width, image.height};
    case ui::ViewContentMode::BottomLeft: return {x, y + h - image.height, image.width, image.height};
    case ui::ViewContentMode::BottomRight: return {x + w - image.width, y + h - image.height, image.width, image.height};
    case ui::ViewContentMode::ScaleToFill:
    case ui::ViewContentMode::Redraw:
    default: return rect;
    }
}

}  // namespace

void TV_drawInRect(const ui::Image& image, const cg::Rect& rect, ui::ViewContentMode contentMode, bool clipsToBounds) {
    cg::Rect drawn = contentModeRect(rect, image.size(), contentMode);
    if (drawn.size.width == 0 || drawn.size.height == 0) return;
    if (!clipsToBounds) {
        ui::imageDrawInRect(image, drawn);
        return;
    }
    cg::BitmapContext* context = ui::graphicsGetCurrentContext();
    if (!context) return;
    context->saveGState();
    context->clipToRect(rect);
    ui::imageDrawInRect(image, drawn);
    context->restoreGState();
}

ns::Ref<ui::Image> TV_imageByResizeToSize(const ui::Image& image, cg::Size size) {
    if (size.width <= 0 || size.height <= 0) return nullptr;
    return TVDrawInImageContext(size, false, image.scale(), [&](cg::BitmapContext&) {
        ui::imageDrawInRect(image, {0, 0, size.width, size.height});
    });
}

ns::Ref<ui::Image> TV_imageByResizeToSize(const ui::Image& image, cg::Size size, ui::ViewContentMode contentMode) {
    if (size.width <= 0 || size.height <= 0) return nullptr;
    return TVDrawInImageContext(size, false, image.scale(), [&](cg::BitmapContext&) {
        TV_drawInRect(image, {0, 0, size.width, size.height}, contentMode, false);
    });
}

ns::Ref<ui::Image> TV_imageByCropToRect(const ui::Image& image, const cg::Rect& rect) {
    if (!image.cgImage()) return nullptr;
    const double scale = image.scale();
    cg::Rect pixels{rect.origin.x * scale, rect.origin.y * scale, rect.size.width * scale, rect.size.height * scale};
    if (pixels.size.width <= 0 || pixels.size.height <= 0) return nullptr;
    auto cut = image.cgImage()->createWithImageInRect(pixels);
    if (!cut) return nullptr;
    return ui::Image::imageWithCGImage(cut, scale, image.imageOrientation());
}

ns::Ref<ui::Image> TV_imageByInsetEdge(const ui::Image& image, const cg::EdgeInsets& insets,
                                       const std::optional<cg::Color>& color) {
    cg::Size size = image.size();
    cg::Size canvas{size.width - insets.left - insets.right, size.height - insets.top - insets.bottom};
    if (canvas.width <= 0 || canvas.height <= 0) return nullptr;
    const cg::Rect imageRect{-insets.left, -insets.top, size.width, size.height};
    return TVDrawInImageContext(canvas, false, image.scale(), [&](cg::BitmapContext& context) {
        if (color) {
            // The canvas outside the picture: the two rects filled even-odd.
            context.setFillColor(*color);
            context.beginPath();
            context.addRect({0, 0, canvas.width, canvas.height});
            context.addRect(imageRect);
            context.fillPath(true);
        }
        ui::imageDrawInRect(image, imageRect);
    });
}

// ---- Corners and tint ----

ns::Ref<ui::Image> TV_imageByRoundCornerRadius(const ui::Image& image, double radius) {
    return TV_imageByRoundCornerRadius(image, radius, 0, std::nullopt);
}

ns::Ref<ui::Image> TV_imageByRoundCornerRadius(const ui::Image& image, double radius, double borderWidth,
                                               const std::optional<cg::Color>& borderColor) {
    return TV_imageByRoundCornerRadius(image, radius, cg::CornerAll, borderWidth, borderColor, cg::LineJoin::Miter);
}

ns::Ref<ui::Image> TV_imageByRoundCornerRadius(const ui::Image& image, double radius, unsigned corners,
                                               double borderWidth, const std::optional<cg::Color>& borderColor,
                                               cg::LineJoin borderLineJoin) {
    if (corners != cg::CornerAll) {
        // Drawn in a vertically flipped space: the top corners are below.
        unsigned swapped = 0;
        if (corners & cg::CornerTopLeft) swapped |= cg::CornerBottomLeft;
        if (corners & cg::CornerBottomLeft) swapped |= cg::CornerTopLeft;
        if (corners & cg::CornerTopRight) swapped |= cg::CornerBottomRight;
        if (corners & cg::CornerBottomRight) swapped |= cg::CornerTopRight;
        corners = swapped;
    }
    const cg::Size size = image.size();
    const double scale = image.scale();
    const cg::Rect canvas{0, 0, size.width, size.height};
    const double shorter = std::min(size.width, size.height);
    return TVDrawInImageContext(size, false, scale, [&](cg::BitmapContext& context) {
        context.scaleCTM(1, -1);
        context.translateCTM(0, -size.height);
        if (borderWidth < shorter / 2 && image.cgImage()) {
            context.saveGState();
            context.beginPath();
            // Circular corners: the platform's rounded rect reads only the
            // first of its two radii.
            context.addPath(cg::BezierPath::roundedRect(canvas.insetBy(borderWidth, borderWidth), corners,
                                                        {radius, radius}));
            context.closePath();
            context.clip();
            // The stored pixels: the orientation is not applied here.
            context.drawImageBottomUp(*image.cgImage(), canvas);
            context.restoreGState();
        }
        if (borderColor && borderWidth > 0 && borderWidth < shorter / 2) {
            // Half a pixel in, so a whole-pixel border lands on whole pixels.
            double inset = (std::floor(borderWidth * scale) + 0.5) / scale;
            double strokeRadius = radius > scale / 2 ? radius - scale / 2 : 0;
            context.beginPath();
            context.addPath(
                cg::BezierPath::roundedRect(canvas.insetBy(inset, inset), corners, {strokeRadius, strokeRadius}));
            context.closePath();
            context.setStrokeColor(*borderColor);
            context.setLineWidth(borderWidth);
            context.setLineJoin(borderLineJoin);
            context.strokePath();
        }
    });
}

ns::Ref<ui::Image> TV_imageByTintColor(const ui::Image& image, const cg::Color& color) {
    cg::Size size = image.size();
    return TVDrawInImageContext(size, false, image.scale(), [&](cg::BitmapContext& context) {
        context.setFillColor(color);
        context.fillRect({0, 0, size.width, size.height});
        ui::imageDrawInRect(image, {0, 0, size.width, size.height}, cg::BlendMode::DestinationIn, 1);
    });
}
