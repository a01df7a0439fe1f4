#pragma once
// One web view's page events (script messages, navigation callbacks,
// dialogs) in the order the page caused them. A message waits for a later
// main-queue turn, as the platform delivers it; an event that may go at once
// (a navigation callback) still waits behind the messages posted before it;
// a dialog, which its script waits on, first delivers everything queued.
// Internal to the web views. Main thread only.

#include <deque>
#include <functional>
#include <memory>

namespace web::detail {

class PageEventQueue : public std::enable_shared_from_this<PageEventQueue> {
public:
    using Event = std::function<void()>;

    // Queued, and delivered on a later turn of the main queue.
    void post(Event event);
    // At once when nothing is waiting, else behind what is.
    void deliver(Event event);
    // Delivers every queued event now, in order.
    void flush();
    // Drops what waits; nothing more is delivered.
    void close();

    bool empty() const { return events_.empty(); }

private:
    void scheduleDrain();

    std::deque<Event> events_;
    bool drainScheduled_ = false;
    bool closed_ = false;
};

}  // namespace web::detail
