// Reads GIF records one by one with giflib rather than slurping the file, so
// that a frame's size can be checked before its pixels are allocated.
#include <gif_lib.h>

#include <cstring>

#include "platform/graphics/GifFrames.h"

namespace cg::gif {

namespace {

// All frames' pixels together, in bytes: beyond it reading stops.
constexpr int64_t MaximumRasterBytes = int64_t(1) << 28;
// Frames of up to a quarter of this share blocks of this size.
constexpr size_t IndexBlockBytes = size_t(1) << 20;

struct Input {
    std::span<const uint8_t> bytes;
    size_t offset = 0;
};

int readInput(GifFileType* file, GifByteType* buffer, int length) {
    auto* input = static_cast<Input*>(file->UserData);
    size_t left = input->bytes.size() - input->offset;
    size_t n = std::min(left, size_t(length < 0 ? 0 : length));
    std::memcpy(buffer, input->bytes.data() + input->offset, n);
    input->offset += n;
    return int(n);
}

std::vector<uint32_t> paletteOf(const ColorMapObject* map) {
    std::vector<uint32_t> palette;
    if (!map || !map->Colors || map->ColorCount <= 0) return palette;
    palette.reserve(size_t(map->ColorCount));
    for (int i = 0; i < map->ColorCount; ++i) {
        const GifColorType& c = map->Colors[i];
        palette.push_back(0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | uint32_t(c.Blue));
    }
    return palette;
}

// What a graphics control extension says about the next frame.
struct Control {
    bool present = false;
    int delay = 0;
    int transparentIndex = -1;
    int disposal = 0;
};

class Reader {
public:
    explicit Reader(GifFileType* gif) : gif_(gif) {}

    void run(File& file) {
        file.width = gif_->SWidth;
        file.height = gif_->SHeight;
        file.globalPalette = paletteOf(gif_->SColorMap);
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
        if (DGifGetImageDesc(gif_) == GIF_ERROR) return false;
        forgetSavedImages();
        const GifImageDesc& desc = gif_->Image;
        Frame frame;
        frame.left = desc.Left;
        frame.top = desc.Top;
        frame.width = desc.Width;
        frame.height = desc.Height;
        std::span<const uint32_t> palette = file.globalPalette;
        if (desc.ColorMap) {
            file.localPalettes.push_back(paletteOf(desc.ColorMap));
            frame.localPalette = int32_t(file.localPalettes.size() - 1);
            palette = file.localPalettes.back();
        }
        if (control_.present) {
            frame.delay = control_.delay;
            frame.transparentIndex = int16_t(control_.transparentIndex);
            frame.disposal = uint8_t(control_.disposal);
        }
        control_ = {};
        int64_t pixels = int64_t(frame.width) * frame.height;
        if (pixels > MaximumPixels || rasterBytes_ + pixels > MaximumRasterBytes) {
            file.frames.push_back(frame);
            return false;
        }
        rasterBytes_ += pixels;
        uint8_t* indices = place(file, frame, size_t(pixels));
        bool ok = readPixels(indices, frame.width, frame.height, desc.Interlace);
        frame.complete = ok && !palette.empty() && pixels > 0;
        file.frames.push_back(frame);
        return ok;
    }

    // giflib keeps a record of every image it has read, with a copy of its
    // local colour table: the frames are kept here, so it holds none.
    void forgetSavedImages() {
        for (int i = 0; i < gif_->ImageCount; ++i) {
            GifFreeMapObject(gif_->SavedImages[i].ImageDesc.ColorMap);
            gif_->SavedImages[i].ImageDesc.ColorMap = nullptr;
        }
        gif_->ImageCount = 0;
    }

    // Room for a frame's indices, zeroed, in the file's blocks.
    uint8_t* place(File& file, Frame& frame, size_t bytes) {
        auto& blocks = file.indexBlocks;
        if (bytes > IndexBlockBytes / 4) {
            blocks.emplace_back(bytes, 0);
            frame.block = uint32_t(blocks.size() - 1);
            frame.offset = 0;
            return blocks.back().data();
        }
        if (shared_ < 0 || blocks[size_t(shared_)].capacity() - blocks[size_t(shared_)].size() < bytes) {
            blocks.emplace_back();
            blocks.back().reserve(IndexBlockBytes);
            shared_ = int64_t(blocks.size() - 1);
        }
        std::vector<uint8_t>& block = blocks[size_t(shared_)];
        frame.block = uint32_t(shared_);
        frame.offset = uint32_t(block.size());
        block.resize(block.size() + bytes, 0);
        return block.data() + frame.offset;
    }

    bool readPixels(uint8_t* indices, int width, int height, bool interlaced) {
        if (width == 0 || height == 0) return true;
        auto line = [&](int y) {
            return DGifGetLine(gif_, indices + size_t(y) * size_t(width), width) != GIF_ERROR;
        };
        return forEachStoredRow(height, interlaced, line);
    }

    GifFileType* gif_;
    Control control_;
    // The block small frames are placed in, or -1.
    int64_t shared_ = -1;
    int64_t rasterBytes_ = 0;
};

}  // namespace

std::optional<File> read(std::span<const uint8_t> bytes) {
    Input input{bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&input, readInput, &error);
    if (!gif) return std::nullopt;
    File file;
    Reader(gif).run(file);
    DGifCloseFile(gif, &error);
    return file;
}

}  // namespace cg::gif
