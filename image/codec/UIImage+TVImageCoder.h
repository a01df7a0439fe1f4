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
void TV_setIsDecodedForDisplay(ui::Image* image, bool decoded);
