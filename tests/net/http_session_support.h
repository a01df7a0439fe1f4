#pragma once
// Shared by the session manager tests: a recorder of the HTTP client's
// notifications (with the thread and the order they came in, interleaved
// with the test's own events) and the test certificates.

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/URLSessionConfiguration.h"
#include "platform/security/Certificate.h"
#include "platform/testing/TestCertificates.h"

namespace httptest {

inline testing::TestCertificates& certificates() {
    static testing::TestCertificates certs;
    return certs;
}

inline ns::Ref<ns::Data> derData(const testing::TestCertificates::Identity& identity) {
    return ns::Data::make(identity.certificateDer);
}

inline ns::Ref<ns::URLSessionConfiguration> ephemeralConfiguration(bool installTestCA = false) {
    auto configuration = ns::URLSessionConfiguration::ephemeralSessionConfiguration();
    configuration->setURLCache(nullptr);
    if (installTestCA) {
        configuration->setAdditionalTrustAnchors({sec::Certificate::createWithData(certificates().ca().certificateDer)});
    }
    return configuration;
}

// Events in the order they happened, from any thread.
class EventLog {
public:
    struct Event {
        std::string name;
        ns::Id object;
        ns::Ref<ns::Dictionary> userInfo;
        bool onMainThread = false;
    };

    void add(std::string name, ns::Id object = nullptr, ns::Ref<ns::Dictionary> userInfo = nullptr) {
        std::lock_guard guard(lock_);
        events_.push_back({std::move(name), std::move(object), std::move(userInfo), dispatch::isMainThread()});
    }
    std::vector<Event> events() const {
        std::lock_guard guard(lock_);
        return events_;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& event : events()) out.push_back(event.name);
        return out;
    }
    int count(const std::string& name, const ns::Object* object = nullptr) const {
        int n = 0;
        for (const auto& event : events()) {
            if (event.name == name && (!object || event.object.get() == object)) ++n;
        }
        return n;
    }

private:
    mutable std::mutex lock_;
    std::vector<Event> events_;
};

// Records every post of the given names into a log while it lives.
class NotificationRecorder {
public:
    NotificationRecorder(EventLog& log, std::vector<std::string> names) {
        for (const auto& name : names) {
            ns::NotificationCenter::defaultCenter()->addObserver(
                this, name, nullptr, [&log](const ns::Ref<ns::Notification>& notification) {
                    log.add(notification->name(), notification->object(), notification->userInfo());
                });
        }
    }
    ~NotificationRecorder() { ns::NotificationCenter::defaultCenter()->removeObserver(this); }
    NotificationRecorder(const NotificationRecorder&) = delete;
    NotificationRecorder& operator=(const NotificationRecorder&) = delete;
};

}  // namespace httptest
