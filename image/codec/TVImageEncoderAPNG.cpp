// The encoder's animated PNG writer: each image is written as a PNG, the
// first one's chunks are copied with the animation control chunk and frame
// 0's control chunk before its image data, and every further image follows
// as a frame control chunk and its image data as frame data chunks.
#include "image/codec/TVImageEncoder.h"
#include "image/codec/TVPNGChunkWriter.h"
#include "image/codec/TVPNGChunks.h"
#include "platform/graphics/BitmapContext.h"

namespace {

constexpr uint32_t kIDAT = TV_FOUR_CC('I', 'D', 'A', 'T');

struct ChunksDeleter {
    void operator()(TVPNGInfo* info) const { TVFreePNGChunks(info); }
};
using Chunks = std::unique_ptr<TVPNGInfo, ChunksDeleter>;

Chunks parse(const ns::Data& png) {
    if (png.length() > UINT32_MAX) return nullptr;
    return Chunks(TVParsePNGChunks(png.bytes(), uint32_t(png.length())));
}

// fcTL: whole-canvas origin, dispose to background, blend by replacing.
void putFrameControl(std::vector<uint8_t>& out, uint32_t& sequence, uint32_t width, uint32_t height,
                     double duration) {
    std::vector<uint8_t> data;
    uint16_t numerator = 0, denominator = 0;
    TVDurationToPNGDelay(duration, &numerator, &denominator);
    tvpng::putU32(data, sequence++);
    tvpng::putU32(data, width);
    tvpng::putU32(data, height);
    tvpng::putU32(data, 0);
    tvpng::putU32(data, 0);
    tvpng::putU16(data, numerator);
    tvpng::putU16(data, denominator);
    data.push_back(1);
    data.push_back(0);
    tvpng::putChunk(out, TV_FOUR_CC('f', 'c', 'T', 'L'), data.data(), uint32_t(data.size()));
}

}  // namespace

ns::Ref<ns::Data> TVImageEncoder::encodeAPNG() const {
    std::vector<ns::Ref<ns::MutableData>> pngs;
    uint64_t canvasWidth = 0, canvasHeight = 0;
    ns::Ref<cg::Image> first;
    for (size_t i = 0; i < images_.size(); ++i) {
        auto image = newCGImageFromIndex(i, true);
        if (!image || image->width() == 0 || image->height() == 0) return nullptr;
        auto png = TVCreateEncodedImageData(image, TVImageTypePNG, 1.0);
        if (!png) return nullptr;
        canvasWidth = std::max<uint64_t>(canvasWidth, uint64_t(image->width()));
        canvasHeight = std::max<uint64_t>(canvasHeight, uint64_t(image->height()));
        if (i == 0) first = image;
        pngs.push_back(png);
    }
    // The canvas is the first frame's size: a smaller first image is put at
    // its top left.
    if (uint64_t(first->width()) < canvasWidth || uint64_t(first->height()) < canvasHeight) {
        auto context = cg::BitmapContext::createWithPixels(int(canvasWidth), int(canvasHeight),
                                                           cg::BitmapInfo::PremultipliedFirst32Little);
        if (!context) return nullptr;
        double top = double(canvasHeight) - first->height();
        context->drawImageBottomUp(*first, {0, top, double(first->width()), double(first->height())});
        pngs[0] = TVCreateEncodedImageData(context->makeImage(), TVImageTypePNG, 1.0);
        if (!pngs[0]) return nullptr;
    }
    Chunks head = parse(*pngs[0]);
    if (!head) return nullptr;

    std::vector<uint8_t> out(tvpng::kSignature, tvpng::kSignature + 8);
    uint32_t sequence = 0;
    bool insideIDAT = false, framesWritten = false;
    const uint8_t* bytes = pngs[0]->bytes();
    for (uint32_t c = 0; c < head->chunk_num; ++c) {
        const TVPNGChunkInfo& chunk = head->chunks[c];
        if (chunk.fourcc == kIDAT && !insideIDAT && !framesWritten) {
            std::vector<uint8_t> control;
            tvpng::putU32(control, uint32_t(pngs.size()));
            tvpng::putU32(control, uint32_t(loopCount_));
            tvpng::putChunk(out, TV_FOUR_CC('a', 'c', 'T', 'L'), control.data(), uint32_t(control.size()));
            putFrameControl(out, sequence, head->header.width, head->header.height, durations_[0]);
            insideIDAT = true;
        } else if (chunk.fourcc != kIDAT && insideIDAT) {
            insideIDAT = false;
            framesWritten = true;
            for (size_t i = 1; i < pngs.size(); ++i) {
                Chunks frame = parse(*pngs[i]);
                if (!frame) return nullptr;
                putFrameControl(out, sequence, frame->header.width, frame->header.height, durations_[i]);
                for (uint32_t f = 0; f < frame->chunk_num; ++f) {
                    const TVPNGChunkInfo& data = frame->chunks[f];
                    if (data.fourcc != kIDAT) continue;
                    std::vector<uint8_t> body;
                    body.reserve(data.length + 4);
                    tvpng::putU32(body, sequence++);
                    const uint8_t* start = pngs[i]->bytes() + data.offset + 8;
                    body.insert(body.end(), start, start + data.length);
                    tvpng::putChunk(out, TV_FOUR_CC('f', 'd', 'A', 'T'), body.data(), uint32_t(body.size()));
                }
            }
        }
        out.insert(out.end(), bytes + chunk.offset, bytes + chunk.offset + chunk.length + 12);
    }
    return ns::MutableData::make(std::move(out));
}
