// The decoder's frame pictures: each frame on its own (from the image
// source, or an animated PNG frame rebuilt as a stand-alone PNG), and
// frames composed on the canvas by their dispose and blend operations.
#include "image/codec/TVImageDecoder.h"
#include "image/codec/TVPNGChunkWriter.h"
#include "image/codec/UIImage+TVImageCoder.h"

namespace {

constexpr uint32_t kIDAT = TV_FOUR_CC('I', 'D', 'A', 'T');
constexpr uint32_t kIHDR = TV_FOUR_CC('I', 'H', 'D', 'R');
constexpr uint32_t kPLTE = TV_FOUR_CC('P', 'L', 'T', 'E');
constexpr uint32_t ktRNS = TV_FOUR_CC('t', 'R', 'N', 'S');
constexpr uint32_t kfdAT = TV_FOUR_CC('f', 'd', 'A', 'T');

// The shared chunks a frame's picture is made of; the reader passes over
// the rest (texts, profiles and the like), so they are not copied into
// every frame.
bool makesThePicture(uint32_t fourcc) { return fourcc == kIHDR || fourcc == kPLTE || fourcc == ktRNS; }

}  // namespace

using tvpng::putChunk;
using tvpng::putU32;

cg::Rect TVImageDecoder::rectOf(const TVImageDecoderFrame& frame) const {
    return {double(frame.offsetX), double(frame.offsetY), double(frame.width), double(frame.height)};
}

// A canvas holds its own pixels whatever is drawn on it, so it is charged
// for them before they are made; nothing when the account refuses them
// (counted by the thread's cg::PictureRefusals).
std::optional<cg::PictureCharge> TVImageDecoder::chargeCanvas(uint64_t index) {
    if (!charged_) return cg::PictureCharge();
    const char* type = TVImageTypeToUTType(type_);
    return cg::chargePictureFromData(type ? type : "", size_t(index), int(width_), int(height_));
}

ns::Ref<cg::Image> TVImageDecoder::extendedToCanvas(const cg::Image& image, const cg::Rect& rect,
                                                    cg::PictureCharge charge) {
    auto context = cg::BitmapContext::createWithPixels(int(width_), int(height_), cg::BitmapInfo::PremultipliedFirst32Little);
    if (!context) return nullptr;
    context->drawImageBottomUp(image, rect);
    return context->takeImage(std::move(charge));
}

ns::Ref<cg::Image> TVImageDecoder::newAPNGFrameImage(const TVPNGFrameInfo& f, uint64_t index) {
    const TVPNGInfo* info = apngSource_;
    if (f.chunk_num == 0) return nullptr;
    const uint8_t* bytes = data_->bytes();
    const bool cover = index == 0 && info->apng_first_frame_is_cover;
    // Charged on the whole canvas (chargeFrameAtIndex): the parser keeps
    // every frame inside it.
    if (uint64_t(f.width) * f.height > width_ * height_) return nullptr;
    size_t sharedBytes = 0;
    for (uint32_t s = 0; s < info->apng_shared_chunk_num; ++s) {
        const TVPNGChunkInfo& chunk = info->chunks[info->apng_shared_chunk_indexs[s]];
        if (makesThePicture(chunk.fourcc)) sharedBytes += size_t(chunk.length) + 12;
    }
    std::vector<uint8_t> png;
    png.reserve(sharedBytes + f.chunk_size + 8 - (cover ? 0 : 4 * size_t(f.chunk_num)));
    png.insert(png.end(), tvpng::kSignature, tvpng::kSignature + 8);
    auto insertFrame = [&] {
        for (uint32_t i = 0; i < f.chunk_num; ++i) {
            const TVPNGChunkInfo& chunk = info->chunks[f.chunk_index + i];
            const uint8_t* start = bytes + chunk.offset;
            if (chunk.fourcc == kIDAT) {
                png.insert(png.end(), start, start + chunk.length + 12);
            } else if (chunk.fourcc == kfdAT) {
                // The sequence number goes; the rest becomes image data.
                putChunk(png, kIDAT, start + 12, chunk.length - 4);
            }
        }
    };
    bool inserted = false;
    for (uint32_t s = 0; s < info->apng_shared_chunk_num; ++s) {
        uint32_t chunkIndex = info->apng_shared_chunk_indexs[s];
        if (!inserted && chunkIndex >= info->apng_shared_insert_index) {
            insertFrame();
            inserted = true;
        }
        const TVPNGChunkInfo& chunk = info->chunks[chunkIndex];
        if (!makesThePicture(chunk.fourcc)) continue;
        if (chunk.fourcc == kIHDR) {
            std::vector<uint8_t> header;
            putU32(header, f.width);
            putU32(header, f.height);
            header.insert(header.end(), {info->header.bit_depth, info->header.color_type,
                                         info->header.compression_method, info->header.filter_method,
                                         info->header.interlace_method});
            putChunk(png, kIHDR, header.data(), uint32_t(header.size()));
        } else {
            png.insert(png.end(), bytes + chunk.offset, bytes + chunk.offset + chunk.length + 12);
        }
    }
    if (!inserted) insertFrame();
    std::optional<cg::PictureCharge> charge;
    if (charged_) {
        charge = cg::chargePictureFromData(cg::ImageTypePNG, index, int(f.width), int(f.height));
        if (!charge) return nullptr;
    }
    // Read here rather than through a source of its own, whose budget
    // would charge the frame a second time, to a file of one picture: the
    // frame is charged to the file's budget, which the decoder holds.
    std::optional<cg::still::Decoded> decoded;
    {
        cg::CodecWorkScope counting(apngFrameWork_);
        decoded = cg::still::decodePng(png, true);
    }
    if (!decoded) return nullptr;
    // As a source describes a still picture: straight RGBA, or RGB with a
    // skipped last byte.
    const auto alpha = decoded->bitmap.hasAlpha() ? cg::ImageAlphaInfo::Last : cg::ImageAlphaInfo::NoneSkipLast;
    return std::make_shared<cg::Image>(std::move(decoded->bitmap), uint32_t(alpha),
                                       charge ? std::move(*charge) : nullptr);
}

ns::Ref<cg::Image> TVImageDecoder::newUnblendedImage(uint64_t index, bool extendToCanvas, bool* decoded) {
    if (index != 0 && !finalized_) return nullptr;
    auto frame = frameRecord(index);
    if (!frame) return nullptr;
    // A picture smaller than the canvas is shown on a canvas of its own,
    // charged before either is made; one of the canvas's size hands its
    // charge to the copy.
    std::optional<cg::PictureCharge> canvas;
    if (extendToCanvas && (frame->width != width_ || frame->height != height_)) {
        canvas = chargeCanvas(index);
        if (!canvas) return nullptr;
    }
    if (source_) {
        auto image = source_->createImageAtIndex(size_t(index));
        if (!image) return nullptr;
        if (!extendToCanvas) return image;
        ns::Ref<cg::Image> done;
        if (uint64_t(image->width()) != width_ || uint64_t(image->height()) != height_) {
            if (!canvas) canvas = chargeCanvas(index);  // not the size its properties gave
            if (!canvas) return nullptr;
            double top = double(height_) - image->height();
            done = extendedToCanvas(*image, {0, top, double(image->width()), double(image->height())},
                                    std::move(*canvas));
        } else {
            done = TVCreateDecodedCGImage(image, true);
        }
        if (!done) return image;
        *decoded = true;
        return done;
    }
    if (!apngSource_ || index >= apngSource_->apng_frame_num) return nullptr;
    chargeFrameAtIndex(index);  // played, so never refused
    auto image = newAPNGFrameImage(apngSource_->apng_frames[index], index);
    if (!image || !extendToCanvas) return image;
    auto extended = extendedToCanvas(*image, rectOf(*frame), canvas ? std::move(*canvas) : image->charge());
    if (extended) *decoded = true;
    return extended;
}

bool TVImageDecoder::createBlendContextIfNeeded(uint64_t index) {
    if (blendCanvas_) return true;
    auto charge = chargeCanvas(index);
    if (!charge) return false;
    blendCanvas_ = cg::BitmapContext::createWithPixels(int(width_), int(height_), cg::BitmapInfo::PremultipliedFirst32Little);
    blendFrameIndex_ = kNotFound;
    if (!blendCanvas_) return false;
    blendCanvas_->carryOwnCharge(std::move(*charge));
    return true;
}

void TVImageDecoder::blendImageWithFrame(const TVImageDecoderFrame& frame) {
    if (frame.dispose == TVImageDisposePrevious) return;
    cg::Rect rect = rectOf(frame);
    if (frame.dispose == TVImageDisposeBackground) {
        blendCanvas_->clearRect(rect);
        return;
    }
    if (frame.blend == TVImageBlendNone) blendCanvas_->clearRect(rect);
    bool decoded = false;
    if (auto image = newUnblendedImage(frame.index, false, &decoded)) blendCanvas_->drawImageBottomUp(*image, rect);
}

ns::Ref<cg::Image> TVImageDecoder::newBlendedImageWithFrame(const TVImageDecoderFrame& frame,
                                                            cg::PictureCharge charge) {
    bool decoded = false;
    auto unblended = newUnblendedImage(frame.index, false, &decoded);
    if (!unblended) return nullptr;
    const cg::Rect rect = rectOf(frame);
    ns::Ref<cg::Image> before;
    if (frame.dispose == TVImageDisposePrevious) {
        // The canvas as it stands, held while this frame is drawn.
        auto held = chargeCanvas(frame.index);
        if (!held) return nullptr;
        before = blendCanvas_->makeImage(std::move(*held));
    }
    if (frame.blend == TVImageBlendNone) blendCanvas_->clearRect(rect);
    blendCanvas_->drawImageBottomUp(*unblended, rect);
    auto image = blendCanvas_->makeImage(std::move(charge));
    if (frame.dispose == TVImageDisposeBackground) {
        blendCanvas_->clearRect(rect);
    } else if (frame.dispose == TVImageDisposePrevious) {
        const cg::Rect all{0, 0, double(width_), double(height_)};
        blendCanvas_->clearRect(all);
        blendCanvas_->drawImageBottomUp(*before, all);
    }
    return image;
}

ns::Ref<TVImageFrame> TVImageDecoder::frameWithImage(uint64_t index, bool decodeForDisplay) {
    auto record = frameRecord(index);
    if (!record) return nullptr;
    if (lastFrame_ && lastFrame_->index == index && lastFrameForDisplay_ == decodeForDisplay) {
        if (auto held = lastPicture_.lock()) {
            auto again = ns::cast<TVImageFrame>(lastFrame_->copy());
            again->image = ui::Image::imageWithCGImage(held, scale_, orientation_);
            setTV_isDecodedForDisplay(again->image.get(), lastFrameDecoded_);
            return again;
        }
    }
    auto frame = ns::cast<TVImageDecoderFrame>(record->copy());
    const bool extend = decodeForDisplay && type_ != TVImageTypeICO;
    ns::Ref<cg::Image> image;
    bool decoded = false;
    if (!needBlend_) {
        image = newUnblendedImage(index, extend, &decoded);
        if (!image) return nullptr;
        if (decodeForDisplay && !decoded) {
            if (auto copy = TVCreateDecodedCGImage(image, true)) {
                image = copy;
                decoded = true;
            }
        }
    } else {
        // A frame missing a picture the account refused is not handed out.
        cg::PictureRefusals refusals;
        if (!createBlendContextIfNeeded(index)) return nullptr;
        // The copy this frame is taken as, charged before anything is drawn
        // for it: refused, the canvas stays as it is.
        auto charge = chargeCanvas(index);
        if (!charge) return nullptr;
        const cg::Rect all{0, 0, double(width_), double(height_)};
        if (blendFrameIndex_ != kNotFound && blendFrameIndex_ + 1 == index) {
            image = newBlendedImageWithFrame(*record, std::move(*charge));
        } else {
            blendFrameIndex_ = kNotFound;
            blendCanvas_->clearRect(all);
            if (record->blendFromIndex == index) {
                bool unused = false;
                if (auto unblended = newUnblendedImage(index, false, &unused)) {
                    blendCanvas_->drawImageBottomUp(*unblended, rectOf(*record));
                }
                image = blendCanvas_->makeImage(std::move(*charge));
                // The canvas as it was before this frame: clear, as it stood
                // alone.
                if (record->dispose == TVImageDisposeBackground) blendCanvas_->clearRect(rectOf(*record));
                if (record->dispose == TVImageDisposePrevious) blendCanvas_->clearRect(all);
            } else {
                for (uint64_t i = record->blendFromIndex; i < index; ++i) {
                    if (auto earlier = frameRecord(i)) blendImageWithFrame(*earlier);
                }
                image = newBlendedImageWithFrame(*record, std::move(*charge));
            }
        }
        if (refusals.count() > 0) image = nullptr;
        blendFrameIndex_ = image ? index : kNotFound;
        // A frame standing alone that disposes to previous leaves the canvas
        // clear; when the next frame builds on frames before this one, it
        // must replay them rather than start from that clear canvas.
        auto next = frameRecord(index + 1);
        if (image && record->blendFromIndex == index && record->dispose == TVImageDisposePrevious && next &&
            next->blendFromIndex < index) {
            blendFrameIndex_ = kNotFound;
        }
        blendCanvas_->clearRecords();
        if (!image) return nullptr;
        decoded = true;
    }
    if (extend && uint64_t(image->width()) == width_ && uint64_t(image->height()) == height_) {
        frame->width = width_;
        frame->height = height_;
        frame->offsetX = frame->offsetY = 0;
        frame->dispose = TVImageDisposeNone;
        frame->blend = TVImageBlendNone;
    }
    auto uiImage = ui::Image::imageWithCGImage(image, scale_, orientation_);
    setTV_isDecodedForDisplay(uiImage.get(), decoded);
    lastFrame_ = ns::cast<TVImageDecoderFrame>(frame->copy());
    lastFrameForDisplay_ = decodeForDisplay;
    lastFrameDecoded_ = decoded;
    lastPicture_ = image;
    frame->image = uiImage;
    return frame;
}
