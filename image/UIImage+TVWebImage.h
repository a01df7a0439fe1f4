#pragma once
// Image processing for any image: pictures from a colour, a drawing or a
// small GIF; content-mode drawing and resizing; cropping and edge insets;
// rounded corners with a border; rotation and flipping; tinting; and the
// blur pipeline (box blur, saturation, tint, mask) with its presets. Every
// operation returns a new image and leaves its argument as it was; nil
// stands for what cannot be made. Any thread may call them: image contexts
// are per thread.

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/foundation/Data.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/BlendMode.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/LineStyle.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/View.h"

// ---- Making images ----

// `size` points at the screen's scale filled with the colour; nil without a
// colour or for a side of 0 or less.
ns::Ref<ui::Image> TV_imageWithColor(const std::optional<cg::Color>& color, cg::Size size = {1, 1});
// What `draw` draws into a context of `size` points at the screen's scale;
// nil without a block or a context.
ns::Ref<ui::Image> TV_imageWithSize(cg::Size size, const std::function<void(cg::BitmapContext&)>& draw);
// An animated image of every frame of the GIF decoded now, each repeated
// for its share of the frames' common tick (0.02 s steps); the platform's
// still image for a GIF of one frame or none. Nil for data that is not a
// GIF or a frame that cannot be drawn. For small GIFs only: every frame is
// held decoded.
ns::Ref<ui::Image> TV_imageWithSmallGIFData(const ns::Ref<ns::Data>& data, double scale);

// ---- Drawing and resizing ----

bool TV_hasAlphaChannel(const ui::Image& image);
// Draws the image into the current context, fitted into `rect` as a view
// of `contentMode` fits its contents; with `clipsToBounds` nothing falls
// outside `rect`.
void TV_drawInRect(const ui::Image& image, const cg::Rect& rect, ui::ViewContentMode contentMode, bool clipsToBounds);
// Nil for a side of 0 or less. The first form stretches the picture.
ns::Ref<ui::Image> TV_imageByResizeToSize(const ui::Image& image, cg::Size size);
ns::Ref<ui::Image> TV_imageByResizeToSize(const ui::Image& image, cg::Size size, ui::ViewContentMode contentMode);
// The pixels under `rect` (points, times the image's scale), at the image's
// scale and orientation; nil when nothing is left.
ns::Ref<ui::Image> TV_imageByCropToRect(const ui::Image& image, const cg::Rect& rect);
// Edges cut off (positive insets) or added (negative), the added margin
// filled with `color` when given; nil when nothing is left.
ns::Ref<ui::Image> TV_imageByInsetEdge(const ui::Image& image, const cg::EdgeInsets& insets,
                                       const std::optional<cg::Color>& color);

// ---- Corners, rotation, tint ----

ns::Ref<ui::Image> TV_imageByRoundCornerRadius(const ui::Image& image, double radius);
ns::Ref<ui::Image> TV_imageByRoundCornerRadius(const ui::Image& image, double radius, double borderWidth,
                                               const std::optional<cg::Color>& borderColor);
// `corners` is a set of cg::RectCorner bits. A border width of half the
// shorter side or more leaves nothing: a transparent image of the size.
ns::Ref<ui::Image> TV_imageByRoundCornerRadius(const ui::Image& image, double radius, unsigned corners,
                                               double borderWidth, const std::optional<cg::Color>& borderColor,
                                               cg::LineJoin borderLineJoin);
// Radians; positive turns the picture counter-clockwise. With `fitSize` the
// result grows to hold the whole turned picture, else it keeps the size
// and cuts the corners. At the image's scale and orientation.
ns::Ref<ui::Image> TV_imageByRotate(const ui::Image& image, double radians, bool fitSize);
ns::Ref<ui::Image> TV_imageByRotateLeft90(const ui::Image& image);
ns::Ref<ui::Image> TV_imageByRotateRight90(const ui::Image& image);
ns::Ref<ui::Image> TV_imageByRotate180(const ui::Image& image);
ns::Ref<ui::Image> TV_imageByFlipVertical(const ui::Image& image);
ns::Ref<ui::Image> TV_imageByFlipHorizontal(const ui::Image& image);
// The colour wherever the image is opaque, shaped by its alpha.
ns::Ref<ui::Image> TV_imageByTintColor(const ui::Image& image, const cg::Color& color);

// ---- Blur and its presets ----

ns::Ref<ui::Image> TV_imageByGrayscale(const ui::Image& image);
ns::Ref<ui::Image> TV_imageByBlurSoft(const ui::Image& image);
ns::Ref<ui::Image> TV_imageByBlurLight(const ui::Image& image);
ns::Ref<ui::Image> TV_imageByBlurExtraLight(const ui::Image& image);
ns::Ref<ui::Image> TV_imageByBlurDark(const ui::Image& image);
ns::Ref<ui::Image> TV_imageByBlurWithTint(const ui::Image& image, const cg::Color& tintColor);
// Box blur of `blurRadius` points (three passes approximate a Gaussian),
// then saturation by `saturation` (1 keeps the colours, 0 is grey), then
// the tint laid over in `tintMode`, all inside the mask when given. Nil,
// with a log line, for an image under 1 x 1 point or without pixels, or a
// mask without pixels. Without tint or mask the result keeps the image's
// scale and orientation.
ns::Ref<ui::Image> TV_imageByBlurRadius(const ui::Image& image, double blurRadius,
                                        const std::optional<cg::Color>& tintColor, cg::BlendMode tintMode,
                                        double saturation, const ns::Ref<ui::Image>& maskImage);

// The box blur's shape for a radius in pixels: an odd square kernel and
// one to three passes.
struct TVBoxBlurShape {
    uint32_t kernelSize = 0;
    int passes = 0;
};
TVBoxBlurShape TVBoxBlurShapeForRadius(double inputRadius);
