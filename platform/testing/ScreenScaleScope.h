#pragma once
// Gives the main screen another scale for the life of the scope and puts
// the screen model back after, so tests of scale-dependent pictures do not
// leak their screen into the next test.

#include "platform/uikit/Screen.h"

namespace testing {

class ScreenScaleScope {
public:
    explicit ScreenScaleScope(double scale) : saved_(ui::Screen::mainScreen()->model()) { setScale(scale); }
    ~ScreenScaleScope() { ui::Screen::mainScreen()->setModel(saved_); }
    ScreenScaleScope(const ScreenScaleScope&) = delete;
    ScreenScaleScope& operator=(const ScreenScaleScope&) = delete;

    void setScale(double scale) {
        ui::ScreenModel model = saved_;
        model.scale = model.nativeScale = scale;
        ui::Screen::mainScreen()->setModel(model);
    }

private:
    ui::ScreenModel saved_;
};

}  // namespace testing
