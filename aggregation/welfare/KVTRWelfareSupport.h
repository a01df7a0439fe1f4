#pragma once
// What the resource hall's views share beyond the stores' helpers: the
// prize text, the short tip that names a prize, and the removal of tips.

#include <vector>

#include "platform/foundation/String.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/View.h"

namespace kvtr_welfare {

// "<name>*<amount>", each as "%@" text ("(null)" when absent).
ns::Ref<ns::String> prizeText(const ns::Ref<ns::String>& name, const ns::Ref<ns::String>& amount);

// The size `text` needs in `font`, wrapped at `maxWidth` (line-fragment
// layout, unbounded height), not rounded.
cg::Size measuredSize(const ns::Ref<ns::String>& text, const ns::Ref<ui::Font>& font, double maxWidth);

// A prize's name on a dark rounded tip: white system font of 10 points,
// centred, its frame at `origin` with 10 points more width and 5 more height
// than the text needs.
ns::Ref<ui::Label> makeTip(const ns::Ref<ns::String>& name, cg::Point origin);

// Takes every tip off the screen; the list keeps them, so each timer clears
// whatever tips are present when it fires.
void removeTips(const std::vector<ns::Ref<ui::Label>>& tips);

// Seconds a tip stays on the screen.
inline constexpr double TipSeconds = 1.0;

}  // namespace kvtr_welfare
