#pragma once
// Storyboard scenes and nibs as builder functions registered by name, beside
// the code that owns them. A scene builder makes the controller (its view
// is built later, when first needed, by the view builder the scene gives
// it); a nib builder makes the nib's top-level objects, filling the owner's
// outlets when an owner is given.
//
//   UI_STORYBOARD_SCENE("Account", "LoginScreen", LoginScreen,
//       [](LoginScreen& owner) -> ns::Ref<ui::View> { ... return root; })
//   UI_INITIAL_STORYBOARD_SCENE("Account", "Home", HomeScreen, ...)
//   UI_STORYBOARD_CONTROLLER("Account", "Flow",
//       [](ui::Storyboard& board) -> ns::Ref<ui::ViewController> { ... })
//   UI_NIB("AccountCell",
//       [](const ns::Id& owner, const ns::Ref<ns::Bundle>& bundle) -> std::vector<ns::Id> { ... })
//
// Registering a name again replaces the earlier builder.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/ViewController.h"

namespace ui {

class Storyboard;
class View;

class SceneRegistry {
public:
    using ControllerBuilder = std::function<ns::Ref<ViewController>(Storyboard& storyboard)>;
    using NibBuilder = std::function<std::vector<ns::Id>(const ns::Id& owner, const ns::Ref<ns::Bundle>& bundle)>;

    static void registerScene(std::string storyboard, std::string identifier, ControllerBuilder builder,
                              bool initial = false);
    // A scene of controller class T (made with its default constructor)
    // whose view `buildView` makes.
    template <class T>
    static void registerControllerScene(std::string storyboard, std::string identifier,
                                        std::function<ns::Ref<View>(T& owner)> buildView, bool initial = false) {
        registerScene(
            std::move(storyboard), std::move(identifier),
            [buildView](Storyboard&) -> ns::Ref<ViewController> {
                auto controller = std::make_shared<T>();
                controller->setSceneViewBuilder(
                    [buildView](ViewController& owner) { return buildView(static_cast<T&>(owner)); });
                return controller;
            },
            initial);
    }
    static void registerNib(std::string name, NibBuilder builder);

    static bool hasStoryboard(std::string_view name);
    // Empty when not registered.
    static ControllerBuilder scene(std::string_view storyboard, std::string_view identifier);
    static ControllerBuilder initialScene(std::string_view storyboard);
    static NibBuilder nib(std::string_view name);
};

}  // namespace ui

#define UI_SCENE_REGISTRAR_(expr)                                                              \
    namespace {                                                                                \
    [[maybe_unused]] const bool RT_CONCAT(uiSceneRegistrar_, __LINE__) = ((expr), true); \
    }

#define UI_STORYBOARD_SCENE(Storyboard, Identifier, Type, ...) \
    UI_SCENE_REGISTRAR_(::ui::SceneRegistry::registerControllerScene<Type>(Storyboard, Identifier, __VA_ARGS__))
#define UI_INITIAL_STORYBOARD_SCENE(Storyboard, Identifier, Type, ...) \
    UI_SCENE_REGISTRAR_(                                               \
        ::ui::SceneRegistry::registerControllerScene<Type>(Storyboard, Identifier, __VA_ARGS__, true))
#define UI_STORYBOARD_CONTROLLER(Storyboard, Identifier, ...) \
    UI_SCENE_REGISTRAR_(::ui::SceneRegistry::registerScene(Storyboard, Identifier, __VA_ARGS__))
#define UI_NIB(Name, ...) UI_SCENE_REGISTRAR_(::ui::SceneRegistry::registerNib(Name, __VA_ARGS__))
