#include "channel/usercenter/pages/NSTimer+TVAddition.h"

#include <limits>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

namespace TVAddition {

Timer wy_scheduledTimerWithTimeInterval(double interval, bool repeats, Block block) {
    auto timer = dispatch::RunLoopTimer::create(interval, repeats, [block](dispatch::RunLoopTimer& fired) {
        if (block) block(fired);
    });
    dispatch::RunLoop::current().addTimer(timer, dispatch::RunLoopMode::Default);
    return timer;
}

void pause(const Timer& timer) {
    if (timer && timer->isValid()) timer->setFireDate(std::numeric_limits<double>::max());
}

void resume(const Timer& timer) {
    resumeWithTimeInterval(timer, 0);
}

void resumeWithTimeInterval(const Timer& timer, double interval) {
    if (timer && timer->isValid()) timer->setFireDate(dispatch::now() + interval);
}

}  // namespace TVAddition
