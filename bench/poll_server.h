#pragma once
// A plain HTTP/1.1 server for the many-in-flight rows: one thread, one
// poll() loop over non-blocking sockets on 127.0.0.1, every request answered
// at once with the same reply on its keep-alive connection. It never sleeps
// or waits on a timer, so the rows measure the clients, not the server;
// unless it is paced: then each connection's replies go out no faster than
// its rate, as over a phone's network, and the loop wakes every millisecond
// while replies wait for their pace.
// Requests carry no body (GETs); a request with one is not served.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace bench {

class PollServer {
public:
    // `extraHeaders`: whole header lines, each ending in CRLF.
    // `bytesPerSecond`: each connection's pace; 0 for none.
    PollServer(const std::string& body, const std::string& contentType, const std::string& extraHeaders = {},
               double bytesPerSecond = 0)
        : bytesPerSecond_(bytesPerSecond) {
        reply_ = "HTTP/1.1 200 OK\r\nContent-Type: " + contentType + "\r\nContent-Length: " +
                 std::to_string(body.size()) + "\r\nConnection: keep-alive\r\n" + extraHeaders + "\r\n" + body;
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener_, 128) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
            std::perror("poll server");
            std::exit(1);
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~PollServer() {
        const char stop = 0;
        (void)!::write(wake_[1], &stop, 1);
        thread_.join();
        for (const Connection& c : connections_) ::close(c.fd);
        ::close(listener_);
        ::close(wake_[0]);
        ::close(wake_[1]);
    }
    PollServer(const PollServer&) = delete;
    PollServer& operator=(const PollServer&) = delete;

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    using Clock = std::chrono::steady_clock;

    struct Connection {
        int fd;
        std::string in;
        std::string out;
        // Paced: the bytes it may write now, as of `paced`.
        double allowance = 0;
        Clock::time_point paced = Clock::now();
    };

    void serve() {
        std::vector<pollfd> polled;
        for (;;) {
            polled.assign({{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}});
            bool waitingForPace = false;
            for (const Connection& c : connections_) {
                const bool writing = !c.out.empty() && bytesPerSecond_ <= 0;
                waitingForPace = waitingForPace || (!c.out.empty() && bytesPerSecond_ > 0);
                polled.push_back({c.fd, short(writing ? POLLIN | POLLOUT : POLLIN), 0});
            }
            if (::poll(polled.data(), polled.size(), waitingForPace ? 1 : -1) < 0) continue;
            if (polled[0].revents) return;
            const size_t watched = connections_.size();
            if (polled[1].revents & POLLIN) accept();  // new ones are watched from the next round
            std::vector<Connection> open;
            for (size_t i = 0; i < connections_.size(); ++i) {
                if (i >= watched) {
                    open.push_back(std::move(connections_[i]));
                    continue;
                }
                Connection& c = connections_[i];
                const short events = polled[i + 2].revents;
                bool alive = !(events & (POLLERR | POLLNVAL));
                if (alive && (events & (POLLIN | POLLHUP))) alive = readAndAnswer(c);
                if (alive && !c.out.empty()) alive = flush(c);
                if (alive) open.push_back(std::move(c));
                else ::close(c.fd);
            }
            connections_ = std::move(open);
        }
    }

    void accept() {
        for (;;) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) return;
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            connections_.push_back({fd, {}, {}});
        }
    }

    // Reads what is there and queues one reply per whole request head;
    // false when the peer has closed or sent what is not served.
    bool readAndAnswer(Connection& c) {
        char buffer[16 * 1024];
        for (;;) {
            const ssize_t n = ::read(c.fd, buffer, sizeof buffer);
            if (n > 0) {
                c.in.append(buffer, size_t(n));
                continue;
            }
            if (n == 0) return false;
            break;  // EAGAIN: all read
        }
        for (size_t end; (end = c.in.find("\r\n\r\n")) != std::string::npos;) {
            std::string head = c.in.substr(0, end);
            std::transform(head.begin(), head.end(), head.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
            if (head.find("content-length:") != std::string::npos || head.find("transfer-encoding:") != std::string::npos) {
                return false;
            }
            c.in.erase(0, end + 4);
            c.out += reply_;
        }
        return true;
    }

    bool flush(Connection& c) {
        size_t most = c.out.size();
        if (bytesPerSecond_ > 0) {
            // At most a few milliseconds' worth held over, so that no burst outruns the pace.
            const auto now = Clock::now();
            c.allowance = std::min(c.allowance + bytesPerSecond_ * std::chrono::duration<double>(now - c.paced).count(),
                                   std::max(bytesPerSecond_ / 250, 1.0));
            c.paced = now;
            most = std::min(most, size_t(c.allowance));
        }
        while (most > 0) {
            const ssize_t n = ::write(c.fd, c.out.data(), most);
            if (n > 0) {
                c.out.erase(0, size_t(n));
                most -= size_t(n);
                if (bytesPerSecond_ > 0) c.allowance -= double(n);
                continue;
            }
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
        return true;
    }

    const double bytesPerSecond_;
    std::string reply_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::vector<Connection> connections_;
    std::thread thread_;
};

// Poll servers by name, one per benchmark, so each peer has its connections
// to itself (as named_servers.h does for the loopback server). Made on first
// use with that reply, never torn down.
inline PollServer& namedPollServer(const std::string& name, const std::string& body, const std::string& contentType,
                                   const std::string& extraHeaders = {}, double bytesPerSecond = 0) {
    static std::map<std::string, PollServer*> servers;
    PollServer*& s = servers[name];
    if (!s) s = new PollServer(body, contentType, extraHeaders, bytesPerSecond);
    return *s;
}

}  // namespace bench
