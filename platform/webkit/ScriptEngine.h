#pragma once
// One script engine heap (a page's), with a real-time budget per entry: a
// script that runs longer than TimeBudgetSeconds without returning is
// interrupted with a RangeError that no try/catch of its own can keep. Its
// memory is held under ScriptHeap's ceiling; once the heap is exhausted, a
// running script is interrupted the same way and nothing more can grow it:
// the page is to be ended. Internal to the web views.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "duktape.h"
#include "platform/foundation/Error.h"
#include "platform/runtime/Object.h"
#include "platform/webkit/ScriptHeap.h"

namespace web::detail {

// What running a script or calling a function came to.
struct ScriptOutcome {
    bool ok = false;
    // The value's platform form, when asked for.
    ns::Id value;
    // The value's text (String(v); empty for null and undefined), when asked for.
    std::string text;
    bool undefined = false;
    // The value has no platform form (a function, a cycle...).
    bool unsupported = false;
    std::string message;
    int64_t line = 0;
    std::string sourceURL;
    // The page ended under the script (its heap ran out).
    bool terminated = false;

    // The web view's error for a failed outcome, nil for a good one.
    ns::Ref<ns::Error> error() const;
};

class ScriptEngine {
public:
    static constexpr double TimeBudgetSeconds = 2.0;

    ScriptEngine();
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    duk_context* context() const { return ctx_; }
    const ScriptHeap& heap() const { return heap_; }

    // Marks one entry from native code into the engine: the budget runs from
    // the outermost entry, and a nested one (from a native function called
    // by a script) does not extend it.
    class Entry {
    public:
        explicit Entry(ScriptEngine& engine);
        ~Entry();
        Entry(const Entry&) = delete;
        Entry& operator=(const Entry&) = delete;

    private:
        ScriptEngine& engine_;
        std::chrono::steady_clock::time_point saved_;
    };

    // Stops the budget's clock while a script waits for the user (a dialog);
    // a nested entry meanwhile gets a budget of its own.
    class BudgetPause {
    public:
        explicit BudgetPause(ScriptEngine& engine);
        ~BudgetPause();
        BudgetPause(const BudgetPause&) = delete;
        BudgetPause& operator=(const BudgetPause&) = delete;

    private:
        ScriptEngine& engine_;
        std::chrono::steady_clock::time_point saved_;
        std::chrono::steady_clock::time_point pausedAt_;
    };

    enum class Conversion { None, Platform, Text };

    // Compiles and runs `source` as global code under an Entry, leaving the
    // stack as it was.
    ScriptOutcome evaluate(std::string_view source, std::string_view sourceURL, Conversion conversion);
    // Calls the function below the `argc` arguments on top of the stack
    // (with an undefined `this`) under an Entry, popping all of them.
    ScriptOutcome call(duk_idx_t argc, Conversion conversion);

    // For the timeout hook: past the entry's budget, or out of memory.
    bool pastDeadline() const;

private:
    ScriptOutcome finish(duk_int_t rc, Conversion conversion);
    // The engine's memory functions, on heap_.
    static void* allocate(void* udata, duk_size_t size);
    static void* reallocate(void* udata, void* block, duk_size_t size);
    static void release(void* udata, void* block);

    // Before the context, which it outlives.
    ScriptHeap heap_;
    duk_context* ctx_ = nullptr;
    std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
};

// ---- Values across the boundary ----

// The platform form of the value at `index`: text, numbers (integral values
// as integers), the boolean numbers, ns::Null for null and undefined, arrays
// and dictionaries (own enumerable properties in order). Nil with
// `unsupported` set for functions, cycles and engine-only types.
ns::Id toPlatformValue(duk_context* ctx, duk_idx_t index, bool& unsupported);
// The value's text the way String(v) gives it, as valid UTF-8.
std::string toText(duk_context* ctx, duk_idx_t index);
// The engine keeps characters beyond the BMP as surrogate pairs encoded one
// by one (CESU-8); the platform wants UTF-8.
std::string engineToUtf8(const char* data, size_t size);
void pushText(duk_context* ctx, std::string_view text);

}  // namespace web::detail
