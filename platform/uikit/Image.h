#pragma once
// Images as views know them: decoded pixels (a graphics image) with a scale,
// so that the size in points is pixels / scale, plus how views draw them
// (rendering mode, stretchable cap insets).

#include <string>
#include <string_view>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Data.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/runtime/Class.h"

namespace ui {

enum class ImageRenderingMode { Automatic = 0, AlwaysOriginal = 1, AlwaysTemplate = 2 };
enum class ImageResizingMode { Tile = 0, Stretch = 1 };

class Image : public ns::Object {
    RT_DECLARE_CLASS(Image)
public:
    Image() = default;
    Image(ns::Ref<cg::Image> cgImage, double scale);

    static ns::Ref<Image> imageWithCGImage(ns::Ref<cg::Image> cgImage, double scale = 1);
    // A PNG file; the scale comes from an "@2x" or "@3x" before the
    // extension (1 otherwise). Nil when the file is missing or not a PNG.
    static ns::Ref<Image> imageWithContentsOfFile(const std::string& path);
    static ns::Ref<Image> imageWithData(const ns::Ref<ns::Data>& data, double scale = 1);
    // A PNG named `name` (with or without its ".png") in `directory`, at the
    // best scale present: the main screen's scale first, then the others
    // from the highest down, then the unsuffixed file. Nil when none exists.
    static ns::Ref<Image> imageNamed(std::string_view name, const std::string& directory);
    // The same in a bundle's folder; the main bundle by default. The name
    // may lead through sub-folders ("Skin.bundle/close").
    static ns::Ref<Image> imageNamed(std::string_view name, const ns::Ref<ns::Bundle>& bundle);
    static ns::Ref<Image> imageNamed(std::string_view name);

    const ns::Ref<cg::Image>& cgImage() const { return cgImage_; }
    double scale() const { return scale_; }
    // Points: pixels / scale.
    cg::Size size() const;
    // The file it came from, when it came from one.
    const std::string& path() const { return path_; }

    ImageRenderingMode renderingMode() const { return renderingMode_; }
    ns::Ref<Image> imageWithRenderingMode(ImageRenderingMode mode) const;

    const cg::EdgeInsets& capInsets() const { return capInsets_; }
    ImageResizingMode resizingMode() const { return resizingMode_; }
    ns::Ref<Image> resizableImageWithCapInsets(const cg::EdgeInsets& insets,
                                               ImageResizingMode mode = ImageResizingMode::Tile) const;

    std::string description() const override;
    ns::Id copy() const override { return self(); }

private:
    ns::Ref<Image> clone() const;

    ns::Ref<cg::Image> cgImage_;
    double scale_ = 1;
    std::string path_;
    ImageRenderingMode renderingMode_ = ImageRenderingMode::Automatic;
    cg::EdgeInsets capInsets_;
    ImageResizingMode resizingMode_ = ImageResizingMode::Tile;
};

}  // namespace ui
