#include <algorithm>

#include "platform/graphics/GifFrames.h"

namespace cg::gif {

namespace {

// The part of a frame's rectangle inside the canvas.
struct Clip {
    int x0, y0, x1, y1;
};

Clip clip(const FrameView& frame, const Bitmap& canvas) {
    int64_t x0 = std::max<int64_t>(frame.left, 0);
    int64_t y0 = std::max<int64_t>(frame.top, 0);
    int64_t x1 = std::min<int64_t>(int64_t(frame.left) + frame.width, canvas.width());
    int64_t y1 = std::min<int64_t>(int64_t(frame.top) + frame.height, canvas.height());
    if (x1 < x0) x1 = x0;
    if (y1 < y0) y1 = y0;
    return {int(x0), int(y0), int(x1), int(y1)};
}

}  // namespace

Compositor::Compositor(int width, int height) : canvas_(width, height, PixelFormat::ARGB32Premultiplied) {}

void Compositor::reset() {
    canvas_ = Bitmap(canvas_.width(), canvas_.height(), PixelFormat::ARGB32Premultiplied);
    hasPrevious_ = false;
    drawn_ = 0;
}

void Compositor::dispose() {
    if (!hasPrevious_) return;
    if (previous_.disposal == 2) {
        Clip c = clip(previous_, canvas_);
        for (int y = c.y0; y < c.y1; ++y) std::fill(canvas_.row(y) + c.x0, canvas_.row(y) + c.x1, 0u);
    } else if (previous_.disposal == 3 && !saved_.isEmpty()) {
        canvas_ = saved_;
    }
}

void Compositor::draw(const FrameView& frame) {
    begin(frame);
    Clip c = clip(frame, canvas_);
    for (int y = c.y0; y < c.y1; ++y) row(y - frame.top, frame.indices + size_t(y - frame.top) * size_t(frame.width));
}

void Compositor::begin(const FrameView& frame) {
    dispose();
    if (frame.disposal == 3) saved_ = canvas_;
    previous_ = frame;
    previous_.indices = nullptr;
    hasPrevious_ = true;
    ++drawn_;
    Clip c = clip(frame, canvas_);
    x0_ = c.x0, y0_ = c.y0, x1_ = c.x1, y1_ = c.y1;
    // Large frames draw through a table of what each index leaves and
    // puts, without a test per pixel.
    tabled_ = int64_t(x1_ - x0_) * (y1_ - y0_) >= 1024;
    if (!tabled_) return;
    for (size_t i = 0; i < 256; ++i) {
        const bool draws = int(i) != frame.transparentIndex && i < frame.palette.size();
        put_[i] = draws ? frame.palette[i] : 0u;
        keep_[i] = draws ? 0u : ~0u;
    }
}

void Compositor::row(int y, const uint8_t* indices) {
    const FrameView& frame = previous_;
    const int canvasY = frame.top + y;
    if (canvasY < y0_ || canvasY >= y1_) return;
    const uint8_t* source = indices + (x0_ - frame.left);
    uint32_t* target = canvas_.row(canvasY) + x0_;
    const int n = x1_ - x0_;
    if (tabled_) {
        const uint32_t* keep = keep_.data();
        const uint32_t* put = put_.data();
        for (int x = 0; x < n; ++x) target[x] = (target[x] & keep[source[x]]) | put[source[x]];
        return;
    }
    const size_t colours = frame.palette.size();
    for (int x = 0; x < n; ++x) {
        int index = source[x];
        // Indices beyond the table draw nothing, as transparent ones.
        if (index == frame.transparentIndex || size_t(index) >= colours) continue;
        target[x] = frame.palette[size_t(index)];
    }
}

}  // namespace cg::gif
