#pragma once
// The frames of a GIF file as read from it, and the compositing that turns
// them into pictures at the size of the logical screen (the canvas): each
// frame is drawn over what the previous frames left, after the previous
// frame's disposal (2 clears its rectangle, 3 restores what was under it).
// Transparent pixels leave the canvas as it is; the canvas starts clear.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/PictureAccount.h"

// giflib's decoder, which the player keeps open.
struct GifFileType;

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

// One frame as listed. Its record is small, as a file may hold millions
// of frames: its colour indices and its own colour table, if it has one,
// stay in the file, and are decoded again each time it is composed.
struct Frame {
    // Where its image descriptor starts in the file.
    uint64_t offset = 0;
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    // -1 without a graphics control extension.
    int32_t delay = -1;
    int16_t transparentIndex = -1;
    uint8_t disposal : 3 = 0;
    bool interlaced : 1 = false;
    // False when the file ended or broke inside the frame, or it has no
    // colour table: such a frame gives no picture.
    bool complete : 1 = false;

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

// Lists the frames of a GIF file (giflib); nil when it is no GIF or its
// header is broken. Reading stops at the first broken record, keeping the
// frames before it (and the broken one, incomplete). Each frame's data is
// checked as it is listed, from its codes, without keeping its indices:
// a frame whose codes could only be told apart by decoding them is decoded
// to check, and the indices dropped.
std::optional<File> read(std::span<const uint8_t> bytes);

// The indices that composing `frame` on a screen of screenWidth x
// screenHeight decodes: its rows in the order they are stored, down to the
// last that reaches the screen.
uint64_t indicesToCompose(const Frame& frame, int screenWidth, int screenHeight);

// Composes frames in order onto a canvas.
class Compositor {
public:
    Compositor(int width, int height);
    // Disposes of the previous frame as it asked, then draws `frame`.
    void draw(const FrameView& frame);
    // The same a row at a time, in any order: begin() with the frame (its
    // indices unused), then row() for each row of indices that reaches
    // the canvas. The frame's palette is read until the next begin().
    void begin(const FrameView& frame);
    void row(int y, const uint8_t* indices);
    // Forgets the previous frames: the canvas is clear again.
    void reset();
    const Bitmap& canvas() const { return canvas_; }
    // Frames drawn since the last reset.
    size_t drawn() const { return drawn_; }

private:
    void dispose();

    Bitmap canvas_;
    Bitmap saved_;  // under the previous frame, when it disposes to previous
    // The frame being drawn, then the previous one (its indices unused).
    FrameView previous_;
    bool hasPrevious_ = false;
    size_t drawn_ = 0;
    // The part of the frame being drawn inside the canvas.
    int x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
    // For a large frame: what each index keeps of the canvas (all or
    // nothing) and puts there.
    bool tabled_ = false;
    std::array<uint32_t, 256> keep_{};
    std::array<uint32_t, 256> put_{};
};

// Charges one screen of the file's size, made for frame `index`: the
// charge (nil where nothing is charged), or nothing when it is refused.
using ScreenCharger = std::function<std::optional<PictureCharge>(size_t index)>;

// Composes the frames of a file that read() listed, decoding each from the
// file's bytes as it is drawn (giflib, opened once) and only as far down
// as its rows reach the screen. Holds the canvas, the canvas under a frame
// that restores it, and one row of indices; each screen is charged before
// it is made and its charge goes with the player.
class Player {
public:
    // Nil when the canvas is refused; the canvas is charged as made for
    // frame `index`. `bytes` and `file` outlive the player.
    static std::unique_ptr<Player> make(std::span<const uint8_t> bytes, const File& file, size_t index,
                                        ScreenCharger charger);
    Player(std::span<const uint8_t> bytes, const File& file, PictureCharge canvasCharge, ScreenCharger charger);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // The canvas once frames 0 to `index` are composed in order: the frame
    // composed last is handed out as it stands (its disposal waits for the
    // next), a later one goes on from it, an earlier one starts over. A
    // broken frame draws nothing but still takes its place. Nil when the
    // screen kept under a frame that restores it is refused; the frames
    // before it stay composed.
    const Bitmap* compose(size_t index);

private:
    struct Decoder;
    // False when the frame needs a screen kept under it that is refused.
    bool draw(size_t index);
    // The library at the frame's data, its palette taken; nil when it
    // cannot be read.
    ::GifFileType* start(const Frame& frame);

    const File& file_;
    std::unique_ptr<Decoder> decoder_;
    ScreenCharger charger_;
    PictureCharge canvasCharge_;
    // Taken when the first frame that restores the canvas is drawn.
    std::optional<PictureCharge> savedCharge_;
    Compositor compositor_;
    std::vector<uint32_t> palette_;
    std::vector<uint8_t> row_;
};

}  // namespace cg::gif
