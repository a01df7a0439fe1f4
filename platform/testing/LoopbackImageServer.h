#pragma once
// A loopback HTTP server of pictures for image-loading tests: each path
// answers with a status and a body, whole or in chunks the test lets go one
// by one (with or without Content-Length), optionally behind a basic-auth
// challenge (401 until the right user and password come). Every request is
// logged. The pictures it is usually given are made here: JPEG (baseline or
// progressive) and PNG (plain or interlaced), the same bytes on every run.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/testing/LoopbackServer.h"

namespace testing {

struct ImageReply {
    int status = 200;
    std::string body;
    std::string contentType = "image/jpeg";
    // Pieces of at most this many bytes; 0 sends the body whole.
    std::size_t chunkSize = 0;
    // With pieces: Content-Length announced (else chunked framing).
    bool announceLength = true;
    // With pieces: each waits for the gate.
    std::shared_ptr<ChunkGate> gate;
    // When set, a request without this user and password gets 401 with a
    // basic challenge.
    std::string user;
    std::string password;
};

class LoopbackImageServer {
public:
    LoopbackImageServer() = default;

    void serve(const std::string& path, ImageReply reply);
    std::string url(std::string_view path) const { return server_.url(path); }
    LoopbackServer& server() { return server_; }

    std::vector<RecordedRequest> requests() const { return server_.requests(); }
    std::size_t requestCount() const { return server_.requestCount(); }
    // Requests for one path.
    std::size_t requestCount(std::string_view path) const;

    // A picture of noise and gradients (so it compresses poorly and a cut
    // file still holds whole rows), the same for the same arguments.
    static std::string jpeg(int width, int height, bool progressive);
    static std::string png(int width, int height, bool interlaced, bool alpha = false);
    // Pieces of at most `size` bytes.
    static std::vector<std::string> split(const std::string& bytes, std::size_t size);

private:
    LoopbackServer server_;
};

}  // namespace testing
