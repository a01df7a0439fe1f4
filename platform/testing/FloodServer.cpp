#include "platform/testing/FloodServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <utility>

namespace testing {

FloodServer::FloodServer(std::string start, std::string piece, uint64_t floodBytes, std::string end)
    : start_(std::move(start)), piece_(std::move(piece)), floodBytes_(floodBytes), end_(std::move(end)) {
    if (piece_.empty()) throw std::invalid_argument("flood server: an empty piece");
    listener_ = sockets::listenOnLoopback("flood server");
    thread_ = std::thread([this] { run(); });
}

FloodServer::~FloodServer() {
    const char stop = 0;
    while (::write(listener_.wake[1], &stop, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
    ::close(listener_.socket);
    std::vector<std::thread> servers;
    {
        std::lock_guard guard(lock_);
        // Ends writes in progress and reads of request heads alike.
        for (int connection : connections_) ::shutdown(connection, SHUT_RDWR);
        servers.swap(servers_);
    }
    for (auto& server : servers) server.join();
    for (int connection : connections_) ::close(connection);
    ::close(listener_.wake[0]);
    ::close(listener_.wake[1]);
}

std::string FloodServer::url(std::string_view pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(listener_.port) + std::string(pathAndQuery);
}

std::size_t FloodServer::connectionCount() const {
    std::lock_guard guard(lock_);
    return connections_.size();
}

std::string FloodServer::chunkedStart(std::string_view body, std::string_view contentType) {
    char size[32];
    std::snprintf(size, sizeof size, "%zx", body.size());
    std::string start = "HTTP/1.1 200 OK\r\nContent-Type: " + std::string(contentType) +
                        "\r\nTransfer-Encoding: chunked\r\nTrailer: X-Flood\r\n\r\n";
    if (!body.empty()) start += std::string(size) + "\r\n" + std::string(body) + "\r\n";
    return start + "0\r\n";
}

std::string FloodServer::trailerLine() { return "X-Flood: " + std::string(1014, 'f') + "\r\n"; }

void FloodServer::run() {
    for (;;) {
        pollfd fds[2] = {{listener_.socket, POLLIN, 0}, {listener_.wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        const int connection = ::accept4(listener_.socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        std::lock_guard guard(lock_);
        connections_.push_back(connection);
        servers_.emplace_back([this, connection] { serve(connection); });
    }
}

void FloodServer::serve(int connection) {
    if (!sockets::readRequestHead(connection)) return;
    if (!sockets::sendAll(connection, start_)) return;
    // Pieces go in batches of about 64 KiB, so that the flood is quick.
    std::string batch;
    while (batch.size() < 64 * 1024) batch += piece_;
    // Whole pieces only: the cap rounds up.
    uint64_t left = (floodBytes_ + piece_.size() - 1) / piece_.size() * piece_.size();
    while (left > 0) {
        const std::string_view next(batch.data(), size_t(std::min<uint64_t>(left, batch.size())));
        if (!sockets::sendAll(connection, next)) return;
        left -= next.size();
        flooded_ += next.size();
    }
    sockets::sendAll(connection, end_);
}

}  // namespace testing
