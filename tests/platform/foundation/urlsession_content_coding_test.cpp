// Content codings as a session meets them: every Content-Encoding field of
// a reply read as one list, every member of a gzip body, the limit on
// stacked codings counted over all fields, and a decoder that cannot start
// for want of memory failing its task, not the process.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/ContentDecoder.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/platform/foundation/reply_memory_support.h"
#include "tests/platform/foundation/urlsession_support.h"

namespace {

struct Loaded {
    std::string body;
    ns::Ref<ns::Error> error;
    bool done = false;
};

class URLSessionContentCodingTest : public ::testing::Test {
protected:
    // A reply of `body` with a Content-Encoding field for each of `codings`.
    void serve(const std::string& path, std::string body, std::vector<std::string> codings) {
        testing::Reply reply = testing::Reply::text(std::move(body), "text/plain");
        for (auto& coding : codings) reply.headers.emplace_back("Content-Encoding", std::move(coding));
        server.route("GET", path, reply);
    }

    Loaded load(const std::string& path) {
        Loaded loaded;
        session->dataTaskWithURL(ns::URL::make(server.url(path)),
                                 [&](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
                                     if (data) loaded.body.assign(reinterpret_cast<const char*>(data->bytes()), data->length());
                                     loaded.error = error;
                                     loaded.done = true;
                                 })
            ->resume();
        env.runUntilIdle();
        EXPECT_TRUE(loaded.done) << path;
        return loaded;
    }

    urltest::TemporaryHome home;
    testing::TaskEnvironment env;
    testing::LoopbackServer server;
    ns::Ref<ns::URLSession> session = urltest::ephemeralSession();
};

TEST_F(URLSessionContentCodingTest, FieldsAreOneListAndEveryMemberIsDecoded) {
    using urltest::gzipped;
    serve("/twice", gzipped(gzipped("hello, world")), {"gzip", "gzip"});
    serve("/members", gzipped("hello, ") + gzipped("world"), {"gzip"});
    serve("/members-and-padding", gzipped("hello, ") + gzipped("world") + std::string(64, '\0'), {"gzip"});
    serve("/stacked-over-fields", gzipped(gzipped(gzipped("deep"))), {"gzip, identity", "gzip", "gzip"});
    // Three and three: past the five a reply may stack, though no one field is.
    serve("/six", gzipped("six"), {"gzip, gzip, gzip", "gzip, gzip, gzip"});
    serve("/unknown-in-second", gzipped("x"), {"gzip", "br"});

    const struct {
        const char* path;
        const char* body;  // nullptr: fails as undecodable
    } cases[] = {
        {"/twice", "hello, world"},
        {"/members", "hello, world"},
        {"/members-and-padding", "hello, world"},
        {"/stacked-over-fields", "deep"},
        {"/six", nullptr},
        {"/unknown-in-second", nullptr},
    };
    for (const auto& c : cases) {
        const Loaded loaded = load(c.path);
        if (c.body) {
            EXPECT_FALSE(loaded.error) << c.path;
            EXPECT_EQ(loaded.body, c.body) << c.path;
        } else {
            ASSERT_TRUE(loaded.error) << c.path;
            EXPECT_EQ(loaded.error->code(), ns::URLErrorCannotDecodeRawData) << c.path;
        }
    }
}

TEST_F(URLSessionContentCodingTest, ADecoderThatCannotStartFailsItsTaskAndTheSessionGoesOn) {
    serve("/gzip", urltest::gzipped("hello"), {"gzip"});
    serve("/plain", "plain", {});
    struct FailingStarts {
        FailingStarts() { ns::detail::ContentDecoder::failStartsForTesting(true); }
        ~FailingStarts() { ns::detail::ContentDecoder::failStartsForTesting(false); }
    };
    {
        FailingStarts failing;
        ns::LogCapture log;
        const Loaded gzip = load("/gzip");
        ASSERT_TRUE(gzip.error);
        EXPECT_EQ(gzip.error->code(), ns::URLErrorDataLengthExceedsMaximum);
        EXPECT_TRUE(log.contains("no memory left to decode its content codings \"gzip\""));
        // Nothing to decode: nothing to start.
        const Loaded plain = load("/plain");
        EXPECT_FALSE(plain.error);
        EXPECT_EQ(plain.body, "plain");
    }
    const Loaded again = load("/gzip");
    EXPECT_FALSE(again.error);
    EXPECT_EQ(again.body, "hello");
}

}  // namespace
