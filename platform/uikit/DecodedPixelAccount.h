#pragma once
// The pixels held, process-wide, by pictures decoded from data (replies,
// remote icons, stored downloads; the app's own bundled pictures aside).
// Each file's budget (cg::DecodeBudget) bounds one file; this bounds them
// all together, so that many views each keeping a large icon cannot take
// more than a phone app may hold. A picture is charged from its header
// before it is decoded, and the charge goes with the last reference to its
// pixels.
//
// Thread-safe: pictures are decoded on any queue.

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/graphics/Image.h"

namespace ui {

// A phone app is ended by its system at about 1.5 GB on common phones; the
// pictures decoded from data may take a third of that: 2^27 pixels of four
// bytes (512 MiB), two 8192x8192 pictures.
inline constexpr uint64_t MaximumDecodedPixels = uint64_t(1) << 27;

class DecodedPixelAccount {
public:
    static DecodedPixelAccount& shared();

    // A charge of `pixels`, released when the returned holder goes; nil
    // when it would take the account past its limit.
    std::shared_ptr<const void> charge(uint64_t pixels);
    // `image` with `charge` riding on it: every copy of the reference keeps
    // the charge, and the last one to go releases it with the pixels. (A
    // reference the image makes of itself, self(), does not carry it.)
    static ns::Ref<cg::Image> holding(ns::Ref<cg::Image> image, std::shared_ptr<const void> charge);

    uint64_t pixelsHeld() const;
    uint64_t limit() const;
    // Tests size the account to the pictures they send.
    void setLimitForTesting(uint64_t pixels);

private:
    void release(uint64_t pixels);

    mutable std::mutex mutex_;
    uint64_t held_ = 0;
    uint64_t limit_ = MaximumDecodedPixels;
};

}  // namespace ui
