#pragma once
// The loader behind both web views: one navigation at a time from the
// policy decision to the finished page, the back-forward list, and the page
// being shown. The view adapts it to its own delegate. Internal to the web
// views.
//
// What the page causes reaches the client through one queue of page events
// (PageEventQueue.h): navigation callbacks wait behind the script messages
// posted before them, and a dialog first delivers what waits. A navigation
// callback still waiting when a newer load begins is dropped.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/webkit/HtmlDocument.h"
#include "platform/webkit/Navigation.h"
#include "platform/webkit/NavigationAction.h"
#include "platform/webkit/Page.h"
#include "platform/webkit/PageEventQueue.h"

namespace ns {
class Data;
class URLResponse;
class URLSession;
class URLSessionTask;
}  // namespace ns

namespace web::detail {

class FrameClient {
public:
    virtual ~FrameClient() = default;
    // `decide` may be called now or later; a second call raises.
    virtual void decidePolicy(const ns::Ref<ns::URLRequest>& request, NavigationType type,
                              std::function<void(bool allow)> decide) = 0;
    virtual void didStartProvisional(const ns::Ref<Navigation>& navigation) = 0;
    virtual void didCommit(const ns::Ref<Navigation>& navigation) = 0;
    virtual void didFinish(const ns::Ref<Navigation>& navigation) = 0;
    virtual void didFailProvisional(const ns::Ref<Navigation>& navigation, const ns::Ref<ns::Error>& error) = 0;

    // The page's dialogs; without an override they take the default answers.
    virtual void alert(const ns::Ref<ns::String>& message, std::function<void()> done) {
        (void)message;
        done();
    }
    virtual void confirm(const ns::Ref<ns::String>& message, std::function<void(bool)> done) {
        (void)message;
        done(false);
    }
    virtual void prompt(const ns::Ref<ns::String>& prompt, const ns::Ref<ns::String>& defaultText,
                        std::function<void(ns::Ref<ns::String>)> done) {
        (void)prompt;
        (void)defaultText;
        done(nullptr);
    }
    virtual std::vector<std::string> messageHandlerNames() { return {}; }
    virtual void postMessage(const std::string& name, ns::Id body) {
        (void)name;
        (void)body;
    }
    // The page ran out of memory and was ended; behind the messages it
    // posted before.
    virtual void webContentProcessDidTerminate() {}
};

class Frame : public std::enable_shared_from_this<Frame>, private PageClient {
public:
    explicit Frame(FrameClient& client);
    ~Frame() override;
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    ns::Ref<Navigation> load(const ns::Ref<ns::URLRequest>& request, NavigationType type);
    ns::Ref<Navigation> loadHTMLString(std::string_view html, const ns::Ref<ns::URL>& baseURL);
    // Nil when there is no current entry.
    ns::Ref<Navigation> reload();
    ns::Ref<Navigation> goBack();
    ns::Ref<Navigation> goForward();
    bool canGoBack() const;
    bool canGoForward() const;
    void stopLoading();

    // Runs `source` in the page, first making an empty one if there is none.
    ScriptOutcome evaluate(std::string_view source, Page::Result result);

    bool isLoading() const { return provisional_.has_value() || committed_.has_value(); }
    ns::Ref<ns::URL> url() const;
    ns::Ref<ns::String> title() const;
    // The request of the load in progress, else of the current entry.
    ns::Ref<ns::URLRequest> request() const;

    // The view is going: nothing more runs or is delivered.
    void close();

private:
    friend class RedirectGate;

    struct Entry {
        ns::Ref<ns::URLRequest> request;
        // Set for a page made from an HTML string: reloads use it again.
        std::optional<std::string> html;
    };
    enum class HistoryOp { Push, Replace, Stay, Move };
    struct Load {
        uint64_t generation;
        ns::Ref<Navigation> navigation;
        NavigationType type;
        Entry entry;
        HistoryOp op;
        // The target of a Move.
        size_t index = 0;
    };
    // A committed document whose scripts are still running.
    struct Running {
        uint64_t generation;
        ns::Ref<Navigation> navigation;
        std::vector<PageScript> scripts;
        size_t next = 0;
    };

    ns::Ref<Navigation> start(Entry entry, NavigationType type, HistoryOp op, size_t index = 0);
    void cancel();
    void decide(uint64_t generation);
    void allowed(uint64_t generation);
    void failProvisional(uint64_t generation, const ns::Ref<ns::Error>& error);
    void commit(uint64_t generation, std::string_view body, ns::Ref<ns::URL> url, std::string_view encoding);
    void runScripts(uint64_t generation);
    void finish(uint64_t generation);
    bool current(uint64_t generation) const { return !closed_ && generation == generation_; }
    // A navigation callback of that load, through the page-event queue.
    void notify(uint64_t generation, std::function<void(FrameClient&)> call);
    using FetchCompletion =
        std::function<void(ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse> response, ns::Ref<ns::Error> error)>;
    // Starts a fetch whose completion comes on the main queue.
    ns::Ref<ns::URLSessionTask> fetch(const ns::Ref<ns::URLRequest>& request, FetchCompletion completion);
    // A server redirect of a fetch, on the main thread: the document's own
    // goes through the policy decision like any navigation; others follow.
    void redirected(const ns::Ref<ns::URLSessionTask>& task, const ns::Ref<ns::URLRequest>& newRequest,
                    std::function<void(ns::Ref<ns::URLRequest>)> answer);

    // Delivers the queued page events before a dialog; false when that
    // closed the frame.
    bool deliverBeforeDialog();

    // PageClient
    void pageRequestsNavigation(const ns::Ref<ns::URL>& url, bool replace) override;
    void pageRequestsReload() override;
    void pageAlert(const ns::Ref<ns::String>& message, std::function<void()> done) override;
    void pageConfirm(const ns::Ref<ns::String>& message, std::function<void(bool)> done) override;
    void pagePrompt(const ns::Ref<ns::String>& prompt, const ns::Ref<ns::String>& defaultText,
                    std::function<void(ns::Ref<ns::String>)> done) override;
    std::vector<std::string> pageMessageHandlerNames() override;
    void pagePostMessage(const std::string& name, ns::Id body) override;
    void pageRanOutOfMemory() override;

    FrameClient& client_;
    std::shared_ptr<PageEventQueue> events_ = std::make_shared<PageEventQueue>();
    ns::Ref<ns::URLSession> session_;
    ns::Ref<ns::URLSessionTask> task_;
    uint64_t generation_ = 0;
    std::optional<Load> provisional_;
    std::optional<Running> committed_;
    std::shared_ptr<Page> page_;
    std::vector<Entry> history_;
    size_t index_ = 0;  // of the current entry, when history_ is not empty
    bool closed_ = false;
};

}  // namespace web::detail
