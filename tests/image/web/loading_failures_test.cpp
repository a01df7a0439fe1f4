// Pictures whose loads fail below the loader fail their operations with
// the loader's codes: a compressed reply cut short (-1015), a file whose
// bytes memory cannot hold (-1103); a whole compressed picture loads, and
// so does one whose gzip trailer alone is missing.

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/foundation/FileContents.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URLError.h"
#include "tests/image/web/web_image_test_support.h"
#include "tests/platform/foundation/reply_memory_support.h"

namespace {

using namespace web_test;

TEST_F(WebImageTest, APictureWhoseCompressedReplyIsCutShortFailsAndAWholeOneLoads) {
    const std::string jpeg = LoopbackImageServer::jpeg(64, 64, false);
    const std::string gz = urltest::gzipped(jpeg);
    const struct {
        const char* path;
        std::string body;
        bool whole;
    } cases[] = {
        {"/half.jpg", gz.substr(0, gz.size() / 2), false},
        // The picture's data reached its end: its trailer only is missing.
        {"/no-crc-and-length.jpg", gz.substr(0, gz.size() - 8), true},
        {"/two-members.jpg", urltest::gzipped(jpeg.substr(0, 100)) + urltest::gzipped(jpeg.substr(100)), true},
    };
    for (const auto& c : cases) {
        testing::Reply reply = testing::Reply::text(c.body, "image/jpeg");
        reply.headers.emplace_back("Content-Encoding", "gzip");
        server_.server().route("GET", c.path, reply);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Recorder recorder;
        auto operation = request(c.path, TVWebImageOptionRefreshCache, recorder);
        env_.runUntilIdle();
        const auto finished = recorder.with(TVWebImageStageFinished);
        ASSERT_EQ(finished.size(), 1u);
        if (c.whole) {
            EXPECT_TRUE(finished[0].image);
            EXPECT_FALSE(finished[0].error);
        } else {
            EXPECT_FALSE(finished[0].image);
            ASSERT_TRUE(finished[0].error);
            EXPECT_EQ(finished[0].error->code(), ns::URLErrorCannotDecodeRawData);
        }
    }
}

TEST_F(WebImageTest, APictureFileMemoryCannotHoldFailsAsTooLong) {
    const std::string path = scratch_ / "large.png";
    // 32 MiB that take no room on disk until read.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(32) << 20), 0);
    ::close(fd);
    ns::LogCapture log;
    Recorder recorder;
    ns::detail::failFileReadsPastForTesting(1 << 20);
    auto operation = manager_->requestImageWithURL(ns::URL::fileURLWithPath(path), TVWebImageOptionRefreshCache, {}, {},
                                                   recorder.block());
    env_.runUntilIdle();
    ns::detail::failFileReadsPastForTesting(SIZE_MAX);

    const auto finished = recorder.with(TVWebImageStageFinished);
    ASSERT_EQ(finished.size(), 1u);
    ASSERT_TRUE(finished[0].error);
    EXPECT_EQ(finished[0].error->code(), ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_TRUE(log.contains("no memory left to read its 33554432 bytes"));
    EXPECT_EQ(TVWebImageManager::heldBytes().held(), 0u);
}

}  // namespace
