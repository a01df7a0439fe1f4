#pragma once
// Process-wide broadcast of named events. Observers are called in the order
// they registered, synchronously on the posting thread unless they gave a
// queue. Adding or removing observers from inside a delivery is safe: an
// observer added during a post first hears the next post, and one removed
// (itself included) is not called again, not even later in the same post nor
// from a delivery still waiting on its queue.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Dictionary.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class OperationQueue;

class Notification : public Object {
    RT_DECLARE_CLASS(Notification)
public:
    Notification() = default;
    Notification(std::string name, Id object, Ref<Dictionary> userInfo)
        : name_(std::move(name)), object_(std::move(object)), userInfo_(std::move(userInfo)) {}
    static Ref<Notification> make(std::string name, Id object = nullptr, Ref<Dictionary> userInfo = nullptr);

    const std::string& name() const { return name_; }
    const Id& object() const { return object_; }
    const Ref<Dictionary>& userInfo() const { return userInfo_; }

private:
    std::string name_;
    Id object_;
    Ref<Dictionary> userInfo_;
};

class NotificationCenter : public Object {
    RT_DECLARE_CLASS(NotificationCenter)
public:
    using Callback = std::function<void(const Ref<Notification>& notification)>;

    static const Ref<NotificationCenter>& defaultCenter();

    // `observer` identifies the registration for removal and is never
    // dereferenced. An empty name hears every name; a nil object hears every
    // sender, otherwise only posts from that very object.
    void addObserver(const void* observer, std::string_view name, const Id& object, Callback callback);
    // A block observer; returns the token to remove it with. The center keeps
    // the token until then. A nil queue runs the block on the posting thread;
    // otherwise each delivery is added to the queue as an operation and the
    // post goes on without waiting for it.
    Id addObserverForName(std::string_view name, const Id& object, Ref<OperationQueue> queue, Callback block);

    // Every registration of the observer (or token).
    void removeObserver(const void* observer);
    void removeObserver(const Id& token) { removeObserver(static_cast<const void*>(token.get())); }
    // Those matching: an empty name or nil object matches any.
    void removeObserver(const void* observer, std::string_view name, const Id& object);

    void postNotification(const Ref<Notification>& notification);
    void postNotificationName(std::string_view name, const Id& object = nullptr, Ref<Dictionary> userInfo = nullptr);

private:
    struct Registration {
        const void* observer = nullptr;
        std::string name;
        const Object* object = nullptr;
        Callback callback;
        Ref<OperationQueue> queue;
        Id token;
        std::atomic<bool> removed{false};
    };

    void add(std::shared_ptr<Registration> registration);
    template <class Match>
    void removeWhere(const Match& match);

    std::mutex lock_;
    std::vector<std::shared_ptr<Registration>> registrations_;
};

}  // namespace ns
