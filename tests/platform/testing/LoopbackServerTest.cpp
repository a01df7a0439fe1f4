#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TestCertificates.h"

namespace {

using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::Reply;

// A client that sends exactly the given bytes and keeps every byte of the
// answer, framing included, until the server closes.
std::string exchange(int port, const std::string& request) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_GE(fd, 0);
    timeval timeout{20, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        ADD_FAILURE() << "cannot connect";
        return {};
    }
    for (std::size_t sent = 0; sent < request.size();) {
        ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    std::string response;
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) response.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return response;
}

std::string headOf(const std::string& response) { return response.substr(0, response.find("\r\n\r\n") + 4); }
std::string bodyOf(const std::string& response) { return response.substr(response.find("\r\n\r\n") + 4); }

// The pieces of a chunked body, each as framed on the wire.
std::vector<std::string> chunksOf(std::string body) {
    std::vector<std::string> chunks;
    while (true) {
        std::size_t lineEnd = body.find("\r\n");
        if (lineEnd == std::string::npos) {
            ADD_FAILURE() << "unterminated chunk size";
            return chunks;
        }
        std::size_t size = std::stoul(body.substr(0, lineEnd), nullptr, 16);
        if (size == 0) return chunks;
        chunks.push_back(body.substr(lineEnd + 2, size));
        body = body.substr(lineEnd + 2 + size + 2);
    }
}

struct CurlResult {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
};

CurlResult curlGet(const std::string& url, const std::string& caPath) {
    CurlResult result;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, caPath.c_str());
    curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* out) {
        static_cast<std::string*>(out)->append(data, size * count);
        return size * count;
    });
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.body);
    result.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    curl_easy_cleanup(curl);
    return result;
}

TEST(LoopbackServer, LogsAPostBodyByteExactWithItsHeaders) {
    LoopbackServer server;
    server.route("POST", "/form", Reply::text("ok"));
    std::string body("name=a%20b&bin=\0\r\n\xff", 19);
    std::string answer = exchange(server.port(),
                                  "POST /form?x=1&y=%41 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                  "Content-Type: application/x-www-form-urlencoded\r\nX-Custom: Value\r\n"
                                  "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    EXPECT_EQ(answer.substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_EQ(bodyOf(answer), "ok");

    ASSERT_TRUE(server.waitForRequests(1, 10));
    RecordedRequest request = server.requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/form");
    EXPECT_EQ(request.query, "x=1&y=%41");
    EXPECT_EQ(request.body, body);
    EXPECT_EQ(request.header("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.header("X-CUSTOM"), "Value");
    EXPECT_FALSE(request.hasHeader("REMOTE_ADDR"));
    EXPECT_FALSE(request.hasHeader("X-Missing"));
}

TEST(LoopbackServer, KeepsAMultipartBodyAsSent) {
    LoopbackServer server;
    server.route("POST", "/upload", Reply::withStatus(204));
    std::string body =
        "--XyZ\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a.bin\"\r\n\r\n\x01\x02\r\n--XyZ--\r\n";
    exchange(server.port(), "POST /upload HTTP/1.1\r\nHost: h\r\nConnection: close\r\n"
                            "Content-Type: multipart/form-data; boundary=XyZ\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\n\r\n" + body);
    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.requests()[0].body, body);
    EXPECT_EQ(server.requests()[0].header("Content-Type"), "multipart/form-data; boundary=XyZ");
}

TEST(LoopbackServer, SendsChunkedPiecesAsTheyWereGiven) {
    LoopbackServer server;
    Reply reply = Reply::chunked({"first ", "second piece ", "3"}, "text/plain");
    reply.chunkDelaySeconds = 0.01;
    server.route("GET", "/chunks", reply);
    // Asking for compression must not change the bytes scripted.
    std::string answer = exchange(server.port(),
                                  "GET /chunks HTTP/1.1\r\nHost: h\r\nAccept-Encoding: gzip, br\r\nConnection: close\r\n\r\n");
    EXPECT_NE(headOf(answer).find("Transfer-Encoding: chunked"), std::string::npos) << answer;
    EXPECT_EQ(headOf(answer).find("Content-Encoding"), std::string::npos) << answer;
    EXPECT_EQ(chunksOf(bodyOf(answer)), (std::vector<std::string>{"first ", "second piece ", "3"}));
}

TEST(LoopbackServer, TextRepliesAreNeverCompressed) {
    LoopbackServer server;
    server.route("GET", "/t", Reply::text(std::string(5000, 'a')));
    std::string answer = exchange(server.port(), "GET /t HTTP/1.1\r\nHost: h\r\nAccept-Encoding: gzip\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(bodyOf(answer), std::string(5000, 'a'));
}

TEST(LoopbackServer, DropsTheConnectionHalfwayThroughTheBody) {
    LoopbackServer server;
    Reply reply = Reply::text(std::string(1000, 'x'), "application/octet-stream");
    reply.dropAfterBytes = 300;
    server.route("GET", "/drop", reply);
    std::string answer = exchange(server.port(), "GET /drop HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_NE(headOf(answer).find("Content-Length: 1000"), std::string::npos) << headOf(answer);
    EXPECT_EQ(bodyOf(answer), std::string(300, 'x'));

    // A client that knows HTTP sees it as a cut-short transfer.
    CurlResult result = curlGet(server.url("/drop"), "");
    EXPECT_EQ(result.code, CURLE_PARTIAL_FILE);
}

TEST(LoopbackServer, RoutesByMethodAndPath) {
    LoopbackServer server;
    server.route("GET", "/a", Reply::text("get a"));
    server.route("PUT", "/a", [](const RecordedRequest& request, Reply& reply) {
        reply.status = 201;
        reply.body = "put " + request.body;
        reply.setHeader("X-Echo", request.header("X-In"));
    });
    server.route("GET", "/old", Reply::redirect("/a", 301));

    EXPECT_EQ(bodyOf(exchange(server.port(), "GET /a HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n")), "get a");
    std::string put = exchange(server.port(),
                               "PUT /a HTTP/1.1\r\nHost: h\r\nX-In: hi\r\nContent-Length: 2\r\nConnection: close\r\n\r\nzz");
    EXPECT_EQ(put.substr(0, 12), "HTTP/1.1 201");
    EXPECT_NE(headOf(put).find("X-Echo: hi"), std::string::npos);
    EXPECT_EQ(bodyOf(put), "put zz");

    std::string missing = exchange(server.port(), "GET /b HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(missing.substr(0, 12), "HTTP/1.1 404");
    std::string head = exchange(server.port(), "HEAD /a HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(head.substr(0, 12), "HTTP/1.1 200");
    EXPECT_EQ(bodyOf(head), "");
    std::string moved = exchange(server.port(), "GET /old HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(moved.substr(0, 12), "HTTP/1.1 301");
    EXPECT_NE(headOf(moved).find("Location: /a"), std::string::npos);

    server.route("GET", "/a", Reply::text("replaced"));
    EXPECT_EQ(bodyOf(exchange(server.port(), "GET /a HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n")), "replaced");

    // Unmatched requests are logged too, in arrival order.
    std::vector<std::string> seen;
    for (const auto& request : server.requests()) seen.push_back(request.method + " " + request.path);
    EXPECT_EQ(seen, (std::vector<std::string>{"GET /a", "PUT /a", "GET /b", "HEAD /a", "GET /old", "GET /a"}));
    server.clearRequests();
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST(LoopbackServer, StoppingCutsADelayShort) {
    auto server = std::make_unique<LoopbackServer>();
    Reply slow = Reply::text("late");
    slow.delaySeconds = 600;
    server->route("GET", "/slow", slow);
    int port = server->port();
    std::string answer;
    std::thread client([&] { answer = exchange(port, "GET /slow HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n"); });
    ASSERT_TRUE(server->waitForRequests(1, 20));
    server.reset();  // would hang for the delay if stop did not end it
    client.join();
    EXPECT_EQ(answer.find("late"), std::string::npos);
}

TEST(LoopbackServer, WaitForRequestsTimesOutWhenNoneCome) {
    LoopbackServer server;
    EXPECT_FALSE(server.waitForRequests(1, 0.05));
}

class LoopbackHttps : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        certs_ = new testing::TestCertificates;
    }
    static void TearDownTestSuite() {
        delete certs_;
        curl_global_cleanup();
    }
    static testing::TestCertificates* certs_;
};

testing::TestCertificates* LoopbackHttps::certs_ = nullptr;

TEST_F(LoopbackHttps, ServesWithTheTestCaAsIssuer) {
    LoopbackServer server(certs_->leaf());
    server.route("GET", "/secure", Reply::text("secret"));
    EXPECT_TRUE(server.isHttps());
    EXPECT_EQ(server.baseURL().substr(0, 8), "https://");

    CurlResult trusted = curlGet(server.url("/secure"), certs_->ca().certificatePath);
    EXPECT_EQ(trusted.code, CURLE_OK) << curl_easy_strerror(trusted.code);
    EXPECT_EQ(trusted.status, 200);
    EXPECT_EQ(trusted.body, "secret");

    // Trusting only some other authority, the same server is refused.
    CurlResult untrusted = curlGet(server.url("/secure"), certs_->selfSigned().certificatePath);
    EXPECT_EQ(untrusted.code, CURLE_PEER_FAILED_VERIFICATION);
}

TEST_F(LoopbackHttps, WrongHostLeafFailsTheNameCheck) {
    LoopbackServer server(certs_->wrongHost());
    server.route("GET", "/", Reply::text("x"));
    CurlResult result = curlGet(server.url("/"), certs_->ca().certificatePath);
    EXPECT_EQ(result.code, CURLE_PEER_FAILED_VERIFICATION);
}

}  // namespace
