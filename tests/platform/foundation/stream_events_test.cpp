#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/OutputStream.h"
#include "platform/testing/TaskEnvironment.h"

namespace ns {
namespace {

using dispatch::RunLoop;
using dispatch::RunLoopMode;

// Records events and, when told bytes are ready, reads one chunk.
class Reader : public StreamDelegate {
public:
    explicit Reader(uint64_t chunk) : chunk_(chunk) {}
    void streamHandleEvent(Stream& stream, StreamEvent event) override {
        events.push_back(event);
        if (event != StreamEventHasBytesAvailable) return;
        std::string buffer(chunk_, '\0');
        int64_t n = static_cast<InputStream&>(stream).read(reinterpret_cast<uint8_t*>(buffer.data()), chunk_);
        if (n > 0) bytes.append(buffer, 0, size_t(n));
    }
    std::vector<StreamEvent> events;
    std::string bytes;

private:
    uint64_t chunk_;
};

TEST(StreamEvents, ScheduledStreamDrivesItsReaderToTheEnd) {
    testing::TaskEnvironment env;
    auto reader = std::make_shared<Reader>(4);
    auto stream = InputStream::withData(Data::withBytes("0123456789"));
    stream->setDelegate(reader);
    stream->scheduleInRunLoop(RunLoop::main(), RunLoopMode::Default);
    stream->open();
    EXPECT_TRUE(reader->events.empty());  // delivered by the run loop, not inside open()
    env.runUntilIdle();
    EXPECT_EQ(reader->bytes, "0123456789");
    EXPECT_EQ(reader->events, (std::vector<StreamEvent>{StreamEventOpenCompleted, StreamEventHasBytesAvailable,
                                                        StreamEventHasBytesAvailable, StreamEventHasBytesAvailable,
                                                        StreamEventEndEncountered}));
}

TEST(StreamEvents, FailureIsTheOnlyEventOfAStreamThatCannotOpen) {
    testing::TaskEnvironment env;
    auto reader = std::make_shared<Reader>(4);
    auto stream = InputStream::withFileAtPath("/nonexistent/stream/file");
    stream->setDelegate(reader);
    stream->scheduleInRunLoop(RunLoop::main(), RunLoopMode::Common);
    stream->open();
    env.runUntilIdle();
    EXPECT_EQ(reader->events, std::vector<StreamEvent>{StreamEventErrorOccurred});
}

TEST(StreamEvents, UnscheduledOrClosedStreamsTellNobody) {
    testing::TaskEnvironment env;
    auto reader = std::make_shared<Reader>(4);
    auto removed = InputStream::withData(Data::withBytes("abc"));
    removed->setDelegate(reader);
    removed->scheduleInRunLoop(RunLoop::main(), RunLoopMode::Default);
    removed->removeFromRunLoop(RunLoop::main(), RunLoopMode::Default);
    removed->open();

    auto closed = InputStream::withData(Data::withBytes("abc"));
    closed->setDelegate(reader);
    closed->scheduleInRunLoop(RunLoop::main(), RunLoopMode::Default);
    closed->open();
    closed->close();

    env.runUntilIdle();
    EXPECT_TRUE(reader->events.empty());
}

TEST(StreamEvents, PendingEventKeepsStreamAliveButNotItsDelegate) {
    testing::TaskEnvironment env;
    auto reader = std::make_shared<Reader>(16);
    {
        auto stream = InputStream::withData(Data::withBytes("kept"));
        stream->setDelegate(reader);
        stream->scheduleInRunLoop(RunLoop::main(), RunLoopMode::Default);
        stream->open();
    }
    env.runUntilIdle();
    EXPECT_EQ(reader->bytes, "kept");

    auto stream = InputStream::withData(Data::withBytes("x"));
    stream->setDelegate(std::make_shared<Reader>(1));
    EXPECT_EQ(stream->delegate(), nullptr);
}

TEST(StreamEvents, SchedulingAnOpenStreamReportsItReady) {
    testing::TaskEnvironment env;
    struct Writer : StreamDelegate {
        void streamHandleEvent(Stream&, StreamEvent event) override { events.push_back(event); }
        std::vector<StreamEvent> events;
    };
    auto writer = std::make_shared<Writer>();
    auto stream = OutputStream::toMemory();
    stream->setDelegate(writer);
    stream->open();
    env.runUntilIdle();
    EXPECT_TRUE(writer->events.empty());
    stream->scheduleInRunLoop(RunLoop::main(), RunLoopMode::Default);
    env.runUntilIdle();
    EXPECT_EQ(writer->events, std::vector<StreamEvent>{StreamEventHasSpaceAvailable});
}

}  // namespace
}  // namespace ns
