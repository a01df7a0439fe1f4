#pragma once
// The coder's additions to every image: a decoded-for-display copy and the
// flag that records it, the data representation the image cache stores, and
// saving to the photo album.

#include <functional>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/Image.h"

// True for an animated image (two or more images); otherwise the stored
// flag, false when never set.
bool TV_isDecodedForDisplay(const ui::Image* image);
void setTV_isDecodedForDisplay(ui::Image* image, bool decoded);

// The receiver when already decoded; otherwise a copy decoded for display
// with the same scale and orientation, marked decoded (the receiver,
// unmarked, when decoding fails).
ns::Ref<ui::Image> TV_imageByDecoded(const ns::Ref<ui::Image>& image);
// What the image cache stores: upright PNG for pixels with alpha, JPEG at
// 0.9 without; the platform's PNG representation when that fails.
ns::Ref<ns::Data> TV_imageDataRepresentation(const ns::Ref<ui::Image>& image);
// Writes the data representation to the saved-photos album on a global
// queue; the block, if any, runs on the main thread.
using TVSaveToAlbumBlock = std::function<void(const ns::Ref<ns::URL>& assetURL, const ns::Ref<ns::Error>& error)>;
void TV_saveToAlbumWithCompletionBlock(const ns::Ref<ui::Image>& image, TVSaveToAlbumBlock completion);
