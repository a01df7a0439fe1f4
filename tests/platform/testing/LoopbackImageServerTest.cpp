// The image server: gated chunks with and without a length, the basic-auth
// challenge, and pictures of the kinds it says it makes.

#include <gtest/gtest.h>

#include <curl/curl.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/graphics/ImageSource.h"
#include "platform/testing/LoopbackImageServer.h"

namespace {

using testing::ChunkGate;
using testing::ImageReply;
using testing::LoopbackImageServer;

struct Fetch {
    long status = 0;
    std::string body;
    std::string headers;
};

// A plain libcurl GET, optionally with a user and password.
Fetch fetch(const std::string& url, const std::string& userpwd = {}, std::atomic<size_t>* received = nullptr) {
    struct Sink {
        Fetch* fetch;
        std::atomic<size_t>* received;
    };
    Fetch out;
    Sink sink{&out, received};
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    if (!userpwd.empty()) curl_easy_setopt(curl, CURLOPT_USERPWD, userpwd.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* user) {
        auto* s = static_cast<Sink*>(user);
        s->fetch->body.append(data, size * count);
        if (s->received) s->received->store(s->fetch->body.size());
        return size * count;
    });
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &out.headers);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, +[](char* data, size_t size, size_t count, void* user) {
        static_cast<std::string*>(user)->append(data, size * count);
        return size * count;
    });
    curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &out.status);
    curl_easy_cleanup(curl);
    return out;
}

TEST(LoopbackImageServerTest, PicturesAreOfTheKindAsked) {
    for (bool progressive : {false, true}) {
        std::string jpeg = LoopbackImageServer::jpeg(32, 24, progressive);
        auto properties = cg::ImageSource::createWithData(std::span(reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size()))
                              ->copyPropertiesAtIndex(0);
        ASSERT_TRUE(properties);
        EXPECT_EQ(properties->pixelWidth, 32);
        EXPECT_EQ(properties->isProgressive, progressive);
        EXPECT_EQ(jpeg, LoopbackImageServer::jpeg(32, 24, progressive)) << "the same bytes every time";
    }
    for (bool interlaced : {false, true}) {
        std::string png = LoopbackImageServer::png(20, 10, interlaced, true);
        auto properties = cg::ImageSource::createWithData(std::span(reinterpret_cast<const uint8_t*>(png.data()), png.size()))
                              ->copyPropertiesAtIndex(0);
        ASSERT_TRUE(properties);
        EXPECT_EQ(properties->interlaceType, interlaced ? 1 : 0);
        EXPECT_EQ(properties->hasAlpha, true);
    }
}

TEST(LoopbackImageServerTest, GatedChunksGoOnlyWhenReleasedWithOrWithoutLength) {
    LoopbackImageServer server;
    std::string body(3000, 'x');
    for (bool announce : {true, false}) {
        auto gate = std::make_shared<ChunkGate>();
        server.serve("/a.jpg", ImageReply{.body = body, .chunkSize = 1000, .announceLength = announce, .gate = gate});
        std::atomic<size_t> received{0};
        Fetch result;
        std::thread client([&] { result = fetch(server.url("/a.jpg"), {}, &received); });
        gate->release();
        while (received.load() < 1000) std::this_thread::yield();
        // The second piece is held back until it is let go.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(received.load(), 1000u);
        gate->releaseAll();
        client.join();
        EXPECT_EQ(result.body, body);
        bool hasLength = result.headers.find("Content-Length: 3000") != std::string::npos;
        EXPECT_EQ(hasLength, announce);
    }
    EXPECT_EQ(server.requestCount("/a.jpg"), 2u);
}

TEST(LoopbackImageServerTest, ChallengeUntilTheRightUserAndAnyStatus) {
    LoopbackImageServer server;
    server.serve("/secret.png", ImageReply{.body = "pic", .contentType = "image/png", .user = "u", .password = "p"});
    server.serve("/gone.png", ImageReply{.status = 404, .body = "no"});
    Fetch denied = fetch(server.url("/secret.png"));
    EXPECT_EQ(denied.status, 401);
    EXPECT_NE(denied.headers.find("WWW-Authenticate: Basic"), std::string::npos);
    EXPECT_EQ(fetch(server.url("/secret.png"), "u:x").status, 401);
    Fetch allowed = fetch(server.url("/secret.png"), "u:p");
    EXPECT_EQ(allowed.status, 200);
    EXPECT_EQ(allowed.body, "pic");
    EXPECT_EQ(fetch(server.url("/gone.png")).status, 404);
    EXPECT_EQ(server.requestCount(), 4u);
}

}  // namespace
