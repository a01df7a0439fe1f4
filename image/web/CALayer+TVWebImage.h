#pragma once
// A layer's contents from a URL: the image's CGImage becomes the contents,
// and with the fade bit the layer itself always fades. The forms are those
// of every one-image slot.
#include "image/web/TVWebImageImageForms.h"
