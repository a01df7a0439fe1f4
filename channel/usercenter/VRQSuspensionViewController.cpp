#include "channel/usercenter/VRQSuspensionViewController.h"

#include "platform/uikit/Screen.h"
#include "platform/uikit/View.h"

RT_DEFINE_CLASS(VRQSuspensionViewController, ui::ViewController, "VRQSuspensionViewController")

void VRQSuspensionViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setFrame(ui::Screen::mainScreen()->bounds());
}
