#include "platform/uikit/Storyboard.h"

#include "platform/runtime/Exception.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/ViewController.h"

namespace ui {

RT_DEFINE_CLASS(Storyboard, ns::Object, "UIStoryboard")

std::string bundleDescriptionForMessages(const ns::Ref<ns::Bundle>& bundle) {
    auto path = bundle ? bundle->bundlePath() : nullptr;
    return "NSBundle <" + (path ? path->utf8() : std::string()) + "> (loaded)";
}

ns::Ref<Storyboard> Storyboard::storyboardWithName(std::string_view name, const ns::Ref<ns::Bundle>& bundle) {
    ns::Ref<ns::Bundle> where = bundle ? bundle : ns::Bundle::mainBundle();
    if (!SceneRegistry::hasStoryboard(name)) {
        ns::Exception::raise(ns::InvalidArgumentException, "Could not find a storyboard named '" + std::string(name) +
                                                               "' in bundle " + bundleDescriptionForMessages(where));
    }
    return std::make_shared<Storyboard>(std::string(name), where);
}

ns::Ref<ViewController> Storyboard::instantiate(const SceneRegistry::ControllerBuilder& builder) {
    auto controller = builder(*this);
    if (controller) controller->setStoryboard(ref<Storyboard>());
    return controller;
}

ns::Ref<ViewController> Storyboard::instantiateInitialViewController() {
    auto builder = SceneRegistry::initialScene(name_);
    return builder ? instantiate(builder) : nullptr;
}

ns::Ref<ViewController> Storyboard::instantiateViewControllerWithIdentifier(std::string_view identifier) {
    auto builder = SceneRegistry::scene(name_, identifier);
    if (!builder) {
        std::string self = description();
        ns::Exception::raise(ns::InvalidArgumentException,
                             "Storyboard (" + self + ") doesn't contain a view controller with identifier '" +
                                 std::string(identifier) + "'");
    }
    return instantiate(builder);
}

}  // namespace ui
