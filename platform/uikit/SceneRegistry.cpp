#include "platform/uikit/SceneRegistry.h"

#include <map>
#include <mutex>

namespace ui {

namespace {

struct StoryboardScenes {
    std::map<std::string, SceneRegistry::ControllerBuilder, std::less<>> scenes;
    std::string initial;
};

// Registrations run at load time, possibly before main; lookups at run time.
struct Registry {
    std::mutex lock;
    std::map<std::string, StoryboardScenes, std::less<>> storyboards;
    std::map<std::string, SceneRegistry::NibBuilder, std::less<>> nibs;
};

Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

}  // namespace

void SceneRegistry::registerScene(std::string storyboard, std::string identifier, ControllerBuilder builder,
                                  bool initial) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    StoryboardScenes& board = r.storyboards[storyboard];
    if (initial) board.initial = identifier;
    board.scenes[std::move(identifier)] = std::move(builder);
}

void SceneRegistry::registerNib(std::string name, NibBuilder builder) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.nibs[std::move(name)] = std::move(builder);
}

bool SceneRegistry::hasStoryboard(std::string_view name) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    return r.storyboards.find(name) != r.storyboards.end();
}

SceneRegistry::ControllerBuilder SceneRegistry::scene(std::string_view storyboard, std::string_view identifier) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    auto board = r.storyboards.find(storyboard);
    if (board == r.storyboards.end()) return {};
    auto it = board->second.scenes.find(identifier);
    return it == board->second.scenes.end() ? ControllerBuilder() : it->second;
}

SceneRegistry::ControllerBuilder SceneRegistry::initialScene(std::string_view storyboard) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    auto board = r.storyboards.find(storyboard);
    if (board == r.storyboards.end() || board->second.initial.empty()) return {};
    auto it = board->second.scenes.find(board->second.initial);
    return it == board->second.scenes.end() ? ControllerBuilder() : it->second;
}

SceneRegistry::NibBuilder SceneRegistry::nib(std::string_view name) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    auto it = r.nibs.find(name);
    return it == r.nibs.end() ? NibBuilder() : it->second;
}

}  // namespace ui
