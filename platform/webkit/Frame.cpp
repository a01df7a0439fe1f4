#include "platform/webkit/Frame.h"

#include <algorithm>
#include <cctype>

#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionConfiguration.h"
#include "platform/runtime/Exception.h"

namespace web::detail {

namespace {

std::string schemeOf(const ns::Ref<ns::URL>& url) {
    auto scheme = url ? url->scheme() : nullptr;
    std::string text = scheme ? scheme->utf8() : std::string();
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string_view bytesOf(const ns::Ref<ns::Data>& data) {
    if (!data || !data->length()) return {};
    return {reinterpret_cast<const char*>(data->bytes()), static_cast<size_t>(data->length())};
}

std::string textOf(const ns::Ref<ns::URL>& url) { return url ? url->absoluteString()->utf8() : std::string(); }

ns::Ref<ns::URL> aboutBlank() { return ns::URL::make("about:blank"); }

// Loading steps and page scripts run as main run loop work rather than as
// main-queue blocks: a script waiting for a dialog runs the loop nested, and
// main-queue blocks (an answer sent with dispatch) must still get their turn.
void later(std::function<void()> step) { dispatch::RunLoop::main().performBlock(std::move(step)); }

}  // namespace

// The fetch session's delegate: brings each redirect to the frame on the
// main thread.
class RedirectGate : public ns::URLSessionTaskDelegate {
public:
    explicit RedirectGate(std::weak_ptr<Frame> frame) : frame_(std::move(frame)) {}

    bool willPerformHTTPRedirection(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>& task,
                                    const ns::Ref<ns::HTTPURLResponse>&, const ns::Ref<ns::URLRequest>& newRequest,
                                    const std::function<void(ns::Ref<ns::URLRequest>)>& completion) override {
        later([frame = frame_, task, newRequest, completion] {
            if (auto self = frame.lock()) {
                self->redirected(task, newRequest, completion);
            } else {
                completion(nullptr);
            }
        });
        return true;
    }

private:
    std::weak_ptr<Frame> frame_;
};

Frame::Frame(FrameClient& client) : client_(client) {}

Frame::~Frame() { close(); }

// ---- Starting loads ----

ns::Ref<Navigation> Frame::load(const ns::Ref<ns::URLRequest>& request, NavigationType type) {
    return start(Entry{ns::URLRequest::copyOf(*request), std::nullopt}, type, HistoryOp::Push);
}

ns::Ref<Navigation> Frame::loadHTMLString(std::string_view html, const ns::Ref<ns::URL>& baseURL) {
    auto url = baseURL ? baseURL->absoluteURL() : aboutBlank();
    return start(Entry{ns::URLRequest::make(url), std::string(html)}, NavigationType::Other, HistoryOp::Push);
}

ns::Ref<Navigation> Frame::reload() {
    if (history_.empty()) return nullptr;
    return start(history_[index_], NavigationType::Reload, HistoryOp::Stay);
}

bool Frame::canGoBack() const { return !history_.empty() && index_ > 0; }

bool Frame::canGoForward() const { return !history_.empty() && index_ + 1 < history_.size(); }

ns::Ref<Navigation> Frame::goBack() {
    if (!canGoBack()) return nullptr;
    return start(history_[index_ - 1], NavigationType::BackForward, HistoryOp::Move, index_ - 1);
}

ns::Ref<Navigation> Frame::goForward() {
    if (!canGoForward()) return nullptr;
    return start(history_[index_ + 1], NavigationType::BackForward, HistoryOp::Move, index_ + 1);
}

void Frame::stopLoading() { cancel(); }

ns::Ref<Navigation> Frame::start(Entry entry, NavigationType type, HistoryOp op, size_t index) {
    auto navigation = Navigation::make(entry.request);
    if (closed_) return navigation;
    cancel();
    uint64_t generation = generation_;
    provisional_ = Load{generation, navigation, type, std::move(entry), op, index};
    // The delegate hears of it on a later turn, never inside the caller.
    std::weak_ptr<Frame> weak = weak_from_this();
    later([weak, generation] {
        auto frame = weak.lock();
        if (frame && frame->current(generation)) frame->decide(generation);
    });
    return navigation;
}

void Frame::cancel() {
    ++generation_;
    if (task_) {
        task_->cancel();
        task_ = nullptr;
    }
    provisional_.reset();
    committed_.reset();
}

// ---- Provisional ----

void Frame::decide(uint64_t generation) {
    auto request = provisional_->entry.request;
    NavigationType type = provisional_->type;
    auto called = std::make_shared<bool>(false);
    std::weak_ptr<Frame> weak = weak_from_this();
    notify(generation, [weak, generation, called, request, type](FrameClient& client) {
        client.decidePolicy(request, type, [weak, generation, called](bool allow) {
            if (*called) {
                ns::Exception::raise(ns::InternalInconsistencyException,
                                     "The navigation policy decision handler was called more than once.");
            }
            *called = true;
            auto frame = weak.lock();
            if (!frame || !frame->current(generation) || !frame->provisional_) return;
            if (allow) {
                frame->allowed(generation);
            } else {
                frame->provisional_.reset();
            }
        });
    });
}

void Frame::allowed(uint64_t generation) {
    notify(generation, [navigation = provisional_->navigation](FrameClient& client) {
        client.didStartProvisional(navigation);
    });
    if (!current(generation) || !provisional_) return;

    const Entry& entry = provisional_->entry;
    const ns::Ref<ns::URL>& url = entry.request->URL();
    std::string scheme = schemeOf(url);
    std::weak_ptr<Frame> weak = weak_from_this();
    auto onFrame = [weak, generation](std::function<void(Frame&)> step) {
        later([weak, generation, step = std::move(step)] {
            auto frame = weak.lock();
            if (frame && frame->current(generation)) step(*frame);
        });
    };

    if (entry.html) {
        onFrame([generation, html = *entry.html, url](Frame& frame) { frame.commit(generation, html, url, "UTF-8"); });
    } else if (scheme == "about") {
        onFrame([generation, url](Frame& frame) { frame.commit(generation, {}, url, {}); });
    } else if (scheme == "http" || scheme == "https" || scheme == "file") {
        auto request = entry.request;
        task_ = fetch(
            request, [weak, generation, request](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse> response,
                                                 ns::Ref<ns::Error> error) {
                auto frame = weak.lock();
                if (!frame || !frame->current(generation)) return;
                frame->task_ = nullptr;
                if (error) {
                    frame->failProvisional(generation, error);
                    return;
                }
                // An HTTP error status still shows its body, as browsers do.
                ns::Ref<ns::URL> documentURL = response && response->URL() ? response->URL() : request->URL();
                auto encoding = response ? response->textEncodingName() : nullptr;
                frame->commit(generation, bytesOf(data), documentURL, encoding ? encoding->utf8() : std::string());
            });
    } else {
        onFrame([generation, url](Frame& frame) {
            frame.failProvisional(generation, ns::makeURLError(ns::URLErrorUnsupportedURL, url));
        });
    }
}

void Frame::failProvisional(uint64_t generation, const ns::Ref<ns::Error>& error) {
    auto navigation = provisional_->navigation;
    provisional_.reset();
    notify(generation, [navigation, error](FrameClient& client) { client.didFailProvisional(navigation, error); });
}

// ---- Committed ----

void Frame::commit(uint64_t generation, std::string_view body, ns::Ref<ns::URL> url, std::string_view encoding) {
    Load load = std::move(*provisional_);
    provisional_.reset();
    if (!url) url = aboutBlank();

    // A redirect ends elsewhere: the entry remembers where.
    Entry entry = std::move(load.entry);
    if (!entry.html && !ns::equal(entry.request->URL(), url)) entry.request = ns::URLRequest::make(url);
    switch (load.op) {
    case HistoryOp::Push:
        if (!history_.empty()) history_.resize(index_ + 1);
        history_.push_back(std::move(entry));
        index_ = history_.size() - 1;
        break;
    case HistoryOp::Replace:
    case HistoryOp::Stay:
        if (history_.empty()) {
            history_.push_back(std::move(entry));
            index_ = 0;
        } else {
            history_[index_] = std::move(entry);
        }
        break;
    case HistoryOp::Move:
        index_ = std::min(load.index, history_.size() - 1);
        break;
    }

    if (page_) page_->close();
    page_ = Page::create(*this, url);
    committed_ = Running{generation, load.navigation, {}, 0};
    notify(generation, [navigation = load.navigation](FrameClient& client) { client.didCommit(navigation); });
    if (!current(generation) || !committed_) return;

    HtmlDocument document = HtmlDocument::parse(body, url, encoding);
    auto page = page_;
    page->setDocumentTitle(document.title);
    if (!current(generation)) return;
    committed_->scripts = std::move(document.scripts);
    runScripts(generation);
}

void Frame::runScripts(uint64_t generation) {
    while (current(generation) && committed_ && committed_->next < committed_->scripts.size()) {
        PageScript& script = committed_->scripts[committed_->next];
        if (script.src) {
            // Scripts run in document order: the rest wait for this one.
            auto src = script.src;
            std::weak_ptr<Frame> weak = weak_from_this();
            task_ = fetch(
                ns::URLRequest::make(src), [weak, generation, src](ns::Ref<ns::Data> data,
                                                                   ns::Ref<ns::URLResponse> response,
                                                                   ns::Ref<ns::Error> error) {
                    auto frame = weak.lock();
                    if (!frame || !frame->current(generation) || !frame->committed_) return;
                    frame->task_ = nullptr;
                    ++frame->committed_->next;
                    auto http = ns::cast<ns::HTTPURLResponse>(response);
                    if (error) {
                        ns::log("Failed to load script %s: %s", textOf(src), error->localizedDescription());
                    } else if (http && http->statusCode() >= 400) {
                        ns::log("Failed to load script %s: HTTP status %lld", textOf(src),
                                static_cast<long long>(http->statusCode()));
                    } else {
                        auto page = frame->page_;
                        page->runScript(bytesOf(data), textOf(src));
                    }
                    frame->runScripts(generation);
                });
            return;
        }
        std::string text = std::move(script.text);
        ++committed_->next;
        auto page = page_;
        page->runScript(text, textOf(page->url()));
    }
    if (current(generation) && committed_) finish(generation);
}

void Frame::finish(uint64_t generation) {
    auto page = page_;
    auto navigation = committed_->navigation;
    page->finishParsing();
    if (!current(generation)) return;
    page->finishLoading();
    if (!current(generation)) return;
    committed_.reset();
    // Behind the messages the page's scripts posted while it loaded.
    notify(generation, [navigation](FrameClient& client) { client.didFinish(navigation); });
}

void Frame::notify(uint64_t generation, std::function<void(FrameClient&)> call) {
    std::weak_ptr<Frame> weak = weak_from_this();
    events_->deliver([weak, generation, call = std::move(call)] {
        auto frame = weak.lock();
        if (frame && frame->current(generation)) call(frame->client_);
    });
}

// ---- State ----

ScriptOutcome Frame::evaluate(std::string_view source, Page::Result result) {
    if (closed_) {
        ScriptOutcome outcome;
        outcome.message = "the web view is gone";
        return outcome;
    }
    if (!page_) {
        // An empty document, finished, as a browser shows before any load.
        page_ = Page::create(*this, aboutBlank());
        page_->finishParsing();
        page_->finishLoading();
    }
    auto page = page_;
    return page->evaluate(source, result);
}

ns::Ref<ns::URL> Frame::url() const {
    if (provisional_) return provisional_->entry.request->URL();
    if (page_) return page_->url();
    // A page that was ended keeps its address.
    return history_.empty() ? nullptr : history_[index_].request->URL();
}

ns::Ref<ns::String> Frame::title() const {
    if (!page_) return nullptr;
    auto title = page_->title();
    return title ? title : ns::str("");
}

ns::Ref<ns::URLRequest> Frame::request() const {
    if (provisional_) return provisional_->entry.request;
    return history_.empty() ? nullptr : history_[index_].request;
}

void Frame::close() {
    if (closed_) return;
    closed_ = true;
    events_->close();
    cancel();
    if (session_) {
        session_->invalidateAndCancel();
        session_ = nullptr;
    }
    if (page_) {
        page_->close();
        page_ = nullptr;
    }
}

ns::Ref<ns::URLSessionTask> Frame::fetch(const ns::Ref<ns::URLRequest>& request, FetchCompletion completion) {
    if (!session_) {
        // Completions come on the session's own queue and move to the main
        // queue here, so that a task cut short at teardown leaves no shared
        // queue waiting for it.
        session_ = ns::URLSession::sessionWithConfiguration(ns::URLSessionConfiguration::defaultSessionConfiguration(),
                                                            std::make_shared<RedirectGate>(weak_from_this()), nullptr);
    }
    auto task = session_->dataTaskWithRequest(
        request, [completion = std::move(completion)](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse> response,
                                                      ns::Ref<ns::Error> error) {
            later([completion, data, response, error] { completion(data, response, error); });
        });
    task->resume();
    return task;
}

void Frame::redirected(const ns::Ref<ns::URLSessionTask>& task, const ns::Ref<ns::URLRequest>& newRequest,
                       std::function<void(ns::Ref<ns::URLRequest>)> answer) {
    if (!task_ || task != task_ || !provisional_) {
        answer(newRequest);
        return;
    }
    uint64_t generation = generation_;
    auto called = std::make_shared<bool>(false);
    std::weak_ptr<Frame> weak = weak_from_this();
    client_.decidePolicy(newRequest, NavigationType::Other, [weak, generation, called, newRequest, answer](bool allow) {
        if (*called) {
            ns::Exception::raise(ns::InternalInconsistencyException,
                                 "The navigation policy decision handler was called more than once.");
        }
        *called = true;
        auto frame = weak.lock();
        if (!frame || !frame->current(generation)) {
            answer(nullptr);
            return;
        }
        if (!allow) {
            // Cancelled: the load ends quietly, as a cancelled navigation does.
            frame->cancel();
            answer(nullptr);
            return;
        }
        // Followed; a scheme the loader cannot fetch fails the load as unsupported.
        answer(newRequest);
    });
}

// ---- What the page asks of the host ----

void Frame::pageRequestsNavigation(const ns::Ref<ns::URL>& url, bool replace) {
    std::weak_ptr<Frame> weak = weak_from_this();
    std::weak_ptr<Page> from = page_;
    later([weak, from, url, replace] {
        auto frame = weak.lock();
        if (!frame || frame->closed_ || from.lock() != frame->page_) return;
        frame->start(Entry{ns::URLRequest::make(url), std::nullopt}, NavigationType::Other,
                     replace ? HistoryOp::Replace : HistoryOp::Push);
    });
}

void Frame::pageRequestsReload() {
    std::weak_ptr<Frame> weak = weak_from_this();
    std::weak_ptr<Page> from = page_;
    later([weak, from] {
        auto frame = weak.lock();
        if (!frame || frame->closed_ || from.lock() != frame->page_) return;
        frame->reload();
    });
}

// A dialog holds its script until answered, so what the page caused before
// it is delivered first. The handlers may close the view meanwhile.
bool Frame::deliverBeforeDialog() {
    auto keep = shared_from_this();
    events_->flush();
    return !closed_;
}

void Frame::pageAlert(const ns::Ref<ns::String>& message, std::function<void()> done) {
    if (!deliverBeforeDialog()) return done();
    client_.alert(message, std::move(done));
}

void Frame::pageConfirm(const ns::Ref<ns::String>& message, std::function<void(bool)> done) {
    if (!deliverBeforeDialog()) return done(false);
    client_.confirm(message, std::move(done));
}

void Frame::pagePrompt(const ns::Ref<ns::String>& prompt, const ns::Ref<ns::String>& defaultText,
                       std::function<void(ns::Ref<ns::String>)> done) {
    if (!deliverBeforeDialog()) return done(nullptr);
    client_.prompt(prompt, defaultText, std::move(done));
}

std::vector<std::string> Frame::pageMessageHandlerNames() { return client_.messageHandlerNames(); }

void Frame::pagePostMessage(const std::string& name, ns::Id body) {
    std::weak_ptr<Frame> weak = weak_from_this();
    events_->post([weak, name, body = std::move(body)] {
        auto frame = weak.lock();
        if (frame && !frame->closed_) frame->client_.postMessage(name, body);
    });
}

// As when the content process running it ends: the page's own load stops
// without a further navigation callback, the page goes (its heap with the
// last holder), and the client hears of it behind what the page posted. A
// load of a new page in progress goes on; so do later loads.
void Frame::pageRanOutOfMemory() {
    if (closed_) return;
    page_ = nullptr;
    if (!provisional_) {
        ++generation_;
        if (task_) {
            task_->cancel();
            task_ = nullptr;
        }
        committed_.reset();
    }
    std::weak_ptr<Frame> weak = weak_from_this();
    events_->deliver([weak] {
        auto frame = weak.lock();
        if (frame && !frame->closed_) frame->client_.webContentProcessDidTerminate();
    });
}

}  // namespace web::detail
