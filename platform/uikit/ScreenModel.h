#pragma once
// The device the process pretends to run on: screen size, scale, notch,
// interface orientation and system version. Tests set one through
// Screen::setModel; the default is the notched phone.
//
// Safe-area insets (top, left, bottom, right), as the platform gives them:
//   notched, portrait              47, 0, 34, 0
//   notched, upside down           34, 0, 47, 0
//   notched, landscape             0, 47, 21, 47
//   no notch, portrait/upside down 20 (0 with the status bar hidden), 0, 0, 0
//   no notch, landscape            0, 0, 0, 0
// The notched values are those of the 390 x 844 pt phones, whose status bar
// is 47 pt high; older notched models (44 pt) are not modelled.

#include <string>

#include "platform/graphics/Geometry.h"

namespace ui {

// The platform's interface orientations.
enum class InterfaceOrientation {
    Unknown = 0,
    Portrait = 1,
    PortraitUpsideDown = 2,
    LandscapeRight = 3,
    LandscapeLeft = 4,
};

inline bool isPortrait(InterfaceOrientation o) {
    return o == InterfaceOrientation::Portrait || o == InterfaceOrientation::PortraitUpsideDown;
}
inline bool isLandscape(InterfaceOrientation o) {
    return o == InterfaceOrientation::LandscapeLeft || o == InterfaceOrientation::LandscapeRight;
}

struct ScreenModel {
    // Points, held upright.
    cg::Size portraitSize{390, 844};
    double scale = 3;
    double nativeScale = 3;
    bool notch = true;
    InterfaceOrientation orientation = InterfaceOrientation::Portrait;
    std::string systemVersion = "15.0";
    std::string deviceModel = "iPhone";
    std::string deviceName = "Phone";

    // 390 x 844 pt at 3x with a notch.
    static ScreenModel notchedPhone();
    // 375 x 667 pt at 2x, with a 20 pt status bar.
    static ScreenModel classicPhone();

    ScreenModel inOrientation(InterfaceOrientation o) const {
        ScreenModel m = *this;
        m.orientation = o;
        return m;
    }

    // The size as the interface sees it: width and height swap in landscape.
    cg::Size orientedSize() const;
    cg::EdgeInsets safeAreaInsets(bool statusBarHidden = false) const;
    // 0 where the bar is not shown (hidden, or landscape).
    double statusBarHeight(bool statusBarHidden = false) const;
    // The keyboard's height for this screen and orientation (test keyboards
    // use these): notched 336 portrait / 209 landscape, otherwise 260 / 200.
    double keyboardHeight() const;
    // The major part of the system version ("15.0" gives 15).
    int systemMajorVersion() const;

    friend bool operator==(const ScreenModel&, const ScreenModel&) = default;
};

}  // namespace ui
