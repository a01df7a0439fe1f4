// The main interface file: one scene, the game screen, whose root view is
// a plain view of the screen's size (the screen adds everything else when
// it loads). It has no activity indicator.

#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/View.h"
#include "shell/ViewController.h"

UI_INITIAL_STORYBOARD_SCENE("Main", "ViewController", ViewController, [](ViewController&) -> ns::Ref<ui::View> {
    return ui::View::make(ui::Screen::mainScreen()->bounds());
})
