#pragma once
// The height a text needs wrapped at a width: what rows of variable height
// measure once and keep.

#include "platform/foundation/String.h"
#include "platform/uikit/Font.h"

namespace LabelHeight {

// A label of that width with the text and font, any number of lines, sized
// to fit; its height. A nil text measures as empty.
double getLabelHeightByWidth(double width, const ns::Ref<ns::String>& title, const ns::Ref<ui::Font>& font);

}  // namespace LabelHeight
