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
#include "platform/graphics/GifInput.h"

namespace cg::gif {

static_assert(sizeof(Frame) <= 24, "a frame record stays small: a file may list millions");

namespace {

int readMemory(GifFileType* file, GifByteType* buffer, int length) {
    auto* input = static_cast<MemoryInput*>(file->UserData);
    size_t left = input->bytes.size() - std::min(input->offset, input->bytes.size());
    size_t n = std::min(left, size_t(length < 0 ? 0 : length));
    std::memcpy(buffer, input->bytes.data() + input->offset, n);
    input->offset += n;
    return int(n);
}

using Input = MemoryInput;

GifFileType* open(Input& input) {
    GifFileType* gif = openMemoryInput(input);
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
// indices, and tells whether giflib would decode the frame whole. Each
// table entry links to its prefix; a string's length is found along the
// links, which are shortened as they are followed, so the work is per
// code, not per index, whatever the codes say.
//
// giflib takes any code: one that no entry stands for yet stands for the
// last string and one index more, and the entry then made links to the
// last code, even to one that stands for nothing yet. Following such a
// link fails, unless the code it names has been made since. A string
// followed whole passes each entry once, so it always fits giflib's stack
// of 4,095 indices; only a loop of links would not, and following one
// fails as well.
class CodeCheck {
public:
    enum class Result { Complete, Broken };

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

    // Only entries are made: the table is forgotten at every clear.
    bool made(int code) const { return made_[size_t(code)] == generation_; }

    struct End {
        int code;        // an index, a code not made, or an entry closing a loop
        uint32_t steps;  // the links followed to it
    };

    // Where a code's links end, each link on the way then pointed straight
    // there.
    End follow(int code) {
        End end{code, 0};
        while (made(end.code) && link_[size_t(end.code)] != end.code) {
            end.steps += steps_[size_t(end.code)];
            end.code = link_[size_t(end.code)];
        }
        for (int at = code, left = int(end.steps); at != end.code;) {
            const int next = link_[size_t(at)];
            const int steps = int(steps_[size_t(at)]);
            link_[size_t(at)] = uint16_t(end.code);
            steps_[size_t(at)] = uint32_t(left);
            left -= steps;
            at = next;
        }
        return end;
    }

    // The number of indices a code stands for; nothing where giflib fails
    // to follow it (to a code not made, or around a loop).
    std::optional<uint32_t> lengthOf(int code) {
        const End end = follow(code);
        if (end.code >= clearCode_) return std::nullopt;
        return end.steps + 1;
    }

    // Makes `entry` the last string and one index more: a link to the last
    // code. A last code that was followed leads to an index, so only the
    // entry itself, taken while it stood for nothing, makes a loop: a link
    // to itself, which follow() stops at and nothing gets past.
    void make(int entry) {
        made_[size_t(entry)] = generation_;
        link_[size_t(entry)] = uint16_t(lastCode_);
        steps_[size_t(entry)] = 1;
    }

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
        // A code not made (the entry being made among them) stands for the
        // last string and one index more; there must be a last string.
        std::optional<uint32_t> length;
        if (code < clearCode_ || made(code)) {
            length = lengthOf(code);
        } else if (lastCode_ != NoCode) {
            length = lengthOf(lastCode_);
            if (length) ++*length;
        }
        if (!length) {
            result_ = Result::Broken;
            return;
        }
        // The running code stops at 4097: the last entry is made once.
        const int entry = runningCode_ - 2;
        if (lastCode_ != NoCode && !made(entry)) make(entry);
        lastCode_ = code;
        if (*length >= pixels_) {
            pixels_ = 0;
            result_ = Result::Complete;
        } else {
            pixels_ -= *length;
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
    std::array<uint16_t, MaximumCode + 1> link_{};
    std::array<uint32_t, MaximumCode + 1> steps_{};
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
        const bool ok = check(uint64_t(pixels));
        frame.complete = ok && hasTable && pixels > 0;
        file.frames.push_back(frame);
        return ok;
    }

    // Walks the frame's data blocks through its codes, to its empty block.
    bool check(uint64_t pixels) {
        int codeSize = 0;
        GifByteType* block = nullptr;
        if (DGifGetCode(gif_, &codeSize, &block) == GIF_ERROR) return false;
        codes_.start(codeSize, pixels);
        bool following = true;
        while (block) {
            if (following) following = codes_.feed(block + 1, block[0]);
            if (DGifGetCodeNext(gif_, &block) == GIF_ERROR) return false;
        }
        return codes_.end() == CodeCheck::Result::Complete;
    }

    GifFileType* gif_;
    Input& input_;
    Control control_;
    CodeCheck codes_;
};

}  // namespace

GifFileType* openMemoryInput(MemoryInput& input) {
    int error = 0;
    return DGifOpen(&input, readMemory, &error);
}

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

std::unique_ptr<Player> Player::make(std::span<const uint8_t> bytes, const File& file, size_t index,
                                     ScreenCharger charger) {
    std::optional<PictureCharge> canvas = charger(index);
    if (!canvas) return nullptr;
    return std::make_unique<Player>(bytes, file, std::move(*canvas), std::move(charger));
}

Player::Player(std::span<const uint8_t> bytes, const File& file, PictureCharge canvasCharge, ScreenCharger charger)
    : file_(file),
      decoder_(std::make_unique<Decoder>()),
      charger_(std::move(charger)),
      canvasCharge_(std::move(canvasCharge)),
      compositor_(file.width, file.height) {
    decoder_->input.bytes = bytes;
}

Player::~Player() = default;

const Bitmap* Player::compose(size_t index) {
    if (compositor_.drawn() > index + 1) compositor_.reset();
    for (size_t i = compositor_.drawn(); i <= index && i < file_.frames.size(); ++i) {
        if (!draw(i)) return nullptr;
    }
    return &compositor_.canvas();
}

bool Player::draw(size_t index) {
    const Frame& frame = file_.frames[index];
    // The compositor keeps a second screen from the first frame that
    // restores what was under it.
    if (frame.complete && frame.disposal == 3 && !savedCharge_) {
        savedCharge_ = charger_(index);
        if (!savedCharge_) return false;
    }
    GifFileType* gif = frame.complete ? start(frame) : nullptr;
    if (!gif) {
        // A broken frame draws nothing but still counts its place.
        compositor_.begin(FrameView{});
        return true;
    }
    FrameView view{frame.left, frame.top, frame.width, frame.height, nullptr, palette_, frame.transparentIndex,
                   frame.disposal};
    compositor_.begin(view);
    const uint64_t indices = indicesToCompose(frame, file_.width, file_.height);
    if (indices == 0) return true;
    row_.resize(frame.width);
    uint64_t decoded = 0;
    forEachStoredRow(frame.height, frame.interlaced, [&](int y) {
        if (DGifGetLine(gif, row_.data(), frame.width) == GIF_ERROR) return false;
        decoded += frame.width;
        compositor_.row(y, row_.data());
        return decoded < indices;
    });
    work::inflated(decoded);
    return true;
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
