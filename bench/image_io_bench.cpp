// TIFF and JPEG 2000 decoding through the image source against libtiff's
// RGBA reader and OpenJPEG used directly, on the same files (an LZW TIFF
// and a lossless JP2, written once before any timing). The image source
// starts from the bytes in memory, the libraries from the same bytes in a
// file. Rates are pixels per second, printed as ratios (ours / theirs) from
// one run.

#include <benchmark/benchmark.h>
#include <openjpeg.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/ratio_report.h"
#include "platform/graphics/ImageDestination.h"
#include "platform/graphics/ImageSource.h"

namespace {

constexpr int kSide = 512;

// Smooth colour with a little structure, as a scanned picture has.
cg::Bitmap picture() {
    cg::Bitmap bitmap(kSide, kSide, cg::PixelFormat::RGB24);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            uint8_t ripple = uint8_t((x * y / 64) % 24);
            bitmap.setPixel(x, y, {0, uint8_t(x / 2 + ripple), uint8_t(y / 2), uint8_t((x + y) / 4 + ripple)});
        }
    return bitmap;
}

struct File {
    std::vector<uint8_t> bytes;
    std::string path;
};

File written(const char* type, const char* name) {
    auto destination = cg::ImageDestination::createWithData(type, 1);
    destination->addImage(cg::Image::make(picture()), {1.0, std::nullopt});
    if (!destination->finalize()) {
        std::fprintf(stderr, "image_io_bench: %s was not written\n", name);
        std::exit(1);
    }
    File file{destination->data(), (std::filesystem::temp_directory_path() /
                                    ("image-io-bench-" + std::to_string(::getpid()) + "-" + name)).string()};
    std::ofstream(file.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.bytes.data()), std::streamsize(file.bytes.size()));
    return file;
}

const File& tiffFile() {
    static const File file = written(cg::ImageTypeTIFF, "picture.tif");
    return file;
}
const File& jp2File() {
    static const File file = written(cg::ImageTypeJPEG2000, "picture.jp2");
    return file;
}

void setPixels(benchmark::State& state) { state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide); }

void ImageSourceTIFF(benchmark::State& state) {
    for (auto _ : state) {
        auto source = cg::ImageSource::createWithData(tiffFile().bytes);
        benchmark::DoNotOptimize(source->createImageAtIndex(0));
    }
    setPixels(state);
}

void LibtiffRGBA(benchmark::State& state) {
    TIFFSetWarningHandler(nullptr);
    std::vector<uint32_t> raster(size_t(kSide) * kSide);
    for (auto _ : state) {
        TIFF* tiff = TIFFOpen(tiffFile().path.c_str(), "r");
        TIFFReadRGBAImageOriented(tiff, kSide, kSide, raster.data(), ORIENTATION_TOPLEFT, 1);
        TIFFClose(tiff);
        benchmark::DoNotOptimize(raster.data());
    }
    setPixels(state);
}

void ImageSourceJPEG2000(benchmark::State& state) {
    for (auto _ : state) {
        auto source = cg::ImageSource::createWithData(jp2File().bytes);
        benchmark::DoNotOptimize(source->createImageAtIndex(0));
    }
    setPixels(state);
}

void OpenJPEGDecode(benchmark::State& state) {
    for (auto _ : state) {
        opj_stream_t* stream = opj_stream_create_default_file_stream(jp2File().path.c_str(), OPJ_TRUE);
        opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_JP2);
        opj_dparameters_t parameters;
        opj_set_default_decoder_parameters(&parameters);
        opj_setup_decoder(codec, &parameters);
        opj_image_t* image = nullptr;
        bool ok = opj_read_header(stream, codec, &image) && opj_decode(codec, stream, image) &&
                  opj_end_decompress(codec, stream);
        benchmark::DoNotOptimize(ok);
        opj_image_destroy(image);
        opj_destroy_codec(codec);
        opj_stream_destroy(stream);
    }
    setPixels(state);
}

}  // namespace

BENCHMARK(ImageSourceTIFF);
BENCHMARK(LibtiffRGBA);
BENCHMARK(ImageSourceJPEG2000);
BENCHMARK(OpenJPEGDecode);

int main(int argc, char** argv) {
    tiffFile();
    jp2File();
    int status = bench::runAndSummarize(argc, argv, [](const bench::RunRecorder& runs) {
        bench::printRatio(runs, "ImageSourceTIFF", "LibtiffRGBA", "TIFF decode, pixels");
        bench::printRatio(runs, "ImageSourceJPEG2000", "OpenJPEGDecode", "JPEG 2000 decode, pixels");
    });
    std::filesystem::remove(tiffFile().path);
    std::filesystem::remove(jp2File().path);
    return status;
}
