#include "platform/dispatch/Sleep.h"

#include <chrono>
#include <thread>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Waiter.h"

namespace dispatch {

void sleepFor(double seconds) {
    if (!(seconds > 0)) return;
    if (!Clock::isMock()) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        return;
    }
    detail::Waiter::create()->wait(seconds);
}

}  // namespace dispatch
