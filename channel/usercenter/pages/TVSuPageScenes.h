#pragma once
// What the user centre's page scenes share: the accent orange, a page's
// root view (the page area's size, white), a paging scroll view below a
// top strip, and a 44-point title bar with a back control and a title.

#include <functional>

#include "platform/graphics/Color.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/View.h"

namespace TVSuPageScenes {

inline const cg::Color kOrange{1, 127.0 / 255, 0, 1};
inline constexpr double kWidth = 300;
inline constexpr double kBarHeight = 44;

ns::Ref<ui::View> pageRoot();
// A label in the system font of `size` and `colour`, added to `parent`.
ns::Ref<ui::Label> label(ui::View& parent, const cg::Rect& frame, double size, const cg::Color& colour);
// Paging, 300 wide, from `top` to the bottom.
ns::Ref<ui::ScrollView> pagingScrollView(double top);
// A button whose tap calls `action` (the owner held weakly by the caller);
// without an action the caller adds its own target.
ns::Ref<ui::Button> actionButton(const cg::Rect& frame, const char* title, const char* selector,
                                 std::function<void()> action);
// The title bar: back on the left, the title in the middle; returns the title.
ns::Ref<ui::Label> titleBar(ui::View& root, const char* title, std::function<void()> back);

}  // namespace TVSuPageScenes
