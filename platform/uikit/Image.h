#pragma once
// Images as views know them: decoded pixels (a graphics image) with a scale,
// so that the size in points is pixels / scale, plus how views draw them
// (rendering mode, stretchable cap insets).

#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Data.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/runtime/Class.h"

namespace ui {

enum class ImageRenderingMode { Automatic = 0, AlwaysOriginal = 1, AlwaysTemplate = 2 };
enum class ImageResizingMode { Tile = 0, Stretch = 1 };
// How the pixels are to be turned for display, by the platform's numbers.
enum class ImageOrientation {
    Up = 0,
    Down = 1,
    Left = 2,
    Right = 3,
    UpMirrored = 4,
    DownMirrored = 5,
    LeftMirrored = 6,
    RightMirrored = 7,
};
// The orientation of an EXIF (TIFF) orientation value 1-8; up otherwise.
ImageOrientation imageOrientationFromExif(int exif);

class Image : public ns::Object {
    RT_DECLARE_CLASS(Image)
public:
    Image() = default;
    Image(ns::Ref<cg::Image> cgImage, double scale, ImageOrientation orientation = ImageOrientation::Up);

    static ns::Ref<Image> imageWithCGImage(ns::Ref<cg::Image> cgImage, double scale = 1,
                                           ImageOrientation orientation = ImageOrientation::Up);
    // An image file (PNG, JPEG, GIF, BMP); the scale comes from an "@2x" or
    // "@3x" before the extension (1 otherwise). Nil when the file is missing
    // or not decodable. The app's own files: not charged to the
    // DecodedPixelAccount.
    static ns::Ref<Image> imageWithContentsOfFile(const std::string& path);
    // Data of any type an image source reads. A picture's orientation (a
    // JPEG's EXIF, a TIFF's tag) is kept. A file of several pictures (GIF
    // frames, TIFF pages, icon entries) gives an animated image of them in
    // file order (duration the sum of their delays, 0.1 s for a picture
    // without one), each frame with its own orientation, the whole with the
    // first's; a broken picture is left out (and still charged), and
    // pictures past the file's budget (cg::DecodeBudget, charged from their
    // headers) are not decoded, with a log line. Each picture is charged
    // to the process-wide DecodedPixelAccount too, where it is decoded:
    // one that would pass it is not decoded, with a log line, nor are the
    // pictures after it. One picture left gives a still image. Nil for
    // data that decodes to nothing.
    static ns::Ref<Image> imageWithData(const ns::Ref<ns::Data>& data, double scale = 1);
    // An animated image: the first image stands for it (its picture, scale
    // and orientation); nil without images.
    static ns::Ref<Image> animatedImageWithImages(std::vector<ns::Ref<Image>> images, double duration);
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
    ImageOrientation imageOrientation() const { return orientation_; }
    // Points: pixels / scale, width and height swapped for the left and
    // right orientations.
    cg::Size size() const;
    // The frames of an animated image; empty for a still one.
    const std::vector<ns::Ref<Image>>& images() const { return images_; }
    double duration() const { return duration_; }
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

protected:
    // For subclasses made blank and filled in later (decoded from an archive).
    void setCGImage(ns::Ref<cg::Image> cgImage, double scale, ImageOrientation orientation) {
        cgImage_ = std::move(cgImage);
        scale_ = scale > 0 ? scale : 1;
        orientation_ = orientation;
    }

private:
    ns::Ref<Image> clone() const;
    // Decodes `data`; pictures are charged to the account of decoded pixels
    // unless they are the app's own files.
    static ns::Ref<Image> decode(const ns::Ref<ns::Data>& data, double scale, bool charged);

    ns::Ref<cg::Image> cgImage_;
    double scale_ = 1;
    ImageOrientation orientation_ = ImageOrientation::Up;
    std::vector<ns::Ref<Image>> images_;
    double duration_ = 0;
    std::string path_;
    ImageRenderingMode renderingMode_ = ImageRenderingMode::Automatic;
    cg::EdgeInsets capInsets_;
    ImageResizingMode resizingMode_ = ImageResizingMode::Tile;
};

// The platform's PNG and JPEG representations of an image's pixels (its
// orientation is not applied); nil without pixels or when encoding fails.
ns::Ref<ns::Data> ImagePNGRepresentation(const Image* image);
ns::Ref<ns::Data> ImageJPEGRepresentation(const Image* image, double quality);

}  // namespace ui
