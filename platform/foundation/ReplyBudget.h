#pragma once
// What replies held in memory take together, bounded: each holder takes a
// share of a budget before it holds the bytes and gives it back when it
// lets them go. A phone of the smallest kind the app runs on (1 GiB) lets
// a foreground app hold about 600 MiB before the system ends it. The data
// and upload tasks of all sessions may hold 96 MiB of replies together, a
// sixth of that: the pieces a delegate has been handed stay counted until
// the task ends, and the allocator may keep as much again of pieces let
// go, so that their peak stays near a third. The blocking reads have their
// own 128 MiB (BlockingRead.h).
//
// Internal to URL loading.

#include <atomic>
#include <cstdint>

namespace ns::detail {

// Adds `amount` to `total` unless the sum would pass `limit`.
template <class T>
bool addWithin(std::atomic<T>& total, T amount, T limit) {
    T now = total.load();
    do {
        if (amount > limit || now > limit - amount) return false;
    } while (!total.compare_exchange_weak(now, now + amount));
    return true;
}

class ReplyBudget {
public:
    // Adds `amount` unless the total would pass `limit`.
    bool take(uint64_t amount, uint64_t limit) { return addWithin(held_, amount, limit); }
    void give(uint64_t amount) { held_ -= amount; }
    uint64_t held() const { return held_.load(); }

private:
    std::atomic<uint64_t> held_{0};
};

// The reply bytes held by the data and upload tasks of every session, and
// by the blocking reads.
ReplyBudget& sessionReplies();
ReplyBudget& blockingReads();
constexpr uint64_t BytesOfAllSessionReplies = 96ull << 20;

// One holder's part of a budget, given back when it is released or ends.
class ReplyShare {
public:
    explicit ReplyShare(ReplyBudget& budget) : budget_(&budget) {}
    ~ReplyShare() { release(); }
    ReplyShare(const ReplyShare&) = delete;
    ReplyShare& operator=(const ReplyShare&) = delete;

    // Grows the share to `total` bytes (a smaller total changes nothing);
    // false, leaving the share as it was, when the budget has no room.
    bool growTo(uint64_t total, uint64_t limit);
    void release();

private:
    ReplyBudget* budget_;
    uint64_t size_ = 0;
};

}  // namespace ns::detail
