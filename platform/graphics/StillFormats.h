#pragma once
// The still-image formats an image source reads and a destination writes
// besides GIF: PNG (libpng's progressive reader), JPEG (libjpeg-turbo,
// buffered-image mode for progressive files) and BMP (own reader and
// writer) take everything received so far: rows not received yet come out
// transparent, and only data that is complete (or broken) gives an image
// without them. TIFF (libtiff), JPEG 2000 (OpenJPEG) and the icon
// containers ICO and ICNS (own readers and writers) are read once the data
// is whole; a TIFF, ICO or ICNS file may hold several pictures.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/DecodeBudget.h"

namespace cg::still {

// Larger pictures are refused rather than allocated: one picture may take
// its file's whole budget, no more.
inline constexpr uint64_t MaximumPixels = MaximumPixelsPerFile;

// A progressive JPEG is read as far as this many scans, and as far as its
// scans pass over this many blocks (8 x 8 samples of one component) in
// all: each scan passes over every block of its components however little
// data it holds, and the file sets how many scans there are, so the scans
// read shrink as the picture grows. The library's own encoder writes 10
// (6 for grey), about 4.5 M blocks for a 6000 x 6000 colour picture, and
// real files rarely more than a few dozen; a file with more shows the
// picture its first scans give.
inline constexpr int MaximumProgressiveScans = 100;
inline constexpr uint64_t MaximumProgressiveScanBlocks = uint64_t(1) << 24;

// What a file's header says.
struct Header {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;
    // TIFF orientation 1-8 from a JPEG's EXIF block; 1 without one.
    int orientation = 1;
    bool progressive = false;  // JPEG
    int interlace = 0;         // PNG: 0 none, 1 Adam7
    // Which picture of a file of several: the TIFF directory's number, the
    // ICO or ICNS entry's place among the file's entries.
    size_t entry = 0;
    // Where an ICO or ICNS picture's bytes, or a TIFF page's directory, lie
    // in the file, found when its directory is read, so that decoding it
    // does not read that again.
    size_t offset = 0;
    size_t length = 0;
};

struct Decoded {
    Header header;
    // Premultiplied ARGB32 while rows are missing or the file has alpha,
    // RGB24 for a whole opaque picture.
    Bitmap bitmap;
    bool complete = false;
};

// Nothing until the header is there, or for data that is not of the format.
std::optional<Header> pngHeader(std::span<const uint8_t> data);
std::optional<Header> jpegHeader(std::span<const uint8_t> data);
std::optional<Header> bmpHeader(std::span<const uint8_t> data);

// `final`: no more data will come, so a file that ends early is complete
// as far as it goes. Nothing without a header, or when no row decodes from
// final data.
std::optional<Decoded> decodePng(std::span<const uint8_t> data, bool final);
std::optional<Decoded> decodeJpeg(std::span<const uint8_t> data, bool final);
std::optional<Decoded> decodeBmp(std::span<const uint8_t> data, bool final);

// The EXIF orientation (1-8) of a JPEG's APP1 block; 1 when absent.
int jpegOrientation(std::span<const uint8_t> data);

// Signatures, for the containers that hold pictures of other formats: a
// PNG; a JPEG 2000 in the JP2 file form or as a bare codestream.
bool startsAsPng(std::span<const uint8_t> data);
bool startsAsJp2File(std::span<const uint8_t> data);
bool startsAsJpeg2000Codestream(std::span<const uint8_t> data);

// Whole files only. The pictures a file holds, in file order: each one
// that its reader can decode and that is within the pixel cap. A TIFF
// picture's orientation is its tag's; ICNS entries other than PNG or
// JPEG 2000 are skipped (older raw ones with a log line), and a JPEG 2000
// entry is listed from its size marker, so its coding may still refuse it
// when it is decoded.
std::vector<Header> tiffPictures(std::span<const uint8_t> data);
std::vector<Header> jpeg2000Pictures(std::span<const uint8_t> data);
// The picture a JPEG 2000's size marker describes, when the reader would
// hand it to the library: read from the bytes alone, for a container
// listing its entries. Its coding and its data are weighed when it is
// decoded.
std::optional<Header> jpeg2000SizeHeader(std::span<const uint8_t> data);
std::vector<Header> icoPictures(std::span<const uint8_t> data);
std::vector<Header> icnsPictures(std::span<const uint8_t> data);
// One of those pictures, by its header as listed from the same data;
// nothing when it does not decode whole. Rows come as stored: a TIFF's
// orientation is left to the reader.
std::optional<Decoded> decodeTiff(std::span<const uint8_t> data, const Header& picture);
std::optional<Decoded> decodeJpeg2000(std::span<const uint8_t> data);
std::optional<Decoded> decodeIco(std::span<const uint8_t> data, const Header& picture);
std::optional<Decoded> decodeIcns(std::span<const uint8_t> data, const Header& picture);

// The bytes of a listed ICO or ICNS picture; nothing when they do not lie
// inside the data.
inline std::optional<std::span<const uint8_t>> pictureBytes(std::span<const uint8_t> data, const Header& picture) {
    if (picture.offset > data.size() || picture.length > data.size() - picture.offset) return std::nullopt;
    return data.subspan(picture.offset, picture.length);
}

// Writers: empty on failure. JPEG quality 0..1; BMP is 24-bit without
// alpha, 32-bit with straight alpha and its channel masks otherwise.
std::vector<uint8_t> encodeJpeg(const Bitmap& bitmap, double quality);
std::vector<uint8_t> encodeBmp(const Bitmap& bitmap);
// TIFF: LZW-compressed RGB, or RGBA with associated alpha. JPEG 2000: the
// JP2 file form, lossless at quality 1, lossy below it. ICO and ICNS: one
// entry holding a PNG; ICNS holds only squares of 16, 32, 64, 128, 256,
// 512 or 1024 pixels, and an image of another size gives nothing and a log
// line naming the size.
std::vector<uint8_t> encodeTiff(const Bitmap& bitmap);
std::vector<uint8_t> encodeJpeg2000(const Bitmap& bitmap, double quality);
std::vector<uint8_t> encodeIco(const Bitmap& bitmap);
std::vector<uint8_t> encodeIcns(const Bitmap& bitmap);

// A device-independent bitmap as an ICO entry holds it: the BMP info header
// onwards, twice the picture's height (colours, then the 1-bit AND mask
// that makes pixels clear). Nothing for a layout the BMP reader refuses.
std::optional<Header> icoBitmapHeader(std::span<const uint8_t> entry);
std::optional<Decoded> decodeIcoBitmap(std::span<const uint8_t> entry);

// Rows of straight RGBA bytes (transparent where nothing was received)
// into a bitmap: premultiplied, or RGB24 when `opaque`.
Bitmap bitmapFromRGBA(const std::vector<uint8_t>& rgba, int width, int height, bool opaque);

// Where a reader puts rows as it decodes them: straight-alpha native words
// (BGRA bytes in memory) written in place, each row finished once whole.
// A picture with alpha is held premultiplied; an opaque one as RGB24 until
// it turns out rows are missing, when it becomes ARGB32 with them clear.
class RowSink {
public:
    RowSink(int width, int height, bool alpha);
    // The row to write `width` words into.
    uint32_t* row(int y) { return bitmap_.row(y); }
    // Premultiplies the row, or clears the unused byte of an opaque one.
    void finishRow(int y);
    // The same of `width` words written elsewhere, into row `y`.
    void finishRowFrom(int y, const uint32_t* written);
    int rowsFinished() const { return rowsFinished_; }
    Bitmap take();

private:
    Bitmap bitmap_;
    std::vector<bool> finished_;
    int rowsFinished_ = 0;
};

}  // namespace cg::still
