#pragma once
// The part of a byte stream that input and output streams share: the status
// a stream moves through, its error, its properties, and the delegate events
// it sends through the run loops it is scheduled in.
//
// A stream is opened once: open() on a stream that is open, at its end,
// closed or failed does nothing. An unscheduled stream (or one without a
// delegate) sends no events; its owner polls it instead.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/dispatch/RunLoopMode.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace dispatch {
class RunLoop;
}

namespace ns {

class Error;
class Stream;

// The platform's numbering.
enum StreamStatus : uint64_t {
    StreamStatusNotOpen = 0,
    StreamStatusOpening = 1,
    StreamStatusOpen = 2,
    StreamStatusReading = 3,
    StreamStatusWriting = 4,
    StreamStatusAtEnd = 5,
    StreamStatusClosed = 6,
    StreamStatusError = 7,
};

enum StreamEvent : uint64_t {
    StreamEventNone = 0,
    StreamEventOpenCompleted = 1,
    StreamEventHasBytesAvailable = 2,
    StreamEventHasSpaceAvailable = 4,
    StreamEventErrorOccurred = 8,
    StreamEventEndEncountered = 16,
};

// Property keys: the read or write position of a file stream (a number), and
// the bytes a memory output stream has collected (data).
inline constexpr const char* StreamFileCurrentOffsetKey = "kCFStreamPropertyFileCurrentOffset";
inline constexpr const char* StreamDataWrittenToMemoryStreamKey = "kCFStreamPropertyDataWritten";

class StreamDelegate {
public:
    virtual ~StreamDelegate() = default;
    virtual void streamHandleEvent(Stream& stream, StreamEvent event) = 0;
};

class Stream : public Object {
    RT_DECLARE_CLASS(Stream)
public:
    virtual void open();
    virtual void close();
    virtual StreamStatus streamStatus() const { return status_.load(); }
    // The error that moved the stream to StreamStatusError; nil otherwise.
    virtual Ref<Error> streamError() const;

    // Not retained: the delegate must outlive its interest in the stream.
    virtual Ref<StreamDelegate> delegate() const;
    virtual void setDelegate(const Ref<StreamDelegate>& delegate);

    // nil / false for keys the stream does not know.
    virtual Id propertyForKey(std::string_view key) const;
    virtual bool setPropertyForKey(const Id& property, std::string_view key);

    // Delegate events are delivered on these run loops, in these modes. A
    // pending event keeps the stream alive until it is delivered. Scheduling
    // a stream that is already open tells the delegate it is ready.
    virtual void scheduleInRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode);
    virtual void removeFromRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode);

protected:
    Stream() = default;

    // Acquires what the stream reads or writes; on failure calls fail() and
    // returns false.
    virtual bool openResources() { return true; }
    virtual void closeResources() {}
    // The event that tells the delegate the open stream is ready for use.
    virtual StreamEvent readyEvent() const { return StreamEventNone; }

    void setStreamStatus(StreamStatus status) { status_.store(status); }
    // Moves to StreamStatusError with `error` and tells the delegate.
    void fail(Ref<Error> error);
    // fail() with the POSIX error `code`.
    void failWithErrno(int code);
    // Queues `event` for the delegate on every scheduled run loop. An event
    // already waiting is not queued twice; readiness events still waiting
    // when the stream stops being open are dropped.
    void signal(StreamEvent event);

private:
    struct Schedule {
        std::weak_ptr<dispatch::RunLoop> runLoop;
        unsigned modes;
    };

    void deliver(StreamEvent event);

    std::atomic<StreamStatus> status_{StreamStatusNotOpen};
    std::atomic<uint64_t> pendingEvents_{0};
    mutable std::mutex lock_;
    Ref<Error> error_;
    std::weak_ptr<StreamDelegate> delegate_;
    std::vector<Schedule> schedules_;
};

}  // namespace ns
