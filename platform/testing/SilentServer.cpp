#include "platform/testing/SilentServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <utility>

namespace testing {

SilentServer::SilentServer(std::string answer) : answer_(std::move(answer)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, SOMAXCONN) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(wake_, O_CLOEXEC) != 0) {
        if (listener_ >= 0) ::close(listener_);
        throw std::runtime_error("silent server: cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

SilentServer::~SilentServer() {
    closeAll();
    ::close(wake_[0]);
    ::close(wake_[1]);
}

std::string SilentServer::url(std::string_view pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(pathAndQuery);
}

void SilentServer::run() {
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        if (!answer_.empty()) answer(connection);
        std::lock_guard guard(lock_);
        connections_.push_back(connection);
        changed_.notify_all();
    }
}

void SilentServer::answer(int connection) const {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::read(connection, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        request.append(buffer, size_t(n));
    }
    for (size_t sent = 0; sent < answer_.size();) {
        const ssize_t n = ::send(connection, answer_.data() + sent, answer_.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        sent += size_t(n);
    }
}

std::size_t SilentServer::connectionCount() const {
    std::lock_guard guard(lock_);
    return connections_.size();
}

bool SilentServer::waitForConnections(std::size_t count, double timeoutSeconds) const {
    std::unique_lock hold(lock_);
    return changed_.wait_for(hold, std::chrono::duration<double>(timeoutSeconds),
                             [&] { return connections_.size() >= count; });
}

void SilentServer::answerAll(const std::string& reply) {
    std::vector<int> taken;
    {
        std::lock_guard guard(lock_);
        taken = connections_;
    }
    std::vector<std::thread> writers;
    for (int connection : taken) {
        writers.emplace_back([connection, &reply] {
            for (size_t sent = 0; sent < reply.size();) {
                const ssize_t n = ::send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) return;
                sent += size_t(n);
            }
        });
    }
    for (auto& writer : writers) writer.join();
}

void SilentServer::closeAll() {
    {
        std::lock_guard guard(lock_);
        if (closed_) return;
        closed_ = true;
    }
    const char stop = 0;
    while (::write(wake_[1], &stop, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
    // Closing the listener resets the connections still queued on it.
    ::close(listener_);
    std::lock_guard guard(lock_);
    for (int connection : connections_) {
        ::shutdown(connection, SHUT_RDWR);
        ::close(connection);
    }
}

}  // namespace testing
