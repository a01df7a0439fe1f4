#pragma once
// The height of a list table made in code inside the 300-point panel: the
// main screen's height less the page's top allowance and the bottom
// allowance (83 on a notched screen from iOS 11, 44 otherwise), and 44 more
// in portrait.

namespace TVSuTableSizing {

inline constexpr double kPanelWidth = 300;

double bottomAllowance();
double tableHeight(double topAllowance);

}  // namespace TVSuTableSizing
