#pragma once
// Storyboards: named sets of scenes (see SceneRegistry.h). Instantiating a
// scene makes its controller; the controller builds its view when first
// asked for it, as one loaded from a storyboard does.

#include <functional>
#include <string>
#include <string_view>

#include "platform/foundation/Bundle.h"
#include "platform/runtime/Class.h"

namespace ui {

class ViewController;

class Storyboard : public ns::Object {
    RT_DECLARE_CLASS(Storyboard)
public:
    Storyboard() = default;
    Storyboard(std::string name, ns::Ref<ns::Bundle> bundle) : name_(std::move(name)), bundle_(std::move(bundle)) {}

    // Raises NSInvalidArgumentException ("Could not find a storyboard named
    // 'X' in bundle NSBundle <path> (loaded)") for a name nothing registered.
    // A nil bundle is the main bundle.
    static ns::Ref<Storyboard> storyboardWithName(std::string_view name, const ns::Ref<ns::Bundle>& bundle = nullptr);

    const std::string& name() const { return name_; }
    const ns::Ref<ns::Bundle>& bundle() const { return bundle_; }

    // Nil when the storyboard has no initial scene.
    ns::Ref<ViewController> instantiateInitialViewController();
    // Raises NSInvalidArgumentException ("Storyboard (<UIStoryboard: 0x...>)
    // doesn't contain a view controller with identifier 'X'") for an unknown
    // identifier.
    ns::Ref<ViewController> instantiateViewControllerWithIdentifier(std::string_view identifier);

private:
    ns::Ref<ViewController> instantiate(const std::function<ns::Ref<ViewController>(Storyboard&)>& builder);

    std::string name_;
    ns::Ref<ns::Bundle> bundle_;
};

// "NSBundle </path> (loaded)", as the platform's messages name a bundle.
std::string bundleDescriptionForMessages(const ns::Ref<ns::Bundle>& bundle);

}  // namespace ui
