#pragma once
// The frames of a GIF file as read from it, and the compositing that turns
// them into pictures at the size of the logical screen (the canvas): each
// frame is drawn over what the previous frames left, after the previous
// frame's disposal (2 clears its rectangle, 3 restores what was under it).
// Transparent pixels leave the canvas as it is; the canvas starts clear.

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"

namespace cg::gif {

// Largest canvas and frame, in pixels: larger files are refused rather than
// allocated.
inline constexpr int64_t MaximumPixels = int64_t(1) << 24;

// One frame's pixels as the compositor reads them, whatever holds them.
struct FrameView {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    const uint8_t* indices = nullptr;          // width * height, row by row
    std::span<const uint32_t> palette;          // 0xFFRRGGBB words
    int transparentIndex = -1;
    int disposal = 0;
};

// One frame as read. Its record is small, as a file may hold millions of
// frames: its colour indices live in the file's blocks and its colour
// table is the file's global one unless it brings its own.
struct Frame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    // Where its width * height indices start in File::indexBlocks.
    uint32_t block = 0;
    uint32_t offset = 0;
    // Into File::localPalettes; -1 for the global table.
    int32_t localPalette = -1;
    // -1 without a graphics control extension.
    int32_t delay = -1;
    int16_t transparentIndex = -1;
    uint8_t disposal = 0;
    // False when the file ended or broke inside the frame, or it has no
    // colour table: such a frame gives no picture.
    bool complete = false;

    // Only with a graphics control extension.
    std::optional<int> delayCentiseconds() const {
        return delay < 0 ? std::nullopt : std::optional<int>(delay);
    }
};

struct File {
    int width = 0;
    int height = 0;
    // Only with a NETSCAPE2.0 application extension; 0 loops without end.
    std::optional<unsigned> loopCount;
    std::deque<Frame> frames;
    std::vector<uint32_t> globalPalette;  // 0xFFRRGGBB words
    std::vector<std::vector<uint32_t>> localPalettes;
    // Every frame's indices: small frames share a block, a large one has
    // its own.
    std::vector<std::vector<uint8_t>> indexBlocks;

    FrameView view(size_t index) const;
    std::span<const uint32_t> palette(const Frame& frame) const;
};

// Calls `row(y)` for each row of a frame in the order a GIF stores them
// (the four passes of an interlaced frame) until it answers false; false
// then.
template <class Row>
bool forEachStoredRow(int height, bool interlaced, Row row) {
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            if (!row(y)) return false;
        return true;
    }
    static constexpr int offsets[] = {0, 4, 2, 1};
    static constexpr int jumps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = offsets[pass]; y < height; y += jumps[pass])
            if (!row(y)) return false;
    return true;
}

// Reads every frame of a GIF file (giflib); nil when it is no GIF or its
// header is broken. Reading stops at the first broken record, keeping the
// frames before it (and the broken one, incomplete).
std::optional<File> read(std::span<const uint8_t> bytes);

// Composes frames in order onto a canvas.
class Compositor {
public:
    Compositor(int width, int height);
    // Disposes of the previous frame as it asked, then draws `frame`.
    void draw(const FrameView& frame);
    // Forgets the previous frames: the canvas is clear again.
    void reset();
    const Bitmap& canvas() const { return canvas_; }
    // Frames drawn since the last reset.
    size_t drawn() const { return drawn_; }

private:
    void dispose();

    Bitmap canvas_;
    Bitmap saved_;  // under the previous frame, when it disposes to previous
    FrameView previous_;
    bool hasPrevious_ = false;
    size_t drawn_ = 0;
};

}  // namespace cg::gif
