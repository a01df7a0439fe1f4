#pragma once
// Sizes the platform fixes and the system's numbers depend on.

#include "platform/graphics/Geometry.h"

namespace ui {

// Window levels.
inline constexpr double WindowLevelNormal = 0;
inline constexpr double WindowLevelStatusBar = 1000;
inline constexpr double WindowLevelAlert = 2000;

// Activity indicator sizes by style.
inline constexpr cg::Size ActivityIndicatorLargeSize{37, 37};
inline constexpr cg::Size ActivityIndicatorMediumSize{20, 20};

// Bars (the status bar's height is the screen model's: 20, or 47 notched).
inline constexpr double NavigationBarHeight = 44;
inline constexpr double TabBarHeight = 49;  // plus the bottom safe-area inset on notched screens
inline constexpr double ToolbarHeight = 44;

// The platform's default tint (system blue).
inline constexpr double DefaultTintRed = 0;
inline constexpr double DefaultTintGreen = 122 / 255.0;
inline constexpr double DefaultTintBlue = 1;

}  // namespace ui
