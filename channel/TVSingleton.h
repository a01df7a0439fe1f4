#pragma once
// The channel SDK's process-wide singletons: made on first use under a lock,
// dropped by destroy() so the next use makes a new one.

#include <memory>
#include <mutex>

#include "platform/runtime/Object.h"

template <class T>
class TVSingleton {
public:
    static ns::Ref<T> shared() {
        std::lock_guard guard(lock());
        auto& instance = slot();
        if (!instance) instance = std::make_shared<T>();
        return instance;
    }
    // The instance if one has been made; never makes one.
    static ns::Ref<T> ifMade() {
        std::lock_guard guard(lock());
        return slot();
    }
    static void destroy() {
        std::lock_guard guard(lock());
        slot().reset();
    }

private:
    static std::mutex& lock() {
        static std::mutex mutex;
        return mutex;
    }
    static ns::Ref<T>& slot() {
        static ns::Ref<T> instance;
        return instance;
    }
};
