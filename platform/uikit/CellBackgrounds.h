#pragma once
// The backgrounds table and collection view cells share: a plain one at
// the back, and a selected one shown above it (below the content) while
// the cell is selected or highlighted.
//
// Main thread only.

#include "platform/runtime/Object.h"

namespace ui {

class View;

namespace detail {

// Replaces the view kept at the back of `host` in `slot`, sized to the
// host's bounds.
void setBackgroundSubview(View& host, ns::Ref<View>& slot, const ns::Ref<View>& view);

class CellBackgrounds {
public:
    const ns::Ref<View>& backgroundView() const { return background_; }
    void setBackgroundView(View& cell, const ns::Ref<View>& view);
    const ns::Ref<View>& selectedBackgroundView() const { return selectedBackground_; }
    void setSelectedBackgroundView(View& cell, const ns::Ref<View>& view, bool shown);
    // Puts the selected background into the cell or takes it out.
    void showSelected(View& cell, bool shown);
    // Both to the cell's bounds.
    void layout(View& cell);

private:
    ns::Ref<View> background_;
    ns::Ref<View> selectedBackground_;
};

}  // namespace detail
}  // namespace ui
