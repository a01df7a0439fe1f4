#pragma once
// Which thread is the main thread: the one that runs the main run loop and
// the main queue. The process's first thread unless a test environment says
// otherwise.

#include <thread>

namespace dispatch {

bool isMainThread();

namespace detail {
std::thread::id mainThreadId();
void setMainThreadId(std::thread::id id);
}  // namespace detail

}  // namespace dispatch
