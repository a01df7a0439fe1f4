// Reads GIF records one by one with giflib rather than slurping the file, so
// that a frame's size can be checked before anything is allocated for it,
// and keeps no frame's indices: listing a file checks each frame from its
// codes, and a player decodes each frame again from the file as it draws
// it, only as far as its rows reach the screen.
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/graphics/CodecWork.h"
#include "platform/graphics/GifFrames.h"

namespace cg::gif {

static_assert(sizeof(Frame) <= 24, "a frame record stays small: a file may list millions");

namespace {

// Frames whose codes the check cannot follow are decoded to check them:
// beyond this many indices so decoded, all frames together, reading stops.
constexpr int64_t MaximumCheckedIndices = int64_t(1) << 28;

struct Input {
    std::span<const uint8_t> bytes;
    size_t offset = 0;
};

int readInput(GifFileType* file, GifByteType* buffer, int length) {
    auto* input = static_cast<Input*>(file->UserData);
    size_t left = input->bytes.size() - std::min(input->offset, input->bytes.size());
    size_t n = std::min(left, size_t(length < 0 ? 0 : length));
    std::memcpy(buffer, input->bytes.data() + input->offset, n);
    input->offset += n;
    return int(n);
}

GifFileType* open(Input& input) {
    int error = 0;
    GifFileType* gif = DGifOpen(&input, readInput, &error);
    if (gif) work::libraryHeaderRead();
    return gif;
}

void close(GifFileType* gif) {
    int error = 0;
    DGifCloseFile(gif, &error);
}

void paletteOf(const ColorMapObject* map, std::vector<uint32_t>& palette) {
    palette.clear();
    if (!map || !map->Colors || map->ColorCount <= 0) return;
    palette.reserve(size_t(map->ColorCount));
    for (int i = 0; i < map->ColorCount; ++i) {
        const GifColorType& c = map->Colors[i];
        palette.push_back(0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | uint32_t(c.Blue));
    }
}

// giflib keeps a record of every image it has read, with a copy of its
// local colour table: the frames are listed here, so it holds none.
void forgetSavedImages(GifFileType* gif) {
    for (int i = 0; i < gif->ImageCount; ++i) {
        GifFreeMapObject(gif->SavedImages[i].ImageDesc.ColorMap);
        gif->SavedImages[i].ImageDesc.ColorMap = nullptr;
    }
    gif->ImageCount = 0;
}

// Follows a frame's LZW codes as giflib decodes them, without making its
// indices: each code's string length is known from the table's links, so
// the work is per code, not per index. It tells whether giflib would
// decode the frame whole; codes whose meaning depends on table entries not
// yet made (no encoder writes them) it leaves to a decode.
class CodeCheck {
public:
    enum class Result { Complete, Broken, Unsure };

    // Starts on a frame's data: one check serves every frame of a file,
    // its table forgotten by generation rather than cleared.
    void start(int minimumCodeSize, uint64_t pixels) {
        pixels_ = pixels;
        result_.reset();
        shift_ = 0;
        shiftBits_ = 0;
        if (minimumCodeSize > 8) {
            result_ = Result::Broken;
            return;
        }
        bitsPerPixel_ = minimumCodeSize;
        clearCode_ = 1 << minimumCodeSize;
        eofCode_ = clearCode_ + 1;
        clear();
        if (pixels_ == 0) result_ = Result::Complete;
    }

    // Feeds one sub-block of the frame's data; false once the result is
    // known.
    bool feed(const uint8_t* bytes, size_t length) {
        for (size_t i = 0; i < length && !result_; ++i) {
            shift_ |= uint32_t(bytes[i]) << shiftBits_;
            shiftBits_ += 8;
            while (shiftBits_ >= runningBits_ && !result_) {
                const int code = int(shift_ & ((1u << runningBits_) - 1));
                shift_ >>= runningBits_;
                shiftBits_ -= runningBits_;
                take(code);
            }
        }
        return !result_;
    }

    // The data ended (its empty block) before every index was made.
    Result end() const { return result_ ? *result_ : Result::Broken; }

private:
    static constexpr int MaximumCode = 4095;
    static constexpr int NoCode = 4098;

    void clear() {
        runningCode_ = eofCode_ + 1;
        runningBits_ = bitsPerPixel_ + 1;
        maxCode_ = 1 << runningBits_;
        lastCode_ = NoCode;
        if (++generation_ == 0) {
            made_.fill(0);
            generation_ = 1;
        }
    }

    bool defined(int code) const { return code < clearCode_ || made_[size_t(code)] == generation_; }
    // The length of a defined code's string.
    uint64_t lengthOf(int code) const { return code < clearCode_ ? 1 : length_[size_t(code)]; }

    void take(int code) {
        if (runningCode_ < MaximumCode + 2 && ++runningCode_ > maxCode_ && runningBits_ < 12) {
            maxCode_ <<= 1;
            ++runningBits_;
        }
        if (code == eofCode_) {
            result_ = Result::Broken;
            return;
        }
        if (code == clearCode_) {
            clear();
            return;
        }
        const int entry = runningCode_ - 2;
        uint64_t length;
        if (defined(code)) {
            length = lengthOf(code);
        } else if (code == entry && lastCode_ != NoCode) {
            // The entry being made: the last string and its first index.
            length = lengthOf(lastCode_) + 1;
        } else {
            result_ = Result::Unsure;
            return;
        }
        // giflib's stack holds fewer than 4,095 indices a code.
        if (length >= uint64_t(MaximumCode)) {
            result_ = Result::Unsure;
            return;
        }
        if (lastCode_ != NoCode && entry < MaximumCode + 1 && !defined(entry)) {
            made_[size_t(entry)] = generation_;
            length_[size_t(entry)] = uint16_t(lengthOf(lastCode_) + 1);
        }
        lastCode_ = code;
        if (length >= pixels_) {
            pixels_ = 0;
            result_ = Result::Complete;
        } else {
            pixels_ -= length;
        }
    }

    uint64_t pixels_ = 0;
    int bitsPerPixel_ = 0;
    int clearCode_ = 0;
    int eofCode_ = 0;
    int runningCode_ = 0;
    int runningBits_ = 0;
    int maxCode_ = 0;
    int lastCode_ = NoCode;
    uint32_t shift_ = 0;
    int shiftBits_ = 0;
    uint32_t generation_ = 0;
    std::optional<Result> result_;
    std::array<uint32_t, MaximumCode + 1> made_{};
    std::array<uint16_t, MaximumCode + 1> length_{};
};

// What a graphics control extension says about the next frame.
struct Control {
    bool present = false;
    int delay = 0;
    int transparentIndex = -1;
    int disposal = 0;
};

class Lister {
public:
    Lister(GifFileType* gif, Input& input) : gif_(gif), input_(input) {}

    void run(File& file) {
        file.width = gif_->SWidth;
        file.height = gif_->SHeight;
        paletteOf(gif_->SColorMap, file.globalPalette);
        for (;;) {
            GifRecordType type;
            if (DGifGetRecordType(gif_, &type) == GIF_ERROR) return;
            if (type == TERMINATE_RECORD_TYPE) return;
            if (type == EXTENSION_RECORD_TYPE) {
                if (!readExtension(file)) return;
            } else if (type == IMAGE_DESC_RECORD_TYPE) {
                if (!readImage(file)) return;
            } else {
                return;
            }
        }
    }

private:
    bool readExtension(File& file) {
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif_, &code, &block) == GIF_ERROR) return false;
        bool first = true;
        bool netscape = false;
        while (block) {
            int length = block[0];
            const GifByteType* payload = block + 1;
            if (code == GRAPHICS_EXT_FUNC_CODE && first && length >= 4) {
                control_.present = true;
                control_.disposal = (payload[0] >> 2) & 7;
                control_.delay = payload[1] | payload[2] << 8;
                control_.transparentIndex = (payload[0] & 1) ? payload[3] : -1;
            } else if (code == APPLICATION_EXT_FUNC_CODE && first) {
                netscape = length == 11 && std::memcmp(payload, "NETSCAPE2.0", 11) == 0;
            } else if (netscape && length >= 3 && payload[0] == 1) {
                file.loopCount = unsigned(payload[1] | payload[2] << 8);
            }
            first = false;
            if (DGifGetExtensionNext(gif_, &block) == GIF_ERROR) return false;
        }
        return true;
    }

    bool readImage(File& file) {
        const size_t offset = input_.offset;
        if (DGifGetImageDesc(gif_) == GIF_ERROR) return false;
        const GifImageDesc& desc = gif_->Image;
        Frame frame;
        frame.offset = offset;
        frame.left = uint16_t(desc.Left);
        frame.top = uint16_t(desc.Top);
        frame.width = uint16_t(desc.Width);
        frame.height = uint16_t(desc.Height);
        frame.interlaced = desc.Interlace;
        const bool hasTable = desc.ColorMap ? desc.ColorMap->Colors && desc.ColorMap->ColorCount > 0
                                            : !file.globalPalette.empty();
        forgetSavedImages(gif_);
        if (control_.present) {
            frame.delay = control_.delay;
            frame.transparentIndex = int16_t(control_.transparentIndex);
            frame.disposal = uint8_t(control_.disposal);
        }
        control_ = {};
        const int64_t pixels = int64_t(frame.width) * frame.height;
        if (pixels > MaximumPixels) {
            file.frames.push_back(frame);
            return false;
        }
        bool ok = check(uint64_t(pixels));
        if (!ok && unsure_) ok = decodeToCheck(offset);
        frame.complete = ok && hasTable && pixels > 0;
        file.frames.push_back(frame);
        return ok;
    }

    // Walks the frame's data blocks through its codes, to its empty block.
    bool check(uint64_t pixels) {
        unsure_ = false;
        int codeSize = 0;
        GifByteType* block = nullptr;
        if (DGifGetCode(gif_, &codeSize, &block) == GIF_ERROR) return false;
        codes_.start(codeSize, pixels);
        bool following = true;
        while (block) {
            if (following) following = codes_.feed(block + 1, block[0]);
            if (DGifGetCodeNext(gif_, &block) == GIF_ERROR) return false;
        }
        CodeCheck::Result result = codes_.end();
        unsure_ = result == CodeCheck::Result::Unsure;
        return result == CodeCheck::Result::Complete;
    }

    // Decodes the frame again from its descriptor, a row at a time, and
    // drops the indices: whether giflib reads it whole.
    bool decodeToCheck(size_t offset) {
        const size_t after = input_.offset;
        input_.offset = offset;
        if (DGifGetImageDesc(gif_) == GIF_ERROR) return false;
        forgetSavedImages(gif_);
        const int width = gif_->Image.Width;
        std::vector<uint8_t> row(size_t(std::max(width, 1)));
        bool ok = true;
        for (int y = 0; y < gif_->Image.Height && ok; ++y) {
            checkedIndices_ += width;
            ok = checkedIndices_ <= MaximumCheckedIndices && DGifGetLine(gif_, row.data(), width) != GIF_ERROR;
            if (ok) work::inflated(uint64_t(width));
        }
        if (ok) input_.offset = after;
        return ok;
    }

    GifFileType* gif_;
    Input& input_;
    Control control_;
    CodeCheck codes_;
    bool unsure_ = false;
    int64_t checkedIndices_ = 0;
};

}  // namespace

std::optional<File> read(std::span<const uint8_t> bytes) {
    Input input{bytes};
    GifFileType* gif = open(input);
    if (!gif) return std::nullopt;
    File file;
    Lister(gif, input).run(file);
    close(gif);
    return file;
}

uint64_t indicesToCompose(const Frame& frame, int screenWidth, int screenHeight) {
    const int64_t visibleEnd = std::min<int64_t>(frame.height, int64_t(screenHeight) - frame.top);
    if (visibleEnd <= 0 || frame.left >= screenWidth || frame.width == 0) return 0;
    // Rows are decoded in stored order until the last visible one is in.
    int64_t left = visibleEnd;
    uint64_t rows = 0;
    forEachStoredRow(frame.height, frame.interlaced, [&](int y) {
        ++rows;
        if (y < visibleEnd) --left;
        return left > 0;
    });
    return rows * frame.width;
}

// ---- Playing ----

struct Player::Decoder {
    Input input;
    GifFileType* gif = nullptr;
    ~Decoder() {
        if (gif) close(gif);
    }
};

Player::Player(std::span<const uint8_t> bytes, const File& file)
    : file_(file), decoder_(std::make_unique<Decoder>()), compositor_(file.width, file.height) {
    decoder_->input.bytes = bytes;
}

Player::~Player() = default;

const Bitmap& Player::compose(size_t index) {
    // Frames compose in order: go on from the last one drawn, or start over.
    if (compositor_.drawn() > index) compositor_.reset();
    for (size_t i = compositor_.drawn(); i <= index && i < file_.frames.size(); ++i) draw(file_.frames[i]);
    return compositor_.canvas();
}

void Player::draw(const Frame& frame) {
    GifFileType* gif = frame.complete ? start(frame) : nullptr;
    if (!gif) {
        // A broken frame draws nothing but still counts its place.
        compositor_.begin(FrameView{});
        return;
    }
    FrameView view{frame.left, frame.top, frame.width, frame.height, nullptr, palette_, frame.transparentIndex,
                   frame.disposal};
    compositor_.begin(view);
    const uint64_t indices = indicesToCompose(frame, file_.width, file_.height);
    if (indices == 0) return;
    row_.resize(frame.width);
    uint64_t decoded = 0;
    forEachStoredRow(frame.height, frame.interlaced, [&](int y) {
        if (DGifGetLine(gif, row_.data(), frame.width) == GIF_ERROR) return false;
        decoded += frame.width;
        compositor_.row(y, row_.data());
        return decoded < indices;
    });
    work::inflated(decoded);
}

GifFileType* Player::start(const Frame& frame) {
    if (!decoder_->gif) {
        decoder_->input.offset = 0;
        decoder_->gif = open(decoder_->input);
        if (!decoder_->gif) return nullptr;
    }
    GifFileType* gif = decoder_->gif;
    decoder_->input.offset = size_t(frame.offset);
    if (DGifGetImageDesc(gif) == GIF_ERROR) return nullptr;
    if (gif->Image.ColorMap) {
        paletteOf(gif->Image.ColorMap, palette_);
    } else {
        palette_ = file_.globalPalette;
    }
    forgetSavedImages(gif);
    return gif;
}

}  // namespace cg::gif
