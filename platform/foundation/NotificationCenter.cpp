#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

#include "platform/foundation/OperationQueue.h"
#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(Notification, Object, "NSNotification")
RT_DEFINE_CLASS(NotificationCenter, Object, "NSNotificationCenter")

namespace {

// What addObserverForName hands back: an identity to remove the block by.
class ObserverToken : public Object {
    RT_DECLARE_CLASS(ObserverToken)
};

}  // namespace

RT_DEFINE_CLASS(ObserverToken, Object, "__NSObserver")

Ref<Notification> Notification::make(std::string name, Id object, Ref<Dictionary> userInfo) {
    return std::make_shared<Notification>(std::move(name), std::move(object), std::move(userInfo));
}

const Ref<NotificationCenter>& NotificationCenter::defaultCenter() {
    static const Ref<NotificationCenter> center = std::make_shared<NotificationCenter>();
    return center;
}

void NotificationCenter::addObserver(const void* observer, std::string_view name, const Id& object, Callback callback) {
    if (!observer || !callback) {
        Exception::raise(InvalidArgumentException,
                         "*** -[NSNotificationCenter addObserver:selector:name:object:]: observer and callback cannot be nil");
    }
    auto registration = std::make_shared<Registration>();
    registration->observer = observer;
    registration->name = std::string(name);
    registration->object = object.get();
    registration->callback = std::move(callback);
    add(std::move(registration));
}

Id NotificationCenter::addObserverForName(std::string_view name, const Id& object, Ref<OperationQueue> queue,
                                           Callback block) {
    if (!block) {
        Exception::raise(InvalidArgumentException,
                         "*** -[NSNotificationCenter addObserverForName:object:queue:usingBlock:]: block cannot be nil");
    }
    Id token = std::make_shared<ObserverToken>();
    auto registration = std::make_shared<Registration>();
    registration->observer = token.get();
    registration->name = std::string(name);
    registration->object = object.get();
    registration->callback = std::move(block);
    registration->queue = std::move(queue);
    registration->token = token;
    add(std::move(registration));
    return token;
}

void NotificationCenter::add(std::shared_ptr<Registration> registration) {
    std::lock_guard<std::mutex> hold(lock_);
    registrations_.push_back(std::move(registration));
}

template <class Match>
void NotificationCenter::removeWhere(const Match& match) {
    // Tokens are released outside the lock: their destructors may post.
    std::vector<std::shared_ptr<Registration>> removed;
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto keep = std::stable_partition(registrations_.begin(), registrations_.end(),
                                          [&](const std::shared_ptr<Registration>& r) { return !match(*r); });
        for (auto it = keep; it != registrations_.end(); ++it) {
            (*it)->removed = true;
            removed.push_back(std::move(*it));
        }
        registrations_.erase(keep, registrations_.end());
    }
}

void NotificationCenter::removeObserver(const void* observer) {
    if (!observer) return;
    removeWhere([&](const Registration& r) { return r.observer == observer; });
}

void NotificationCenter::removeObserver(const void* observer, std::string_view name, const Id& object) {
    if (!observer) return;
    const Object* sender = object.get();
    removeWhere([&](const Registration& r) {
        return r.observer == observer && (name.empty() || r.name == name) && (!sender || r.object == sender);
    });
}

void NotificationCenter::postNotification(const Ref<Notification>& notification) {
    if (!notification) return;
    const std::string& name = notification->name();
    const Object* sender = notification->object().get();
    // A snapshot, so observers may register and remove while it is delivered.
    std::vector<std::shared_ptr<Registration>> hearers;
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (const auto& r : registrations_) {
            if ((r->name.empty() || r->name == name) && (!r->object || r->object == sender)) hearers.push_back(r);
        }
    }
    for (const auto& r : hearers) {
        if (r->removed) continue;
        if (r->queue) {
            r->queue->addOperationWithBlock([r, notification] {
                if (!r->removed) r->callback(notification);
            });
        } else {
            r->callback(notification);
        }
    }
}

void NotificationCenter::postNotificationName(std::string_view name, const Id& object, Ref<Dictionary> userInfo) {
    postNotification(Notification::make(std::string(name), object, std::move(userInfo)));
}

}  // namespace ns
