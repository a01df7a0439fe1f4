#pragma once
// One document's script world: an engine heap with the browser surface
// (window, document, location, console, timers, dialogs,
// webkit.messageHandlers) and the document's ready state. The frame that
// shows the page answers what the surface asks of the host. Internal to the
// web views.
//
// A page whose script heap runs out (ScriptHeap.h) ends, with a log line
// naming the heap's ceiling, and tells its client.
//
// Console lines go to the platform log: log, info and debug as the text
// itself, warn and error prefixed with "[warn] " and "[error] ". Uncaught
// errors are logged as "JavaScript error: <error> (<source>:<line>)".

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/webkit/ScriptEngine.h"

namespace dispatch {
class RunLoopTimer;
}

namespace web::detail {

class PageClient {
public:
    virtual ~PageClient() = default;
    // From location: a navigation to `url`, already resolved, on a later turn.
    virtual void pageRequestsNavigation(const ns::Ref<ns::URL>& url, bool replace) = 0;
    virtual void pageRequestsReload() = 0;
    // The dialogs; each completion is called once, now or later.
    virtual void pageAlert(const ns::Ref<ns::String>& message, std::function<void()> done) = 0;
    virtual void pageConfirm(const ns::Ref<ns::String>& message, std::function<void(bool)> done) = 0;
    virtual void pagePrompt(const ns::Ref<ns::String>& prompt, const ns::Ref<ns::String>& defaultText,
                            std::function<void(ns::Ref<ns::String>)> done) = 0;
    virtual std::vector<std::string> pageMessageHandlerNames() = 0;
    virtual void pagePostMessage(const std::string& name, ns::Id body) = 0;
    // The page's script heap ran out; the page has closed itself.
    virtual void pageRanOutOfMemory() = 0;
};

class Page : public std::enable_shared_from_this<Page> {
public:
    static std::shared_ptr<Page> create(PageClient& client, ns::Ref<ns::URL> url);
    ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    const ns::Ref<ns::URL>& url() const { return url_; }
    // document.title; nil until the document or a script gives one.
    ns::Ref<ns::String> title() const { return title_; }
    // The document's own <title>, before its scripts run.
    void setDocumentTitle(const ns::Ref<ns::String>& title);

    // Runs one of the document's scripts; an uncaught error is logged.
    void runScript(std::string_view source, std::string_view sourceURL);
    enum class Result { Platform, Text };
    // Runs `source` for the host; an uncaught error is logged and returned.
    ScriptOutcome evaluate(std::string_view source, Result result);

    // readyState "interactive" and DOMContentLoaded.
    void finishParsing();
    // readyState "complete" and load.
    void finishLoading();

    // Ends the page: timers stop, the surface stops asking the host, and no
    // script runs any more. The heap goes with the last reference.
    void close();
    bool isClosed() const { return client_ == nullptr; }

private:
    friend struct Native;

    Page(PageClient& client, ns::Ref<ns::URL> url);
    void install();
    // Calls internal.<name>(arg) with the one argument pushed by `push`.
    void callInternal(const char* name, const std::function<void(duk_context*)>& push);
    void syncMessageHandlers();
    void logOutcome(const ScriptOutcome& outcome);
    // After each entry into the engine: a failure is logged; a heap that ran
    // out ends the page.
    void settle(const ScriptOutcome& outcome);
    void startTimer(int64_t id, double milliseconds, bool repeats);
    void stopTimer(int64_t id);
    void fireTimer(int64_t id);
    // Runs the main run loop nested until `answered`; the script's budget
    // stops meanwhile.
    void waitForAnswer(const std::function<bool()>& answered, bool& waiting);

    PageClient* client_;
    ns::Ref<ns::URL> url_;
    ns::Ref<ns::String> title_;
    std::unique_ptr<ScriptEngine> engine_;
    std::map<int64_t, std::shared_ptr<dispatch::RunLoopTimer>> timers_;
    std::vector<std::string> syncedHandlers_;
    bool handlersSynced_ = false;
};

}  // namespace web::detail
