#include "image/codec/UIImage+TVImageCoder.h"

namespace {

// The key of the stored flag (the getter's own address).
const void* decodedKey() { return reinterpret_cast<const void*>(&TV_isDecodedForDisplay); }

}  // namespace

bool TV_isDecodedForDisplay(const ui::Image* image) {
    if (!image) return false;
    if (image->images().size() >= 2) return true;
    std::any stored = image->associated(decodedKey());
    return stored.has_value() && std::any_cast<bool>(stored);
}

void TV_setIsDecodedForDisplay(ui::Image* image, bool decoded) {
    if (image) image->setAssociated(decodedKey(), decoded);
}
