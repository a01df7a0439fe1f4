#pragma once
// A piece of a reply on its way through a queue to whoever takes it (a
// session's delegate, a connection's). What arrives while the piece still
// waits in the queue joins it, up to ReplyPiece::MostBytes, rather than
// queuing a piece of its own: a sender that cuts its reply into one-byte
// chunks or one-byte gzip members then costs the queue in proportion to
// its bytes, not to the number of its pieces. Each piece the queue holds
// but the last holds MostBytes, or ends where something else was queued
// after it.
//
// The piece's bytes count in a budget's share from the moment they join
// it until the data handed on is released.
//
// Internal to URL loading.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/ReplyBudget.h"

namespace ns::detail {

// `data` holding `share` until the last of its references is let go.
Ref<Data> withShare(Ref<Data> data, std::unique_ptr<ReplyShare> share);

class ReplyPiece {
public:
    static constexpr size_t MostBytes = 64 * 1024;

    explicit ReplyPiece(ReplyBudget& budget);
    ReplyPiece(const ReplyPiece&) = delete;
    ReplyPiece& operator=(const ReplyPiece&) = delete;

    enum class Join {
        Joined,
        // Taken already, or full: the bytes go in a piece of their own.
        Closed,
        // `weigh` refused the share they need: the piece lets go of what it
        // gathered and hands nothing on.
        Refused,
    };
    // The sender's side: joins `length` bytes (the first always fit),
    // `received` being the reply's length with them. `weigh` grows the
    // piece's share to the size given, or refuses (and says why).
    Join join(const char* bytes, size_t length, int64_t received,
              const std::function<bool(ReplyShare& share, uint64_t size)>& weigh);
    // The same for a piece already made, which counts in a share of its
    // own: the first of a piece is kept as it is, not copied (a piece handed
    // on whole costs nothing more), and is copied only when more joins it.
    Join join(const Ref<Data>& data, int64_t received,
              const std::function<bool(ReplyShare& share, uint64_t size)>& weigh);

    // The taker's side, once: the bytes as one Data, which keeps their share
    // until it is released, and the reply's length with them. Nil when
    // nothing joined.
    Ref<Data> take(int64_t* received = nullptr);

private:
    size_t sizeLocked() const;

    std::mutex lock_;
    bool taken_ = false;
    // The first piece made, while nothing has joined it.
    Ref<Data> first_;
    std::vector<uint8_t> bytes_;
    int64_t received_ = 0;
    std::unique_ptr<ReplyShare> share_;
};

}  // namespace ns::detail
