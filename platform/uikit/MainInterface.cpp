#include "platform/uikit/MainInterface.h"

#include <string>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/KeyValueCoding.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Storyboard.h"
#include "platform/uikit/ViewController.h"

namespace ui {

std::shared_ptr<ApplicationDelegate> makeApplicationDelegate(std::string_view className) {
    const rt::Class* cls = rt::classNamed(className);
    ns::Id object = cls ? cls->create() : nullptr;
    auto delegate = std::dynamic_pointer_cast<ApplicationDelegate>(object);
    if (!delegate) {
        ns::log("Unable to instantiate the UIApplication delegate of class %s", std::string(className));
        return nullptr;
    }
    loadMainInterface(object);
    return delegate;
}

ns::Ref<Window> loadMainInterface(const ns::Id& delegate) {
    auto name = ns::cast<ns::String>(ns::Bundle::mainBundle()->objectForInfoDictionaryKey(MainStoryboardInfoKey));
    if (!name || name->utf8().empty()) return nullptr;
    auto storyboard = Storyboard::storyboardWithName(name->utf8());
    auto root = storyboard->instantiateInitialViewController();
    if (!root) {
        ns::log("Failed to instantiate the default view controller for UIMainStoryboardFile '%@'", name);
        return nullptr;
    }
    auto window = Window::makeFullScreen();
    window->setRootViewController(root);
    if (delegate) ns::setValueForKey(*delegate, window, "window");

    // Shown after the delegate's did-finish hook, as the system does, so the
    // screen loads once the launch pause is over.
    auto center = ns::NotificationCenter::defaultCenter();
    const void* key = window.get();
    center->addObserver(key, ApplicationDidFinishLaunchingNotification, nullptr,
                        [key, weak = ns::Weak<ui::Window>(window)](const ns::Ref<ns::Notification>&) {
                            ns::NotificationCenter::defaultCenter()->removeObserver(key);
                            if (auto shown = weak.lock()) shown->makeKeyAndVisible();
                        });
    return window;
}

int applicationMain(std::string_view delegateClassName) {
    std::string name(delegateClassName);
    return applicationMain([name] { return makeApplicationDelegate(name); });
}

}  // namespace ui
