// The response head as curl hands it over: a transfer paused while its head
// arrives gets the lines curl held in one call as it resumes, and the whole
// head must still be read from it.

#include <gtest/gtest.h>

#include <curl/curl.h>

#include <string>
#include <vector>

#include "platform/foundation/CurlResponseHead.h"
#include "platform/testing/LoopbackServer.h"

namespace {

using ns::detail::CurlResponseHead;

// One easy transfer driven by hand, pausing itself on its first header call.
struct PausingTransfer {
    CurlResponseHead head;
    std::vector<size_t> linesPerCall;
    std::string body;
    bool pausedOnFirstLine = false;
    CURL* easy = nullptr;

    static size_t onHeader(char* buffer, size_t size, size_t count, void* data) {
        auto* self = static_cast<PausingTransfer*>(data);
        const std::string_view bytes(buffer, size * count);
        size_t lines = 0;
        for (char c : bytes) lines += c == '\n';
        self->linesPerCall.push_back(lines);
        self->head.take(bytes);
        if (self->linesPerCall.size() == 1) {
            // The lines after this one are held until the transfer resumes.
            curl_easy_pause(self->easy, CURLPAUSE_ALL);
            self->pausedOnFirstLine = true;
        }
        return bytes.size();
    }
    static size_t onBody(char* buffer, size_t size, size_t count, void* data) {
        auto* self = static_cast<PausingTransfer*>(data);
        // Nothing of the body may come before the head has ended.
        if (!self->head.complete()) return 0;
        self->body.append(buffer, size * count);
        return size * count;
    }
};

TEST(CurlResponseHeadTest, LinesHeldByAPauseComeInOneCallAndMakeTheWholeHead) {
    testing::LoopbackServer server;
    testing::Reply reply = testing::Reply::text("the body", "text/plain");
    reply.status = 201;
    reply.setHeader("X-One", "1");
    reply.setHeader("X-Two", "two words");
    server.route("GET", "/head", reply);

    curl_global_init(CURL_GLOBAL_DEFAULT);
    PausingTransfer transfer;
    CURL* easy = curl_easy_init();
    transfer.easy = easy;
    const std::string url = server.url("/head");
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, PausingTransfer::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, PausingTransfer::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    // Only a guard: a loopback reply takes milliseconds.
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, 30L);
    CURLM* multi = curl_multi_init();
    curl_multi_add_handle(multi, easy);

    CURLcode result = CURLE_OK;
    bool done = false;
    bool resumed = false;
    while (!done) {
        int running = 0;
        curl_multi_perform(multi, &running);
        while (CURLMsg* msg = curl_multi_info_read(multi, &running)) {
            if (msg->msg == CURLMSG_DONE) {
                result = msg->data.result;
                done = true;
            }
        }
        if (transfer.pausedOnFirstLine && !resumed) {
            resumed = true;
            // Hands the held lines over before it returns.
            EXPECT_EQ(curl_easy_pause(easy, CURLPAUSE_CONT), CURLE_OK);
        }
        if (!done) curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);

    EXPECT_EQ(result, CURLE_OK);
    ASSERT_GE(transfer.linesPerCall.size(), 2u);
    EXPECT_EQ(transfer.linesPerCall[0], 1u);
    EXPECT_GT(transfer.linesPerCall[1], 1u) << "the held lines came one by one";
    ASSERT_TRUE(transfer.head.complete());
    EXPECT_EQ(transfer.head.status(), 201);
    EXPECT_EQ(transfer.head.version(), "HTTP/1.1");
    const auto headers = transfer.head.takeHeaders();
    ns::HTTPHeaderFields fields;
    for (const auto& [name, value] : headers) fields.set(name, value);
    ASSERT_TRUE(fields.value("X-One"));
    EXPECT_EQ(*fields.value("X-One"), "1");
    ASSERT_TRUE(fields.value("X-Two"));
    EXPECT_EQ(*fields.value("X-Two"), "two words");
    EXPECT_EQ(transfer.body, "the body");
}

TEST(CurlResponseHeadTest, InterimHeadsFoldedLinesAndTrailersInOneBuffer) {
    CurlResponseHead head;
    head.take("HTTP/1.1 100 Continue\r\nX-Interim: yes\r\n\r\nHTTP/1.1 200 OK\r\nX-Long: first\r\n"
              "\t second\r\nNo colon here\r\n");
    EXPECT_FALSE(head.complete());
    head.take("Content-Length: 4\r\n\r\nX-Trailer: late\r\n");
    ASSERT_TRUE(head.complete());
    EXPECT_EQ(head.status(), 200);
    head.take("HTTP/1.1 500 Later\r\n\r\n");
    EXPECT_EQ(head.status(), 200);
    const std::vector<ns::HTTPHeaderFields::Field> expected{{"X-Long", "first second"}, {"Content-Length", "4"}};
    EXPECT_EQ(head.takeHeaders(), expected);
}

}  // namespace
