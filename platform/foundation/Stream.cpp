#include "platform/foundation/Stream.h"

#include <algorithm>

#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Error.h"

namespace ns {

RT_DEFINE_CLASS(Stream, Object, "NSStream")

void Stream::open() {
    StreamStatus expected = StreamStatusNotOpen;
    if (!status_.compare_exchange_strong(expected, StreamStatusOpening)) return;
    if (!openResources()) return;
    setStreamStatus(StreamStatusOpen);
    signal(StreamEventOpenCompleted);
    if (StreamEvent ready = readyEvent()) signal(ready);
}

void Stream::close() {
    if (status_.load() == StreamStatusClosed) return;
    closeResources();
    setStreamStatus(StreamStatusClosed);
    pendingEvents_.store(0);
}

Ref<Error> Stream::streamError() const {
    std::lock_guard<std::mutex> hold(lock_);
    return error_;
}

Ref<StreamDelegate> Stream::delegate() const {
    std::lock_guard<std::mutex> hold(lock_);
    return delegate_.lock();
}

void Stream::setDelegate(const Ref<StreamDelegate>& delegate) {
    std::lock_guard<std::mutex> hold(lock_);
    delegate_ = delegate;
}

Id Stream::propertyForKey(std::string_view) const { return nullptr; }

bool Stream::setPropertyForKey(const Id&, std::string_view) { return false; }

void Stream::scheduleInRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = std::find_if(schedules_.begin(), schedules_.end(),
                               [&](const Schedule& s) { return s.runLoop.lock().get() == &runLoop; });
        if (it != schedules_.end()) it->modes |= dispatch::detail::modeMask(mode);
        else schedules_.push_back({runLoop.weak_from_this(), dispatch::detail::modeMask(mode)});
    }
    if (streamStatus() == StreamStatusOpen) {
        if (StreamEvent ready = readyEvent()) signal(ready);
    }
}

void Stream::removeFromRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode) {
    std::lock_guard<std::mutex> hold(lock_);
    for (auto it = schedules_.begin(); it != schedules_.end(); ++it) {
        if (it->runLoop.lock().get() != &runLoop) continue;
        it->modes &= ~dispatch::detail::modeMask(mode);
        if (it->modes == 0) schedules_.erase(it);
        return;
    }
}

void Stream::fail(Ref<Error> error) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        error_ = std::move(error);
    }
    setStreamStatus(StreamStatusError);
    signal(StreamEventErrorOccurred);
}

void Stream::failWithErrno(int code) { fail(Error::make(POSIXErrorDomain, code)); }

void Stream::signal(StreamEvent event) {
    std::vector<std::pair<std::shared_ptr<dispatch::RunLoop>, unsigned>> loops;
    {
        std::lock_guard<std::mutex> hold(lock_);
        // Nobody to tell: posting would leave work on loops that may never run.
        if (delegate_.expired()) return;
        for (const Schedule& s : schedules_) {
            if (auto loop = s.runLoop.lock()) loops.emplace_back(std::move(loop), s.modes);
        }
    }
    if (loops.empty()) return;
    // A stream not held by a Ref cannot be kept alive for the delivery.
    auto self = std::static_pointer_cast<Stream>(weak_from_this().lock());
    if (!self) return;
    if (pendingEvents_.fetch_or(event) & event) return;
    for (auto& [loop, modes] : loops) {
        auto block = [self, event] { self->deliver(event); };
        using dispatch::RunLoopMode;
        if (modes == dispatch::detail::modeMask(RunLoopMode::Default)) {
            loop->performBlock(block, {RunLoopMode::Default});
        } else if (modes == dispatch::detail::modeMask(RunLoopMode::Tracking)) {
            loop->performBlock(block, {RunLoopMode::Tracking});
        } else {
            loop->performBlock(block, {RunLoopMode::Common});
        }
    }
}

void Stream::deliver(StreamEvent event) {
    // The first scheduled loop to get here delivers; the others find it gone.
    if (!(pendingEvents_.fetch_and(~uint64_t(event)) & event)) return;
    const StreamStatus status = streamStatus();
    if (status == StreamStatusNotOpen || status == StreamStatusClosed) return;
    const bool readiness = event == StreamEventHasBytesAvailable || event == StreamEventHasSpaceAvailable;
    if (readiness && status != StreamStatusOpen) return;
    Ref<StreamDelegate> target;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (schedules_.empty()) return;
        target = delegate_.lock();
    }
    if (target) target->streamHandleEvent(*this, event);
}

}  // namespace ns
