#include "platform/uikit/KeyValueObserving.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "platform/foundation/KeyValueCoding.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Exception.h"

namespace ns {

namespace {

class KeyValueObservation : public Object {
    RT_DECLARE_CLASS(KeyValueObservation)
};

struct Registration {
    const Object* object = nullptr;
    Weak<Object> weakObject;
    bool tracked = false;  // weakObject was set: the object is shared-owned
    std::string key;
    unsigned options = 0;
    KeyValueObserverCallback callback;
    const Object* token = nullptr;
    std::atomic<bool> removed{false};

    bool alive(const Object& o) const {
        if (!tracked) return true;
        return weakObject.lock().get() == &o;
    }
};

struct Registry {
    std::mutex lock;
    std::map<const Object*, std::vector<std::shared_ptr<Registration>>> byObject;
    std::map<const Object*, std::shared_ptr<Registration>> byToken;
    // Old values of the will-changes still waiting for their did-change.
    std::map<std::pair<const Object*, std::string>, std::vector<Id>> pending;
    // Registrations plus pending entries: zero lets setters skip the lock.
    std::atomic<size_t> activity{0};
};

Registry& registry() {
    static Registry* r = new Registry;  // outlives every static object that might announce
    return *r;
}

Id readValue(Object& object, std::string_view key) {
    try {
        return valueForKey(object, key);
    } catch (const Exception&) {
        return nullptr;
    }
}

std::vector<std::shared_ptr<Registration>> matching(Registry& r, const Object& object, std::string_view key) {
    std::vector<std::shared_ptr<Registration>> out;
    auto it = r.byObject.find(&object);
    if (it == r.byObject.end()) return out;
    for (const auto& reg : it->second) {
        if (reg->key == key && !reg->removed.load()) out.push_back(reg);
    }
    return out;
}

void deliver(Object& object, const std::vector<std::shared_ptr<Registration>>& regs, bool prior, const Id& oldValue,
             const Id& newValue) {
    for (const auto& reg : regs) {
        if (reg->removed.load() || !reg->alive(object)) continue;
        bool wantsPrior = reg->options & KeyValueObservingOptionPrior;
        if (prior && !wantsPrior) continue;
        KeyValueChange change;
        change.isPrior = prior;
        if (reg->options & KeyValueObservingOptionOld) change.oldValue = oldValue;
        if (!prior && (reg->options & KeyValueObservingOptionNew)) change.newValue = newValue;
        reg->callback(object, reg->key, change);
    }
}

void removeLocked(Registry& r, const std::shared_ptr<Registration>& reg) {
    reg->removed.store(true);
    r.byToken.erase(reg->token);
    auto it = r.byObject.find(reg->object);
    if (it != r.byObject.end()) {
        auto& list = it->second;
        list.erase(std::remove(list.begin(), list.end(), reg), list.end());
        if (list.empty()) r.byObject.erase(it);
    }
    r.activity.fetch_sub(1);
}

}  // namespace

RT_DEFINE_CLASS(KeyValueObservation, Object, "NSKeyValueObservation")

Ref<Dictionary> KeyValueChange::dictionary() const {
    std::vector<Dictionary::Entry> entries;
    entries.emplace_back("kind", Number::withUnsignedLongLong(static_cast<uint64_t>(kind)));
    if (oldValue) entries.emplace_back("old", oldValue);
    if (newValue) entries.emplace_back("new", newValue);
    if (isPrior) entries.emplace_back("notificationIsPrior", Number::True());
    return Dictionary::make(entries);
}

Id addObserver(Object& object, std::string key, unsigned options, KeyValueObserverCallback callback) {
    if (!callback) Exception::raise(InvalidArgumentException, "addObserver: nil callback");
    if (key.empty()) Exception::raise(InvalidArgumentException, "addObserver: empty key path");
    auto token = std::make_shared<KeyValueObservation>();
    auto reg = std::make_shared<Registration>();
    reg->object = &object;
    reg->weakObject = object.weak_from_this();
    reg->tracked = !reg->weakObject.expired();
    reg->key = std::move(key);
    reg->options = options;
    reg->callback = std::move(callback);
    reg->token = token.get();
    Registry& r = registry();
    {
        std::lock_guard<std::mutex> hold(r.lock);
        r.byObject[&object].push_back(reg);
        r.byToken[token.get()] = reg;
        r.activity.fetch_add(1);
    }
    if (options & KeyValueObservingOptionInitial) {
        KeyValueChange change;
        if (options & KeyValueObservingOptionNew) change.newValue = readValue(object, reg->key);
        reg->callback(object, reg->key, change);
    }
    return token;
}

void removeObserver(const Id& token) {
    if (!token) return;
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.lock);
    auto it = r.byToken.find(token.get());
    if (it == r.byToken.end()) return;
    auto reg = it->second;
    removeLocked(r, reg);
}

void removeObservers(const Object& object, std::string_view key) {
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.lock);
    auto it = r.byObject.find(&object);
    if (it == r.byObject.end()) return;
    auto list = it->second;
    for (const auto& reg : list) {
        if (key.empty() || reg->key == key) removeLocked(r, reg);
    }
}

bool hasObservers(const Object& object) {
    Registry& r = registry();
    if (r.activity.load() == 0) return false;
    std::lock_guard<std::mutex> hold(r.lock);
    return r.byObject.count(&object) != 0;
}

bool hasObservers(const Object& object, std::string_view key) {
    Registry& r = registry();
    if (r.activity.load() == 0) return false;
    std::lock_guard<std::mutex> hold(r.lock);
    auto it = r.byObject.find(&object);
    if (it == r.byObject.end()) return false;
    return std::any_of(it->second.begin(), it->second.end(), [&](const auto& reg) { return reg->key == key; });
}

void willChangeValueForKey(Object& object, std::string_view key) {
    if (!hasObservers(object, key)) return;
    willChangeValueForKey(object, key, readValue(object, key));
}

void didChangeValueForKey(Object& object, std::string_view key) {
    Registry& r = registry();
    if (r.activity.load() == 0) return;
    didChangeValueForKey(object, key, hasObservers(object, key) ? readValue(object, key) : nullptr);
}

void willChangeValueForKey(Object& object, std::string_view key, Id oldValue) {
    Registry& r = registry();
    if (r.activity.load() == 0) return;
    std::vector<std::shared_ptr<Registration>> regs;
    {
        std::lock_guard<std::mutex> hold(r.lock);
        regs = matching(r, object, key);
        if (regs.empty()) return;
        r.pending[{&object, std::string(key)}].push_back(oldValue);
        r.activity.fetch_add(1);
    }
    deliver(object, regs, true, oldValue, nullptr);
}

void didChangeValueForKey(Object& object, std::string_view key, Id newValue) {
    Registry& r = registry();
    if (r.activity.load() == 0) return;
    Id oldValue;
    std::vector<std::shared_ptr<Registration>> regs;
    {
        std::lock_guard<std::mutex> hold(r.lock);
        auto it = r.pending.find({&object, std::string(key)});
        if (it != r.pending.end()) {
            oldValue = std::move(it->second.back());
            it->second.pop_back();
            if (it->second.empty()) r.pending.erase(it);
            r.activity.fetch_sub(1);
        }
        regs = matching(r, object, key);
    }
    if (!regs.empty()) deliver(object, regs, false, oldValue, newValue);
}

void didChangeValue(Object& object, std::string_view key, const Id& oldValue, const Id& newValue) {
    Registry& r = registry();
    if (r.activity.load() == 0) return;
    std::vector<std::shared_ptr<Registration>> regs;
    {
        std::lock_guard<std::mutex> hold(r.lock);
        regs = matching(r, object, key);
    }
    if (regs.empty()) return;
    deliver(object, regs, true, oldValue, nullptr);
    deliver(object, regs, false, oldValue, newValue);
}

}  // namespace ns
