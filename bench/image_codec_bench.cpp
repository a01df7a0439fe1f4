// The image codec against the libraries under it, on the same files:
// decoding PNG, JPEG and GIF through the decoder against libpng, libjpeg-turbo
// and giflib's DGifSlurp used directly, encoding PNG and JPEG through the
// encoder against libpng and libjpeg-turbo, and an animated PNG's frames in
// sequence against random order. Rates are megapixels per second, printed
// as ratios from the same run.

#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include <jpeglib.h>

#include "bench/ratio_report.h"
#include "image/codec/TVImageDecoder.h"
#include "image/codec/TVImageEncoder.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/GifWriter.h"

namespace {

constexpr int kSide = 512;

// A photograph's mix: smooth gradients with a little noise.
cg::Bitmap photo(int side, bool alpha) {
    cg::Bitmap bitmap(side, side, alpha ? cg::PixelFormat::ARGB32Premultiplied : cg::PixelFormat::RGB24);
    std::mt19937 random(7);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            int n = int(random() % 16);
            uint8_t a = alpha ? uint8_t(255 - (x + y) % 64) : 255;
            cg::Pixel p = cg::premultiplied(a, uint8_t((x + n) % 256), uint8_t((y * 2 + n) % 256),
                                            uint8_t((x ^ y) % 256));
            bitmap.setPixel(x, y, alpha ? p : cg::Pixel{0, p.red, p.green, p.blue});
        }
    return bitmap;
}

const ns::Ref<ns::Data>& pngFile() {
    static const ns::Ref<ns::Data> data = TVCreateEncodedImageData(cg::Image::make(photo(kSide, true)), TVImageTypePNG, 1);
    return data;
}
const ns::Ref<ns::Data>& jpegFile() {
    static const ns::Ref<ns::Data> data = TVCreateEncodedImageData(cg::Image::make(photo(kSide, false)), TVImageTypeJPEG, 0.9);
    return data;
}
const std::vector<uint8_t>& gifFile() {
    static const std::vector<uint8_t> bytes = [] {
        cg::gif::WriterFile file;
        file.width = file.height = 256;
        for (uint32_t i = 0; i < 256; ++i) file.globalPalette.push_back(i * 0x010101u);
        for (int f = 0; f < 10; ++f) {
            cg::gif::WriterFrame frame;
            frame.width = frame.height = 256;
            frame.delayCentiseconds = 10;
            for (int p = 0; p < 256 * 256; ++p) frame.indices.push_back(uint8_t((p / 3 + f * 17) % 256));
            file.frames.push_back(std::move(frame));
        }
        return cg::gif::write(file);
    }();
    return bytes;
}

void setPixels(benchmark::State& state, int64_t pixelsPerIteration) {
    state.SetItemsProcessed(int64_t(state.iterations()) * pixelsPerIteration);
}

// ---- Decoding ----

void DecoderPNG(benchmark::State& state) {
    for (auto _ : state) {
        auto decoder = TVImageDecoder::decoderWithData(pngFile(), 1);
        benchmark::DoNotOptimize(decoder->frameAtIndex(0, false));
    }
    setPixels(state, kSide * kSide);
}

void DecoderPNGForDisplay(benchmark::State& state) {
    for (auto _ : state) {
        auto decoder = TVImageDecoder::decoderWithData(pngFile(), 1);
        benchmark::DoNotOptimize(decoder->frameAtIndex(0, true));
    }
    setPixels(state, kSide * kSide);
}

void LibpngDecode(benchmark::State& state) {
    std::vector<uint8_t> out(size_t(kSide) * kSide * 4);
    for (auto _ : state) {
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&image, pngFile()->bytes(), pngFile()->length());
        image.format = PNG_FORMAT_RGBA;
        png_image_finish_read(&image, nullptr, out.data(), 0, nullptr);
        benchmark::DoNotOptimize(out.data());
    }
    setPixels(state, kSide * kSide);
}

void DecoderJPEG(benchmark::State& state) {
    for (auto _ : state) {
        auto decoder = TVImageDecoder::decoderWithData(jpegFile(), 1);
        benchmark::DoNotOptimize(decoder->frameAtIndex(0, false));
    }
    setPixels(state, kSide * kSide);
}

void LibjpegDecode(benchmark::State& state) {
    std::vector<uint8_t> out(size_t(kSide) * kSide * 4);
    for (auto _ : state) {
        jpeg_decompress_struct info;
        jpeg_error_mgr errors;
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, jpegFile()->bytes(), jpegFile()->length());
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_EXT_BGRX;
        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = out.data() + size_t(info.output_scanline) * kSide * 4;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(out.data());
    }
    setPixels(state, kSide * kSide);
}

void DecoderGIF(benchmark::State& state) {
    auto data = ns::Data::make(gifFile());
    for (auto _ : state) {
        auto decoder = TVImageDecoder::decoderWithData(data, 1);
        for (uint64_t i = 0; i < decoder->frameCount(); ++i) benchmark::DoNotOptimize(decoder->frameAtIndex(i, false));
    }
    setPixels(state, 10 * 256 * 256);
}

struct GifInput {
    const std::vector<uint8_t>* bytes;
    size_t offset = 0;
};

int readGif(GifFileType* gif, GifByteType* buffer, int length) {
    auto* input = static_cast<GifInput*>(gif->UserData);
    size_t n = std::min(size_t(length), input->bytes->size() - input->offset);
    std::memcpy(buffer, input->bytes->data() + input->offset, n);
    input->offset += n;
    return int(n);
}

// Slurped, then each frame's indices looked up into 32-bit pixels.
void GiflibSlurp(benchmark::State& state) {
    std::vector<uint32_t> canvas(256 * 256);
    for (auto _ : state) {
        GifInput input{&gifFile()};
        int error = 0;
        GifFileType* gif = DGifOpen(&input, readGif, &error);
        DGifSlurp(gif);
        for (int f = 0; f < gif->ImageCount; ++f) {
            const SavedImage& image = gif->SavedImages[f];
            const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
            for (int p = 0; p < image.ImageDesc.Width * image.ImageDesc.Height; ++p) {
                const GifColorType& c = map->Colors[image.RasterBits[p]];
                canvas[size_t(p)] = 0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
            }
            benchmark::DoNotOptimize(canvas.data());
        }
        DGifCloseFile(gif, &error);
    }
    setPixels(state, 10 * 256 * 256);
}

// ---- Encoding ----

void EncoderPNG(benchmark::State& state) {
    auto image = ui::Image::imageWithCGImage(cg::Image::make(photo(kSide, true)));
    for (auto _ : state) benchmark::DoNotOptimize(TVImageEncoder::encodeImage(image, TVImageTypePNG, 1));
    setPixels(state, kSide * kSide);
}

void LibpngEncode(benchmark::State& state) {
    cg::Bitmap bitmap = photo(kSide, true);
    std::vector<uint8_t> rgba(size_t(kSide) * kSide * 4);
    for (auto _ : state) {
        // The same work as the encoder: straight RGBA from the pixels first.
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                cg::Pixel p = bitmap.pixel(x, y);
                uint8_t* out = &rgba[(size_t(y) * kSide + size_t(x)) * 4];
                out[0] = cg::unpremultipliedComponent(p.red, p.alpha);
                out[1] = cg::unpremultipliedComponent(p.green, p.alpha);
                out[2] = cg::unpremultipliedComponent(p.blue, p.alpha);
                out[3] = p.alpha;
            }
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        image.width = image.height = kSide;
        image.format = PNG_FORMAT_RGBA;
        png_alloc_size_t size = 0;
        png_image_write_get_memory_size(image, size, 0, rgba.data(), 0, nullptr);
        std::vector<uint8_t> out(size);
        png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr);
        benchmark::DoNotOptimize(out.data());
    }
    setPixels(state, kSide * kSide);
}

void EncoderJPEG(benchmark::State& state) {
    auto image = ui::Image::imageWithCGImage(cg::Image::make(photo(kSide, false)));
    for (auto _ : state) benchmark::DoNotOptimize(TVImageEncoder::encodeImage(image, TVImageTypeJPEG, 0.9));
    setPixels(state, kSide * kSide);
}

void LibjpegEncode(benchmark::State& state) {
    cg::Bitmap bitmap = photo(kSide, false);
    for (auto _ : state) {
        jpeg_compress_struct info;
        jpeg_error_mgr errors;
        info.err = jpeg_std_error(&errors);
        jpeg_create_compress(&info);
        unsigned char* buffer = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&info, &buffer, &size);
        info.image_width = info.image_height = kSide;
        info.input_components = 4;
        info.in_color_space = JCS_EXT_BGRX;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, 90, TRUE);
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            JSAMPROW row = reinterpret_cast<JSAMPROW>(bitmap.row(int(info.next_scanline)));
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
        benchmark::DoNotOptimize(buffer);
        std::free(buffer);
    }
    setPixels(state, kSide * kSide);
}

// ---- Animated PNG: frames in sequence against random order ----

const ns::Ref<ns::Data>& apngFile() {
    static const ns::Ref<ns::Data> data = [] {
        auto encoder = TVImageEncoder::initWithType(TVImageTypePNG);
        for (int f = 0; f < 24; ++f) {
            cg::Bitmap frame(192, 192, cg::PixelFormat::ARGB32Premultiplied);
            for (int y = 0; y < 192; ++y)
                for (int x = (f * 8) % 192; x < 192; x += 3) frame.setPixel(x, y, cg::premultiplied(255, uint8_t(f * 10), uint8_t(x), uint8_t(y)));
            encoder->addImage(ui::Image::imageWithCGImage(cg::Image::make(frame)), 0.05);
        }
        return encoder->encode();
    }();
    return data;
}

// The encoder writes frames that stand alone; a blending animation needs
// frames drawn over the canvas, so its fcTL chunks are rewritten to blend
// over and dispose of nothing (CRCs restored).
const ns::Ref<ns::Data>& blendingAPNG() {
    static const ns::Ref<ns::Data> data = [] {
        std::vector<uint8_t> bytes = apngFile()->vector();
        TVPNGInfo* info = TVParsePNGChunks(bytes.data(), uint32_t(bytes.size()));
        for (uint32_t i = 0; info && i < info->chunk_num; ++i) {
            const TVPNGChunkInfo& c = info->chunks[i];
            if (c.fourcc != TV_FOUR_CC('f', 'c', 'T', 'L')) continue;
            uint8_t* body = bytes.data() + c.offset + 4;
            body[4 + 24] = 0;  // dispose none
            body[4 + 25] = 1;  // blend over
            uint32_t crc = uint32_t(crc32(0, body, 4 + 26));
            for (int b = 0; b < 4; ++b) body[4 + 26 + b] = uint8_t(crc >> (24 - 8 * b));
        }
        TVFreePNGChunks(info);
        return ns::Data::make(bytes);
    }();
    return data;
}

void APNGSequential(benchmark::State& state) {
    auto decoder = TVImageDecoder::decoderWithData(blendingAPNG(), 1);
    for (auto _ : state)
        for (uint64_t i = 0; i < decoder->frameCount(); ++i) benchmark::DoNotOptimize(decoder->frameAtIndex(i, true));
    setPixels(state, int64_t(decoder->frameCount()) * 192 * 192);
}

void APNGRandom(benchmark::State& state) {
    auto decoder = TVImageDecoder::decoderWithData(blendingAPNG(), 1);
    std::vector<uint64_t> order(decoder->frameCount());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(3));
    for (auto _ : state)
        for (uint64_t i : order) benchmark::DoNotOptimize(decoder->frameAtIndex(i, true));
    setPixels(state, int64_t(decoder->frameCount()) * 192 * 192);
}

// A 1024 x 1024 picture copied, as every GIF frame handed out is, against
// one block copy of its bytes.
void BitmapCopy(benchmark::State& state) {
    const cg::Bitmap picture(1024, 1024, cg::PixelFormat::ARGB32Premultiplied);
    for (auto _ : state) {
        cg::Bitmap copy = picture;
        benchmark::DoNotOptimize(copy.data());
    }
    setPixels(state, 1024 * 1024);
}

void BlockCopy(benchmark::State& state) {
    const std::vector<uint8_t> bytes(size_t(1024) * 1024 * 4);
    for (auto _ : state) {
        auto* copy = static_cast<uint8_t*>(std::malloc(bytes.size()));
        std::memcpy(copy, bytes.data(), bytes.size());
        benchmark::DoNotOptimize(copy);
        std::free(copy);
    }
    setPixels(state, 1024 * 1024);
}

}  // namespace

BENCHMARK(DecoderPNG);
BENCHMARK(DecoderPNGForDisplay);
BENCHMARK(LibpngDecode);
BENCHMARK(DecoderJPEG);
BENCHMARK(LibjpegDecode);
BENCHMARK(DecoderGIF);
BENCHMARK(GiflibSlurp);
BENCHMARK(EncoderPNG);
BENCHMARK(LibpngEncode);
BENCHMARK(EncoderJPEG);
BENCHMARK(LibjpegEncode);
BENCHMARK(APNGSequential);
BENCHMARK(APNGRandom);
BENCHMARK(BitmapCopy);
BENCHMARK(BlockCopy);

int main(int argc, char** argv) {
    // The files are made before any timing.
    pngFile();
    jpegFile();
    gifFile();
    blendingAPNG();
    return bench::runAndSummarize(argc, argv, [](const bench::RunRecorder& runs) {
        std::printf("\nMpx/s, ours against the library used directly (ratio = ours / theirs):\n");
        auto line = [&](const char* what, const char* ours, const char* theirs) {
            double a = runs.counter(ours, "items_per_second") / 1e6, b = runs.counter(theirs, "items_per_second") / 1e6;
            if (a > 0 && b > 0) std::printf("  %-28s %8.1f %8.1f  ratio %.2f\n", what, a, b, a / b);
        };
        line("PNG decode", "DecoderPNG", "LibpngDecode");
        line("PNG decode for display", "DecoderPNGForDisplay", "LibpngDecode");
        line("JPEG decode", "DecoderJPEG", "LibjpegDecode");
        line("GIF decode (every frame)", "DecoderGIF", "GiflibSlurp");
        line("PNG encode", "EncoderPNG", "LibpngEncode");
        line("JPEG encode", "EncoderJPEG", "LibjpegEncode");
        line("APNG sequential / random", "APNGSequential", "APNGRandom");
        line("1024x1024 bitmap / block copy", "BitmapCopy", "BlockCopy");
    });
}
