#pragma once
// What replies held in memory take together, bounded: each holder takes a
// share of a budget before it holds the bytes and gives it back as soon as
// it lets them go, so that a budget counts what is held now, not what has
// passed through.
//
// A phone of the smallest kind the app runs on (1 GiB) lets a foreground
// app hold about 600 MiB before the system ends it. The reply bytes held
// by the session tasks of every session, and by whoever keeps them after a
// task (the HTTP client's buffers), may come to 96 MiB together, a sixth of
// that: a completion handler's reply counts until its handler has run (and
// until the handler it hands the reply on to has, ReplyInHandler), a piece
// handed to a delegate until its data is released. Pieces on their way are
// gathered (ReplyPiece.h), so what they cost beyond their bytes is bounded
// with them. The allocator may keep as much again of pieces let go for a
// moment, so that their peak stays near a third. The web-image loader and the
// blocking reads have budgets of their own (TVWebImageManager.h,
// BlockingRead.h).

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace ns {

class ReplyBudget {
public:
    explicit ReplyBudget(uint64_t limit) : limit_(limit) {}
    ReplyBudget(const ReplyBudget&) = delete;
    ReplyBudget& operator=(const ReplyBudget&) = delete;

    uint64_t limit() const { return limit_; }
    uint64_t held() const;

    // Adds `amount` unless the total would pass the limit.
    bool take(uint64_t amount);
    void give(uint64_t amount);

private:
    friend class ReplyShare;
    const uint64_t limit_;
    mutable std::mutex lock_;
    uint64_t held_ = 0;
};

// The reply bytes held by the session tasks of every session and by the
// HTTP client's buffers: BytesOfAllSessionReplies.
ReplyBudget& sessionReplies();
constexpr uint64_t BytesOfAllSessionReplies = 96ull << 20;
// Why a reply refused by `budget` was stopped: "the replies of all tasks in
// progress would hold more than N bytes together".
std::string repliesWouldNotFit(const ReplyBudget& budget);
// A reply's first MiB may take sessionReplies() up to 8 MiB past its limit,
// so that a small reply (a login call's, a page script) loads while large
// ones fill the budget. Past its first MiB, a reply that meets a full
// budget fails.
constexpr uint64_t FirstBytesOfAReply = 1ull << 20;
constexpr uint64_t RoomForFirstBytes = 8ull << 20;

// One holder's part of a budget, given back when it is released or ends.
class ReplyShare {
public:
    explicit ReplyShare(ReplyBudget& budget) : budget_(&budget) {}
    ~ReplyShare() { release(); }
    ReplyShare(const ReplyShare&) = delete;
    ReplyShare& operator=(const ReplyShare&) = delete;

    ReplyBudget& budget() const { return *budget_; }
    uint64_t size() const { return size_; }

    // Grows the share to `total` bytes (a smaller total changes nothing)
    // unless the budget would pass its limit by more than `pastLimit`.
    // Refused, the share is given back whole, in the same step: of two
    // holders that meet a full budget at once, the one refused first makes
    // room for the other.
    bool growToOrRelease(uint64_t total, uint64_t pastLimit = 0);
    // The same, but refused, the share goes back to `refused` bytes (a
    // larger figure changes nothing), in the same step.
    bool growToOrShrinkTo(uint64_t total, uint64_t pastLimit, uint64_t refused);
    // Grows the share to `total` bytes whatever the budget holds: for bytes
    // already admitted under a share of their own, taken over by another
    // holder (a copy that replaces them), so that they stay counted.
    void growTo(uint64_t total);
    // How far past the limit a reply `replyLength` bytes long so far may
    // take the budget: its first bytes (FirstBytesOfAReply) by
    // RoomForFirstBytes, the rest not at all. The one rule for the room.
    static uint64_t roomPastLimitFor(uint64_t replyLength) {
        return replyLength <= FirstBytesOfAReply ? RoomForFirstBytes : 0;
    }
    // growToOrRelease() for a reply `replyLength` bytes long so far, with
    // the room roomPastLimitFor() gives it.
    bool growForReply(uint64_t total, uint64_t replyLength);
    // Gives back all past `total` bytes (a larger total changes nothing).
    void shrinkTo(uint64_t total);
    void release() { shrinkTo(0); }

private:
    ReplyBudget* budget_;
    uint64_t size_ = 0;
};

namespace detail {

// While a session task's completion handler runs on its thread: the share
// its reply holds, which stays counted as long as anyone keeps it. A
// handler that hands the reply on to be handled later keeps it until then.
// Nil elsewhere.
std::shared_ptr<ReplyShare> shareOfReplyInHandler();

// Makes `share` the one shareOfReplyInHandler() gives on this thread for
// as long as it lives.
class ReplyInHandler {
public:
    explicit ReplyInHandler(std::shared_ptr<ReplyShare> share);
    ~ReplyInHandler();
    ReplyInHandler(const ReplyInHandler&) = delete;
    ReplyInHandler& operator=(const ReplyInHandler&) = delete;

private:
    std::shared_ptr<ReplyShare> previous_;
};

}  // namespace detail

// What a reply becomes once read (the objects it is parsed into) is held
// beside it, and counted with it: while a charge is in force on a thread,
// what a reader on that thread makes is added to the reply's share, as its
// bytes were (the first MiB with the same room past the limit). Past the
// budget the reader stops, and the share goes back to what it was when the
// charge began: what was made is let go, the reply's bytes are still held.
class ReplyCharge {
public:
    explicit ReplyCharge(ReplyShare& share);
    ~ReplyCharge();
    ReplyCharge(const ReplyCharge&) = delete;
    ReplyCharge& operator=(const ReplyCharge&) = delete;

    // A charge was refused while this one was in force.
    bool refused() const { return refused_; }
    // Why: repliesWouldNotFit() of the share's budget.
    std::string refusal() const;

    // Adds `bytes` to the share in force on the calling thread; true with
    // none in force. False once the budget has refused it (then always).
    static bool charge(uint64_t bytes);

private:
    ReplyShare& share_;
    // The share when the charge began.
    const uint64_t base_;
    ReplyCharge* outer_;
    bool refused_ = false;
};

}  // namespace ns
