#include "platform/testing/LoopbackServer.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <limits>
#include <map>
#include <mutex>
#include <stdexcept>
#include <strings.h>
#include <thread>

namespace testing {

// ---- RecordedRequest, Reply ----

std::string RecordedRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (key.size() == name.size() && ::strncasecmp(key.data(), name.data(), name.size()) == 0) return value;
    return {};
}

bool RecordedRequest::hasHeader(std::string_view name) const {
    for (const auto& entry : headers)
        if (entry.first.size() == name.size() && ::strncasecmp(entry.first.data(), name.data(), name.size()) == 0)
            return true;
    return false;
}

void Reply::setHeader(std::string name, std::string value) {
    for (auto& [key, existing] : headers) {
        if (key.size() == name.size() && ::strncasecmp(key.data(), name.data(), name.size()) == 0) {
            existing = std::move(value);
            return;
        }
    }
    headers.emplace_back(std::move(name), std::move(value));
}

Reply Reply::text(std::string body, std::string contentType) {
    Reply reply;
    reply.body = std::move(body);
    reply.setHeader("Content-Type", std::move(contentType));
    return reply;
}

Reply Reply::withStatus(int code, std::string body) {
    Reply reply;
    reply.status = code;
    reply.body = std::move(body);
    return reply;
}

Reply Reply::redirect(std::string location, int code) {
    Reply reply;
    reply.status = code;
    reply.setHeader("Location", std::move(location));
    return reply;
}

Reply Reply::chunked(std::vector<std::string> pieces, std::string contentType) {
    Reply reply;
    reply.chunks = std::move(pieces);
    reply.setHeader("Content-Type", std::move(contentType));
    return reply;
}

// ---- ChunkGate ----

void ChunkGate::release(std::size_t count) {
    {
        std::lock_guard guard(lock_);
        released_ += count;
    }
    changed_.notify_all();
}

void ChunkGate::releaseAll() { release(std::numeric_limits<std::size_t>::max() / 2); }

std::size_t ChunkGate::released() const {
    std::lock_guard guard(lock_);
    return released_;
}

bool ChunkGate::waitFor(std::size_t index, const std::function<bool()>& stopping) {
    std::unique_lock guard(lock_);
    // Short slices: the server's stop is not this gate's to signal.
    while (released_ <= index) {
        if (stopping()) return false;
        changed_.wait_for(guard, std::chrono::milliseconds(20));
    }
    return true;
}

// ---- LoopbackServer ----

struct LoopbackServer::State {
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int port = 0;
    bool https = false;

    mutable std::mutex lock;
    mutable std::condition_variable changed;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<Handler>> routes;
    std::vector<RecordedRequest> log;
    bool stopping = false;
    bool finished = false;  // the serving thread has returned

    // Real-time wait that stop() cuts short. False when stopped.
    bool pause(double seconds) {
        if (seconds <= 0) return !isStopping();
        std::unique_lock guard(lock);
        changed.wait_for(guard, std::chrono::duration<double>(seconds), [&] { return stopping; });
        return !stopping;
    }
    bool isStopping() const {
        std::lock_guard guard(lock);
        return stopping;
    }

    std::shared_ptr<Handler> handlerFor(const std::string& method, const std::string& path) const {
        std::lock_guard guard(lock);
        auto found = routes.find({method, path});
        // A HEAD is a GET without the body, unless a route says otherwise.
        if (found == routes.end() && method == "HEAD") found = routes.find({"GET", path});
        return found == routes.end() ? nullptr : found->second;
    }

    void record(RecordedRequest request) {
        std::lock_guard guard(lock);
        log.push_back(std::move(request));
        changed.notify_all();
    }

    void serve(const httplib::Request& request, httplib::Response& response, std::string body);
    void write(const Reply& reply, httplib::Response& response);
};

namespace {

RecordedRequest recordOf(const httplib::Request& request, std::string body) {
    RecordedRequest recorded;
    recorded.method = request.method;
    const std::string& target = request.target.empty() ? request.path : request.target;
    std::size_t question = target.find('?');
    recorded.path = target.substr(0, question);
    if (question != std::string::npos) recorded.query = target.substr(question + 1);
    for (const auto& entry : request.headers) {
        // The server adds these for its own use; they were never sent.
        if (entry.first == "REMOTE_ADDR" || entry.first == "REMOTE_PORT" || entry.first == "LOCAL_ADDR" ||
            entry.first == "LOCAL_PORT")
            continue;
        recorded.headers.emplace_back(entry.first, entry.second);
    }
    recorded.body = std::move(body);
    return recorded;
}

bool isContentType(const std::string& name) { return ::strcasecmp(name.c_str(), "Content-Type") == 0; }

// The HTTP library keeps an idle keep-alive connection open until its
// timeout even while stopping, so every test would wait that long at its
// end. The connections it accepted are the sockets of this process whose
// local port is the server's and that have a peer: shut those down.
void shutDownConnections(int port) {
    DIR* fds = ::opendir("/proc/self/fd");
    if (!fds) return;
    while (dirent* entry = ::readdir(fds)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
        int fd = std::atoi(entry->d_name);
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || address.ss_family != AF_INET)
            continue;
        if (ntohs(reinterpret_cast<sockaddr_in&>(address).sin_port) != port) continue;
        sockaddr_storage peer{};
        length = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0) ::shutdown(fd, SHUT_RDWR);
    }
    ::closedir(fds);
}

}  // namespace

void LoopbackServer::State::serve(const httplib::Request& request, httplib::Response& response, std::string body) {
    RecordedRequest recorded = recordOf(request, std::move(body));
    std::shared_ptr<Handler> handler = handlerFor(recorded.method, recorded.path);
    Reply reply = Reply::withStatus(404, "not found");
    if (handler) {
        reply = Reply();
        (*handler)(recorded, reply);
    }
    record(std::move(recorded));

    // The server would otherwise compress text replies for clients that
    // accept it, so the bytes on the wire would not be the ones scripted.
    auto& mutableHeaders = const_cast<httplib::Request&>(request).headers;
    mutableHeaders.erase("Accept-Encoding");

    if (!pause(reply.delaySeconds)) {
        response.status = 503;
        return;
    }
    write(reply, response);
}

void LoopbackServer::State::write(const Reply& reply, httplib::Response& response) {
    response.status = reply.status;
    std::string contentType;
    for (const auto& [name, value] : reply.headers) {
        if (isContentType(name)) contentType = value;
        else response.set_header(name, value);
    }

    if (!reply.chunks.empty()) {
        auto pieces = std::make_shared<std::vector<std::string>>(reply.chunks);
        auto next = std::make_shared<std::size_t>(0);
        double delay = reply.chunkDelaySeconds;
        std::shared_ptr<ChunkGate> gate = reply.gate;
        if (reply.announceLength) {
            std::size_t total = 0;
            for (const auto& piece : *pieces) total += piece.size();
            response.set_content_provider(total, contentType, [this, pieces, next, delay, gate](std::size_t, std::size_t, httplib::DataSink& sink) {
                if (*next >= pieces->size()) return false;
                if (*next > 0 && !pause(delay)) return false;
                if (gate && !gate->waitFor(*next, [this] { return isStopping(); })) return false;
                const std::string& piece = (*pieces)[(*next)++];
                return piece.empty() || sink.write(piece.data(), piece.size());
            });
            return;
        }
        response.set_chunked_content_provider(contentType, [this, pieces, next, delay, gate](std::size_t, httplib::DataSink& sink) {
            if (*next > 0 && !pause(delay)) return false;
            if (gate && !gate->waitFor(*next, [this] { return isStopping(); })) return false;
            const std::string& piece = (*pieces)[(*next)++];
            if (!piece.empty() && !sink.write(piece.data(), piece.size())) return false;
            if (*next == pieces->size()) sink.done();
            return true;
        });
        return;
    }

    if (reply.dropAfterBytes >= 0 && static_cast<std::size_t>(reply.dropAfterBytes) < reply.body.size()) {
        auto body = std::make_shared<std::string>(reply.body);
        auto sent = std::make_shared<bool>(false);
        std::size_t keep = static_cast<std::size_t>(reply.dropAfterBytes);
        // Returning false from the provider makes the server close the
        // connection with the announced length unfulfilled.
        response.set_content_provider(body->size(), contentType, [body, sent, keep](std::size_t, std::size_t, httplib::DataSink& sink) {
            if (*sent || keep == 0) return false;
            *sent = true;
            return sink.write(body->data(), keep);
        });
        return;
    }

    response.body = reply.body;
    if (!contentType.empty()) response.set_header("Content-Type", contentType);
}

LoopbackServer::LoopbackServer() : state_(std::make_unique<State>()) {
    state_->server = std::make_unique<httplib::Server>();
    startServing();
}

LoopbackServer::LoopbackServer(const TestCertificates::Identity& identity) : state_(std::make_unique<State>()) {
    auto server = std::make_unique<httplib::SSLServer>(identity.certificatePath.c_str(), identity.privateKeyPath.c_str());
    if (!server->is_valid()) throw std::runtime_error("loopback server: cannot load " + identity.certificatePath);
    state_->server = std::move(server);
    state_->https = true;
    startServing();
}

void LoopbackServer::startServing() {
    State* state = state_.get();
    httplib::Server& server = *state->server;

    auto plain = [state](const httplib::Request& request, httplib::Response& response) {
        state->serve(request, response, request.body);
    };
    // Reading the body ourselves keeps its bytes as sent: left to itself the
    // server takes multipart bodies apart into fields and keeps no body.
    auto withBody = [state](const httplib::Request& request, httplib::Response& response,
                            const httplib::ContentReader& reader) {
        auto& headers = const_cast<httplib::Request&>(request).headers;
        auto contentType = headers.find("Content-Type");
        std::string savedType;
        bool hadType = contentType != headers.end();
        if (hadType) {
            savedType = contentType->second;
            contentType->second = "application/octet-stream";
        }
        std::string body;
        reader([&](const char* data, std::size_t length) {
            body.append(data, length);
            return true;
        });
        if (hadType) headers.find("Content-Type")->second = savedType;
        state->serve(request, response, std::move(body));
    };
    server.Get(".*", plain);
    server.Options(".*", plain);
    server.Post(".*", withBody);
    server.Put(".*", withBody);
    server.Patch(".*", withBody);
    server.Delete(".*", withBody);

    // Benchmarks measure keep-alive: do not make clients reconnect every few requests.
    server.set_keep_alive_max_count(100000);
    // Without it every keep-alive reply waits on delayed acknowledgement.
    server.set_tcp_nodelay(true);

    state->port = server.bind_to_any_port("127.0.0.1");
    if (state->port <= 0) throw std::runtime_error("loopback server: cannot bind to 127.0.0.1");
    state->thread = std::thread([state] {
        state->server->listen_after_bind();
        std::lock_guard guard(state->lock);
        state->finished = true;
        state->changed.notify_all();
    });
    while (!state->server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer() { stop(); }

void LoopbackServer::stop() {
    {
        std::lock_guard guard(state_->lock);
        state_->stopping = true;
        state_->changed.notify_all();
    }
    state_->server->stop();
    if (!state_->thread.joinable()) return;
    // Connections accepted just before the listener closed may still be
    // picked up by a worker: keep shutting them down until all are done.
    while (true) {
        shutDownConnections(state_->port);
        std::unique_lock guard(state_->lock);
        if (state_->changed.wait_for(guard, std::chrono::milliseconds(50), [&] { return state_->finished; })) break;
    }
    state_->thread.join();
}

int LoopbackServer::port() const { return state_->port; }

bool LoopbackServer::isHttps() const { return state_->https; }

std::string LoopbackServer::baseURL() const {
    return std::string(state_->https ? "https" : "http") + "://127.0.0.1:" + std::to_string(state_->port);
}

std::string LoopbackServer::url(std::string_view pathAndQuery) const { return baseURL() + std::string(pathAndQuery); }

void LoopbackServer::route(std::string method, std::string path, Handler handler) {
    std::lock_guard guard(state_->lock);
    state_->routes[{std::move(method), std::move(path)}] = std::make_shared<Handler>(std::move(handler));
}

void LoopbackServer::route(std::string method, std::string path, Reply reply) {
    route(std::move(method), std::move(path), [reply = std::move(reply)](const RecordedRequest&, Reply& out) { out = reply; });
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
    std::lock_guard guard(state_->lock);
    return state_->log;
}

std::size_t LoopbackServer::requestCount() const {
    std::lock_guard guard(state_->lock);
    return state_->log.size();
}

bool LoopbackServer::waitForRequests(std::size_t count, double timeoutSeconds) const {
    std::unique_lock guard(state_->lock);
    return state_->changed.wait_for(guard, std::chrono::duration<double>(timeoutSeconds),
                                    [&] { return state_->log.size() >= count; });
}

void LoopbackServer::clearRequests() {
    std::lock_guard guard(state_->lock);
    state_->log.clear();
}

}  // namespace testing
