#pragma once
// The script message handlers a web view's pages can post to, by name.
//
// Handlers are held weakly: a view controller that registers itself with
// the configuration of the web view it owns is not kept alive by it. A
// handler that has gone away is skipped, and its name no longer appears
// under window.webkit.messageHandlers on the next entry into the page.
// Pages see additions and removals from their next entry into the engine.

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"
#include "platform/webkit/ScriptMessageHandler.h"

namespace web {

class UserContentController : public ns::Object {
    RT_DECLARE_CLASS(UserContentController)
public:
    UserContentController() = default;
    static ns::Ref<UserContentController> make();

    // Raises NSInvalidArgumentException for a nil handler, an empty name or
    // a name that already has a live handler.
    void addScriptMessageHandler(const std::shared_ptr<ScriptMessageHandler>& handler, std::string_view name);
    // Nothing when no handler has that name.
    void removeScriptMessageHandlerForName(std::string_view name);
    void removeAllScriptMessageHandlers();

    // The live handler of that name, or nil.
    std::shared_ptr<ScriptMessageHandler> handlerForName(std::string_view name) const;
    // The names with live handlers, in the order they were added.
    std::vector<std::string> handlerNames() const;

private:
    std::vector<std::pair<std::string, std::weak_ptr<ScriptMessageHandler>>> handlers_;
};

}  // namespace web
