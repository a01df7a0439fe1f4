#include "channel/usercenter/TVSuTableSizing.h"

#include "platform/uikit/Application.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ScreenModel.h"
#include "platform/uikit/Window.h"

namespace TVSuTableSizing {

double bottomAllowance() {
    auto screen = ui::Screen::mainScreen();
    if (screen->model().systemMajorVersion() < 11) return 44;
    auto keyWindow = ui::Application::sharedApplication()->keyWindow();
    return keyWindow && keyWindow->safeAreaInsets().bottom > 0 ? 83 : 44;
}

double tableHeight(double topAllowance) {
    cg::Size size = ui::Screen::mainScreen()->bounds().size;
    double height = size.height - topAllowance - bottomAllowance();
    if (size.height > size.width) height -= 44;
    return height;
}

}  // namespace TVSuTableSizing
