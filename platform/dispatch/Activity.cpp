#include "platform/dispatch/Activity.h"

#include <condition_variable>
#include <map>
#include <mutex>

namespace dispatch::detail {

namespace {

struct State {
    std::mutex lock;
    std::condition_variable changed;
    uint64_t generation = 0;
    long busy = 0;
    long io = 0;
    std::map<std::string, long> byHolder;
};

State& state() {
    static State* s = new State;  // outlives every thread that may touch it at exit
    return *s;
}

thread_local bool countedBusy = false;

template <class F>
void update(F&& change) {
    State& s = state();
    {
        std::lock_guard<std::mutex> hold(s.lock);
        change(s);
        ++s.generation;
    }
    s.changed.notify_all();
}

}  // namespace

void Activity::addBusy() { update([](State& s) { ++s.busy; }); }
void Activity::removeBusy() { update([](State& s) { --s.busy; }); }
void Activity::addBusy(const std::string& holder) {
    update([&](State& s) {
        ++s.busy;
        ++s.byHolder[holder];
    });
}

void Activity::removeBusy(const std::string& holder) {
    update([&](State& s) {
        --s.busy;
        auto it = s.byHolder.find(holder);
        if (it != s.byHolder.end() && --it->second <= 0) s.byHolder.erase(it);
    });
}

void Activity::addIo() { update([](State& s) { ++s.io; }); }
void Activity::removeIo() { update([](State& s) { --s.io; }); }
void Activity::notify() { update([](State&) {}); }

ActivitySnapshot Activity::snapshot() {
    State& s = state();
    std::lock_guard<std::mutex> hold(s.lock);
    return {s.generation, s.busy, s.io};
}

std::string Activity::holders() {
    State& s = state();
    std::lock_guard<std::mutex> hold(s.lock);
    std::string out;
    for (const auto& [label, count] : s.byHolder) {
        if (!out.empty()) out += ", ";
        out += (label.empty() ? std::string("(unlabelled)") : label) + " (" + std::to_string(count) + ")";
    }
    return out;
}

bool Activity::waitForChange(uint64_t seen, std::chrono::steady_clock::time_point until) {
    State& s = state();
    std::unique_lock<std::mutex> hold(s.lock);
    return s.changed.wait_until(hold, until, [&] { return s.generation != seen; });
}

bool threadCountedBusy() { return countedBusy; }

CountedScope::CountedScope() : previous_(countedBusy) { countedBusy = true; }
CountedScope::~CountedScope() { countedBusy = previous_; }

}  // namespace dispatch::detail
