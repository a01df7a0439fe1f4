#include "platform/testing/LoopbackSockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>

namespace testing::sockets {

Listener listenOnLoopback(const char* who) {
    Listener listener;
    listener.socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener.socket < 0 || ::bind(listener.socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.socket, SOMAXCONN) != 0 ||
        ::getsockname(listener.socket, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(listener.wake, O_CLOEXEC) != 0) {
        if (listener.socket >= 0) ::close(listener.socket);
        throw std::runtime_error(std::string(who) + ": cannot listen on 127.0.0.1");
    }
    listener.port = ntohs(address.sin_port);
    return listener;
}

bool readRequestHead(int connection) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::read(connection, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        request.append(buffer, size_t(n));
    }
    return true;
}

bool sendAll(int connection, std::string_view bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += size_t(n);
    }
    return true;
}

}  // namespace testing::sockets
