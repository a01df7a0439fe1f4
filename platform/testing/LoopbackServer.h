#pragma once
// A real HTTP or HTTPS server on 127.0.0.1 for tests, on a port the system
// picks. Routes answer by method and exact path; anything else gets 404.
// Every request is logged, matched or not, before its reply is written.
// Replies can be scripted: status, headers, body, chunked pieces, a delay in
// real seconds, a connection dropped halfway through the body, a redirect.
//
// Replies are never compressed, whatever the client accepts, so the bytes on
// the wire are the scripted ones. Routes may be added while the server runs;
// handlers run on the server's own threads. The destructor stops the server,
// cutting short any delays and closing idle keep-alive connections.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/testing/TestCertificates.h"

namespace testing {

struct RecordedRequest {
    std::string method;
    std::string path;   // as sent, without the query
    std::string query;  // after "?", as sent; empty without one
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;   // the bytes received (after undoing chunked framing)

    // The first header of that name, any case; empty when absent.
    std::string header(std::string_view name) const;
    bool hasHeader(std::string_view name) const;
};

// Holds a reply's chunks back until the test lets them go: chunk i is
// written once release() has been called i + 1 times in all (releaseAll()
// lets every chunk go). Any thread may release; stopping the server ends
// the wait.
class ChunkGate {
public:
    void release(std::size_t count = 1);
    void releaseAll();
    std::size_t released() const;

private:
    friend class LoopbackServer;
    // Waits until chunk `index` may go; false when `stopping` says so first.
    bool waitFor(std::size_t index, const std::function<bool()>& stopping);

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::size_t released_ = 0;
};

struct Reply {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // When not empty the body is sent chunked, one chunk per piece, and
    // `body` is ignored.
    std::vector<std::string> chunks;
    // Real seconds between chunks.
    double chunkDelaySeconds = 0;
    // With chunks: announce the whole length (Content-Length) and write the
    // pieces one by one unframed, rather than in chunked framing.
    bool announceLength = false;
    // With chunks: each one waits for the gate.
    std::shared_ptr<ChunkGate> gate;
    // Real seconds to wait before the status line goes out.
    double delaySeconds = 0;
    // Announces the whole body's length, sends this many bytes of it, then
    // closes the connection. Negative: the whole body is sent.
    long dropAfterBytes = -1;

    void setHeader(std::string name, std::string value);

    static Reply text(std::string body, std::string contentType = "text/plain");
    static Reply withStatus(int code, std::string body = {});
    static Reply redirect(std::string location, int code = 302);
    static Reply chunked(std::vector<std::string> pieces, std::string contentType = "application/octet-stream");
};

class LoopbackServer {
public:
    using Handler = std::function<void(const RecordedRequest& request, Reply& reply)>;

    // Plain HTTP.
    LoopbackServer();
    // HTTPS with that identity (from TestCertificates); only the identity's
    // own certificate is sent, never its issuer.
    explicit LoopbackServer(const TestCertificates::Identity& identity);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const;
    bool isHttps() const;
    // "http://127.0.0.1:<port>" (or https), without a trailing slash.
    std::string baseURL() const;
    // baseURL() + pathAndQuery, which starts with "/".
    std::string url(std::string_view pathAndQuery) const;

    // A later route for the same method and path replaces the earlier one.
    void route(std::string method, std::string path, Handler handler);
    void route(std::string method, std::string path, Reply reply);

    std::vector<RecordedRequest> requests() const;
    std::size_t requestCount() const;
    // Waits in real time until at least `count` requests have arrived. False
    // on timeout.
    bool waitForRequests(std::size_t count, double timeoutSeconds) const;
    void clearRequests();

    // Stops accepting and ends delays in progress; the destructor does this.
    void stop();

private:
    struct State;
    void startServing();

    std::unique_ptr<State> state_;
};

}  // namespace testing
