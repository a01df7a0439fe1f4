#pragma once
// An annotation view's image from a URL; with the fade bit it fades only
// while the view is not highlighted. The forms are those of every one-image
// slot.
#include "image/web/TVWebImageImageForms.h"
