// A file URL whose bytes memory cannot hold: the read gives nil and says
// why, a data task and a URL connection fail as with a reply too long to
// hold (-1103), and the process goes on to read the next file.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/FileContents.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLConnection.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

constexpr uint64_t FileBytes = 32ull << 20;

// Undoes the read hook whatever the test's end.
struct FailingReads {
    explicit FailingReads(size_t past) { ns::detail::failFileReadsPastForTesting(past); }
    ~FailingReads() { ns::detail::failFileReadsPastForTesting(SIZE_MAX); }
};

class Heard : public ns::URLConnectionDataDelegate {
public:
    uint64_t received = 0;
    int64_t code = 1;  // 0 finished, 1 neither

    void didFailWithError(ns::URLConnection&, const ns::Ref<ns::Error>& error) override { code = error->code(); }
    void didReceiveData(ns::URLConnection&, const ns::Ref<ns::Data>& data) override { received += data->length(); }
    void connectionDidFinishLoading(ns::URLConnection&) override { code = 0; }
};

class URLFileNoMemoryTest : public ::testing::Test {
protected:
    URLFileNoMemoryTest() {
        char folder[] = "/tmp/file-no-memory-XXXXXX";
        EXPECT_TRUE(::mkdtemp(folder));
        folder_ = folder;
        // 32 MiB that take no room on disk until read.
        large_ = folder_ + "/large.bin";
        const int fd = ::open(large_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::ftruncate(fd, off_t(FileBytes)), 0);
        ::close(fd);
        small_ = folder_ + "/small.txt";
        const int small = ::open(small_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        EXPECT_EQ(::write(small, "small", 5), 5);
        ::close(small);
    }
    ~URLFileNoMemoryTest() override { std::filesystem::remove_all(folder_); }

    std::pair<int64_t, uint64_t> byDataTask(const std::string& path) {
        int64_t code = 1;
        uint64_t length = 0;
        session->dataTaskWithURL(ns::URL::fileURLWithPath(path),
                                 [&](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
                                     code = error ? error->code() : 0;
                                     length = data ? data->length() : 0;
                                 })
            ->resume();
        env.runUntilIdle();
        return {code, length};
    }

    std::pair<int64_t, uint64_t> byConnection(const std::string& path) {
        auto heard = std::make_shared<Heard>();
        auto connection = ns::URLConnection::make(ns::URLRequest::make(ns::URL::fileURLWithPath(path)), heard);
        env.runUntilIdle();
        return {heard->code, heard->received};
    }

    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    ns::Ref<ns::URLSession> session = urltest::ephemeralSession();
    std::string folder_, large_, small_;
};

TEST_F(URLFileNoMemoryTest, AFileMemoryCannotHoldGivesNilAndFailsItsTasksAsTooLong) {
    FailingReads failing(1 << 20);
    ns::LogCapture log;
    const std::string why = "no memory left to read its 33554432 bytes";

    EXPECT_FALSE(ns::Data::withContentsOfFile(large_));
    EXPECT_FALSE(ns::Data::withContentsOfURL(ns::URL::fileURLWithPath(large_)));
    EXPECT_TRUE(log.contains("Data: no contents of " + ns::URL::fileURLWithPath(large_)->absoluteString()->utf8() +
                             ": " + why));
    ns::detail::FileReadFailure failure;
    EXPECT_FALSE(ns::detail::readRegularFile(large_, UINT64_MAX, {}, failure));
    EXPECT_EQ(failure.reason, why);
    EXPECT_TRUE(failure.noMemory);

    log.clear();
    EXPECT_EQ(byDataTask(large_), std::make_pair(int64_t(ns::URLErrorDataLengthExceedsMaximum), uint64_t(0)));
    EXPECT_TRUE(log.contains("URL session: task for " + ns::URL::fileURLWithPath(large_)->absoluteString()->utf8() +
                             " failed: " + why));
    EXPECT_EQ(byConnection(large_).first, ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_EQ(ns::sessionReplies().held(), 0u) << "the share taken for the file is given back";

    // Files memory can hold are read meanwhile, by every reader.
    auto small = ns::Data::withContentsOfFile(small_);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->view(), "small");
    EXPECT_EQ(byDataTask(small_), std::make_pair(int64_t(0), uint64_t(5)));
    EXPECT_EQ(byConnection(small_), std::make_pair(int64_t(0), uint64_t(5)));
}

TEST_F(URLFileNoMemoryTest, AFileThatCannotBeReadFailsForItsOwnReason) {
    // Not a memory failure: the task's error stays the file's own.
    FailingReads failing(1 << 20);
    EXPECT_EQ(byDataTask(folder_ + "/missing.bin").first, ns::URLErrorFileDoesNotExist);
    EXPECT_EQ(byDataTask(folder_).first, ns::URLErrorFileIsDirectory);
    ns::detail::FileReadFailure failure;
    EXPECT_FALSE(ns::detail::readRegularFile(folder_ + "/missing.bin", UINT64_MAX, {}, failure));
    EXPECT_FALSE(failure.noMemory);
}

}  // namespace
