#pragma once
// Where every picture made from data is charged: the sources and the
// readers that decode a picture themselves call chargePictureFromData()
// before they decode it, so that no reader can miss the process's account
// of decoded pixels. The account itself is the view layer's
// (ui::DecodedPixelAccount), installed when that layer is loaded; without
// one nothing is charged.
//
// A charge rides on the picture it was made for (Image::charge()), and on
// the copy a context makes of it for display (BitmapContext::takeImage):
// it goes with the last reference to those pixels. That holds for a copy of
// the picture's own size whose picture is let go once drawn. A canvas is
// charged for its own width x height, whatever is drawn on it, by the
// reader that makes it, before it is made, and so is each copy taken of it
// (takeImage and makeImage given that charge): the image decoder's
// canvases for pictures of another size than the first and for composed
// frames. A canvas kept and drawn on again carries its own charge
// (BitmapContext::carryOwnCharge) rather than the pictures drawn on it.
// A GIF source's player charges its screens the same way.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace cg {

// Held while the pixels it was charged for are; nil for pictures not
// charged. The holder owns nothing: letting it go is the release.
using PictureCharge = std::shared_ptr<const void>;

class PictureAccount {
public:
    virtual ~PictureAccount() = default;
    // A charge of `pixels`; nil when it would take the account past its
    // limit.
    virtual PictureCharge charge(uint64_t pixels) = 0;
    virtual uint64_t pixelsHeld() const = 0;
    virtual uint64_t limit() const = 0;

    // The account pictures made from data are charged to; nil before one
    // is installed. Raw: the account lives as long as the process.
    static PictureAccount* installed();
    static void install(PictureAccount* account);
};

// Charges picture `index` of a `type` file, `width` x `height`, to the
// installed account before it is decoded: the charge to put on the picture
// (nil when there is no account), or nothing when the account refuses it.
// A refusal is logged and counted by the PictureRefusals on this thread.
std::optional<PictureCharge> chargePictureFromData(std::string_view type, size_t index, int width, int height);

// Counts the pictures the account refuses on this thread while it lives,
// so that the caller of a decode can tell a picture refused for memory
// from data that decodes to nothing. Scopes nest; each counts what happens
// under it.
class PictureRefusals {
public:
    PictureRefusals();
    ~PictureRefusals();
    PictureRefusals(const PictureRefusals&) = delete;
    PictureRefusals& operator=(const PictureRefusals&) = delete;

    size_t count() const { return count_; }

private:
    friend std::optional<PictureCharge> chargePictureFromData(std::string_view, size_t, int, int);
    // Raw: the scope outside this one on the same thread, which outlives it.
    PictureRefusals* outer_;
    size_t count_ = 0;
};

}  // namespace cg
