#include "sandbox/DelayedReplies.h"

#include <algorithm>
#include <chrono>

#include "platform/dispatch/Queue.h"

namespace sandbox {

class DelayedReplies::Hold {
public:
    void release() {
        {
            std::lock_guard guard(lock_);
            open_ = true;
        }
        opened_.notify_all();
    }
    void wait() {
        std::unique_lock guard(lock_);
        opened_.wait(guard, [this] { return open_; });
    }

private:
    std::mutex lock_;
    std::condition_variable opened_;
    bool open_ = false;
};

void DelayedReplies::setDelay(const std::string& endpoint, double seconds) {
    std::lock_guard guard(lock_);
    delays_[endpoint] = seconds;
}

void DelayedReplies::setDelays(double fewest, double most, uint32_t seed) {
    std::lock_guard guard(lock_);
    fewest_ = fewest;
    most_ = std::max(fewest, most);
    draws_.seed(seed);
}

bool DelayedReplies::waitForRequests(const std::string& endpoint, int count, double timeoutSeconds) const {
    std::unique_lock guard(lock_);
    return counted_.wait_for(guard, std::chrono::duration<double>(timeoutSeconds), [&] {
        auto found = arrivals_.find(endpoint);
        return found != arrivals_.end() && found->second >= count;
    });
}

std::shared_ptr<DelayedReplies::Hold> DelayedReplies::arrived(const std::string& endpoint) {
    std::shared_ptr<Hold> hold;
    {
        std::lock_guard guard(lock_);
        ++arrivals_[endpoint];
        auto own = delays_.find(endpoint);
        double delay = own != delays_.end() ? own->second
                       : most_ > 0          ? std::uniform_real_distribution<double>(fewest_, most_)(draws_)
                                            : 0;
        if (!stopped_ && delay > 0) {
            hold = std::make_shared<Hold>();
            std::erase_if(waiting_, [](const std::weak_ptr<Hold>& entry) { return entry.expired(); });
            waiting_.push_back(hold);
            // Its time is taken now, before the arrival is counted for a
            // waiting test.
            dispatch::after(delay, dispatch::globalQueue(), [hold] { hold->release(); });
        }
    }
    counted_.notify_all();
    return hold;
}

void DelayedReplies::await(const std::shared_ptr<Hold>& hold) {
    if (hold) hold->wait();
}

void DelayedReplies::stop() {
    std::vector<std::weak_ptr<Hold>> waiting;
    {
        std::lock_guard guard(lock_);
        stopped_ = true;
        waiting.swap(waiting_);
    }
    for (const auto& entry : waiting)
        if (auto hold = entry.lock()) hold->release();
}

}  // namespace sandbox
