#include "platform/dispatch/Timeline.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/dispatch/Clock.h"

namespace dispatch::detail {

namespace {

using Key = std::pair<TimeTicks, Timeline::EntryId>;

struct Entry {
    std::function<void()> action;
    bool wakeOnClear;
};

struct State {
    std::mutex lock;
    std::condition_variable changed;
    std::map<Key, Entry> entries;
    std::unordered_map<Timeline::EntryId, TimeTicks> times;
    Timeline::EntryId nextId = 1;
    bool threadStarted = false;
};

State& state() {
    static State* s = new State;  // the firing thread may outlive static destruction
    return *s;
}

std::chrono::steady_clock::time_point realTimePoint(TimeTicks time) {
    auto d = std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::nanoseconds(time.inNanoseconds()));
    return std::chrono::steady_clock::time_point(d);
}

void fireOnRealTime() {
    State& s = state();
    std::unique_lock<std::mutex> hold(s.lock);
    for (;;) {
        if (Clock::isMock() || s.entries.empty()) {
            s.changed.wait(hold);
            continue;
        }
        auto first = s.entries.begin();
        if (first->first.first > Clock::nowTicks()) {
            s.changed.wait_until(hold, realTimePoint(first->first.first));
            continue;
        }
        std::function<void()> action = std::move(first->second.action);
        s.times.erase(first->first.second);
        s.entries.erase(first);
        hold.unlock();
        action();
        action = nullptr;
        hold.lock();
    }
}

}  // namespace

Timeline::EntryId Timeline::add(TimeTicks time, std::function<void()> action, bool wakeOnClear) {
    State& s = state();
    EntryId id;
    bool earliest;
    {
        std::lock_guard<std::mutex> hold(s.lock);
        id = s.nextId++;
        s.entries.emplace(Key{time, id}, Entry{std::move(action), wakeOnClear});
        s.times.emplace(id, time);
        earliest = s.entries.begin()->first.second == id;
        if (!s.threadStarted) {
            s.threadStarted = true;
            std::thread(fireOnRealTime).detach();
        }
    }
    if (earliest) s.changed.notify_all();
    return id;
}

void Timeline::cancel(EntryId id) {
    if (id == 0) return;
    State& s = state();
    std::function<void()> dropped;  // destroyed outside the lock: it may own anything
    {
        std::lock_guard<std::mutex> hold(s.lock);
        auto t = s.times.find(id);
        if (t == s.times.end()) return;
        auto e = s.entries.find(Key{t->second, id});
        dropped = std::move(e->second.action);
        s.entries.erase(e);
        s.times.erase(t);
    }
}

std::optional<TimeTicks> Timeline::nextTime() {
    State& s = state();
    std::lock_guard<std::mutex> hold(s.lock);
    if (s.entries.empty()) return std::nullopt;
    return s.entries.begin()->first.first;
}

bool Timeline::fireNext(TimeTicks limit) {
    State& s = state();
    std::function<void()> action;
    {
        std::lock_guard<std::mutex> hold(s.lock);
        if (s.entries.empty()) return false;
        auto first = s.entries.begin();
        if (first->first.first > limit) return false;
        advanceMockClock(first->first.first);
        action = std::move(first->second.action);
        s.times.erase(first->first.second);
        s.entries.erase(first);
    }
    action();
    return true;
}

bool Timeline::isEmpty() {
    State& s = state();
    std::lock_guard<std::mutex> hold(s.lock);
    return s.entries.empty();
}

void Timeline::clear() {
    State& s = state();
    std::map<Key, Entry> dropped;
    {
        std::lock_guard<std::mutex> hold(s.lock);
        dropped.swap(s.entries);
        s.times.clear();
    }
    for (auto& [key, entry] : dropped) {
        if (entry.wakeOnClear) entry.action();
    }
}

void Timeline::clockChanged() { state().changed.notify_all(); }

}  // namespace dispatch::detail
