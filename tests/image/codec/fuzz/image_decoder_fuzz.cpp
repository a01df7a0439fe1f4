// libFuzzer target for the image decoder on every type: the input is fed in
// pieces (the first two bytes pick where it is cut, in at most 16 pieces),
// then whole and final;
// every frame is then decoded in sequence, and frames that compose on a
// canvas must come out the same from a fresh decoder (random access).

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "image/codec/TVImageDecoder.h"
#include "tests/fuzz_check.h"

namespace {

void check(bool condition, const char* what) { fuzz::check(condition, "image_decoder_fuzz", what); }

// Frames are drawn, whole and in part, on canvases of up to a 4096 x 4096
// picture (64 MiB); the pieces, and then the frames in sequence, each draw
// no more for one input than two such pictures hold, so that under the
// sanitizers an input costs a few seconds at most and stays within the
// run's memory limit. Larger canvases are decoded, their frames not drawn.
constexpr uint64_t kMaximumCanvasPixels = uint64_t(1) << 24;
constexpr uint64_t kMaximumDrawnPixels = uint64_t(1) << 25;
constexpr uint64_t kMaximumFuzzedFrames = 12;
// Each piece hands the decoder everything so far, so a large input in
// small pieces would cost the square of its length, which no download
// delivers: large inputs come in larger pieces.
constexpr size_t kMaximumPieces = 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    if (size < 2) return 0;
    const uint8_t* bytes = input + 2;
    const size_t length = size - 2;
    const size_t step = std::max(1 + (size_t(input[0]) << 8 | input[1]) % 997, length / kMaximumPieces);

    auto decoder = std::make_shared<TVImageDecoder>(1.0);
    uint64_t drawnInPieces = 0;
    for (size_t cut = step; cut < length; cut += step) {
        check(decoder->updateData(ns::Data::withBytes(bytes, cut), false) || decoder->type() != TVImageTypeUnknown,
              "an update of unknown data was refused");
        const uint64_t canvas = decoder->width() * decoder->height();
        if (decoder->frameCount() > 0 && canvas <= kMaximumCanvasPixels && drawnInPieces + canvas <= kMaximumDrawnPixels) {
            drawnInPieces += canvas;
            (void)decoder->frameAtIndex(0, cut % 2 == 0);
        }
        check(!decoder->frameAtIndex(1, true), "a second frame before the data is final");
    }
    decoder->updateData(ns::Data::withBytes(bytes, length), true);
    check(!decoder->updateData(ns::Data::withBytes(bytes, length), true), "an update after the final one");

    const uint64_t frames = decoder->frameCount();
    const uint64_t canvas = decoder->width() * decoder->height();
    if (canvas > kMaximumCanvasPixels) return 0;
    const uint64_t drawn = std::min(kMaximumFuzzedFrames, kMaximumDrawnPixels / std::max<uint64_t>(canvas, 1));
    std::vector<ns::Ref<TVImageFrame>> inOrder;
    for (uint64_t i = 0; i < frames && i < drawn; ++i) {
        auto frame = decoder->frameAtIndex(i, true);
        (void)decoder->frameDurationAtIndex(i);
        inOrder.push_back(frame);
        if (!frame) continue;
        check(frame->index == i, "frame index");
        check(frame->image && frame->image->cgImage(), "a frame without a picture");
        if (decoder->type() == TVImageTypePNG || decoder->type() == TVImageTypeGIF) {
            check(uint64_t(frame->image->cgImage()->width()) == decoder->width() &&
                      uint64_t(frame->image->cgImage()->height()) == decoder->height(),
                  "a frame for display that does not fill the canvas");
        }
        (void)decoder->frameAtIndex(i, false);
    }
    check(!decoder->frameAtIndex(frames, true), "a frame past the end");
    if (decoder->type() != TVImageTypePNG) return 0;
    // Random access: each frame from a decoder that has drawn nothing.
    for (uint64_t i = inOrder.size(); i-- > 0;) {
        auto fresh = TVImageDecoder::decoderWithData(ns::Data::withBytes(bytes, length), 1.0);
        check(fresh != nullptr, "the data decoded once and not twice");
        auto frame = fresh->frameAtIndex(i, true);
        check(bool(frame) == bool(inOrder[i]), "a frame in sequence but not at random, or the other way");
        if (frame) {
            check(frame->image->cgImage()->bitmap() == inOrder[i]->image->cgImage()->bitmap(),
                  "a frame differs in sequence and at random");
        }
    }
    return 0;
}
