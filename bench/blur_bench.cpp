// The image utilities' blur (three box passes by running sums, plus the
// conversions in and out of the image) against a plain running-sum box blur
// of the same kernel, passes and edge rule, whose outputs must agree within
// 1 per channel (checked before timing): ms per megapixel at radii of 20 to
// 60 points, and their ratio.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/ratio_report.h"
#include "image/UIImage+TVWebImage.h"
#include "platform/graphics/ImageFilters.h"

namespace {

constexpr int Side = 384;

ns::Ref<ui::Image> benchImage() {
    static const ns::Ref<ui::Image> image = [] {
        cg::Bitmap bitmap(Side, Side, cg::PixelFormat::ARGB32Premultiplied);
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x) bitmap.setPixel(x, y, {255, uint8_t(x * 3), uint8_t(y * 5), uint8_t(x ^ y)});
        return ui::Image::imageWithCGImage(cg::Image::make(bitmap), 1);
    }();
    return image;
}

void Blur(benchmark::State& state) {
    auto image = benchImage();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            TV_imageByBlurRadius(*image, double(state.range(0)), std::nullopt, cg::BlendMode::Normal, 1, nullptr));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * Side * Side);
}

// One pass of a k-wide box along rows or columns by a running sum: each
// step adds the pixel entering the window and drops the one leaving it,
// edges repeated, rounded to nearest.
void runningSumPass(const std::vector<uint8_t>& in, std::vector<uint8_t>& out, int k, bool rows) {
    const int r = k / 2;
    const size_t step = rows ? 4 : size_t(Side) * 4;
    const size_t lineStep = rows ? size_t(Side) * 4 : 4;
    for (int line = 0; line < Side; ++line) {
        const uint8_t* src = &in[size_t(line) * lineStep];
        uint8_t* dst = &out[size_t(line) * lineStep];
        auto at = [&](int i) { return src + size_t(std::clamp(i, 0, Side - 1)) * step; };
        for (int c = 0; c < 4; ++c) {
            unsigned sum = 0;
            for (int d = -r; d <= r; ++d) sum += at(d)[c];
            for (int i = 0; i < Side; ++i) {
                dst[size_t(i) * step + size_t(c)] = uint8_t((sum + unsigned(r)) / unsigned(k));
                sum += at(i + r + 1)[c];
                sum -= at(i - r)[c];
            }
        }
    }
}

// The image's pixels as the blur reads them, rows packed.
std::vector<uint8_t> pixelsOf(const cg::Image& image) {
    cg::PixelBuffer buffer;
    cg::initBufferWithImage(&buffer, cg::BitmapInfo::PremultipliedFirst32Little, image, 0);
    std::vector<uint8_t> pixels(size_t(Side) * Side * 4);
    for (int y = 0; y < Side; ++y)
        std::copy_n(static_cast<uint8_t*>(buffer.data) + size_t(y) * buffer.rowBytes, Side * 4, &pixels[size_t(y) * Side * 4]);
    std::free(buffer.data);
    return pixels;
}

// The plain peer: out of the image, the same passes of the same box with
// the same edge rule, one row pass and one column pass each, and back.
ns::Ref<cg::Image> plainBlur(const ui::Image& image, const TVBoxBlurShape& shape) {
    std::vector<uint8_t> a = pixelsOf(*image.cgImage()), b(a.size());
    for (int pass = 0; pass < shape.passes; ++pass) {
        runningSumPass(a, b, int(shape.kernelSize), true);
        runningSumPass(b, a, int(shape.kernelSize), false);
    }
    cg::PixelBuffer buffer;
    cg::initBuffer(&buffer, Side, Side, 32, cg::ImageFlags::NoFlags);
    for (int y = 0; y < Side; ++y)
        std::copy_n(&a[size_t(y) * Side * 4], Side * 4, static_cast<uint8_t*>(buffer.data) + size_t(y) * buffer.rowBytes);
    return cg::createImageFromBuffer(&buffer, cg::BitmapInfo::PremultipliedFirst32Little, cg::ImageFlags::NoAllocate,
                                     nullptr);
}

// The largest difference of any channel of any pixel between the blur and
// its peer: the peer rounds after each one-way pass, the blur once per box.
int largestDifference(int radius) {
    auto image = benchImage();
    auto ours = TV_imageByBlurRadius(*image, double(radius), std::nullopt, cg::BlendMode::Normal, 1, nullptr);
    auto plain = plainBlur(*image, TVBoxBlurShapeForRadius(double(radius) * image->scale()));
    if (!ours || !plain) return 256;
    const std::vector<uint8_t> a = pixelsOf(*ours->cgImage()), b = pixelsOf(*plain);
    int largest = 0;
    for (size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
    return largest;
}

void PlainRunningSumBox(benchmark::State& state) {
    auto image = benchImage();
    const int difference = largestDifference(int(state.range(0)));
    if (difference > 1) {
        state.SkipWithError(("the blur and its peer differ by " + std::to_string(difference)).c_str());
        return;
    }
    state.counters["largest_difference"] = difference;
    TVBoxBlurShape shape = TVBoxBlurShapeForRadius(double(state.range(0)) * image->scale());
    for (auto _ : state) benchmark::DoNotOptimize(plainBlur(*image, shape));
    state.SetItemsProcessed(int64_t(state.iterations()) * Side * Side);
}

}  // namespace

BENCHMARK(Blur)->Arg(20)->Arg(40)->Arg(60)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainRunningSumBox)->Arg(20)->Arg(40)->Arg(60)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return bench::runAndSummarize(argc, argv, [](const bench::RunRecorder& runs) {
        std::printf("\nBlur, %d x %d pixels, three passes:\n", Side, Side);
        for (int radius : {20, 40, 60}) {
            std::string arg = "/" + std::to_string(radius);
            double ours = runs.counter("Blur" + arg, "items_per_second");
            double plain = runs.counter("PlainRunningSumBox" + arg, "items_per_second");
            if (ours <= 0 || plain <= 0) continue;
            TVBoxBlurShape shape = TVBoxBlurShapeForRadius(radius);
            std::printf("  radius %d pt (kernel %u): blur %.1f ms/MP, plain running-sum box %.1f ms/MP; ratio %.2f;"
                        " largest channel difference %.0f\n",
                        radius, shape.kernelSize, 1e9 / ours, 1e9 / plain, ours / plain,
                        runs.counter("PlainRunningSumBox" + arg, "largest_difference"));
        }
    });
}
