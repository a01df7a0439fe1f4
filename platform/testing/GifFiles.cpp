#include "platform/testing/GifFiles.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "platform/graphics/GifFrames.h"
#include "platform/graphics/GifInput.h"

namespace testing {

namespace {

std::vector<uint32_t> paletteOf(const ColorMapObject* map) {
    std::vector<uint32_t> palette;
    if (!map) return palette;
    for (int i = 0; i < map->ColorCount; ++i) {
        const GifColorType& c = map->Colors[i];
        palette.push_back(0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | uint32_t(c.Blue));
    }
    return palette;
}

}  // namespace

std::vector<cg::Bitmap> composedByGiflib(std::span<const uint8_t> bytes) {
    cg::gif::MemoryInput input{bytes};
    GifFileType* gif = cg::gif::openMemoryInput(input);
    if (!gif) return {};
    std::vector<cg::Bitmap> screens;
    if (DGifSlurp(gif) != GIF_ERROR) {
        cg::gif::Compositor compositor(gif->SWidth, gif->SHeight);
        const std::vector<uint32_t> global = paletteOf(gif->SColorMap);
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& saved = gif->SavedImages[i];
            GraphicsControlBlock control{0, false, 0, NO_TRANSPARENT_COLOR};
            DGifSavedExtensionToGCB(gif, i, &control);
            const std::vector<uint32_t> local = paletteOf(saved.ImageDesc.ColorMap);
            const cg::gif::FrameView view{saved.ImageDesc.Left,
                                          saved.ImageDesc.Top,
                                          saved.ImageDesc.Width,
                                          saved.ImageDesc.Height,
                                          saved.RasterBits,
                                          local.empty() ? std::span<const uint32_t>(global) : local,
                                          control.TransparentColor,
                                          control.DisposalMode};
            compositor.draw(view);
            screens.push_back(compositor.canvas());
        }
    }
    DGifCloseFile(gif, nullptr);
    return screens;
}

std::vector<bool> decodedByGiflib(std::span<const uint8_t> bytes) {
    std::vector<bool> complete;
    cg::gif::MemoryInput input{bytes};
    GifFileType* gif = cg::gif::openMemoryInput(input);
    if (!gif) return complete;
    bool going = true;
    while (going) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE) break;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            going = DGifGetExtension(gif, &code, &block) != GIF_ERROR;
            while (going && block) going = DGifGetExtensionNext(gif, &block) != GIF_ERROR;
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR) break;
            const GifImageDesc desc = gif->Image;
            const bool table = desc.ColorMap ? desc.ColorMap->ColorCount > 0 : gif->SColorMap != nullptr;
            std::vector<uint8_t> row(size_t(std::max(desc.Width, 1)));
            for (int y = 0; y < desc.Height && going; ++y) going = DGifGetLine(gif, row.data(), desc.Width) != GIF_ERROR;
            if (desc.Width * desc.Height == 0) {
                // An empty frame's data is passed over.
                int codeSize = 0;
                GifByteType* block = nullptr;
                going = DGifGetCode(gif, &codeSize, &block) != GIF_ERROR;
                while (going && block) going = DGifGetCodeNext(gif, &block) != GIF_ERROR;
            }
            complete.push_back(going && table && desc.Width * desc.Height > 0);
        } else {
            break;
        }
    }
    DGifCloseFile(gif, nullptr);
    return complete;
}

}  // namespace testing
