#include "sandbox/HttpServer.h"

#include <httplib.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace sandbox {

namespace {

// Why 127.0.0.1:`port` cannot be listened on, asked of the system itself:
// the server library says only that it failed.
std::string whyNotListening(int port) {
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    if (probe < 0) return std::strerror(errno);
    int yes = 1;
    ::setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int bound = ::bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int error = errno;
    ::close(probe);
    if (bound == 0) return "it was taken a moment ago and is free again";
    if (error == EADDRINUSE) return "port " + std::to_string(port) + " is in use: another program holds it";
    return std::strerror(error);
}

}  // namespace

FormFields Request::fields() const { return FormFields::parse(method == "GET" ? query : body); }

std::string Request::traceLine() const {
    std::string line = method + " " + path;
    const std::string& detail = method == "GET" ? query : body;
    if (!detail.empty()) line += " ";
    for (unsigned char c : detail) {
        if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            line += escaped;
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    return line;
}

Response Response::json(std::string text) {
    Response response;
    response.body = std::move(text);
    return response;
}

Response Response::notFound() {
    Response response;
    response.status = 404;
    response.contentType = "text/plain; charset=utf-8";
    response.body = "not found";
    return response;
}

struct HttpServer::Engine {
    httplib::Server server;
    std::thread thread;
};

HttpServer::HttpServer(Handler handler, int port) : handler_(std::move(handler)), engine_(std::make_unique<Engine>()) {
    httplib::Server& server = engine_->server;
    auto serveOne = [this](const httplib::Request& request, httplib::Response& response) {
        Request received;
        received.method = request.method;
        const std::string& target = request.target.empty() ? request.path : request.target;
        std::size_t question = target.find('?');
        received.path = target.substr(0, question);
        if (question != std::string::npos) received.query = target.substr(question + 1);
        received.body = request.body;
        // Replies go out as written, never compressed, whatever the client accepts.
        const_cast<httplib::Request&>(request).headers.erase("Accept-Encoding");
        Response reply = serve(std::move(received));
        response.status = reply.status;
        response.set_content(reply.body, reply.contentType.c_str());
    };
    server.Get(".*", serveOne);
    server.Post(".*", serveOne);
    server.Put(".*", serveOne);
    server.Delete(".*", serveOne);
    // Without SO_REUSEPORT (which the library sets by default) a second
    // sandbox on a taken port fails instead of sharing it unnoticed.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_keep_alive_max_count(1);
    server.set_tcp_nodelay(true);

    if (port == 0) {
        port_ = server.bind_to_any_port("127.0.0.1");
    } else if (server.bind_to_port("127.0.0.1", port)) {
        port_ = port;
    }
    if (port_ <= 0 && port)
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + whyNotListening(port));
    if (port_ <= 0) throw std::runtime_error("cannot listen on 127.0.0.1");
    engine_->thread = std::thread([this] { engine_->server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

HttpServer::~HttpServer() { stop(); }

void HttpServer::stop() {
    engine_->server.stop();
    if (engine_->thread.joinable()) engine_->thread.join();
}

std::string HttpServer::origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

void HttpServer::setTrace(Trace trace) {
    std::lock_guard guard(lock_);
    trace_ = std::move(trace);
}

Response HttpServer::serve(Request request) {
    Trace trace;
    {
        std::lock_guard guard(lock_);
        trace = trace_;
    }
    if (trace) trace(request.traceLine());
    Response reply;
    try {
        reply = handler_(request);
    } catch (const std::exception& error) {
        reply.status = 500;
        reply.contentType = "text/plain; charset=utf-8";
        reply.body = error.what();
    }
    {
        std::lock_guard guard(lock_);
        log_.push_back(std::move(request));
    }
    arrived_.notify_all();
    return reply;
}

std::vector<Request> HttpServer::requests() const {
    std::lock_guard guard(lock_);
    return log_;
}

void HttpServer::clearRequests() {
    std::lock_guard guard(lock_);
    log_.clear();
}

bool HttpServer::waitForRequests(std::size_t count, double timeoutSeconds) const {
    std::unique_lock guard(lock_);
    return arrived_.wait_for(guard, std::chrono::duration<double>(timeoutSeconds), [&] { return log_.size() >= count; });
}

}  // namespace sandbox
