#pragma once
// A TCP server on 127.0.0.1, on a port the system picks, that takes
// connections and never answers them until the test says: the host of a
// client that must wait for a reply that does not come, or of many clients
// answered at the same moment. Every connection stays open until
// closeAll() (or the destructor) closes them all and stops listening, so
// that the clients waiting on it end at once, with an error, instead of
// waiting for a time-out.
//
// Given an answer, it writes those bytes to each connection, in one write,
// once the request's head has come, and then says nothing more: a server
// that stalls partway through its reply.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace testing {

class SilentServer {
public:
    explicit SilentServer(std::string answer = {});
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" + pathAndQuery, which starts with "/".
    std::string url(std::string_view pathAndQuery) const;

    std::size_t connectionCount() const;
    // Waits in real time until at least `count` connections have been taken.
    // False on timeout.
    bool waitForConnections(std::size_t count, double timeoutSeconds) const;

    // Writes `reply` on every connection taken so far, each from a thread of
    // its own, so that all of them are answered at once; returns when every
    // reply has been written or refused. The connections stay open.
    void answerAll(const std::string& reply);

    // Closes every connection taken and every one still queued; later ones
    // are refused.
    void closeAll();

private:
    void run();
    void answer(int connection) const;

    std::string answer_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::vector<int> connections_;
    bool closed_ = false;
};

}  // namespace testing
