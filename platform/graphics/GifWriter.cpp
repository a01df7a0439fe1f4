#include "platform/graphics/GifWriter.h"

#include "platform/graphics/GifFrames.h"

#include <gif_lib.h>

#include <memory>

namespace cg::gif {

namespace {

int writeOutput(GifFileType* file, const GifByteType* bytes, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(file->UserData);
    out->insert(out->end(), bytes, bytes + length);
    return length;
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using Map = std::unique_ptr<ColorMapObject, MapDeleter>;

// giflib wants a power-of-two table of up to 256 entries.
Map makeMap(const std::vector<uint32_t>& palette) {
    if (palette.empty() || palette.size() > 256) return nullptr;
    int size = 2;
    while (size < int(palette.size())) size *= 2;
    std::vector<GifColorType> colours(size_t(size), GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette.size(); ++i) {
        colours[i] = {GifByteType(palette[i] >> 16), GifByteType(palette[i] >> 8), GifByteType(palette[i])};
    }
    return Map(GifMakeMapObject(size, colours.data()));
}

bool writeFrame(GifFileType* gif, const WriterFrame& frame) {
    if (frame.indices.size() != size_t(frame.width) * size_t(frame.height)) return false;
    if (frame.delayCentiseconds) {
        GraphicsControlBlock control{frame.disposal, false, *frame.delayCentiseconds, frame.transparentIndex};
        GifByteType bytes[4];
        EGifGCBToExtension(&control, bytes);
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, bytes) == GIF_ERROR) return false;
    }
    Map local = frame.localPalette.empty() ? nullptr : makeMap(frame.localPalette);
    if (!frame.localPalette.empty() && !local) return false;
    // giflib keeps a copy of the last frame's local table and, told of
    // none, forgets that copy without freeing it: it is freed here.
    if (!local && gif->Image.ColorMap) {
        GifFreeMapObject(gif->Image.ColorMap);
        gif->Image.ColorMap = nullptr;
    }
    if (EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlaced, local.get()) ==
        GIF_ERROR)
        return false;
    auto line = [&](int y) {
        auto* row = const_cast<GifPixelType*>(frame.indices.data() + size_t(y) * size_t(frame.width));
        return EGifPutLine(gif, row, frame.width) != GIF_ERROR;
    };
    return forEachStoredRow(frame.height, frame.interlaced, line);
}

}  // namespace

std::vector<uint8_t> write(const WriterFile& file) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeOutput, &error);
    if (!gif) return {};
    EGifSetGifVersion(gif, true);
    Map global = makeMap(file.globalPalette);
    bool ok = (global || file.globalPalette.empty()) &&
              EGifPutScreenDesc(gif, file.width, file.height, global ? global->BitsPerPixel : 8, 0, global.get()) !=
                  GIF_ERROR;
    if (ok && file.loopCount) {
        GifByteType count[3] = {1, GifByteType(*file.loopCount & 0xFF), GifByteType(*file.loopCount >> 8)};
        ok = EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_ERROR &&
             EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") != GIF_ERROR &&
             EGifPutExtensionBlock(gif, 3, count) != GIF_ERROR && EGifPutExtensionTrailer(gif) != GIF_ERROR;
    }
    for (const auto& frame : file.frames) {
        if (!ok) break;
        ok = writeFrame(gif, frame);
    }
    if (EGifCloseFile(gif, &error) == GIF_ERROR) ok = false;
    return ok ? out : std::vector<uint8_t>{};
}

}  // namespace cg::gif
