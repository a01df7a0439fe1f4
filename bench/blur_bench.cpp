// The image utilities' blur (three box passes by running sums, plus the
// conversions in and out of the image) against a plain separable box blur
// of the same kernel and passes, whose cost grows with the kernel: ms per
// megapixel at radii of 20 to 60 points, and their ratio.

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

// One pass of a k-wide box along rows or columns, every pixel summing its
// whole window, edges repeated.
void plainPass(const std::vector<uint8_t>& in, std::vector<uint8_t>& out, int k, bool rows) {
    const int r = k / 2;
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side; ++x) {
            unsigned sum[4] = {0, 0, 0, 0};
            for (int d = -r; d <= r; ++d) {
                int sx = rows ? std::clamp(x + d, 0, Side - 1) : x;
                int sy = rows ? y : std::clamp(y + d, 0, Side - 1);
                const uint8_t* p = &in[(size_t(sy) * Side + size_t(sx)) * 4];
                for (int c = 0; c < 4; ++c) sum[c] += p[c];
            }
            uint8_t* o = &out[(size_t(y) * Side + size_t(x)) * 4];
            for (int c = 0; c < 4; ++c) o[c] = uint8_t((sum[c] + unsigned(k / 2)) / unsigned(k));
        }
    }
}

void PlainSeparableBox(benchmark::State& state) {
    auto image = benchImage();
    TVBoxBlurShape shape = TVBoxBlurShapeForRadius(double(state.range(0)) * image->scale());
    for (auto _ : state) {
        // Taken out of the image and back, as the blur does.
        cg::PixelBuffer buffer;
        cg::initBufferWithImage(&buffer, cg::BitmapInfo::PremultipliedFirst32Little, *image->cgImage(), 0);
        std::vector<uint8_t> a(size_t(Side) * Side * 4), b(a.size());
        for (int y = 0; y < Side; ++y)
            std::copy_n(static_cast<uint8_t*>(buffer.data) + size_t(y) * buffer.rowBytes, Side * 4, &a[size_t(y) * Side * 4]);
        for (int pass = 0; pass < shape.passes; ++pass) {
            plainPass(a, b, int(shape.kernelSize), true);
            plainPass(b, a, int(shape.kernelSize), false);
        }
        for (int y = 0; y < Side; ++y)
            std::copy_n(&a[size_t(y) * Side * 4], Side * 4, static_cast<uint8_t*>(buffer.data) + size_t(y) * buffer.rowBytes);
        benchmark::DoNotOptimize(cg::createImageFromBuffer(&buffer, cg::BitmapInfo::PremultipliedFirst32Little,
                                                           cg::ImageFlags::NoAllocate, nullptr));
        std::free(buffer.data);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * Side * Side);
}

}  // namespace

BENCHMARK(Blur)->Arg(20)->Arg(40)->Arg(60)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainSeparableBox)->Arg(20)->Arg(40)->Arg(60)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return bench::runAndSummarize(argc, argv, [](const bench::RunRecorder& runs) {
        std::printf("\nBlur, %d x %d pixels, three passes:\n", Side, Side);
        for (int radius : {20, 40, 60}) {
            std::string arg = "/" + std::to_string(radius);
            double ours = runs.counter("Blur" + arg, "items_per_second");
            double plain = runs.counter("PlainSeparableBox" + arg, "items_per_second");
            if (ours <= 0 || plain <= 0) continue;
            TVBoxBlurShape shape = TVBoxBlurShapeForRadius(radius);
            std::printf("  radius %d pt (kernel %u): blur %.1f ms/MP, plain separable box %.1f ms/MP; ratio %.2f\n",
                        radius, shape.kernelSize, 1e9 / ours, 1e9 / plain, ours / plain);
        }
    });
}
