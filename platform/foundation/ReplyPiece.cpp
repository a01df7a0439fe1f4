#include "platform/foundation/ReplyPiece.h"

#include <algorithm>

namespace ns::detail {

ReplyPiece::ReplyPiece(ReplyBudget& budget) : share_(std::make_unique<ReplyShare>(budget)) {}

size_t ReplyPiece::sizeLocked() const { return (first_ ? first_->length() : 0) + bytes_.size(); }

ReplyPiece::Join ReplyPiece::join(const char* bytes, size_t length, int64_t received,
                                  const std::function<bool(ReplyShare&, uint64_t)>& weigh) {
    std::lock_guard guard(lock_);
    const size_t held = sizeLocked();
    if (taken_ || (held > 0 && held + length > MostBytes)) return Join::Closed;
    const size_t size = held + length;
    if (!weigh(*share_, size)) {
        // The reply fails: what it gathered is let go, uncounted, not handed on.
        taken_ = true;
        first_ = nullptr;
        bytes_ = {};
        return Join::Refused;
    }
    if (size > bytes_.capacity()) {
        // Doubling, but never past what a piece holds: what it has not
        // filled is not counted.
        bytes_.reserve(std::max(size, std::min(MostBytes, 2 * bytes_.capacity())));
    }
    if (first_) {
        // Counted in this piece's share from here: the first data's own
        // share goes with it.
        const auto* start = first_->bytes();
        bytes_.insert(bytes_.end(), start, start + first_->length());
        first_ = nullptr;
    }
    bytes_.insert(bytes_.end(), bytes, bytes + length);
    received_ = received;
    return Join::Joined;
}

ReplyPiece::Join ReplyPiece::join(const Ref<Data>& data, int64_t received,
                                  const std::function<bool(ReplyShare&, uint64_t)>& weigh) {
    {
        std::lock_guard guard(lock_);
        if (taken_) return Join::Closed;
        if (sizeLocked() == 0) {
            first_ = data;
            received_ = received;
            return Join::Joined;
        }
    }
    return join(reinterpret_cast<const char*>(data->bytes()), data->length(), received, weigh);
}

Ref<Data> withShare(Ref<Data> data, std::unique_ptr<ReplyShare> share) {
    struct Held {
        Ref<Data> data;
        std::unique_ptr<ReplyShare> share;
    };
    auto held = std::make_shared<Held>(Held{std::move(data), std::move(share)});
    return Ref<Data>(held, held->data.get());
}

Ref<Data> ReplyPiece::take(int64_t* received) {
    std::lock_guard guard(lock_);
    taken_ = true;
    if (received) *received = received_;
    if (first_) return std::move(first_);
    if (bytes_.empty()) return nullptr;
    return withShare(Data::make(std::move(bytes_)), std::move(share_));
}

}  // namespace ns::detail
