// The accelerated library's stand-ins: box convolution against a direct
// average, the colour matrix, reflections, and the buffer calls.

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/graphics/ImageFilters.h"

namespace {

struct OwnedBuffer {
    OwnedBuffer(size_t width, size_t height) {
        EXPECT_EQ(cg::initBuffer(&buffer, height, width, 32, cg::ImageFlags::NoFlags), cg::ImageNoError);
    }
    ~OwnedBuffer() { std::free(buffer.data); }
    uint8_t* at(size_t x, size_t y) { return static_cast<uint8_t*>(buffer.data) + y * buffer.rowBytes + x * 4; }
    cg::PixelBuffer buffer;
};

// Deterministic noise, different in every byte.
void fillNoise(OwnedBuffer& b, uint32_t seed) {
    for (size_t y = 0; y < b.buffer.height; ++y)
        for (size_t x = 0; x < b.buffer.width; ++x)
            for (int c = 0; c < 4; ++c) {
                seed = seed * 1664525u + 1013904223u;
                b.at(x, y)[c] = uint8_t(seed >> 24);
            }
}

// The box average with the edges repeated, computed pixel by pixel.
uint8_t directBox(OwnedBuffer& in, size_t x, size_t y, int c, int kw, int kh) {
    auto clamp = [](long i, size_t n) { return size_t(i < 0 ? 0 : i >= long(n) ? long(n) - 1 : i); };
    uint64_t sum = 0;
    for (int dy = -kh / 2; dy <= kh / 2; ++dy)
        for (int dx = -kw / 2; dx <= kw / 2; ++dx)
            sum += in.at(clamp(long(x) + dx, in.buffer.width), clamp(long(y) + dy, in.buffer.height))[c];
    uint64_t area = uint64_t(kw) * kh;
    return uint8_t((sum + area / 2) / area);
}

TEST(ImageFiltersTest, BoxConvolutionIsTheBoxAverageWithEdgesRepeated) {
    // Kernels wider than the picture too: the edge repeats far beyond it.
    for (auto [kw, kh] : {std::pair{3, 3}, {5, 1}, {1, 7}, {9, 9}, {31, 15}}) {
        OwnedBuffer in(13, 11), out(13, 11);
        fillNoise(in, uint32_t(kw * 100 + kh));
        ASSERT_EQ(cg::boxConvolveARGB8888(in.buffer, out.buffer, nullptr, kh, kw, cg::ImageFlags::EdgeExtend),
                  cg::ImageNoError);
        for (size_t y = 0; y < 11; ++y)
            for (size_t x = 0; x < 13; ++x)
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(out.at(x, y)[c], directBox(in, x, y, c, kw, kh))
                        << "kernel " << kw << "x" << kh << " at " << x << "," << y << " byte " << c;
    }
}

TEST(ImageFiltersTest, BoxConvolutionTemporaryBufferAndErrors) {
    OwnedBuffer in(8, 4), out(8, 4), small(4, 4);
    fillNoise(in, 7);
    auto flags = cg::ImageFlags::EdgeExtend;
    cg::ImageError size = cg::boxConvolveARGB8888(in.buffer, out.buffer, nullptr, 3, 3,
                                                  flags | cg::ImageFlags::GetTempBufferSize);
    ASSERT_GT(size, 0);
    std::vector<uint8_t> temp(size_t(size), 0xAB);
    EXPECT_EQ(cg::boxConvolveARGB8888(in.buffer, out.buffer, temp.data(), 3, 3, flags), cg::ImageNoError);
    EXPECT_EQ(out.at(3, 2)[1], directBox(in, 3, 2, 1, 3, 3));

    EXPECT_EQ(cg::boxConvolveARGB8888(in.buffer, out.buffer, nullptr, 4, 3, flags), cg::ImageInvalidKernelSize);
    EXPECT_EQ(cg::boxConvolveARGB8888(in.buffer, out.buffer, nullptr, 0, 3, flags), cg::ImageInvalidKernelSize);
    EXPECT_EQ(cg::boxConvolveARGB8888(in.buffer, out.buffer, nullptr, 65535, 65535, flags),
              cg::ImageInvalidKernelSize);
    EXPECT_EQ(cg::boxConvolveARGB8888(in.buffer, small.buffer, nullptr, 3, 3, flags), cg::ImageBufferSizeMismatch);
    EXPECT_EQ(cg::boxConvolveARGB8888(in.buffer, out.buffer, nullptr, 3, 3, 0), cg::ImageInvalidEdgeStyle);
    cg::PixelBuffer empty;
    EXPECT_EQ(cg::boxConvolveARGB8888(empty, out.buffer, nullptr, 3, 3, flags), cg::ImageNullPointerArgument);
}

TEST(ImageFiltersTest, MatrixRowsAreInputsAndColumnsOutputs) {
    OwnedBuffer in(2, 1);
    uint8_t first[4] = {10, 20, 30, 255}, second[4] = {200, 100, 0, 128};
    std::copy(first, first + 4, in.at(0, 0));
    std::copy(second, second + 4, in.at(1, 0));
    // Output 0 = input 1; output 1 = input 0 / 2; output 2 = 2 x input 2
    // - input 0 (clamped); output 3 = input 3.
    const int16_t matrix[16] = {0, 128, -256, 0,  //
                                256, 0, 0, 0,     //
                                0, 0, 512, 0,     //
                                0, 0, 0, 256};
    // In place.
    ASSERT_EQ(cg::matrixMultiplyARGB8888(in.buffer, in.buffer, matrix, 256, 0), cg::ImageNoError);
    EXPECT_EQ(std::vector<uint8_t>(in.at(0, 0), in.at(0, 0) + 4), (std::vector<uint8_t>{20, 5, 50, 255}));
    EXPECT_EQ(std::vector<uint8_t>(in.at(1, 0), in.at(1, 0) + 4), (std::vector<uint8_t>{100, 100, 0, 128}));
    EXPECT_EQ(cg::matrixMultiplyARGB8888(in.buffer, in.buffer, matrix, 0, 0), cg::ImageInvalidParameter);
}

TEST(ImageFiltersTest, ReflectionsInPlaceAndIntoAnotherBuffer) {
    OwnedBuffer in(3, 3), out(3, 3);
    fillNoise(in, 3);
    std::vector<uint32_t> original;
    for (size_t y = 0; y < 3; ++y)
        for (size_t x = 0; x < 3; ++x) original.push_back(*reinterpret_cast<uint32_t*>(in.at(x, y)));
    auto word = [](OwnedBuffer& b, size_t x, size_t y) { return *reinterpret_cast<uint32_t*>(b.at(x, y)); };

    ASSERT_EQ(cg::verticalReflectARGB8888(in.buffer, out.buffer, cg::ImageFlags::BackgroundColorFill), 0);
    ASSERT_EQ(cg::horizontalReflectARGB8888(in.buffer, in.buffer, cg::ImageFlags::BackgroundColorFill), 0);
    for (size_t y = 0; y < 3; ++y)
        for (size_t x = 0; x < 3; ++x) {
            EXPECT_EQ(word(out, x, y), original[(2 - y) * 3 + x]);
            EXPECT_EQ(word(in, x, y), original[y * 3 + 2 - x]);
        }
}

TEST(ImageFiltersTest, BuffersFromAndToImages) {
    cg::Bitmap bitmap(5, 2, cg::PixelFormat::ARGB32Premultiplied);
    bitmap.setPixel(4, 1, {128, 100, 50, 25});
    auto image = cg::Image::make(bitmap);
    cg::PixelBuffer buffer;
    ASSERT_EQ(cg::initBufferWithImage(&buffer, cg::BitmapInfo::PremultipliedFirst32Little, *image, 0), 0);
    EXPECT_EQ(buffer.width, 5u);
    EXPECT_EQ(buffer.rowBytes % 16, 0u);
    auto back = cg::createImageFromBuffer(&buffer, cg::BitmapInfo::PremultipliedFirst32Little,
                                          cg::ImageFlags::NoAllocate, nullptr);
    ASSERT_TRUE(back);
    EXPECT_EQ(buffer.data, nullptr);  // taken over
    EXPECT_EQ(back->bitmap().pixel(4, 1), (cg::Pixel{128, 100, 50, 25}));

    EXPECT_EQ(cg::initBufferWithImage(&buffer, 0x7, *image, 0), cg::ImageInvalidImageFormat);
    EXPECT_EQ(cg::initBuffer(&buffer, 0, 5, 32, 0), cg::ImageInvalidParameter);
    cg::ImageError error = 0;
    cg::PixelBuffer none;
    EXPECT_FALSE(cg::createImageFromBuffer(&none, cg::BitmapInfo::PremultipliedFirst32Little, 0, &error));
    EXPECT_EQ(error, cg::ImageNullPointerArgument);
}

}  // namespace
