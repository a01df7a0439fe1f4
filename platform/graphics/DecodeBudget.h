#pragma once
// What the pictures of one file may cost the readers of its source: each
// picture is charged once, from its header and before it is decoded,
// whether the decode then succeeds or fails, so that a small file naming
// the same large (or broken) picture again and again costs no more than
// the budget. Past it nothing more is decoded, and that is logged once. (A
// GIF frame's codes are followed when its source is made, to learn whether
// the frame is whole, but no index is decoded before it is charged.)
//
// A picture costs its pixels (a GIF frame is composed on its whole screen)
// and an overhead of its own: the objects that hold it and its decoder's
// state, which for a file of millions of one-pixel frames outweigh the
// pixels.
//
// Thread-safe: a source's readers may ask from several threads, and a
// reader that outlives the source (the image decoder's animated PNG
// frames) keeps charging the budget it took from it.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace cg {

// Pixels that the pictures of one file hold together at most.
inline constexpr uint64_t MaximumPixelsPerFile = uint64_t(1) << 26;

// What one picture costs beyond its pixels: the image and its bitmap, the
// platform image around it, a GIF frame's record and the allocator's
// rounding. Measured at about 410 bytes for a one-pixel GIF frame kept by
// ui::Image::imageWithData; rounded up for the readers that keep a copy of
// each picture drawn for display.
inline constexpr uint64_t PictureOverheadBytes = 512;

// The overheads that the pictures of one file hold together at most: with
// the pixel part this is the whole budget, so a file may keep at most
// MaximumPicturesPerFile pictures however small.
inline constexpr uint64_t MaximumOverheadBytesPerFile = uint64_t(64) << 20;
inline constexpr uint64_t MaximumPicturesPerFile = MaximumOverheadBytesPerFile / PictureOverheadBytes;

// The one line a reader logs when it keeps only the first `kept` of the
// `count` pictures of a file of `fileType`, the rest being past `limit`:
// "<reader>: kept 4 of the 8 pictures of a com.compuserve.gif file: the
// rest are past the file's budget".
void logPicturesKept(const char* reader, uint64_t kept, uint64_t count, const std::string& fileType,
                     const char* limit = "the file's budget");

// The frames a player of `count` keeps records of and plays: at most
// MaximumPicturesPerFile, logged (naming `player`) when fewer.
uint64_t framesPlayed(uint64_t count, const char* player, const std::string& fileType);

class DecodeBudget {
public:
    // `file` names the file in the log line (its type).
    explicit DecodeBudget(std::string file = {});
    void setFile(std::string file);

    // Charges picture `index`, of `pixels`, unless it was charged before:
    // true when it may be decoded (charged now or before), false past the
    // budget. Once a picture is refused every later new one is too, so the
    // pictures decoded are the first ones asked for: the leading ones of
    // the file for a reader asking in file order, but not for a player
    // that starts mid-file or for several threads asking at once.
    bool charge(size_t index, uint64_t pixels);

    // True once a picture has been refused.
    bool isSpent() const;
    uint64_t pixelsCharged() const;
    size_t picturesCharged() const;

private:
    mutable std::mutex mutex_;
    std::string file_;
    std::vector<bool> charged_;  // by index
    uint64_t pixels_ = 0;
    size_t pictures_ = 0;
    bool spent_ = false;
};

}  // namespace cg
