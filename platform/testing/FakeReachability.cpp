#include "platform/testing/FakeReachability.h"

#include <mutex>

#include "platform/foundation/Reachability.h"

namespace testing {

class FakeReachability::Source final : public ns::ReachabilitySource {
public:
    ns::ReachabilityFlags flagsFor(const ns::ReachabilityTarget& target) override {
        std::lock_guard guard(lock_);
        ++reads_;
        auto found = perHost_.find(target.text());
        return found != perHost_.end() ? found->second : flags_;
    }
    bool announcesChanges() const override { return true; }

    void set(ns::ReachabilityFlags flags) {
        std::lock_guard guard(lock_);
        flags_ = flags;
    }
    void set(const std::string& host, ns::ReachabilityFlags flags) {
        std::lock_guard guard(lock_);
        perHost_[host] = flags;
    }
    int reads() const {
        std::lock_guard guard(lock_);
        return reads_;
    }

private:
    mutable std::mutex lock_;
    ns::ReachabilityFlags flags_ = ns::ReachabilityFlagsReachable;
    std::map<std::string, ns::ReachabilityFlags> perHost_;
    int reads_ = 0;
};

FakeReachability::FakeReachability() : source_(std::make_shared<Source>()) {
    ns::Reachability::setSourceForTesting(source_);
}

FakeReachability::~FakeReachability() { ns::Reachability::setSourceForTesting(nullptr); }

void FakeReachability::setFlags(ns::ReachabilityFlags flags) {
    source_->set(flags);
    ns::Reachability::recheckScheduled(false);
}

void FakeReachability::setFlagsForHost(const std::string& host, ns::ReachabilityFlags flags) {
    source_->set(host, flags);
    ns::Reachability::recheckScheduled(false);
}

void FakeReachability::fireChange() { ns::Reachability::recheckScheduled(true); }

int FakeReachability::readCount() const { return source_->reads(); }

}  // namespace testing
