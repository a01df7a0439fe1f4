// TIFF through libtiff, read from and written to memory. Every directory of
// a file is a picture; libtiff's RGBA reader turns each (any photometric,
// bit depth, compression and strip or tile layout it knows) into
// premultiplied words, with the rows in the order they are stored: the
// orientation tag is reported, not applied. Grey with alpha is the one
// layout whose packed samples libtiff leaves unpremultiplied (8 bits) or
// without their alpha (16 bits): those rows are put into words here.
// Errors and warnings stay quiet.
//
// A file sets how many entries each directory has and how large their
// values are, how many strips or tiles each page has and how many bytes a
// pixel is, and several pages may name the same values and strip arrays,
// so a small file can ask libtiff for work without end. Its directories
// are walked by our own reader first (`TiffDirectories.h`), and libtiff
// reads only the pages admitted, each by its place. Each page is then
// weighed from its tags before libtiff loads its strip arrays or decodes a
// byte: its strips and tiles against what the file's bytes can hold,
// across pages too, and the bytes its strips decode to against its pixels.
// A strip larger than the working buffer is decoded a batch of rows at a
// time into the picture, so the picture is held once.
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "platform/foundation/Log.h"
#include "platform/graphics/CodecWork.h"
#include "platform/graphics/StillFormats.h"
#include "platform/graphics/TiffDirectories.h"

namespace cg::still {

namespace {

// Files with more directories are read as far as this.
constexpr size_t kMaximumPictures = 256;
// The most libtiff may allocate at once (strip and tile buffers): enough
// for a capped picture's strip of four 16-bit samples.
constexpr tmsize_t kMaximumAllocation = tmsize_t(MaximumPixels) * 8;
// A strip or tile has an offset and a byte count of its own, two bytes
// each at the least, so a file that shares none has at most a strip for
// every four of its bytes: the pages of a file are read while the strips
// and tiles they name together are within that.
constexpr uint64_t kBytesPerStrip = 4;
// The richest pixel the RGBA reader draws is CMYK with alpha at 16 bits
// (10 bytes); samples past those are decoded and dropped, so a page of
// more bytes a pixel than this is refused.
constexpr uint64_t kMaximumBytesPerPixel = 16;
// Tiles run past the picture's right and bottom edges, and a small
// picture may sit in one large tile (common writers use 256 x 256 for
// any size): the decoded bytes a page may have beyond its pixels'.
constexpr uint64_t kPaddingPixels = uint64_t(1) << 18;
// A strip that decodes to more than this is read into the picture a batch
// of rows at a time, through a buffer of at most this (or of one row).
constexpr uint64_t kWorkingBufferBytes = uint64_t(16) << 20;

// The data read, or the file being written, with the position libtiff
// last sought to.
struct MemoryFile {
    std::span<const uint8_t> in;
    std::vector<uint8_t>* out = nullptr;
    uint64_t at = 0;

    uint64_t size() const { return out ? out->size() : in.size(); }
};

MemoryFile& fileOf(thandle_t handle) { return *static_cast<MemoryFile*>(handle); }

tmsize_t readBytes(thandle_t handle, void* buffer, tmsize_t size) {
    MemoryFile& file = fileOf(handle);
    if (size < 0 || file.at >= file.size()) return 0;
    uint64_t n = std::min<uint64_t>(uint64_t(size), file.size() - file.at);
    const uint8_t* from = file.out ? file.out->data() : file.in.data();
    std::memcpy(buffer, from + file.at, size_t(n));
    file.at += n;
    return tmsize_t(n);
}

tmsize_t writeBytes(thandle_t handle, void* buffer, tmsize_t size) {
    MemoryFile& file = fileOf(handle);
    if (!file.out || size < 0) return -1;
    uint64_t end = file.at + uint64_t(size);
    if (end > file.out->size()) file.out->resize(size_t(end));
    std::memcpy(file.out->data() + file.at, buffer, size_t(size));
    file.at = end;
    return size;
}

toff_t seekTo(thandle_t handle, toff_t offset, int whence) {
    MemoryFile& file = fileOf(handle);
    uint64_t base = whence == SEEK_CUR ? file.at : whence == SEEK_END ? file.size() : 0;
    uint64_t target = base + offset;
    if (target < base) return toff_t(-1);  // wrapped
    // Reading never goes past the data; writing may leave a gap to fill.
    if (!file.out && target > file.in.size()) return toff_t(-1);
    file.at = target;
    return target;
}

int closeFile(thandle_t) { return 0; }
toff_t sizeOf(thandle_t handle) { return fileOf(handle).size(); }
// Data being read is in memory already: libtiff reads strips and tiles in
// place (it never writes to a mapping). Its unmapped path also refuses
// uncompressed tiles smaller than the 1 KB its buffers round up to.
int mapData(thandle_t handle, void** base, toff_t* size) {
    MemoryFile& file = fileOf(handle);
    if (file.out) return 0;
    *base = const_cast<uint8_t*>(file.in.data());
    *size = file.in.size();
    return 1;
}
void noUnmapping(thandle_t, void*, toff_t) {}
int quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// An open TIFF over `file`, closed when this goes.
class Tiff {
public:
    Tiff(MemoryFile& file, const char* mode) {
        TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaximumAllocation);
#if TIFFLIB_AT_LEAST(4, 6, 0)
        // Libraries that have it bound the whole of a file's allocations
        // too: a strip at the most, and the arrays naming the strips.
        TIFFOpenOptionsSetMaxCumulatedMemAlloc(options, kMaximumAllocation * 2);
#endif
        TIFFOpenOptionsSetErrorHandlerExtR(options, quiet, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options, quiet, nullptr);
        tiff_ = TIFFClientOpenExt("memory", mode, &file, readBytes, writeBytes, seekTo, closeFile, sizeOf, mapData,
                                  noUnmapping, options);
        TIFFOpenOptionsFree(options);
    }
    ~Tiff() {
        if (tiff_) TIFFClose(tiff_);
    }
    Tiff(const Tiff&) = delete;
    Tiff& operator=(const Tiff&) = delete;

    TIFF* get() const { return tiff_; }

private:
    TIFF* tiff_ = nullptr;
};

uint8_t eightBits(uint8_t sample) { return sample; }
uint8_t eightBits(uint16_t sample) { return uint8_t((uint32_t(sample) + 128) / 257); }

// Rows of packed grey and alpha samples (the alpha is the first sample
// after the grey) into premultiplied ABGR words, as libtiff's own put
// routines leave them: `fromSkew` pixels of the source and `toSkew` words
// of the raster are stepped over after each row.
template <typename Sample>
void putGreyAlpha(TIFFRGBAImage* image, uint32_t* to, uint32_t, uint32_t, uint32_t width, uint32_t height,
                  int32_t fromSkew, int32_t toSkew, unsigned char* from) {
    const int samples = image->samplesperpixel;
    const bool inverted = image->photometric == PHOTOMETRIC_MINISWHITE;
    const bool associated = image->alpha == EXTRASAMPLE_ASSOCALPHA;
    const Sample* p = reinterpret_cast<const Sample*>(from);
    for (; height > 0; --height) {
        for (uint32_t x = 0; x < width; ++x, p += samples) {
            uint8_t grey = eightBits(p[0]);
            if (inverted) grey = uint8_t(255 - grey);
            const uint8_t alpha = eightBits(p[1]);
            // Associated grey is premultiplied already, and no brighter
            // than its alpha in a sound file.
            grey = associated ? std::min(grey, alpha) : uint8_t((grey * alpha + 127) / 255);
            *to++ = uint32_t(alpha) << 24 | uint32_t(grey) << 16 | uint32_t(grey) << 8 | grey;
        }
        to += toSkew;
        p += ptrdiff_t(fromSkew) * samples;
    }
}

// Replaces libtiff's put routine for packed grey with alpha.
void putGreyAlphaOurselves(TIFFRGBAImage& image) {
    const bool grey = image.photometric == PHOTOMETRIC_MINISBLACK || image.photometric == PHOTOMETRIC_MINISWHITE;
    if (!image.isContig || !grey || !image.alpha || image.samplesperpixel < 2) return;
    if (image.bitspersample == 8) image.put.contig = putGreyAlpha<uint8_t>;
    if (image.bitspersample == 16) image.put.contig = putGreyAlpha<uint16_t>;
}

bool startsAsTiff(std::span<const uint8_t> data) {
    return data.size() >= 8 && ((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M'));
}

// The strips or tiles of the current directory, counted from its tags
// (libtiff loads the arrays only when asked for an entry).
uint32_t stripCount(TIFF* tiff) { return TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff); }

// The bytes the current directory's strips or tiles decode to, tiles
// whole; 0 when libtiff cannot say, and the most there is past that.
uint64_t decodedBytes(TIFF* tiff) {
    const uint64_t each = TIFFIsTiled(tiff) ? TIFFTileSize64(tiff) : TIFFStripSize64(tiff);
    const uint64_t count = stripCount(tiff);
    return each > 0 && count > UINT64_MAX / each ? UINT64_MAX : each * count;
}

// Every strip or tile of the current directory lies inside the data, so
// nothing is allocated for bytes that are not there.
bool stripsInside(TIFF* tiff, uint64_t size) {
    const uint32_t count = stripCount(tiff);
    if (count == 0) return false;
    uint32_t checked = 0;
    bool inside = true;
    for (; checked < count && inside; ++checked) {
        int error = 0;
        uint64_t offset = TIFFGetStrileOffsetWithErr(tiff, checked, &error);
        uint64_t length = TIFFGetStrileByteCountWithErr(tiff, checked, &error);
        inside = !error && length != 0 && offset <= size && length <= size - offset;
    }
    work::stripsChecked(checked);
    return inside;
}

// Whether the current directory's counts are within what its data and its
// pixels can account for: its strips or tiles within `strips` (what the
// file's bytes hold), its bytes a pixel and the bytes it decodes to within
// the reader's.
bool weighed(TIFF* tiff, uint64_t pixels, uint64_t strips) {
    uint16_t samples = 1, bits = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    if (uint64_t(samples) * bits > kMaximumBytesPerPixel * 8) return false;
    const uint64_t count = stripCount(tiff);
    if (count == 0 || count > strips) return false;
    const uint64_t decoded = decodedBytes(tiff);
    return decoded > 0 && decoded <= kMaximumBytesPerPixel * (pixels + kPaddingPixels);
}

// The current directory's header, when libtiff's RGBA reader can read it,
// its size is within the cap and its counts are weighed within `strips`;
// its place is the caller's to set.
std::optional<Header> currentHeader(TIFF* tiff, uint64_t size, uint64_t strips) {
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height)) {
        return std::nullopt;
    }
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
    const uint64_t pixels = uint64_t(width) * height;
    if (pixels > MaximumPixels || !weighed(tiff, pixels, strips) || !stripsInside(tiff, size)) return std::nullopt;
    char message[1024];
    TIFFRGBAImage image;
    if (!TIFFRGBAImageOK(tiff, message) || !TIFFRGBAImageBegin(&image, tiff, 1, message)) return std::nullopt;
    Header header;
    header.width = int(width);
    header.height = int(height);
    header.hasAlpha = image.alpha != 0;
    header.orientation = image.orientation >= 1 && image.orientation <= 8 ? image.orientation : 1;
    TIFFRGBAImageEnd(&image);
    return header;
}

// Reading, with the strip arrays loaded an entry at a time as they are
// asked for, never whole, and no directory read on opening: each is read
// by its place once the walk has admitted it.
constexpr const char* kReading = "rOh";

// Reads the directory at `offset` through libtiff.
bool readDirectory(TIFF* tiff, uint64_t offset) {
    if (!TIFFSetSubDirectory(tiff, offset)) return false;
    work::libraryHeaderRead();
    return true;
}

// The planes libtiff's RGBA reader draws a page from: one of contiguous
// samples; or its colour planes (one for grey and palettes, three else)
// and its alpha (or black) plane.
int planesDrawn(const TIFFRGBAImage& image) {
    if (image.isContig) return 1;
    const bool onePlane = image.photometric == PHOTOMETRIC_MINISWHITE ||
                          image.photometric == PHOTOMETRIC_MINISBLACK || image.photometric == PHOTOMETRIC_PALETTE;
    return (onePlane ? 1 : 3) + (image.alpha ? 1 : 0);
}

// Whether the current page's picture is read by libtiff's RGBA reader
// whole (a strip of every plane or a tile at a time into its own buffer),
// rather than a batch of rows at a time here: strips within the working
// buffer, tiles, and subsampled YCbCr, whose put routines take blocks of
// rows.
bool readWhole(TIFF* tiff, const TIFFRGBAImage& image) {
    return TIFFIsTiled(tiff) || image.photometric == PHOTOMETRIC_YCBCR ||
           TIFFStripSize64(tiff) * uint64_t(planesDrawn(image)) <= kWorkingBufferBytes;
}

// The rows of the page at `directory`, current in `tiff`, decoded in order
// a batch at a time and put into `raster` (the rows as stored) by the
// routine libtiff's RGBA reader chose. Each separate plane is read through
// a handle of its own over the same data, so that each decodes its strips
// in order.
bool readInRows(std::span<const uint8_t> data, uint64_t directory, TIFF* tiff, TIFFRGBAImage& image,
                uint32_t* raster, uint32_t width, uint32_t height) {
    const int planes = planesDrawn(image);
    const uint64_t row = TIFFScanlineSize64(tiff);
    if (row == 0) return false;
    std::array<MemoryFile, 4> files;
    std::array<std::unique_ptr<Tiff>, 4> handles;
    std::array<TIFF*, 4> readers = {tiff};
    for (int p = 1; p < planes; ++p) {
        files[size_t(p)].in = data;
        handles[size_t(p)] = std::make_unique<Tiff>(files[size_t(p)], kReading);
        if (!handles[size_t(p)]->get() || !readDirectory(handles[size_t(p)]->get(), directory)) return false;
        readers[size_t(p)] = handles[size_t(p)]->get();
    }
    const uint64_t rowsAtOnce = kWorkingBufferBytes / (row * uint64_t(planes));
    const uint32_t batch = uint32_t(std::clamp<uint64_t>(rowsAtOnce, 1, height));
    const size_t planeBytes = size_t(row) * batch;
    std::vector<uint8_t> buffer(planeBytes * size_t(planes));
    std::array<uint8_t*, 4> plane{};
    for (int p = 0; p < planes; ++p) plane[size_t(p)] = buffer.data() + planeBytes * size_t(p);
    for (uint32_t top = 0; top < height; top += batch) {
        const uint32_t rows = std::min(batch, height - top);
        for (int p = 0; p < planes; ++p) {
            for (uint32_t i = 0; i < rows; ++i) {
                if (TIFFReadScanline(readers[size_t(p)], plane[size_t(p)] + size_t(row) * i, top + i, uint16_t(p)) != 1) {
                    return false;
                }
            }
        }
        uint32_t* to = raster + size_t(top) * width;
        if (image.isContig) {
            image.put.contig(&image, to, 0, top, width, rows, 0, 0, plane[0]);
        } else {
            // Grey and palettes draw from one colour plane; the alpha plane
            // follows the colour ones.
            const int colours = planes - (image.alpha ? 1 : 0);
            uint8_t* green = colours == 1 ? plane[0] : plane[1];
            uint8_t* blue = colours == 1 ? plane[0] : plane[2];
            image.put.separate(&image, to, 0, top, width, rows, 0, 0, plane[0], green, blue,
                               image.alpha ? plane[size_t(colours)] : nullptr);
        }
    }
    return true;
}

}  // namespace

std::vector<Header> tiffPictures(std::span<const uint8_t> data) {
    std::vector<Header> pictures;
    if (!startsAsTiff(data)) return pictures;
    work::directoryWalk();
    const std::vector<uint64_t> directories = tiffDirectories(data, kMaximumPictures);
    if (directories.empty()) return pictures;
    MemoryFile file{data};
    Tiff tiff(file, kReading);
    if (!tiff.get()) return pictures;
    const uint64_t allowance = data.size() / kBytesPerStrip;
    uint64_t named = 0;
    for (size_t page = 0; page < directories.size(); ++page) {
        if (!readDirectory(tiff.get(), directories[page])) continue;
        // A page's strips count once they are weighed, whether the page
        // then reads or not: pages that fail after checking them cost the
        // same work.
        const uint64_t strips = stripCount(tiff.get());
        if (strips <= allowance && named + strips > allowance) {
            ns::log("TIFF: the pages of a %zu-byte file name more strips and tiles than it holds; pages from %zu on "
                    "are not read",
                    data.size(), page);
            break;
        }
        if (strips <= allowance) named += strips;
        if (auto header = currentHeader(tiff.get(), data.size(), allowance)) {
            header->entry = page;
            header->offset = size_t(directories[page]);
            pictures.push_back(*header);
        }
    }
    return pictures;
}

std::optional<Decoded> decodeTiff(std::span<const uint8_t> data, const Header& picture) {
    if (!startsAsTiff(data) || !tiffDirectoryWeighed(data, picture.offset)) return std::nullopt;
    MemoryFile file{data};
    Tiff tiff(file, kReading);
    if (!tiff.get() || !readDirectory(tiff.get(), picture.offset)) return std::nullopt;
    auto header = currentHeader(tiff.get(), data.size(), data.size() / kBytesPerStrip);
    if (!header || header->width != picture.width || header->height != picture.height) return std::nullopt;
    char message[1024];
    TIFFRGBAImage image;
    if (!TIFFRGBAImageBegin(&image, tiff.get(), 1, message)) return std::nullopt;
    // Asking for the file's own orientation keeps the rows as stored.
    image.req_orientation = image.orientation;
    putGreyAlphaOurselves(image);
    Bitmap bitmap(header->width, header->height,
                  header->hasAlpha ? PixelFormat::ARGB32Premultiplied : PixelFormat::RGB24);
    work::inflated(decodedBytes(tiff.get()));
    const uint32_t width = uint32_t(header->width), height = uint32_t(header->height);
    const bool read = readWhole(tiff.get(), image) ? TIFFRGBAImageGet(&image, bitmap.row(0), width, height) != 0
                                                   : readInRows(data, picture.offset, tiff.get(), image,
                                                                bitmap.row(0), width, height);
    TIFFRGBAImageEnd(&image);
    if (!read) return std::nullopt;
    // Premultiplied ABGR (red in the low byte) to the bitmap's words.
    uint32_t* words = bitmap.row(0);
    const size_t count = size_t(header->width) * size_t(header->height);
    const uint32_t keep = header->hasAlpha ? 0xFF00FF00u : 0x0000FF00u;
    for (size_t i = 0; i < count; ++i) {
        uint32_t w = words[i];
        words[i] = (w & keep) | (w & 0xFFu) << 16 | (w >> 16 & 0xFFu);
    }
    Decoded decoded;
    decoded.header = *header;
    decoded.bitmap = std::move(bitmap);
    decoded.complete = true;
    return decoded;
}

std::vector<uint8_t> encodeTiff(const Bitmap& bitmap) {
    if (bitmap.isEmpty()) return {};
    std::vector<uint8_t> out;
    MemoryFile file{{}, &out};
    bool written = false;
    {
        Tiff tiff(file, "w");
        TIFF* t = tiff.get();
        if (!t) return {};
        const bool alpha = bitmap.hasAlpha();
        const uint16_t samples = alpha ? 4 : 3;
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(bitmap.width()));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(bitmap.height()));
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_RGB));
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
        TIFFSetField(t, TIFFTAG_ORIENTATION, uint16_t(ORIENTATION_TOPLEFT));
        TIFFSetField(t, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_LZW));
        TIFFSetField(t, TIFFTAG_PREDICTOR, uint16_t(PREDICTOR_HORIZONTAL));
        if (alpha) {
            // The bitmap's own premultiplied colour, kept exactly.
            uint16_t extra[] = {EXTRASAMPLE_ASSOCALPHA};
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
        }
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
        std::vector<uint8_t> row(size_t(bitmap.width()) * samples);
        written = true;
        for (int y = 0; y < bitmap.height() && written; ++y) {
            const uint32_t* words = bitmap.row(y);
            uint8_t* p = row.data();
            for (int x = 0; x < bitmap.width(); ++x) {
                uint32_t w = words[x];
                *p++ = uint8_t(w >> 16);
                *p++ = uint8_t(w >> 8);
                *p++ = uint8_t(w);
                if (alpha) *p++ = uint8_t(w >> 24);
            }
            written = TIFFWriteScanline(t, row.data(), uint32_t(y), 0) == 1;
        }
        written = written && TIFFWriteDirectory(t);
    }
    if (!written) return {};
    return out;
}

}  // namespace cg::still
