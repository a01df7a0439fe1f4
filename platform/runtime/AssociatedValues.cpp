#include "platform/runtime/AssociatedValues.h"

#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace rt::associated {

namespace {

using Entries = std::map<const void*, std::any>;

struct Table {
    std::mutex lock;
    std::unordered_map<const ns::Object*, Entries> objects;
};

// Never destroyed: objects held in static storage may die after any other
// static, and still look their entries up.
Table& table() {
    static Table* t = new Table();
    return *t;
}

}  // namespace

// Values taken out of the table are destroyed after the lock is given back:
// a value may hold the last reference to an object with entries of its own.

void set(const ns::Object* object, const void* key, std::any value) {
    Table& t = table();
    std::any old;
    {
        std::lock_guard<std::mutex> hold(t.lock);
        if (!value.has_value()) {
            auto it = t.objects.find(object);
            if (it == t.objects.end()) return;
            auto entry = it->second.find(key);
            if (entry != it->second.end()) {
                old = std::move(entry->second);
                it->second.erase(entry);
            }
            if (it->second.empty()) t.objects.erase(it);
        } else {
            std::any& slot = t.objects[object][key];
            old = std::exchange(slot, std::move(value));
        }
    }
}

std::any get(const ns::Object* object, const void* key) {
    Table& t = table();
    std::lock_guard<std::mutex> hold(t.lock);
    auto it = t.objects.find(object);
    if (it == t.objects.end()) return {};
    auto entry = it->second.find(key);
    return entry == it->second.end() ? std::any() : entry->second;
}

void erase(const ns::Object* object) {
    Table& t = table();
    Entries dying;
    {
        std::lock_guard<std::mutex> hold(t.lock);
        auto it = t.objects.find(object);
        if (it == t.objects.end()) return;
        dying = std::move(it->second);
        t.objects.erase(it);
    }
}

}  // namespace rt::associated
