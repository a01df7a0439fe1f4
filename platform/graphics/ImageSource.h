#pragma once
// An image source: encoded image data read for its type, its number of
// images, its properties and each image on demand. GIF, PNG, JPEG, BMP,
// TIFF, JPEG 2000, ICO and ICNS are decoded. GIF images come out composed
// at the size of the file's logical screen, one per frame, over what the
// frames before them left; a TIFF gives one image per directory, an ICO or
// ICNS file one per picture entry, in file order. Still images are
// described as RGBA with straight alpha (alpha info 3) or RGB with a
// skipped last byte (5), in the default byte order.
//
// An incremental source is given everything received so far, again and
// again: a PNG, JPEG or BMP picture is there once its header is, with the
// rows not received yet transparent; GIF frames appear as they arrive;
// TIFF, JPEG 2000, ICO and ICNS images appear once the data is final.
//
// Every picture made is charged to the source's budget first (see
// DecodeBudget.h); past it the source makes no new picture, unless it
// plays: a player holds a window of frames, not all of them, and shows
// each again for as long as it plays. A source keeps its budget across
// updates, so an incremental source charges each picture once. Each
// picture made is also charged to the process's account of decoded pixels
// (PictureAccount.h), unless the source reads the app's own files: one the
// account refuses is not decoded. So are a GIF source's screens, the canvas
// its frames are composed on and the one kept under a frame that restores
// it, each when it is made, for as long as the source holds them.
//
// Thread-safe: one frame is decoded at a time.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/graphics/CodecWork.h"
#include "platform/graphics/DecodeBudget.h"
#include "platform/graphics/GifFrames.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/StillFormats.h"

namespace ns {
class Data;
}

namespace cg {

// Uniform type identifiers of the formats recognised.
inline constexpr const char* ImageTypeGIF = "com.compuserve.gif";
inline constexpr const char* ImageTypePNG = "public.png";
inline constexpr const char* ImageTypeJPEG = "public.jpeg";
inline constexpr const char* ImageTypeBMP = "com.microsoft.bmp";
inline constexpr const char* ImageTypeTIFF = "public.tiff";
inline constexpr const char* ImageTypeJPEG2000 = "public.jpeg-2000";
inline constexpr const char* ImageTypeICO = "com.microsoft.ico";
inline constexpr const char* ImageTypeICNS = "com.apple.icns";

// The GIF properties of the file (loop count) or of one frame (delays).
struct GifProperties {
    // The file's: only with a NETSCAPE2.0 extension; 0 loops without end.
    std::optional<unsigned> loopCount;
    // A frame's, in seconds, only with a graphics control extension.
    // DelayTime reads delays under 0.011 s as 0.1 s; UnclampedDelayTime is
    // the delay as written.
    std::optional<double> delayTime;
    std::optional<double> unclampedDelayTime;

    // "{GIF = {DelayTime = 0.1; ...}}" with the keys present.
    std::string description() const;
};

// Properties of a file or one of its images, as far as it holds them:
// PixelWidth and PixelHeight, Orientation (1-8, from JPEG's EXIF or the
// TIFF tag), HasAlpha,
// {JFIF} IsProgressive, {PNG} InterlaceType and the {GIF} entries.
struct ImageProperties {
    std::optional<int> pixelWidth;
    std::optional<int> pixelHeight;
    std::optional<int> orientation;
    std::optional<bool> hasAlpha;
    std::optional<bool> isProgressive;
    std::optional<int> interlaceType;
    GifProperties gif;

    std::string description() const;
};

class ImageSource {
public:
    // Nil for empty data. `shouldCache` keeps the last picture made, so
    // that asking for it again does not decode it again; a file's earlier
    // pictures are not kept, as a player asks for them one after another.
    // A GIF source always keeps the canvas of the last frame composed, and
    // hands it out again when that frame is asked for again.
    // Bytes given as a span are copied; bytes given in a Data are held with
    // it, not copied (a MutableData, which may change, is copied), so that
    // a caller that keeps its Data does not hold its file twice.
    static std::shared_ptr<ImageSource> createWithData(std::span<const uint8_t> data, bool shouldCache = false);
    static std::shared_ptr<ImageSource> createWithData(const ns::Ref<ns::Data>& data,
                                                       bool shouldCache = false);
    // A source without data yet, for updateData().
    static std::shared_ptr<ImageSource> createIncremental(bool shouldCache = false);
    ImageSource(std::span<const uint8_t> data, bool shouldCache);
    explicit ImageSource(bool shouldCache);

    // All the data received so far (not the increment); `final` when no
    // more will come. A source given final data takes no more updates.
    void updateData(std::span<const uint8_t> data, bool final);
    void updateData(const ns::Ref<ns::Data>& data, bool final);

    // One of the ImageType identifiers, or empty when unknown (so far).
    std::string type() const;
    size_t count() const;
    GifProperties properties() const;
    // Nothing for an index out of range.
    std::optional<GifProperties> propertiesAtIndex(size_t index) const;
    ImageProperties copyProperties() const;
    std::optional<ImageProperties> copyPropertiesAtIndex(size_t index) const;
    // The picture at the index: nil out of range, for a frame that is
    // broken, has no colour table or lies on an empty or oversized canvas,
    // and for a new picture past the budget.
    ns::Ref<Image> createImageAtIndex(size_t index);

    // True for a picture known to give nothing without decoding it: a GIF
    // frame that is broken or has no colour table.
    bool isBrokenAtIndex(size_t index) const;
    // Charges the picture at the index as createImageAtIndex does, without
    // decoding it: false out of range or past the budget. A reader keeping
    // every picture stops at the first false.
    bool chargeAtIndex(size_t index);
    // The file's budget, for a reader that goes on making pictures of this
    // file once the source has gone (the image decoder's animated PNG
    // frames), and for tests.
    std::shared_ptr<DecodeBudget> budget() const;
    // A player's source charges every picture but refuses none.
    void setPlays(bool plays);
    // False for a source of the app's own files: its pictures are not
    // charged to the account of decoded pixels.
    void setCharged(bool charged);

    std::string description() const;

    // The work the source has done, for tests to count.
    struct Counters {
        // Decodes started, whether they succeeded or failed; a picture
        // handed out again from the cache is not one.
        size_t picturesAttempted = 0;
        // What the readers and their libraries did for this source.
        CodecWork work;
    };
    Counters counters() const;

private:
    ns::Ref<Image> createStillImage(size_t index, PictureCharge charge);
    ns::Ref<Image> createGifImage(size_t index, PictureCharge charge);
    // The charge for picture `index`, or for one of the GIF player's
    // screens (of the same size); nothing when the account refuses it, an
    // empty charge for a source not charged.
    std::optional<PictureCharge> chargePicture(size_t index);
    uint64_t pixelsAtIndex(size_t index) const;

    // What data_ spans: a copy of the bytes, or the Data they came in.
    void takeData(std::shared_ptr<const void> owner, std::span<const uint8_t> data, bool final);

    std::shared_ptr<const void> owner_;
    std::span<const uint8_t> data_;
    bool final_ = false;
    std::string type_;
    std::optional<gif::File> file_;
    std::vector<still::Header> pictures_;
    bool shouldCache_;
    mutable std::recursive_mutex mutex_;
    // Decodes the GIF frames from data_ as they are composed; its screens
    // are charged for as long as it lives, which is as long as the source.
    std::unique_ptr<gif::Player> player_;
    // The last picture made, when caching.
    ns::Ref<Image> cached_;
    size_t cachedIndex_ = 0;
    std::shared_ptr<DecodeBudget> budget_;
    bool plays_ = false;
    bool charged_ = true;
    Counters counters_;
};

}  // namespace cg
