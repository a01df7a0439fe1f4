#pragma once
// A TCP server on 127.0.0.1, on a port the system picks, that floods: once a
// request's head has come it writes `start`, then `piece` over and over until
// `floodBytes` of pieces have gone, then `end`, and keeps the connection open.
// The host of a client that must stop reading on its own: a reply whose
// trailers, header lines or other parts never end, as far as the client can
// tell. The cap only keeps a client that fails to stop from reading forever.
//
// Each connection is served on a thread of its own; the destructor closes
// every connection (a write in progress fails) and waits for them.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/testing/LoopbackSockets.h"

namespace testing {

class FloodServer {
public:
    FloodServer(std::string start, std::string piece, uint64_t floodBytes, std::string end = {});
    ~FloodServer();
    FloodServer(const FloodServer&) = delete;
    FloodServer& operator=(const FloodServer&) = delete;

    int port() const { return listener_.port; }
    // "http://127.0.0.1:<port>" + pathAndQuery, which starts with "/".
    std::string url(std::string_view pathAndQuery) const;

    // Bytes of pieces written so far, over all connections.
    uint64_t floodedBytes() const { return flooded_.load(); }
    std::size_t connectionCount() const;

    // The start of a chunked 200 reply of `body` up to its last chunk: what
    // follows is trailers. With trailerLine() as the piece and "\r\n" as the
    // end, a reply whose trailers go on as long as the cap allows.
    static std::string chunkedStart(std::string_view body, std::string_view contentType = "application/octet-stream");
    // One trailer line of about a kilobyte.
    static std::string trailerLine();

private:
    void run();
    void serve(int connection);

    std::string start_;
    std::string piece_;
    uint64_t floodBytes_;
    std::string end_;
    sockets::Listener listener_;
    std::thread thread_;
    std::atomic<uint64_t> flooded_{0};

    mutable std::mutex lock_;
    std::vector<int> connections_;
    std::vector<std::thread> servers_;
};

}  // namespace testing
