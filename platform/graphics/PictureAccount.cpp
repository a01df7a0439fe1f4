#include "platform/graphics/PictureAccount.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/foundation/Log.h"

namespace cg {

namespace {
std::atomic<PictureAccount*> account{nullptr};
// Raw: each scope outlives the calls made under it.
thread_local PictureRefusals* innermost = nullptr;
}  // namespace

PictureAccount* PictureAccount::installed() { return account.load(std::memory_order_acquire); }

void PictureAccount::install(PictureAccount* installing) { account.store(installing, std::memory_order_release); }

PictureRefusals::PictureRefusals() : outer_(innermost) { innermost = this; }

PictureRefusals::~PictureRefusals() { innermost = outer_; }

std::optional<PictureCharge> chargePictureFromData(std::string_view type, size_t index, int width, int height) {
    PictureAccount* charged = PictureAccount::installed();
    if (!charged) return PictureCharge();
    const uint64_t pixels = uint64_t(std::max(width, 0)) * uint64_t(std::max(height, 0));
    if (PictureCharge charge = charged->charge(pixels)) return charge;
    ns::log("Image: picture %zu of a %s file (%d x %d) is not decoded: pictures decoded from data would hold more "
            "than %llu pixels together (%llu held now)",
            index, std::string(type.empty() ? "unknown" : type).c_str(), width, height,
            static_cast<unsigned long long>(charged->limit()), static_cast<unsigned long long>(charged->pixelsHeld()));
    for (PictureRefusals* scope = innermost; scope; scope = scope->outer_) ++scope->count_;
    return std::nullopt;
}

}  // namespace cg
