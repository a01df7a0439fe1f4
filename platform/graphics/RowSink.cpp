#include "platform/graphics/StillFormats.h"

namespace cg::still {

RowSink::RowSink(int width, int height, bool alpha)
    : bitmap_(width, height, alpha ? PixelFormat::ARGB32Premultiplied : PixelFormat::RGB24),
      finished_(size_t(height), false) {}

void RowSink::finishRow(int y) { finishRowFrom(y, bitmap_.row(y)); }

void RowSink::finishRowFrom(int y, const uint32_t* written) {
    uint32_t* words = bitmap_.row(y);
    const int width = bitmap_.width();
    if (bitmap_.hasAlpha()) {
        for (int x = 0; x < width; ++x) {
            uint32_t w = written[x];
            uint32_t a = w >> 24;
            if (a == 255) {
                words[x] = w;
                continue;
            }
            if (a == 0) {
                words[x] = 0;
                continue;
            }
            auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
            words[x] = a << 24 | mul((w >> 16) & 0xFF) << 16 | mul((w >> 8) & 0xFF) << 8 | mul(w & 0xFF);
        }
    } else {
        for (int x = 0; x < width; ++x) words[x] = written[x] & 0x00FFFFFFu;
    }
    if (!finished_[size_t(y)]) {
        finished_[size_t(y)] = true;
        rowsFinished_++;
    }
}

Bitmap RowSink::take() {
    if (bitmap_.hasAlpha() || rowsFinished_ == bitmap_.height()) return std::move(bitmap_);
    Bitmap partial(bitmap_.width(), bitmap_.height(), PixelFormat::ARGB32Premultiplied);
    for (int y = 0; y < bitmap_.height(); ++y) {
        if (!finished_[size_t(y)]) continue;
        const uint32_t* in = bitmap_.row(y);
        uint32_t* out = partial.row(y);
        for (int x = 0; x < bitmap_.width(); ++x) out[x] = in[x] | 0xFF000000u;
    }
    return partial;
}

}  // namespace cg::still
