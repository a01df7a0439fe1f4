// A file URL through a session task: a data task's file is weighed, against
// the task's bound and then the share of all sessions' replies, before a
// byte of it is read, and read once; a download task copies its file in
// pieces, whatever its length.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "platform/foundation/Log.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/ResidentMemory.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/reply_memory_support.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

using urltest::MiB;

// A file of `size` zero bytes that takes no room on disk until read.
std::string sparseFile(const std::string& directory, const std::string& name, uint64_t size) {
    const std::string path = directory + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::ftruncate(fd, off_t(size)), 0);
    ::close(fd);
    return path;
}

// Counts the bytes handed over, keeping none.
class CountingDelegate : public ns::URLSessionDataDelegate {
public:
    void didReceiveData(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionDataTask>&,
                        const ns::Ref<ns::Data>& data) override {
        std::lock_guard guard(lock);
        received += data->length();
    }
    void didCompleteWithError(const ns::Ref<ns::URLSession>&, const ns::Ref<ns::URLSessionTask>&,
                              const ns::Ref<ns::Error>& failure) override {
        std::lock_guard guard(lock);
        error = failure ? failure->code() : 0;
        ++ended;
    }

    std::mutex lock;
    uint64_t received = 0;
    int64_t error = 0;
    int ended = 0;
};

class URLSessionFileRepliesTest : public ::testing::Test {
protected:
    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
};

TEST_F(URLSessionFileRepliesTest, AFileLongerThanATasksBoundFailsBeforeItIsRead) {
    const auto url = ns::URL::fileURLWithPath(sparseFile(home.path(), "huge.bin", 768 * MiB));
    ns::LogCapture log;
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    urltest::Outcome handled;
    ns::URLSession::sharedSession()->dataTaskWithURL(url, handled.handler())->resume();
    auto delegate = std::make_shared<CountingDelegate>();
    auto session = urltest::ephemeralSession(delegate);
    session->dataTaskWithURL(url)->resume();
    env.runUntilIdle();
    const uint64_t growth = peak.growth();

    EXPECT_EQ(handled.errorCode(), ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_EQ(delegate->error, ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_EQ(delegate->received, 0u);
    EXPECT_TRUE(log.contains("its reply is longer than 67108864 bytes"));
    testing::expectGrowthUnder(growth, 8 * MiB, "a 768 MiB file through two data tasks");
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
    session->invalidateAndCancel();
    env.runUntilIdle();
}

TEST_F(URLSessionFileRepliesTest, AFileWithinTheBoundIsReadOnceAndWeighedAgainstTheRepliesHeld) {
    const auto url = ns::URL::fileURLWithPath(sparseFile(home.path(), "large.bin", 32 * MiB));
    {
        testing::ResidentPeak peak;
        ASSERT_TRUE(peak.started());
        urltest::Outcome handled;
        ns::URLSession::sharedSession()->dataTaskWithURL(url, handled.handler())->resume();
        env.runUntilIdle();
        const uint64_t growth = peak.growth();
        EXPECT_EQ(handled.errorCode(), 0);
        std::lock_guard guard(handled.lock);
        ASSERT_TRUE(handled.data);
        EXPECT_EQ(handled.data->length(), 32 * MiB);
        // The file's bytes once, handed on as they were read.
        testing::expectGrowthUnder(growth, 40 * MiB, "a 32 MiB file through a data task");
    }
    {
        auto delegate = std::make_shared<CountingDelegate>();
        auto session = urltest::ephemeralSession(delegate);
        session->dataTaskWithURL(url)->resume();
        env.runUntilIdle();
        EXPECT_EQ(delegate->error, 0);
        EXPECT_EQ(delegate->received, 32 * MiB);
        session->invalidateAndCancel();
        env.runUntilIdle();
    }
    EXPECT_EQ(ns::sessionReplies().held(), 0u);

    // Other replies hold all but 16 MiB: the file is refused unread.
    ns::ReplyShare others(ns::sessionReplies());
    ASSERT_TRUE(others.growToOrRelease(ns::BytesOfAllSessionReplies - 16 * MiB));
    ns::LogCapture log;
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    urltest::Outcome refused;
    ns::URLSession::sharedSession()->dataTaskWithURL(url, refused.handler())->resume();
    env.runUntilIdle();
    EXPECT_EQ(refused.errorCode(), ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_TRUE(log.contains("the replies of all tasks in progress would hold more than 100663296 bytes together"));
    testing::expectGrowthUnder(peak, 8 * MiB, "a 32 MiB file refused beside the replies held");
    EXPECT_EQ(ns::sessionReplies().held(), others.size());
}

TEST_F(URLSessionFileRepliesTest, ADownloadOfAFileCopiesItInPiecesWhateverItsLength) {
    const auto url = ns::URL::fileURLWithPath(sparseFile(home.path(), "huge.bin", 768 * MiB));
    testing::ResidentPeak peak;
    ASSERT_TRUE(peak.started());
    std::mutex lock;
    int64_t error = -1;
    off_t copied = -1;
    ns::URLSession::sharedSession()
        ->downloadTaskWithURL(url,
                              [&](ns::Ref<ns::URL> location, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> failure) {
                                  std::lock_guard guard(lock);
                                  error = failure ? failure->code() : 0;
                                  struct stat info {};
                                  if (location && ::stat(location->path()->utf8().c_str(), &info) == 0) copied = info.st_size;
                              })
        ->resume();
    env.runUntilIdle();
    const uint64_t growth = peak.growth();

    std::lock_guard guard(lock);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(copied, off_t(768 * MiB));
    testing::expectGrowthUnder(growth, 8 * MiB, "a 768 MiB file through a download task");
}

}  // namespace
