#pragma once
// The labels of the refresh controls, and the width of their text.

#include "platform/uikit/Label.h"

// Bold system font of 14, grey text (90/255), centred, clear background,
// flexible width.
ns::Ref<ui::Label> TV_label();
// The width of the label's text in its font, laid out without bounds; 0
// without text.
double TV_textWith(const ui::Label& label);
