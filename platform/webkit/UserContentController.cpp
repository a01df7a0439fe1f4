#include "platform/webkit/UserContentController.h"

#include <algorithm>

#include "platform/runtime/Exception.h"

namespace web {

RT_DEFINE_CLASS(UserContentController, ns::Object, "WKUserContentController")

ns::Ref<UserContentController> UserContentController::make() { return std::make_shared<UserContentController>(); }

void UserContentController::addScriptMessageHandler(const std::shared_ptr<ScriptMessageHandler>& handler,
                                                    std::string_view name) {
    if (!handler) ns::Exception::raise(ns::InvalidArgumentException, "addScriptMessageHandler: nil handler");
    if (name.empty()) ns::Exception::raise(ns::InvalidArgumentException, "addScriptMessageHandler: empty name");
    // A name whose handler has gone away may be taken again.
    std::erase_if(handlers_, [](const auto& entry) { return entry.second.expired(); });
    for (const auto& [existing, weak] : handlers_) {
        if (existing == name) {
            ns::Exception::raise(ns::InvalidArgumentException,
                                 "Attempt to add script message handler with name '" + std::string(name) +
                                     "' when one already exists.");
        }
    }
    handlers_.emplace_back(std::string(name), handler);
}

void UserContentController::removeScriptMessageHandlerForName(std::string_view name) {
    std::erase_if(handlers_, [name](const auto& entry) { return entry.first == name; });
}

void UserContentController::removeAllScriptMessageHandlers() { handlers_.clear(); }

std::shared_ptr<ScriptMessageHandler> UserContentController::handlerForName(std::string_view name) const {
    for (const auto& [existing, weak] : handlers_) {
        if (existing == name) return weak.lock();
    }
    return nullptr;
}

std::vector<std::string> UserContentController::handlerNames() const {
    std::vector<std::string> names;
    for (const auto& [name, weak] : handlers_) {
        if (!weak.expired()) names.push_back(name);
    }
    return names;
}

}  // namespace web
