#pragma once
// Replies that go out a set (or drawn) time after their request came, on the
// clock: under mock time when the test moves the clock there, so a test can
// let a reply arrive after something the app does at a later time; in real
// time in gamehost-sandbox, as a slow server would send them. The requests to each
// endpoint are counted as they come, which lets a test wait until a reply's
// time is set before it moves the clock. Thread-safe.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace sandbox {

class DelayedReplies {
public:
    class Hold;

    // For every later request to `endpoint`; 0 or less: at once.
    void setDelay(const std::string& endpoint, double seconds);
    // For every later request to an endpoint without a delay of its own: a
    // time drawn for each from [fewest, most] seconds, in a sequence `seed`
    // repeats.
    void setDelays(double fewest, double most, uint32_t seed);
    // Waits in real time until `endpoint` has had `count` requests, each
    // with its reply's time set; false on timeout.
    bool waitForRequests(const std::string& endpoint, int count, double timeoutSeconds) const;

    // What `respond` makes for a request to `endpoint` that has just come,
    // handed back once the reply's time has come (or stop() let it go).
    template <class Respond>
    auto replyTo(const std::string& endpoint, Respond&& respond) {
        auto hold = arrived(endpoint);
        auto response = respond();
        await(hold);
        return response;
    }
    // Lets every waiting reply go and delays none from now on: for a server
    // that stops, which waits for its requests in progress.
    void stop();

private:
    // A request to `endpoint` has come: what its reply waits for (nil when
    // it has no delay).
    std::shared_ptr<Hold> arrived(const std::string& endpoint);
    // Blocks until the hold's time has come or stop() let it go.
    static void await(const std::shared_ptr<Hold>& hold);

    mutable std::mutex lock_;
    mutable std::condition_variable counted_;
    std::map<std::string, double> delays_;
    double fewest_ = 0, most_ = 0;
    std::mt19937 draws_;
    std::map<std::string, int> arrivals_;
    std::vector<std::weak_ptr<Hold>> waiting_;
    bool stopped_ = false;
};

}  // namespace sandbox
