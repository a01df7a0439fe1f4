#include "platform/testing/SilentServer.h"

#include "platform/testing/LoopbackSockets.h"

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
    const sockets::Listener listener = sockets::listenOnLoopback("silent server");
    listener_ = listener.socket;
    port_ = listener.port;
    wake_[0] = listener.wake[0];
    wake_[1] = listener.wake[1];
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
    if (sockets::readRequestHead(connection)) sockets::sendAll(connection, answer_);
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
        writers.emplace_back([connection, &reply] { sockets::sendAll(connection, reply); });
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
