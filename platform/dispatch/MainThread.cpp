#include "platform/dispatch/MainThread.h"

#include <atomic>

namespace dispatch {

namespace {
// Dynamic initialisation runs on the process's first thread.
std::atomic<std::thread::id> mainId{std::this_thread::get_id()};
}  // namespace

bool isMainThread() { return std::this_thread::get_id() == mainId.load(std::memory_order_acquire); }

namespace detail {
std::thread::id mainThreadId() { return mainId.load(std::memory_order_acquire); }
void setMainThreadId(std::thread::id id) { mainId.store(id, std::memory_order_release); }
}  // namespace detail

}  // namespace dispatch
