#include "platform/webkit/Page.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/foundation/Log.h"
#include "platform/webkit/PageSurface.h"

namespace web::detail {

namespace {

constexpr const char* PageKey = "page";
constexpr const char* InternalKey = "internal";
// Browsers clamp repeating timers; so do we, so that setInterval(f, 0) under
// mock time cannot fire without end at one instant.
constexpr double MinimumIntervalSeconds = 0.004;

Page* pageOf(duk_context* ctx) {
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, PageKey);
    auto* page = static_cast<Page*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    return page;
}

ns::Ref<ns::String> optionalText(duk_context* ctx, duk_idx_t index) {
    if (duk_is_undefined(ctx, index) || duk_is_null(ctx, index)) return nullptr;
    return ns::str(toText(ctx, index));
}

// A dialog's answer, given once; the nested run waiting for it is stopped.
template <class T>
struct Answer {
    std::optional<T> value;
    bool waiting = false;

    void give(T v) {
        if (value) return;
        value = std::move(v);
        if (waiting) dispatch::RunLoop::main().stop();
    }
};

}  // namespace

// The host's native functions. Each body runs with the page kept alive and
// must not leave the engine by an error of its own (that would skip C++
// destructors): it reports a failure through `error` instead, and the
// wrapper raises it once the body's objects are gone.
struct Native {
    using Body = duk_ret_t (*)(duk_context*, Page&, std::string& error);

    template <Body F>
    static duk_ret_t call(duk_context* ctx) {
        char failure[256] = {0};
        duk_ret_t rc = 0;
        {
            Page* page = pageOf(ctx);
            if (!page || page->isClosed()) return 0;
            std::shared_ptr<Page> keep = page->shared_from_this();
            std::string error;
            try {
                rc = F(ctx, *page, error);
            } catch (const std::exception& e) {
                error = e.what();
            } catch (...) {
                error = "native failure";
            }
            if (!error.empty()) std::snprintf(failure, sizeof failure, "%s", error.c_str());
        }
        if (failure[0]) return duk_type_error(ctx, "%s", failure);
        return rc;
    }

    static duk_ret_t log(duk_context* ctx, Page&, std::string&) {
        std::string level = toText(ctx, 0);
        std::string text = toText(ctx, 1);
        if (level == "warn" || level == "error") text = "[" + level + "] " + text;
        ns::log("%s", text);
        return 0;
    }

    static duk_ret_t reportError(duk_context* ctx, Page& page, std::string&) {
        ScriptOutcome outcome;
        outcome.message = toText(ctx, 0);
        if (duk_is_error(ctx, 0)) {
            if (duk_get_prop_string(ctx, 0, "lineNumber")) outcome.line = duk_get_int(ctx, -1);
            duk_pop(ctx);
            if (duk_get_prop_string(ctx, 0, "fileName")) outcome.sourceURL = toText(ctx, -1);
            duk_pop(ctx);
        }
        page.logOutcome(outcome);
        return 0;
    }

    static duk_ret_t href(duk_context* ctx, Page& page, std::string&) {
        pushText(ctx, page.url_ ? page.url_->absoluteString()->utf8() : std::string("about:blank"));
        return 1;
    }

    static duk_ret_t navigate(duk_context* ctx, Page& page, std::string& error) {
        std::string text = toText(ctx, 0);
        bool replace = duk_get_boolean(ctx, 1);
        auto url = ns::URL::make(text, page.url_);
        if (!url || !url->scheme()) {
            error = "'" + text + "' is not a valid URL.";
            return 0;
        }
        page.client_->pageRequestsNavigation(url->absoluteURL(), replace);
        return 0;
    }

    static duk_ret_t reload(duk_context*, Page& page, std::string&) {
        page.client_->pageRequestsReload();
        return 0;
    }

    static duk_ret_t startTimer(duk_context* ctx, Page& page, std::string&) {
        page.startTimer(static_cast<int64_t>(duk_get_number(ctx, 0)), duk_get_number(ctx, 1), duk_get_boolean(ctx, 2));
        return 0;
    }

    static duk_ret_t stopTimer(duk_context* ctx, Page& page, std::string&) {
        page.stopTimer(static_cast<int64_t>(duk_get_number(ctx, 0)));
        return 0;
    }

    static duk_ret_t alert(duk_context* ctx, Page& page, std::string&) {
        auto answer = std::make_shared<Answer<bool>>();
        page.client_->pageAlert(ns::str(toText(ctx, 0)), [answer] { answer->give(true); });
        page.waitForAnswer([answer] { return answer->value.has_value(); }, answer->waiting);
        return 0;
    }

    static duk_ret_t confirm(duk_context* ctx, Page& page, std::string&) {
        auto answer = std::make_shared<Answer<bool>>();
        page.client_->pageConfirm(ns::str(toText(ctx, 0)), [answer](bool ok) { answer->give(ok); });
        page.waitForAnswer([answer] { return answer->value.has_value(); }, answer->waiting);
        duk_push_boolean(ctx, answer->value.value_or(false));
        return 1;
    }

    static duk_ret_t prompt(duk_context* ctx, Page& page, std::string&) {
        auto answer = std::make_shared<Answer<ns::Ref<ns::String>>>();
        page.client_->pagePrompt(ns::str(toText(ctx, 0)), optionalText(ctx, 1),
                                 [answer](ns::Ref<ns::String> text) { answer->give(std::move(text)); });
        page.waitForAnswer([answer] { return answer->value.has_value(); }, answer->waiting);
        ns::Ref<ns::String> text = answer->value.value_or(nullptr);
        if (text) {
            pushText(ctx, text->utf8());
        } else {
            duk_push_null(ctx);
        }
        return 1;
    }

    static duk_ret_t postMessage(duk_context* ctx, Page& page, std::string& error) {
        std::string name = toText(ctx, 0);
        bool unsupported = false;
        ns::Id body = toPlatformValue(ctx, 1, unsupported);
        if (unsupported) {
            error = "DataCloneError: The object can not be cloned.";
            return 0;
        }
        page.client_->pagePostMessage(name, std::move(body));
        return 0;
    }

    static duk_ret_t titleChanged(duk_context* ctx, Page& page, std::string&) {
        page.title_ = ns::str(toText(ctx, 0));
        return 0;
    }
};

std::shared_ptr<Page> Page::create(PageClient& client, ns::Ref<ns::URL> url) {
    std::shared_ptr<Page> page(new Page(client, std::move(url)));
    page->install();
    return page;
}

Page::Page(PageClient& client, ns::Ref<ns::URL> url)
    : client_(&client), url_(std::move(url)), engine_(std::make_unique<ScriptEngine>()) {}

Page::~Page() {
    for (auto& [id, timer] : timers_) timer->invalidate();
}

void Page::install() {
    static const duk_function_list_entry functions[] = {
        {"log", Native::call<Native::log>, 2},
        {"reportError", Native::call<Native::reportError>, 1},
        {"href", Native::call<Native::href>, 0},
        {"navigate", Native::call<Native::navigate>, 2},
        {"reload", Native::call<Native::reload>, 0},
        {"startTimer", Native::call<Native::startTimer>, 3},
        {"stopTimer", Native::call<Native::stopTimer>, 1},
        {"alert", Native::call<Native::alert>, 1},
        {"confirm", Native::call<Native::confirm>, 1},
        {"prompt", Native::call<Native::prompt>, 2},
        {"postMessage", Native::call<Native::postMessage>, 2},
        {"titleChanged", Native::call<Native::titleChanged>, 1},
        {nullptr, nullptr, 0},
    };
    duk_context* ctx = engine_->context();
    duk_push_global_stash(ctx);
    duk_push_pointer(ctx, this);
    duk_put_prop_string(ctx, -2, PageKey);

    std::string_view surface = pageSurfaceSource();
    pushText(ctx, "surface");
    duk_int_t rc = duk_pcompile_lstring_filename(ctx, DUK_COMPILE_EVAL, surface.data(), surface.size());
    if (rc == DUK_EXEC_SUCCESS) rc = duk_pcall(ctx, 0);
    if (rc == DUK_EXEC_SUCCESS) {
        duk_push_object(ctx);
        duk_put_function_list(ctx, -1, functions);
        duk_push_global_object(ctx);
        rc = duk_pcall(ctx, 2);
    }
    if (rc != DUK_EXEC_SUCCESS) {
        // Only a broken build gets here; the page then runs without a surface.
        ns::log("script engine: the browser surface failed: %s", toText(ctx, -1));
    }
    duk_put_prop_string(ctx, -2, InternalKey);
    duk_pop(ctx);
}

void Page::setDocumentTitle(const ns::Ref<ns::String>& title) {
    if (isClosed() || !title) return;
    title_ = title;
    auto keep = shared_from_this();
    callInternal("setTitle", [&](duk_context* ctx) { pushText(ctx, title->utf8()); });
}

void Page::callInternal(const char* name, const std::function<void(duk_context*)>& push) {
    duk_context* ctx = engine_->context();
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, InternalKey);
    if (!duk_is_object(ctx, -1)) {
        duk_pop_2(ctx);  // the surface never installed; already logged
        return;
    }
    duk_get_prop_string(ctx, -1, name);
    duk_remove(ctx, -2);
    duk_remove(ctx, -2);
    // Pushing may allocate, and a heap at its ceiling refuses: protected, so
    // that the refusal is an outcome rather than a fatal error.
    duk_int_t rc = duk_safe_call(
        ctx,
        [](duk_context* c, void* udata) -> duk_ret_t {
            (*static_cast<const std::function<void(duk_context*)>*>(udata))(c);
            return 1;
        },
        const_cast<std::function<void(duk_context*)>*>(&push), 0, 1);
    if (rc != DUK_EXEC_SUCCESS) {
        duk_pop_2(ctx);
        ScriptOutcome outcome;
        outcome.message = "cannot pass the argument";
        outcome.terminated = engine_->heap().exhausted();
        settle(outcome);
        return;
    }
    settle(engine_->call(1, ScriptEngine::Conversion::None));
}

void Page::syncMessageHandlers() {
    std::vector<std::string> names = client_->pageMessageHandlerNames();
    if (handlersSynced_ && names == syncedHandlers_) return;
    callInternal("syncHandlers", [&](duk_context* ctx) {
        duk_push_array(ctx);
        for (size_t i = 0; i < names.size(); ++i) {
            pushText(ctx, names[i]);
            duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
        }
    });
    syncedHandlers_ = std::move(names);
    handlersSynced_ = true;
}

void Page::logOutcome(const ScriptOutcome& outcome) {
    std::string where;
    if (!outcome.sourceURL.empty() || outcome.line > 0) {
        where = " (" + outcome.sourceURL + (outcome.line > 0 ? ":" + std::to_string(outcome.line) : "") + ")";
    }
    ns::log("JavaScript error: %s%s", outcome.message, where);
}

void Page::settle(const ScriptOutcome& outcome) {
    if (!outcome.terminated) {
        if (!outcome.ok) logOutcome(outcome);
        return;
    }
    if (isClosed()) return;
    PageClient* client = client_;
    close();
    ns::log("web view: ended the page %s: its scripts came to the %zu MiB their heap may hold, as a content process "
            "that runs out of memory ends; the app goes on",
            url_ ? url_->absoluteString()->utf8() : std::string("about:blank"), ScriptHeap::CeilingBytes >> 20);
    client->pageRanOutOfMemory();
}

void Page::runScript(std::string_view source, std::string_view sourceURL) {
    if (isClosed()) return;
    auto keep = shared_from_this();
    syncMessageHandlers();
    if (isClosed()) return;
    settle(engine_->evaluate(source, sourceURL, ScriptEngine::Conversion::None));
}

ScriptOutcome Page::evaluate(std::string_view source, Result result) {
    ScriptOutcome outcome;
    if (isClosed()) {
        outcome.message = "the page is gone";
        return outcome;
    }
    auto keep = shared_from_this();
    syncMessageHandlers();
    outcome = engine_->evaluate(source, url_ ? url_->absoluteString()->utf8() : std::string(),
                                result == Result::Text ? ScriptEngine::Conversion::Text
                                                       : ScriptEngine::Conversion::Platform);
    settle(outcome);
    return outcome;
}

void Page::finishParsing() {
    if (isClosed()) return;
    auto keep = shared_from_this();
    syncMessageHandlers();
    callInternal("setReadyState", [](duk_context* ctx) { duk_push_string(ctx, "interactive"); });
    if (isClosed()) return;
    callInternal("fire", [](duk_context* ctx) { duk_push_string(ctx, "DOMContentLoaded"); });
}

void Page::finishLoading() {
    if (isClosed()) return;
    auto keep = shared_from_this();
    syncMessageHandlers();
    callInternal("setReadyState", [](duk_context* ctx) { duk_push_string(ctx, "complete"); });
    if (isClosed()) return;
    callInternal("fire", [](duk_context* ctx) { duk_push_string(ctx, "load"); });
}

void Page::close() {
    client_ = nullptr;
    auto timers = std::move(timers_);
    timers_.clear();
    for (auto& [id, timer] : timers) timer->invalidate();
}

void Page::startTimer(int64_t id, double milliseconds, bool repeats) {
    double seconds = std::max(0.0, milliseconds) / 1000.0;
    if (repeats) seconds = std::max(seconds, MinimumIntervalSeconds);
    std::weak_ptr<Page> weak = weak_from_this();
    auto timer = dispatch::RunLoopTimer::create(seconds, repeats, [weak, id](dispatch::RunLoopTimer&) {
        if (auto page = weak.lock()) page->fireTimer(id);
    });
    timers_[id] = timer;
    dispatch::RunLoop::main().addTimer(timer, dispatch::RunLoopMode::Common);
}

void Page::stopTimer(int64_t id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    auto timer = std::move(it->second);
    timers_.erase(it);
    timer->invalidate();
}

void Page::fireTimer(int64_t id) {
    if (isClosed()) return;
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    if (!it->second->timeInterval()) timers_.erase(it);
    auto keep = shared_from_this();
    syncMessageHandlers();
    if (isClosed()) return;
    callInternal("fireTimer", [id](duk_context* ctx) { duk_push_number(ctx, static_cast<double>(id)); });
}

void Page::waitForAnswer(const std::function<bool()>& answered, bool& waiting) {
    if (answered()) return;
    ScriptEngine::BudgetPause pause(*engine_);
    waiting = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{waiting};
    auto& loop = dispatch::RunLoop::main();
    while (!answered() && !isClosed()) {
        if (dispatch::Clock::isMock()) {
            // Under mock time the nested run returns once nothing is left
            // that could answer; the page then takes the default answer.
            loop.runUntil(dispatch::Forever);
            if (!answered()) {
                ns::log("JavaScript dialog: no answer can come; going on with the default");
                break;
            }
        } else {
            // Short slices, so that an answer whose stop() ended a deeper
            // nested run is still seen.
            loop.runUntil(dispatch::now() + 0.05);
        }
    }
}

}  // namespace web::detail
