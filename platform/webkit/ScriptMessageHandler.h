#pragma once
// The native side of window.webkit.messageHandlers.<name>.postMessage(body).

#include "platform/webkit/ScriptMessage.h"

namespace web {

class UserContentController;

class ScriptMessageHandler {
public:
    virtual ~ScriptMessageHandler() = default;
    // On the main thread, on a turn after the page posted.
    virtual void userContentControllerDidReceiveScriptMessage(UserContentController& controller,
                                                              const ns::Ref<ScriptMessage>& message) = 0;
};

}  // namespace web
