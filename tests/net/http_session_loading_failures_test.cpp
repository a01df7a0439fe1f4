// Loads that must fail through the HTTP client as they fail below it: a
// compressed reply cut short (-1015), a file URL whose bytes memory cannot
// hold (-1103); whole replies of several members still load.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "net/SDPHTTPResponseSerializer.h"
#include "net/SDPURLSessionManager.h"
#include "platform/foundation/FileContents.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/URLError.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/net/http_session_support.h"
#include "tests/platform/foundation/cut_codings_support.h"

namespace {

struct Outcome {
    int64_t code = 1;  // 1 while no completion came
    std::string body;
};

class HTTPSessionLoadingFailuresTest : public ::testing::Test {
protected:
    HTTPSessionLoadingFailuresTest() {
        manager = SDPURLSessionManager::make(httptest::ephemeralConfiguration());
        manager->setResponseSerializer(SDPHTTPResponseSerializer::serializer());
    }
    ~HTTPSessionLoadingFailuresTest() override {
        manager->invalidateSessionCancelingTasks(true);
        env.runUntilIdle();
    }

    Outcome load(const ns::Ref<ns::URL>& url) {
        Outcome outcome;
        manager->dataTaskWithRequest(ns::URLRequest::make(url), [&](const ns::Ref<ns::URLResponse>&, const ns::Id& object,
                                                                    const ns::Ref<ns::Error>& error) {
            outcome.code = error ? error->code() : 0;
            if (auto data = ns::cast<ns::Data>(object)) outcome.body = std::string(data->view());
        })->resume();
        env.runUntilIdle();
        return outcome;
    }

    testing::TaskEnvironment env;
    ns::Ref<SDPURLSessionManager> manager;
};

TEST_F(HTTPSessionLoadingFailuresTest, ACompressedReplyCutShortFailsAndAWholeOneLoads) {
    testing::LoopbackServer server;
    const auto shapes = cuttest::shapes();
    for (const auto& shape : shapes) {
        testing::Reply reply = testing::Reply::text(shape.body, "text/plain");
        reply.headers.emplace_back("Content-Encoding", "gzip");
        server.route("GET", "/" + shape.name, reply);
    }
    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const Outcome outcome = load(ns::URL::make(server.url("/" + shape.name)));
        if (shape.whole) {
            EXPECT_EQ(outcome.code, 0);
            EXPECT_EQ(outcome.body, shape.decoded);
        } else {
            EXPECT_EQ(outcome.code, ns::URLErrorCannotDecodeRawData);
        }
    }
}

TEST_F(HTTPSessionLoadingFailuresTest, AFileMemoryCannotHoldFailsAsTooLongAndTheNextLoads) {
    char folder[] = "/tmp/http-file-no-memory-XXXXXX";
    ASSERT_TRUE(::mkdtemp(folder));
    const std::string large = std::string(folder) + "/large.json";
    const int fd = ::open(large.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(32) << 20), 0);
    ::close(fd);
    ns::LogCapture log;
    ns::detail::failFileReadsPastForTesting(1 << 20);
    const Outcome failed = load(ns::URL::fileURLWithPath(large));
    ns::detail::failFileReadsPastForTesting(SIZE_MAX);
    const Outcome loaded = load(ns::URL::fileURLWithPath(large));
    std::filesystem::remove_all(folder);

    EXPECT_EQ(failed.code, ns::URLErrorDataLengthExceedsMaximum);
    EXPECT_TRUE(log.contains("no memory left to read its 33554432 bytes"));
    EXPECT_EQ(loaded.code, 0);
    EXPECT_EQ(loaded.body.size(), 32u << 20);
    EXPECT_EQ(ns::sessionReplies().held(), 0u);
}

}  // namespace
