#include "platform/foundation/ReplyBudget.h"

namespace ns::detail {

// Both outlive the transfer threads at exit.
ReplyBudget& sessionReplies() {
    static auto* budget = new ReplyBudget;
    return *budget;
}

ReplyBudget& blockingReads() {
    static auto* budget = new ReplyBudget;
    return *budget;
}

bool ReplyShare::growTo(uint64_t total, uint64_t limit) {
    if (total <= size_) return true;
    if (!budget_->take(total - size_, limit)) return false;
    size_ = total;
    return true;
}

void ReplyShare::release() {
    budget_->give(size_);
    size_ = 0;
}

}  // namespace ns::detail
