#include "platform/uikit/ScreenModel.h"

#include <cstdlib>

namespace ui {

ScreenModel ScreenModel::notchedPhone() { return ScreenModel{}; }

ScreenModel ScreenModel::classicPhone() {
    ScreenModel m;
    m.portraitSize = {375, 667};
    m.scale = 2;
    m.nativeScale = 2;
    m.notch = false;
    return m;
}

cg::Size ScreenModel::orientedSize() const {
    if (isLandscape(orientation)) return {portraitSize.height, portraitSize.width};
    return portraitSize;
}

cg::EdgeInsets ScreenModel::safeAreaInsets(bool statusBarHidden) const {
    if (notch) {
        switch (orientation) {
            case InterfaceOrientation::PortraitUpsideDown: return {34, 0, 47, 0};
            case InterfaceOrientation::LandscapeLeft:
            case InterfaceOrientation::LandscapeRight: return {0, 47, 21, 47};
            default: return {47, 0, 34, 0};
        }
    }
    if (isLandscape(orientation) || statusBarHidden) return {};
    return {20, 0, 0, 0};
}

double ScreenModel::statusBarHeight(bool statusBarHidden) const {
    if (statusBarHidden || isLandscape(orientation)) return 0;
    return notch ? 47 : 20;
}

double ScreenModel::keyboardHeight() const {
    bool landscape = isLandscape(orientation);
    if (notch) return landscape ? 209 : 336;
    return landscape ? 200 : 260;
}

int ScreenModel::systemMajorVersion() const { return std::atoi(systemVersion.c_str()); }

}  // namespace ui
