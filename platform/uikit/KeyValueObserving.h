#pragma once
// Key-value observation for any ns::Object: observers register for a key of
// one object and hear every change announced for it, with the old and new
// values. Setters announce their changes with the will/did pair (or
// didChangeValue at once); the pair without values reads them through
// key-value coding.
//
// Observers are called synchronously on the changing thread, in the order
// they registered. Adding or removing observers from inside a callback is
// safe: an observer added during a change first hears the next one, one
// removed is not called again. The registry keeps an observation until its
// token is removed; one whose object has died is never called (a new object
// at the same address does not inherit it).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/foundation/Dictionary.h"
#include "platform/runtime/Object.h"

namespace ns {

enum KeyValueObservingOptions : unsigned {
    KeyValueObservingOptionNew = 0x01,
    KeyValueObservingOptionOld = 0x02,
    KeyValueObservingOptionInitial = 0x04,
    KeyValueObservingOptionPrior = 0x08,
};

enum class KeyValueChangeKind { Setting = 1, Insertion = 2, Removal = 3, Replacement = 4 };

struct KeyValueChange {
    KeyValueChangeKind kind = KeyValueChangeKind::Setting;
    // Nil unless the observer asked for them (and for the initial call, which
    // has only a new value); a nil property value is also nil here.
    Id oldValue;
    Id newValue;
    // The early call, before the change, of an observer with the prior option.
    bool isPrior = false;

    // The platform's change dictionary: "kind", then "old", "new" and
    // "notificationIsPrior" when present.
    Ref<Dictionary> dictionary() const;
};

using KeyValueObserverCallback =
    std::function<void(Object& object, const std::string& keyPath, const KeyValueChange& change)>;

// Registers `callback` for changes of `key` on `object`; returns the token
// that removeObserver takes. With the initial option the callback runs once at
// once, with the current value (read by key-value coding) as its new value.
Id addObserver(Object& object, std::string key, unsigned options, KeyValueObserverCallback callback);
void removeObserver(const Id& token);
// Every observation of `object` (and `key`, when not empty).
void removeObservers(const Object& object, std::string_view key = {});

// Cheap test for setters: whether anyone observes `object` at all.
bool hasObservers(const Object& object);
bool hasObservers(const Object& object, std::string_view key);

// Announcing changes. Pairs nest; each did matches the latest will of the
// same key. The forms without values read the value through key-value coding
// (nil for a key it does not know).
void willChangeValueForKey(Object& object, std::string_view key);
void didChangeValueForKey(Object& object, std::string_view key);
void willChangeValueForKey(Object& object, std::string_view key, Id oldValue);
void didChangeValueForKey(Object& object, std::string_view key, Id newValue);
// Both halves of a change whose values the setter already has.
void didChangeValue(Object& object, std::string_view key, const Id& oldValue, const Id& newValue);

}  // namespace ns
