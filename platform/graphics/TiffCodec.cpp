// TIFF through libtiff, read from and written to memory. Every directory of
// a file is a picture; libtiff's RGBA reader turns each (any photometric,
// bit depth, compression and strip or tile layout it knows) into
// premultiplied words, with the rows in the order they are stored: the
// orientation tag is reported, not applied. Grey with alpha is the one
// layout whose packed samples libtiff leaves unpremultiplied (8 bits) or
// without their alpha (16 bits): those rows are put into words here.
// Errors and warnings stay quiet.
#include <tiffio.h>

#include <algorithm>
#include <cstring>

#include "platform/graphics/CodecWork.h"
#include "platform/graphics/StillFormats.h"

namespace cg::still {

namespace {

// Files with more directories are read as far as this.
constexpr size_t kMaximumPictures = 256;
// The most libtiff may allocate at once (strip and tile buffers): enough
// for a capped picture's strip of four 16-bit samples.
constexpr tmsize_t kMaximumAllocation = tmsize_t(MaximumPixels) * 8;

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
int noMapping(thandle_t, void**, toff_t*) { return 0; }
void noUnmapping(thandle_t, void*, toff_t) {}
int quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// An open TIFF over `file`, closed when this goes.
class Tiff {
public:
    Tiff(MemoryFile& file, const char* mode) {
        TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaximumAllocation);
        TIFFOpenOptionsSetErrorHandlerExtR(options, quiet, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options, quiet, nullptr);
        tiff_ = TIFFClientOpenExt("memory", mode, &file, readBytes, writeBytes, seekTo, closeFile, sizeOf, noMapping,
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

// Every strip or tile of the current directory lies inside the data, so
// nothing is allocated for bytes that are not there.
bool stripsInside(TIFF* tiff, uint64_t size) {
    uint32_t count = TIFFNumberOfStrips(tiff);
    if (TIFFIsTiled(tiff)) count = TIFFNumberOfTiles(tiff);
    if (count == 0) return false;
    for (uint32_t i = 0; i < count; ++i) {
        int error = 0;
        uint64_t offset = TIFFGetStrileOffsetWithErr(tiff, i, &error);
        uint64_t length = TIFFGetStrileByteCountWithErr(tiff, i, &error);
        if (error || length == 0 || offset > size || length > size - offset) return false;
    }
    return true;
}

// The current directory's header, when libtiff's RGBA reader can read it
// and its size is within the cap.
std::optional<Header> currentHeader(TIFF* tiff, uint64_t size) {
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height)) {
        return std::nullopt;
    }
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
    if (uint64_t(width) * height > MaximumPixels || !stripsInside(tiff, size)) return std::nullopt;
    char message[1024];
    TIFFRGBAImage image;
    if (!TIFFRGBAImageOK(tiff, message) || !TIFFRGBAImageBegin(&image, tiff, 1, message)) return std::nullopt;
    Header header;
    header.width = int(width);
    header.height = int(height);
    header.hasAlpha = image.alpha != 0;
    header.orientation = image.orientation >= 1 && image.orientation <= 8 ? image.orientation : 1;
    header.entry = TIFFCurrentDirectory(tiff);
    TIFFRGBAImageEnd(&image);
    return header;
}

}  // namespace

std::vector<Header> tiffPictures(std::span<const uint8_t> data) {
    std::vector<Header> pictures;
    if (!startsAsTiff(data)) return pictures;
    MemoryFile file{data};
    Tiff tiff(file, "rm");
    if (!tiff.get()) return pictures;
    size_t directories = 0;
    work::directoryWalk();
    do {
        if (auto header = currentHeader(tiff.get(), data.size())) pictures.push_back(*header);
    } while (++directories < kMaximumPictures && TIFFReadDirectory(tiff.get()));
    return pictures;
}

std::optional<Decoded> decodeTiff(std::span<const uint8_t> data, const Header& picture) {
    if (!startsAsTiff(data) || picture.entry > UINT32_MAX) return std::nullopt;
    MemoryFile file{data};
    Tiff tiff(file, "rm");
    if (!tiff.get() || !TIFFSetDirectory(tiff.get(), tdir_t(picture.entry))) return std::nullopt;
    auto header = currentHeader(tiff.get(), data.size());
    if (!header || header->width != picture.width || header->height != picture.height) return std::nullopt;
    char message[1024];
    TIFFRGBAImage image;
    if (!TIFFRGBAImageBegin(&image, tiff.get(), 1, message)) return std::nullopt;
    // Asking for the file's own orientation keeps the rows as stored.
    image.req_orientation = image.orientation;
    putGreyAlphaOurselves(image);
    Bitmap bitmap(header->width, header->height,
                  header->hasAlpha ? PixelFormat::ARGB32Premultiplied : PixelFormat::RGB24);
    bool read = TIFFRGBAImageGet(&image, bitmap.row(0), uint32_t(header->width), uint32_t(header->height)) != 0;
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
