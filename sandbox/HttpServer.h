#pragma once
// A plain HTTP server on 127.0.0.1 that hands every request to one handler,
// keeps a log of what it got and, when asked, reports each request as one
// line. The stand-in servers of the sandbox are built on it.
//
// Connections carry one request each, so stopping never waits on an idle
// keep-alive connection. Handlers run on the server's own threads.

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sandbox/FormFields.h"

namespace sandbox {

struct Request {
    std::string method;
    std::string path;   // without the query
    std::string query;  // after "?", as sent
    std::string body;   // as sent

    // The query's fields for a GET, the form body's otherwise.
    FormFields fields() const;
    // "POST /login/index game_id=1001&..." with control bytes shown as "\xNN".
    std::string traceLine() const;
};

struct Response {
    int status = 200;
    std::string contentType = "application/json; charset=utf-8";
    std::string body;

    static Response json(std::string text);
    static Response notFound();
};

class HttpServer {
public:
    using Handler = std::function<Response(const Request& request)>;
    using Trace = std::function<void(const std::string& line)>;

    // Port 0 lets the system pick one. Throws std::runtime_error when the
    // port cannot be bound.
    HttpServer(Handler handler, int port = 0);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>", without a trailing slash.
    std::string origin() const;

    // Called with Request::traceLine() of each request, before it is answered.
    void setTrace(Trace trace);

    std::vector<Request> requests() const;
    void clearRequests();
    // Waits in real time until at least `count` requests have arrived; false
    // on timeout.
    bool waitForRequests(std::size_t count, double timeoutSeconds) const;

    // Stops accepting and waits for requests in progress; the destructor does it.
    void stop();

private:
    struct Engine;
    Response serve(Request request);

    Handler handler_;
    mutable std::mutex lock_;
    mutable std::condition_variable arrived_;
    std::vector<Request> log_;
    Trace trace_;
    int port_ = 0;
    std::unique_ptr<Engine> engine_;
};

}  // namespace sandbox
