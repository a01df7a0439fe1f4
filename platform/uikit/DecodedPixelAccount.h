#pragma once
// The pixels held, process-wide, by pictures decoded from data: every
// picture a source or reader makes from bytes (downloads, the image
// cache's files, replies, remote icons), and every screen a reader draws
// them on and keeps (the image decoder's canvases, a GIF source's
// composing screen and the one it keeps under a frame that restores it),
// each for its own pixels while it is held, the app's own bundled files
// aside. Each file's budget (cg::DecodeBudget) bounds one file; this bounds
// them all together, so that many views each keeping a large icon cannot
// take more than a phone app may hold. It is the account the graphics layer
// charges where pictures are made (platform/graphics/PictureAccount.h),
// installed when this layer is loaded: a picture is charged from its header
// before it is decoded, and the charge goes with the last reference to its
// pixels (or to the copy made of them for display).
//
// When it first refuses a picture it tells the app that memory runs short,
// as the phone's system does: the memory-warning notification, posted on
// the main queue, on which the caches let their pictures go. It warns again
// only after pictures have been let go since. The refused picture is not
// decoded; a reader may ask once more when pictures let go leave half the
// account free (notifyWhenPicturesAreLetGo).
//
// Thread-safe: pictures are decoded on any queue.

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/dispatch/Queue.h"
#include "platform/graphics/PictureAccount.h"

namespace ui {

// A phone app is ended by its system at about 1.5 GB on common phones; the
// pictures decoded from data may take a third of that: 2^27 pixels of four
// bytes (512 MiB), two 8192x8192 pictures.
inline constexpr uint64_t MaximumDecodedPixels = uint64_t(1) << 27;

class DecodedPixelAccount : public cg::PictureAccount {
public:
    static DecodedPixelAccount& shared();

    // A charge of `pixels`, released when the returned holder goes; nil
    // when it would take the account past its limit (and then the warning,
    // when one is due).
    cg::PictureCharge charge(uint64_t pixels) override;
    uint64_t pixelsHeld() const override;
    uint64_t limit() const override;
    // Runs `block` once on `queue` when pictures let go leave at least half
    // the account free.
    void notifyWhenPicturesAreLetGo(dispatch::QueueRef queue, std::function<void()> block);

    // Tests size the account to the pictures they send; a warning is due
    // again.
    void setLimitForTesting(uint64_t pixels);
    // Memory warnings posted since the process began.
    uint64_t warningsPosted() const;

private:
    void release(uint64_t pixels);

    mutable std::mutex mutex_;
    uint64_t held_ = 0;
    uint64_t limit_ = MaximumDecodedPixels;
    // No warning is due until pictures are let go after the last one.
    bool warningDue_ = true;
    uint64_t warnings_ = 0;
    struct Waiter {
        dispatch::QueueRef queue;
        std::function<void()> block;
    };
    std::vector<Waiter> waiters_;
};

}  // namespace ui
