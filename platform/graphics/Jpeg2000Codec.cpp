// JPEG 2000 through OpenJPEG, read from and written to memory: the JP2 file
// form and the bare codestream are read, the JP2 form is written. Grey,
// grey with alpha, RGB (or YCC) and RGBA of any precision up to 16 bits
// and any subsampling come out as 8-bit words; other layouts (CMYK, more
// than four components) are refused. The library's messages stay quiet;
// a file refused for what its decoding would cost is named in the log.
#include <openjpeg.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/foundation/Log.h"
#include "platform/graphics/CodecWork.h"
#include "platform/graphics/Jpeg2000Size.h"
#include "platform/graphics/Jpeg2000TileState.h"
#include "platform/graphics/StillFormats.h"

namespace cg::still {

namespace {

constexpr OPJ_UINT32 kMaximumPrecision = 16;
constexpr OPJ_UINT32 kMaximumComponents = 4;
// The library holds several kilobytes for every tile from the moment it
// reads the header, however small the tiles are.
constexpr uint64_t kMaximumTiles = 4096;
// A decode holds a 32-bit plane per component and the 32-bit words made
// from them (weighed as if beside them, though the words of a picture
// whose first plane is whole are made over it, and the other planes let
// go before the bitmap is made). A file of several tiles also has the
// library hold one tile's planes while it fills the picture's, though not
// once the words are made. This turns away 8192 x 8192 RGB and RGBA
// pictures, which the pixel cap alone would let through.
constexpr uint64_t kMaximumDecodeBytes = uint64_t(640) << 20;

// What the library keeps for each code-block and for each precinct of a
// band while it decodes, measured on files of millions of each.
constexpr uint64_t kBytesPerCodeBlock = 400;
constexpr uint64_t kBytesPerPrecinct = 170;
// Those records, on top of the planes and output above: files the
// compressor writes with its usual 64 x 64 code-blocks keep a few
// megabytes at the largest picture, whose decode peaks at 705 MB; a file
// at the decode budget with this much more still peaks under 820 MB.
constexpr uint64_t kMaximumTileStateBytes = uint64_t(96) << 20;

// Every tile has a tile-part at least: its start marker (12 bytes) and
// the marker that starts its data.
constexpr uint64_t kSmallestTilePart = 14;

// Whether a file of this size may be handed to the library; a refusal is
// logged when `log`, as nothing else would say why the picture is missing.
bool affordable(const Jpeg2000Size& size, bool log = true) {
    const uint64_t pixels = uint64_t(size.width) * size.height;
    if (size.components > kMaximumComponents) return false;
    // The library's header read makes the state of every tile the size
    // marker names: only as many as the bytes can carry.
    if (size.tiles > (size.codestreamBytes - size.afterSize) / kSmallestTilePart) {
        if (log) {
            ns::log("JPEG 2000: refused a %u x %u picture in %llu tiles: its %zu bytes cannot hold a tile-part for "
                    "each",
                    size.width, size.height, (unsigned long long)size.tiles, size.codestreamBytes);
        }
        return false;
    }
    if (size.tiles > kMaximumTiles) {
        if (log) {
            ns::log("JPEG 2000: refused a %u x %u picture in %llu tiles: at most %llu are read", size.width,
                    size.height, size.tiles, kMaximumTiles);
        }
        return false;
    }
    if (pixels > MaximumPixels) return false;
    const uint64_t tilePixels =
        size.tiles > 1 ? uint64_t(std::min(size.tileWidth, size.width)) * std::min(size.tileHeight, size.height) : 0;
    const uint64_t bytes = 4 * (pixels * size.components + std::max(pixels, tilePixels * size.components));
    if (bytes > kMaximumDecodeBytes) {
        if (log) {
            ns::log("JPEG 2000: refused a %u x %u picture of %u components: decoding it takes %.1f MiB, more than "
                    "%llu MiB",
                    size.width, size.height, size.components, double(bytes) / (1 << 20), kMaximumDecodeBytes >> 20);
        }
        return false;
    }
    return true;
}

// Whether the coding style leaves the library's records within their
// bound; a file whose coding segments are broken is refused as the library
// would refuse it, and one past the bound is logged.
bool affordable(std::span<const uint8_t> data, const Jpeg2000Size& size) {
    const auto state = jpeg2000TileState(data, size);
    if (!state) return false;
    using Wide = unsigned __int128;
    const Wide bytes = Wide(state->codeBlocks) * kBytesPerCodeBlock + Wide(state->precincts) * kBytesPerPrecinct;
    if (bytes > kMaximumTileStateBytes) {
        ns::log("JPEG 2000: refused a %u x %u picture cut into %llu code-blocks and %llu precincts: decoding it keeps "
                "%.1f MiB for them, more than %llu MiB",
                size.width, size.height, (unsigned long long)state->codeBlocks, (unsigned long long)state->precincts,
                double(bytes) / (1 << 20), kMaximumTileStateBytes >> 20);
        return false;
    }
    return true;
}

void quiet(const char*, void*) {}

// The bytes read, or the file being written, with the library's position.
struct Stream {
    std::span<const uint8_t> in;
    std::vector<uint8_t>* out = nullptr;
    uint64_t at = 0;
};

OPJ_SIZE_T readBytes(void* buffer, OPJ_SIZE_T size, void* user) {
    auto& s = *static_cast<Stream*>(user);
    if (s.at >= s.in.size()) return OPJ_SIZE_T(-1);
    size_t n = std::min<uint64_t>(size, s.in.size() - s.at);
    std::memcpy(buffer, s.in.data() + s.at, n);
    s.at += n;
    return n;
}

OPJ_OFF_T skipIn(OPJ_OFF_T count, void* user) {
    auto& s = *static_cast<Stream*>(user);
    if (count < 0) return -1;
    uint64_t n = std::min<uint64_t>(uint64_t(count), s.in.size() - std::min<uint64_t>(s.at, s.in.size()));
    s.at += n;
    return OPJ_OFF_T(n);
}

OPJ_BOOL seekIn(OPJ_OFF_T position, void* user) {
    auto& s = *static_cast<Stream*>(user);
    if (position < 0 || uint64_t(position) > s.in.size()) return OPJ_FALSE;
    s.at = uint64_t(position);
    return OPJ_TRUE;
}

OPJ_SIZE_T writeBytes(void* buffer, OPJ_SIZE_T size, void* user) {
    auto& s = *static_cast<Stream*>(user);
    if (s.at + size > s.out->size()) s.out->resize(size_t(s.at + size));
    std::memcpy(s.out->data() + s.at, buffer, size);
    s.at += size;
    return size;
}

OPJ_OFF_T skipOut(OPJ_OFF_T count, void* user) {
    auto& s = *static_cast<Stream*>(user);
    if (count < 0) return -1;
    s.at += uint64_t(count);
    if (s.at > s.out->size()) s.out->resize(size_t(s.at));
    return count;
}

OPJ_BOOL seekOut(OPJ_OFF_T position, void* user) {
    auto& s = *static_cast<Stream*>(user);
    if (position < 0) return OPJ_FALSE;
    s.at = uint64_t(position);
    if (s.at > s.out->size()) s.out->resize(size_t(s.at));
    return OPJ_TRUE;
}

opj_stream_t* newStream(Stream& stream, bool input) {
    size_t chunk = input ? std::clamp<size_t>(stream.in.size(), 1, OPJ_J2K_STREAM_CHUNK_SIZE) : OPJ_J2K_STREAM_CHUNK_SIZE;
    opj_stream_t* s = opj_stream_create(chunk, input ? OPJ_TRUE : OPJ_FALSE);
    if (!s) return nullptr;
    opj_stream_set_user_data(s, &stream, nullptr);
    if (input) {
        opj_stream_set_read_function(s, readBytes);
        opj_stream_set_skip_function(s, skipIn);
        opj_stream_set_seek_function(s, seekIn);
        opj_stream_set_user_data_length(s, stream.in.size());
    } else {
        opj_stream_set_write_function(s, writeBytes);
        opj_stream_set_skip_function(s, skipOut);
        opj_stream_set_seek_function(s, seekOut);
    }
    return s;
}

void silence(opj_codec_t* codec) {
    opj_set_info_handler(codec, quiet, nullptr);
    opj_set_warning_handler(codec, quiet, nullptr);
    opj_set_error_handler(codec, quiet, nullptr);
}

// A decompressor over the data with its header read, released when this
// goes.
class Reading {
public:
    explicit Reading(std::span<const uint8_t> data) : stream_{data} {
        // Weighed before the library reads anything: its header read alone
        // allocates the state of every tile.
        auto size = jpeg2000Size(data);
        if (!size || !affordable(*size) || !affordable(data, *size)) return;
        codec_ = opj_create_decompress(startsAsJp2File(data) ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
        input_ = newStream(stream_, true);
        if (!codec_ || !input_) return;
        silence(codec_);
        opj_dparameters_t parameters;
        opj_set_default_decoder_parameters(&parameters);
        if (!opj_setup_decoder(codec_, &parameters)) return;
        // A codestream cut short is broken, not a picture with holes.
        opj_decoder_set_strict_mode(codec_, OPJ_TRUE);
        work::libraryHeaderRead();
        if (!opj_read_header(input_, codec_, &image_)) return;
        header_ = readHeader();
    }
    ~Reading() {
        if (image_) opj_image_destroy(image_);
        release();
    }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;

    const std::optional<Header>& header() const { return header_; }
    opj_image_t* decode() {
        if (!header_ || !codec_ || !opj_decode(codec_, input_, image_) || !opj_end_decompress(codec_, input_)) {
            return nullptr;
        }
        // The decoder keeps its last tile's planes and records until it
        // goes: let them go before the words are made.
        release();
        // The JP2 colour box's space is set on the image only as it is
        // decoded; CMYK would otherwise come out with K as alpha.
        if (image_->color_space == OPJ_CLRSPC_CMYK) return nullptr;
        return image_;
    }

private:
    void release() {
        if (input_) opj_stream_destroy(input_);
        if (codec_) opj_destroy_codec(codec_);
        input_ = nullptr;
        codec_ = nullptr;
    }

    std::optional<Header> readHeader() const {
        const opj_image_t& image = *image_;
        if (image.x1 <= image.x0 || image.y1 <= image.y0) return std::nullopt;
        uint64_t width = image.x1 - image.x0, height = image.y1 - image.y0;
        if (width * height > MaximumPixels || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
        if (image.numcomps < 1 || image.numcomps > kMaximumComponents) return std::nullopt;
        for (OPJ_UINT32 i = 0; i < image.numcomps; ++i) {
            const opj_image_comp_t& c = image.comps[i];
            if (c.dx == 0 || c.dy == 0 || c.prec == 0 || c.prec > kMaximumPrecision) return std::nullopt;
        }
        Header header;
        header.width = int(width);
        header.height = int(height);
        header.hasAlpha = image.numcomps == 2 || image.numcomps == 4;
        return header;
    }

    Stream stream_;
    opj_codec_t* codec_ = nullptr;
    opj_stream_t* input_ = nullptr;
    opj_image_t* image_ = nullptr;
    std::optional<Header> header_;
};

// One component's samples as 8-bit values for the picture's pixels, taking
// the nearest sample of a subsampled component.
class Plane {
public:
    Plane(const opj_image_comp_t& c, int width, int height) : c_(c) {
        const uint32_t max = (1u << c.prec) - 1;
        offset_ = c.sgnd ? int32_t(1u << (c.prec - 1)) : 0;
        max_ = int32_t(max);
        for (uint32_t v = 0; v <= std::min<uint32_t>(max, 65535); ++v) {
            scale_.push_back(uint8_t((uint64_t(v) * 255 + max / 2) / max));
        }
        columns_.resize(size_t(width));
        for (int x = 0; x < width; ++x) columns_[size_t(x)] = uint32_t(uint64_t(x) * c.w / uint64_t(width));
        height_ = height;
    }
    bool valid() const { return c_.data && c_.w > 0 && c_.h > 0; }
    const OPJ_INT32* row(int y) const { return c_.data + size_t(uint64_t(y) * c_.h / uint64_t(height_)) * c_.w; }
    uint8_t at(const OPJ_INT32* row, int x) const {
        int32_t v = row[columns_[size_t(x)]] + offset_;
        return scale_[size_t(std::clamp(v, 0, max_))];
    }

private:
    const opj_image_comp_t& c_;
    int32_t offset_ = 0;
    int32_t max_ = 0;
    int height_ = 0;
    std::vector<uint8_t> scale_;
    std::vector<uint32_t> columns_;
};

uint8_t clampByte(double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

bool startsAsJp2File(std::span<const uint8_t> data) {
    static const uint8_t signature[] = {0, 0, 0, 12, 'j', 'P', ' ', ' ', '\r', '\n', 0x87, '\n'};
    return data.size() >= sizeof signature && std::memcmp(data.data(), signature, sizeof signature) == 0;
}

bool startsAsJpeg2000Codestream(std::span<const uint8_t> data) {
    return data.size() >= 4 && data[0] == 0xFF && data[1] == 0x4F && data[2] == 0xFF && data[3] == 0x51;
}

std::vector<Header> jpeg2000Pictures(std::span<const uint8_t> data) {
    Reading reading(data);
    if (!reading.header()) return {};
    return {*reading.header()};
}

std::optional<Header> jpeg2000SizeHeader(std::span<const uint8_t> data) {
    const auto size = jpeg2000Size(data);
    if (!size || size->width > INT32_MAX || size->height > INT32_MAX || !affordable(*size, false)) {
        return std::nullopt;
    }
    for (uint8_t precision : size->precision) {
        if (precision > kMaximumPrecision) return std::nullopt;
    }
    Header header;
    header.width = int(size->width);
    header.height = int(size->height);
    header.hasAlpha = size->components == 2 || size->components == 4;
    return header;
}

std::optional<Decoded> decodeJpeg2000(std::span<const uint8_t> data) {
    Reading reading(data);
    opj_image_t* image = reading.decode();
    if (!image || image->numcomps < 1 || image->numcomps > 4) return std::nullopt;
    const Header& header = *reading.header();
    const int w = header.width, h = header.height;
    // The file's own channel definitions mark alpha (1 straight, 2
    // premultiplied); a bare codestream's second or fourth component is
    // taken as straight alpha.
    int alpha = -1;
    std::vector<int> colours;
    for (OPJ_UINT32 i = 0; i < image->numcomps; ++i) {
        if (image->comps[i].alpha && alpha < 0) {
            alpha = int(i);
        } else {
            colours.push_back(int(i));
        }
    }
    if (alpha < 0 && (colours.size() == 2 || colours.size() == 4)) {
        alpha = colours.back();
        colours.pop_back();
    }
    if (colours.size() != 1 && colours.size() != 3) return std::nullopt;
    std::vector<Plane> planes;
    for (int i : colours) planes.emplace_back(image->comps[i], w, h);
    if (alpha >= 0) planes.emplace_back(image->comps[alpha], w, h);
    for (const Plane& plane : planes) {
        if (!plane.valid()) return std::nullopt;
    }
    const bool premultipliedAlpha = alpha >= 0 && image->comps[alpha].alpha == 2;
    const bool ycc = colours.size() == 3 && image->color_space == OPJ_CLRSPC_SYCC;
    std::vector<const OPJ_INT32*> rows(planes.size());
    auto wordAt = [&](int x) -> uint32_t {
        uint8_t r = planes[0].at(rows[0], x), g = r, b = r;
        if (colours.size() == 3) {
            g = planes[1].at(rows[1], x);
            b = planes[2].at(rows[2], x);
            if (ycc) {
                double cb = g - 128.0, cr = b - 128.0, luma = r;
                r = clampByte(luma + 1.402 * cr);
                g = clampByte(luma - 0.344136 * cb - 0.714136 * cr);
                b = clampByte(luma + 1.772 * cb);
            }
        }
        if (alpha < 0) return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
        uint8_t a = planes.back().at(rows.back(), x);
        Pixel p = premultipliedAlpha ? Pixel{a, std::min(r, a), std::min(g, a), std::min(b, a)} : premultiplied(a, r, g, b);
        return uint32_t(p.alpha) << 24 | uint32_t(p.red) << 16 | uint32_t(p.green) << 8 | p.blue;
    };
    auto fillRows = [&](int y) {
        for (size_t i = 0; i < planes.size(); ++i) rows[i] = planes[i].row(y);
    };
    const PixelFormat format = alpha >= 0 ? PixelFormat::ARGB32Premultiplied : PixelFormat::RGB24;
    opj_image_comp_t& first = image->comps[colours[0]];
    Bitmap bitmap;
    if (first.w == OPJ_UINT32(w) && first.h == OPJ_UINT32(h)) {
        // The first plane holds a 32-bit sample a pixel, read before its
        // word is written over it: the words are made in place and the
        // other planes let go before the bitmap is made, so the picture is
        // never held beside every plane.
        auto* words = reinterpret_cast<uint32_t*>(first.data);
        for (int y = 0; y < h; ++y) {
            fillRows(y);
            uint32_t* out = words + size_t(y) * size_t(w);
            for (int x = 0; x < w; ++x) out[x] = wordAt(x);
        }
        for (OPJ_UINT32 i = 0; i < image->numcomps; ++i) {
            if (&image->comps[i] == &first) continue;
            opj_image_data_free(image->comps[i].data);
            image->comps[i].data = nullptr;
        }
        bitmap = Bitmap(w, h, format);
        for (int y = 0; y < h; ++y) std::memcpy(bitmap.row(y), words + size_t(y) * size_t(w), size_t(w) * 4);
    } else {
        bitmap = Bitmap(w, h, format);
        for (int y = 0; y < h; ++y) {
            fillRows(y);
            uint32_t* out = bitmap.row(y);
            for (int x = 0; x < w; ++x) out[x] = wordAt(x);
        }
    }
    // The library's planes, a 32-bit sample each, then the words.
    uint64_t samples = 0;
    for (OPJ_UINT32 i = 0; i < image->numcomps; ++i) samples += uint64_t(image->comps[i].w) * image->comps[i].h;
    work::inflated(4 * (samples + uint64_t(w) * uint64_t(h)));
    Decoded decoded;
    decoded.header = header;
    decoded.header.hasAlpha = alpha >= 0;
    decoded.bitmap = std::move(bitmap);
    decoded.complete = true;
    return decoded;
}

std::vector<uint8_t> encodeJpeg2000(const Bitmap& bitmap, double quality) {
    if (bitmap.isEmpty()) return {};
    const int w = bitmap.width(), h = bitmap.height();
    const bool alpha = bitmap.hasAlpha();
    const OPJ_UINT32 count = alpha ? 4 : 3;
    opj_image_cmptparm_t parameters[4];
    std::memset(parameters, 0, sizeof parameters);
    for (OPJ_UINT32 i = 0; i < count; ++i) {
        parameters[i].dx = parameters[i].dy = 1;
        parameters[i].w = OPJ_UINT32(w);
        parameters[i].h = OPJ_UINT32(h);
        parameters[i].prec = 8;
    }
    opj_image_t* image = opj_image_create(count, parameters, OPJ_CLRSPC_SRGB);
    if (!image) return {};
    image->x1 = OPJ_UINT32(w);
    image->y1 = OPJ_UINT32(h);
    // Straight alpha, as most readers expect it.
    if (alpha) image->comps[3].alpha = 1;
    for (int y = 0; y < h; ++y) {
        const uint32_t* words = bitmap.row(y);
        size_t at = size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x, ++at) {
            uint32_t word = words[x];
            uint8_t a = alpha ? uint8_t(word >> 24) : 255;
            uint8_t rgb[3] = {uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word)};
            for (int i = 0; i < 3; ++i) image->comps[i].data[at] = alpha ? unpremultipliedComponent(rgb[i], a) : rgb[i];
            if (alpha) image->comps[3].data[at] = a;
        }
    }
    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.tcp_numlayers = 1;
    quality = std::clamp(quality, 0.0, 1.0);
    if (quality >= 1.0) {
        // The reversible wavelet with every bit kept.
        settings.irreversible = 0;
        settings.tcp_rates[0] = 0;
        settings.cp_disto_alloc = 1;
    } else {
        // A peak signal-to-noise ratio from 20 dB at quality 0 to 50 dB
        // just below 1 (0.9 gives 47 dB, which the eye does not tell from
        // the original).
        settings.irreversible = 1;
        settings.cp_fixed_quality = 1;
        settings.tcp_distoratio[0] = float(20.0 + 30.0 * quality);
    }
    // Each level of the wavelet halves the picture; a small one has fewer.
    while (settings.numresolution > 1 && (1 << (settings.numresolution - 1)) > std::min(w, h)) settings.numresolution--;
    std::vector<uint8_t> out;
    Stream stream{{}, &out};
    opj_codec_t* codec = opj_create_compress(OPJ_CODEC_JP2);
    opj_stream_t* s = newStream(stream, false);
    bool written = false;
    if (codec && s) {
        silence(codec);
        written = opj_setup_encoder(codec, &settings, image) && opj_start_compress(codec, image, s) &&
                  opj_encode(codec, s) && opj_end_compress(codec, s);
    }
    if (s) opj_stream_destroy(s);
    if (codec) opj_destroy_codec(codec);
    opj_image_destroy(image);
    if (!written) return {};
    return out;
}

}  // namespace cg::still
