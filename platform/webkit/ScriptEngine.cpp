#include "platform/webkit/ScriptEngine.h"

#include <cmath>
#include <cstdlib>
#include <unordered_set>

#include "platform/dispatch/Clock.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Unicode.h"
#include "platform/webkit/WebError.h"

using Steady = std::chrono::steady_clock;

// The engine's configuration calls these two (see CMakeLists.txt).
extern "C" int gamehost_script_timeout_check(void* udata) {
    return udata && static_cast<const web::detail::ScriptEngine*>(udata)->pastDeadline() ? 1 : 0;
}

extern "C" double gamehost_script_date_now(void) { return std::floor(dispatch::wallTime() * 1000.0); }

namespace web::detail {

namespace {

[[noreturn]] void fatal(void*, const char* message) {
    ns::log("script engine: fatal error: %s", message ? message : "");
    std::abort();
}

// Deep enough for any real message; deeper structures are treated as cycles.
constexpr int MaxDepth = 256;

struct Converter {
    duk_context* ctx;
    std::unordered_set<void*> open;
    bool unsupported = false;

    ns::Id convert(duk_idx_t index, int depth) {
        index = duk_normalize_index(ctx, index);
        switch (duk_get_type(ctx, index)) {
        case DUK_TYPE_UNDEFINED:
        case DUK_TYPE_NULL:
            return ns::Null::null();
        case DUK_TYPE_BOOLEAN:
            return duk_get_boolean(ctx, index) ? ns::Number::True() : ns::Number::False();
        case DUK_TYPE_NUMBER:
            return number(duk_get_number(ctx, index));
        case DUK_TYPE_STRING: {
            duk_size_t size = 0;
            const char* data = duk_get_lstring(ctx, index, &size);
            return ns::str(engineToUtf8(data, size));
        }
        case DUK_TYPE_OBJECT:
            if (duk_is_function(ctx, index)) break;
            return object(index, depth);
        default:
            break;
        }
        unsupported = true;
        return nullptr;
    }

    static ns::Id number(double v) {
        // Integral values within the exactly representable range become
        // integers, as the platform's bridge does; -0 stays a double.
        if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) <= 9007199254740992.0 &&
            !(v == 0 && std::signbit(v))) {
            return ns::Number::withLongLong(static_cast<int64_t>(v));
        }
        return ns::Number::withDouble(v);
    }

    ns::Id object(duk_idx_t index, int depth) {
        void* identity = duk_get_heapptr(ctx, index);
        if (depth > MaxDepth || open.count(identity)) {
            unsupported = true;
            return nullptr;
        }
        open.insert(identity);
        ns::Id result = duk_is_array(ctx, index) ? array(index, depth) : dictionary(index, depth);
        open.erase(identity);
        return unsupported ? nullptr : result;
    }

    ns::Id array(duk_idx_t index, int depth) {
        duk_size_t length = duk_get_length(ctx, index);
        std::vector<ns::Id> items;
        items.reserve(length);
        for (duk_size_t i = 0; i < length && !unsupported; ++i) {
            duk_get_prop_index(ctx, index, static_cast<duk_uarridx_t>(i));
            items.push_back(convert(-1, depth + 1));
            duk_pop(ctx);
        }
        return ns::Array::make(std::move(items));
    }

    ns::Id dictionary(duk_idx_t index, int depth) {
        auto dict = ns::MutableDictionary::make();
        duk_enum(ctx, index, DUK_ENUM_OWN_PROPERTIES_ONLY);
        while (!unsupported && duk_next(ctx, -1, 1)) {
            std::string key = toText(ctx, -2);
            ns::Id value = convert(-1, depth + 1);
            duk_pop_2(ctx);
            if (value) dict->setObjectForKey(value, ns::str(std::move(key)));
        }
        duk_pop(ctx);
        return dict;
    }
};

// A three-byte sequence encoding a surrogate (U+D800..U+DFFF), or 0.
uint32_t surrogateAt(const unsigned char* p, size_t left) {
    if (left < 3 || p[0] != 0xED || p[1] < 0xA0 || p[1] > 0xBF || (p[2] & 0xC0) != 0x80) return 0;
    return 0xD000u | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
}

}  // namespace

std::string engineToUtf8(const char* data, size_t size) {
    std::string out;
    out.reserve(size);
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    size_t i = 0;
    while (i < size) {
        uint32_t high = surrogateAt(p + i, size - i);
        if (!high) {
            out += static_cast<char>(p[i++]);
            continue;
        }
        uint32_t low = high < 0xDC00 ? surrogateAt(p + i + 3, size - i - 3) : 0;
        if (low >= 0xDC00) {
            ns::unicode::append(out, 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
            i += 6;
        } else {
            ns::unicode::append(out, 0xFFFD);  // a lone half has no UTF-8 form
            i += 3;
        }
    }
    return out;
}

std::string toText(duk_context* ctx, duk_idx_t index) {
    duk_dup(ctx, index);
    duk_size_t size = 0;
    // ToString may run script (a toString method) and throw: keep it safe.
    const char* data = duk_safe_to_lstring(ctx, -1, &size);
    std::string text = data ? engineToUtf8(data, size) : std::string();
    duk_pop(ctx);
    return text;
}

void pushText(duk_context* ctx, std::string_view text) { duk_push_lstring(ctx, text.data(), text.size()); }

ns::Id toPlatformValue(duk_context* ctx, duk_idx_t index, bool& unsupported) {
    Converter converter{ctx, {}, false};
    ns::Id value = converter.convert(index, 0);
    unsupported = converter.unsupported;
    return value;
}

ns::Ref<ns::Error> ScriptOutcome::error() const {
    if (terminated) return makeContentProcessTerminatedError();
    if (!ok) return makeJavaScriptExceptionError(message, line, sourceURL);
    if (unsupported) return makeUnsupportedResultError();
    return nullptr;
}

// ---- Engine ----

ScriptEngine::ScriptEngine() {
    ctx_ = duk_create_heap(allocate, reallocate, release, this, fatal);
    if (!ctx_) fatal(nullptr, "cannot create a heap");
}

ScriptEngine::~ScriptEngine() {
    // What the heap held goes back to the system as the allocator decides.
    duk_destroy_heap(ctx_);
}

void* ScriptEngine::allocate(void* udata, duk_size_t size) {
    return static_cast<ScriptEngine*>(udata)->heap_.allocate(size);
}

void* ScriptEngine::reallocate(void* udata, void* block, duk_size_t size) {
    return static_cast<ScriptEngine*>(udata)->heap_.reallocate(block, size);
}

void ScriptEngine::release(void* udata, void* block) { static_cast<ScriptEngine*>(udata)->heap_.release(block); }

bool ScriptEngine::pastDeadline() const { return heap_.exhausted() || Steady::now() >= deadline_; }

ScriptEngine::Entry::Entry(ScriptEngine& engine) : engine_(engine), saved_(engine.deadline_) {
    if (saved_ == Steady::time_point::max()) {
        engine_.deadline_ = Steady::now() + std::chrono::duration_cast<Steady::duration>(
                                                std::chrono::duration<double>(TimeBudgetSeconds));
    }
}

ScriptEngine::Entry::~Entry() { engine_.deadline_ = saved_; }

ScriptEngine::BudgetPause::BudgetPause(ScriptEngine& engine)
    : engine_(engine), saved_(engine.deadline_), pausedAt_(Steady::now()) {
    engine_.deadline_ = Steady::time_point::max();
}

ScriptEngine::BudgetPause::~BudgetPause() {
    engine_.deadline_ = saved_ == Steady::time_point::max() ? saved_ : saved_ + (Steady::now() - pausedAt_);
}

ScriptOutcome ScriptEngine::evaluate(std::string_view source, std::string_view sourceURL, Conversion conversion) {
    Entry entry(*this);
    pushText(ctx_, sourceURL);
    // Eval code, so that the completion value comes back.
    duk_int_t rc = duk_pcompile_lstring_filename(ctx_, DUK_COMPILE_EVAL, source.data(), source.size());
    if (rc == DUK_EXEC_SUCCESS) rc = duk_pcall(ctx_, 0);
    return finish(rc, conversion);
}

ScriptOutcome ScriptEngine::call(duk_idx_t argc, Conversion conversion) {
    Entry entry(*this);
    duk_int_t rc = duk_pcall(ctx_, argc);
    return finish(rc, conversion);
}

ScriptOutcome ScriptEngine::finish(duk_int_t rc, Conversion conversion) {
    ScriptOutcome outcome;
    if (heap_.exhausted()) {
        // Whatever the script came to, the page ends under it.
        duk_pop(ctx_);
        outcome.terminated = true;
        return outcome;
    }
    if (rc == DUK_EXEC_SUCCESS) {
        outcome.ok = true;
        outcome.undefined = duk_is_undefined(ctx_, -1);
        if (conversion == Conversion::Platform && !outcome.undefined) {
            outcome.value = toPlatformValue(ctx_, -1, outcome.unsupported);
        } else if (conversion == Conversion::Text && !duk_is_null_or_undefined(ctx_, -1)) {
            outcome.text = toText(ctx_, -1);
        }
    } else {
        outcome.message = toText(ctx_, -1);
        if (duk_is_error(ctx_, -1)) {
            if (duk_get_prop_string(ctx_, -1, "lineNumber")) outcome.line = duk_to_int(ctx_, -1);
            duk_pop(ctx_);
            if (duk_get_prop_string(ctx_, -1, "fileName")) outcome.sourceURL = toText(ctx_, -1);
            duk_pop(ctx_);
        }
    }
    duk_pop(ctx_);
    return outcome;
}

}  // namespace web::detail
