#include "platform/foundation/ReplyBudget.h"

#include <utility>

namespace ns {

uint64_t ReplyBudget::held() const {
    std::lock_guard guard(lock_);
    return held_;
}

bool ReplyBudget::take(uint64_t amount) {
    std::lock_guard guard(lock_);
    if (amount > limit_ || held_ > limit_ - amount) return false;
    held_ += amount;
    return true;
}

void ReplyBudget::give(uint64_t amount) {
    std::lock_guard guard(lock_);
    held_ -= amount;
}

std::string repliesWouldNotFit(const ReplyBudget& budget) {
    return "the replies of all tasks in progress would hold more than " + std::to_string(budget.limit()) +
           " bytes together";
}

// Outlives the transfer threads at exit.
ReplyBudget& sessionReplies() {
    static auto* budget = new ReplyBudget(BytesOfAllSessionReplies);
    return *budget;
}

bool ReplyShare::growToOrRelease(uint64_t total, uint64_t pastLimit) { return growToOrShrinkTo(total, pastLimit, 0); }

bool ReplyShare::growToOrShrinkTo(uint64_t total, uint64_t pastLimit, uint64_t refused) {
    if (total <= size_) return true;
    // Under one hold of the lock: a holder that sees the budget full while
    // another's refused share is still counted would be refused as well.
    std::lock_guard guard(budget_->lock_);
    const uint64_t more = total - size_;
    const uint64_t limit = budget_->limit_ + pastLimit;
    if (more <= limit && budget_->held_ <= limit - more) {
        budget_->held_ += more;
        size_ = total;
        return true;
    }
    if (refused < size_) {
        budget_->held_ -= size_ - refused;
        size_ = refused;
    }
    return false;
}

void ReplyShare::growTo(uint64_t total) {
    if (total <= size_) return;
    std::lock_guard guard(budget_->lock_);
    budget_->held_ += total - size_;
    size_ = total;
}

bool ReplyShare::growForReply(uint64_t total, uint64_t replyLength) {
    return growToOrRelease(total, roomPastLimitFor(replyLength));
}

void ReplyShare::shrinkTo(uint64_t total) {
    if (total >= size_) return;
    budget_->give(size_ - total);
    size_ = total;
}

namespace detail {

namespace {
thread_local std::shared_ptr<ReplyShare> replyInHandler;
}  // namespace

std::shared_ptr<ReplyShare> shareOfReplyInHandler() { return replyInHandler; }

ReplyInHandler::ReplyInHandler(std::shared_ptr<ReplyShare> share)
    : previous_(std::exchange(replyInHandler, std::move(share))) {}

ReplyInHandler::~ReplyInHandler() { replyInHandler = std::move(previous_); }

}  // namespace detail

namespace {
thread_local ReplyCharge* chargeInForce = nullptr;
}  // namespace

ReplyCharge::ReplyCharge(ReplyShare& share) : share_(share), base_(share.size()), outer_(chargeInForce) {
    chargeInForce = this;
}

ReplyCharge::~ReplyCharge() { chargeInForce = outer_; }

std::string ReplyCharge::refusal() const { return repliesWouldNotFit(share_.budget()); }

bool ReplyCharge::charge(uint64_t bytes) {
    ReplyCharge* in = chargeInForce;
    if (!in) return true;
    if (in->refused_) return false;
    const uint64_t total = in->share_.size() + bytes;
    if (in->share_.growToOrShrinkTo(total, ReplyShare::roomPastLimitFor(total), in->base_)) return true;
    in->refused_ = true;
    return false;
}

}  // namespace ns
