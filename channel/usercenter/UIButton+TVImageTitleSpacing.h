#pragma once
// Places a button's image and title in one of four arrangements with a
// spacing between them, through the title and image edge insets.

#include "platform/uikit/Button.h"

namespace TVImageTitleSpacing {

enum Style : int64_t {
    ImageTop = 0,     // image above the title
    ImageLeft = 1,    // image left of the title
    ImageBottom = 2,  // image below the title
    ImageRight = 3,   // image right of the title
};

// Any other style clears both insets.
void layoutButtonWithEdgeInsetsStyle(ui::Button& button, int64_t style, double space);

}  // namespace TVImageTitleSpacing
