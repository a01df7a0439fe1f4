// The blocking read of a file URL (a server's JSON may name one): regular
// files only, within the read's bounds, counted among the blocking reads;
// a device or a FIFO gives nil at once instead of filling memory or
// waiting without end.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "platform/foundation/BlockingRead.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URL.h"

namespace {

// Runs `read` on a thread of its own; a read that is still waiting after
// the guard is reported, not waited for without end (`unblock` lets it go).
template <class Read, class Unblock>
ns::Ref<ns::Data> readWithinGuard(Read read, Unblock unblock, bool& finished) {
    auto pending = std::async(std::launch::async, read);
    finished = pending.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!finished) unblock();
    return pending.get();
}

TEST(DataFromFileURL, ADeviceAndAFifoGiveNilAtOnce) {
    ns::LogCapture log;
    bool finished = false;
    auto zero = readWithinGuard([] { return ns::Data::withContentsOfURL(ns::URL::make("file:///dev/zero")); }, [] {},
                                finished);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(zero);
    EXPECT_TRUE(log.contains("no contents of file:///dev/zero: it is not a regular file"));
    EXPECT_FALSE(ns::Data::withContentsOfFile("/dev/zero"));

    const auto fifo = std::filesystem::temp_directory_path() / ("data-from-url-fifo-" + std::to_string(::getpid()));
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Without a writer, a blocking open of the FIFO would wait for one.
    auto letGo = [&fifo] {
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    };
    auto fromFifo = readWithinGuard([&] { return ns::Data::withContentsOfURL(ns::URL::fileURLWithPath(fifo.string())); },
                                    letGo, finished);
    EXPECT_TRUE(finished) << "the read waited on the FIFO";
    EXPECT_FALSE(fromFifo);
    auto direct = readWithinGuard([&] { return ns::Data::withContentsOfFile(fifo.string()); }, letGo, finished);
    EXPECT_TRUE(finished) << "the file read waited on the FIFO";
    EXPECT_FALSE(direct);
    std::filesystem::remove(fifo);
}

TEST(DataFromFileURL, AFileIsReadWithinTheReadsBoundsAndCountsAmongTheReads) {
    const auto path = std::filesystem::temp_directory_path() / ("data-from-url-" + std::to_string(::getpid()));
    std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
    const auto url = ns::URL::fileURLWithPath(path.string());
    ns::LogCapture log;

    ns::detail::BlockingReadLimits limits;
    auto whole = ns::detail::blockingRead(url, limits);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->length(), 4096u);

    limits.bytesPerRead = 4095;
    EXPECT_FALSE(ns::detail::blockingRead(url, limits));
    EXPECT_TRUE(log.contains("it is longer than 4095 bytes"));

    // A budget of its own, full before the file's 4096 bytes; the app's
    // reads meanwhile are judged by theirs.
    ns::ReplyBudget small(4000);
    limits = {};
    limits.replies = &small;
    EXPECT_FALSE(ns::detail::blockingRead(url, limits));
    EXPECT_TRUE(log.contains("the blocking reads in progress would hold more than 4000 bytes together"));
    EXPECT_TRUE(ns::detail::blockingRead(url, {}));
    EXPECT_EQ(small.held(), 0u);

    // As any read, it waits among the others: with no room for one more it
    // does not start.
    limits = {};
    limits.concurrentReads = 0;
    EXPECT_FALSE(ns::detail::blockingRead(url, limits));
    EXPECT_TRUE(log.contains("blocking reads already wait, the most that may"));
    std::filesystem::remove(path);
}

}  // namespace
