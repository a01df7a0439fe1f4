#include "platform/foundation/URLConnection.h"

#include <atomic>
#include <map>
#include <utility>

#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/ReplyPiece.h"
#include "platform/foundation/URLCredentialStorage.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSession.h"

namespace ns {

RT_DEFINE_CLASS(URLConnection, Object, "NSURLConnection")

namespace {

// Answers a session's challenge for the connection's delegate.
class ChallengeSender final : public URLAuthenticationChallengeSender {
public:
    ChallengeSender(URLSessionChallengeCompletion completion, std::function<void()> onCancel,
                    std::function<void(const Ref<URLCredential>&)> onUse)
        : completion_(std::move(completion)), onCancel_(std::move(onCancel)), onUse_(std::move(onUse)) {}

    void useCredential(const Ref<URLCredential>& credential, const URLAuthenticationChallenge&) override {
        if (!answered_.load()) onUse_(credential);
        answer(URLSessionAuthChallengeDisposition::UseCredential, credential);
    }
    void continueWithoutCredential(const URLAuthenticationChallenge& challenge) override {
        if (standIn_) return useCredential(standIn_, challenge);
        answer(URLSessionAuthChallengeDisposition::UseCredential, nullptr);
    }
    void cancelAuthenticationChallenge(const URLAuthenticationChallenge&) override {
        if (!answered_.load()) onCancel_();
        answer(URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge, nullptr);
    }
    void performDefaultHandling(const URLAuthenticationChallenge&) override {
        answer(URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
    }
    void rejectProtectionSpaceAndContinue(const URLAuthenticationChallenge&) override {
        answer(URLSessionAuthChallengeDisposition::RejectProtectionSpace, nullptr);
    }

    // The storage's credential, which answers in place of none. Set on the
    // connection's thread before the delegate is asked.
    void setStandIn(Ref<URLCredential> credential) { standIn_ = std::move(credential); }
    bool hasStandIn() const { return standIn_ != nullptr; }

private:
    void answer(URLSessionAuthChallengeDisposition disposition, Ref<URLCredential> credential) {
        if (answered_.exchange(true)) return;
        completion_(disposition, std::move(credential));
    }

    URLSessionChallengeCompletion completion_;
    std::function<void()> onCancel_;
    std::function<void(const Ref<URLCredential>&)> onUse_;
    std::atomic<bool> answered_{false};
    Ref<URLCredential> standIn_;
};

}  // namespace

// The delegate of the session all connections share: hands each task's
// events to its connection.
class ConnectionRouter final : public URLSessionDataDelegate {
public:
    static ConnectionRouter& shared() {
        static ConnectionRouter* router = new ConnectionRouter();
        return *router;
    }
    static Ref<URLSession> session() {
        static const Ref<URLSession> session = URLSession::sessionWithConfiguration(
            URLSessionConfiguration::defaultSessionConfiguration(),
            Ref<URLSessionDelegate>(&shared(), [](URLSessionDelegate*) {}), nullptr);
        return session;
    }

    void add(const URLSessionTask* task, Ref<URLConnection> connection) {
        std::lock_guard guard(lock_);
        connections_[task] = std::move(connection);
    }
    Ref<URLConnection> find(const URLSessionTask* task) {
        std::lock_guard guard(lock_);
        auto it = connections_.find(task);
        return it == connections_.end() ? nullptr : it->second;
    }
    void remove(const URLSessionTask* task) {
        std::lock_guard guard(lock_);
        connections_.erase(task);
    }

    bool willPerformHTTPRedirection(const Ref<URLSession>&, const Ref<URLSessionTask>& task,
                                    const Ref<HTTPURLResponse>& response, const Ref<URLRequest>& newRequest,
                                    const std::function<void(Ref<URLRequest>)>& completion) override {
        auto connection = find(task.get());
        if (!connection || !connection->delegate()) return false;
        connection->post([response, newRequest, completion](URLConnection& c, URLConnectionDelegate& d) {
            Ref<URLRequest> next = newRequest;
            if (auto* data = dynamic_cast<URLConnectionDataDelegate*>(&d)) next = data->willSendRequest(c, newRequest, response);
            if (next) {
                std::lock_guard guard(c.lock_);
                c.currentRequest_ = next;
            }
            completion(next);
        });
        // A cancelled connection never answers; its task is cancelled anyway.
        return true;
    }

    bool taskDidReceiveChallenge(const Ref<URLSession>&, const Ref<URLSessionTask>& task,
                                 const Ref<URLAuthenticationChallenge>& challenge,
                                 const URLSessionChallengeCompletion& completion) override {
        auto connection = find(task.get());
        if (!connection || !connection->delegate()) return false;
        Weak<URLConnection> weak = connection;
        const Ref<URLProtectionSpace> space = challenge->protectionSpace();
        const bool trust = space && space->authenticationMethod() == URLAuthenticationMethodServerTrust;
        auto sender = std::make_shared<ChallengeSender>(
            completion,
            [weak] {
                if (auto c = weak.lock()) {
                    std::lock_guard guard(c->lock_);
                    c->challengeCancelled_ = true;
                }
            },
            [weak, space, trust](const Ref<URLCredential>& credential) {
                if (auto c = weak.lock(); c && !trust) c->answeredWith(space, credential);
            });
        auto forDelegate = URLAuthenticationChallenge::make(*challenge, sender);
        connection->post([forDelegate, sender, trust](URLConnection& c, URLConnectionDelegate& d) {
            // The delegate's own answer comes first: a stored credential the
            // server no longer takes must not hide one the delegate brings.
            if (!trust) sender->setStandIn(storedCredential(c, d, *forDelegate));
            if (!d.willSendRequestForAuthenticationChallenge(c, forDelegate)) {
                if (sender->hasStandIn()) {
                    forDelegate->sender()->continueWithoutCredential(*forDelegate);
                } else {
                    forDelegate->sender()->performDefaultHandling(*forDelegate);
                }
            }
        });
        return true;
    }

    void didSendBodyData(const Ref<URLSession>&, const Ref<URLSessionTask>& task, int64_t sent, int64_t total,
                         int64_t expected) override {
        if (auto connection = find(task.get())) {
            connection->post([sent, total, expected](URLConnection& c, URLConnectionDelegate& d) {
                if (auto* data = dynamic_cast<URLConnectionDataDelegate*>(&d)) data->didSendBodyData(c, sent, total, expected);
            });
        }
    }

    bool didReceiveResponse(const Ref<URLSession>&, const Ref<URLSessionDataTask>& task,
                            const Ref<URLResponse>& response,
                            const std::function<void(URLSessionResponseDisposition)>& completion) override {
        if (auto connection = find(task.get())) {
            connection->receivedResponse(response);
            connection->post([response](URLConnection& c, URLConnectionDelegate& d) {
                if (auto* data = dynamic_cast<URLConnectionDataDelegate*>(&d)) data->didReceiveResponse(c, response);
            });
        }
        completion(URLSessionResponseDisposition::Allow);
        return true;
    }

    void didReceiveData(const Ref<URLSession>&, const Ref<URLSessionDataTask>& task, const Ref<Data>& bytes) override {
        if (auto connection = find(task.get())) connection->receivedData(bytes);
    }

    bool willCacheResponse(const Ref<URLSession>&, const Ref<URLSessionDataTask>& task,
                           const Ref<CachedURLResponse>& proposed,
                           const std::function<void(Ref<CachedURLResponse>)>& completion) override {
        auto connection = find(task.get());
        if (!connection || !connection->delegate()) return false;
        connection->post([proposed, completion](URLConnection& c, URLConnectionDelegate& d) {
            auto* data = dynamic_cast<URLConnectionDataDelegate*>(&d);
            completion(data ? data->willCacheResponse(c, proposed) : proposed);
        });
        return true;
    }

    void didCompleteWithError(const Ref<URLSession>&, const Ref<URLSessionTask>& task, const Ref<Error>& error) override {
        auto connection = find(task.get());
        remove(task.get());
        if (!connection) return;
        Ref<Error> failure = error;
        {
            std::lock_guard guard(connection->lock_);
            if (failure && failure->code() == URLErrorCancelled && connection->challengeCancelled_) {
                failure = makeURLError(URLErrorUserCancelledAuthentication, task->currentRequest() ? task->currentRequest()->URL() : nullptr);
            }
        }
        connection->post([failure](URLConnection& c, URLConnectionDelegate& d) {
            if (failure) {
                d.didFailWithError(c, failure);
            } else if (auto* data = dynamic_cast<URLConnectionDataDelegate*>(&d)) {
                data->connectionDidFinishLoading(c);
            }
            c.finish();
        });
    }

private:
    ConnectionRouter() = default;

    // A challenge other than server trust: asks the delegate whether to use the
    // credential storage; the storage's credential answers in place of none
    // when the delegate says yes, this is the space's first challenge, the URL
    // names no credential and the storage holds one.
    static Ref<URLCredential> storedCredential(URLConnection& connection, URLConnectionDelegate& delegate,
                                               const URLAuthenticationChallenge& challenge) {
        const bool useStorage = delegate.connectionShouldUseCredentialStorage(connection);
        connection.challengedFor(challenge.previousFailureCount(), useStorage);
        const auto& space = challenge.protectionSpace();
        if (!useStorage || !space || challenge.previousFailureCount() > 0 || challenge.proposedCredential()) {
            return nullptr;
        }
        return URLCredentialStorage::sharedCredentialStorage()->defaultCredentialForProtectionSpace(*space);
    }

    std::mutex lock_;
    std::map<const URLSessionTask*, Ref<URLConnection>> connections_;
};

URLConnection::~URLConnection() = default;

Ref<URLConnection> URLConnection::connectionWithRequest(const Ref<URLRequest>& request,
                                                        Ref<URLConnectionDelegate> delegate) {
    return make(request, std::move(delegate), true);
}

Ref<URLConnection> URLConnection::make(const Ref<URLRequest>& request, Ref<URLConnectionDelegate> delegate,
                                       bool startImmediately) {
    auto connection = std::make_shared<URLConnection>();
    connection->originalRequest_ = request ? URLRequest::copyOf(*request) : nullptr;
    connection->currentRequest_ = connection->originalRequest_;
    connection->delegate_ = std::move(delegate);
    connection->creationRunLoop_ = dispatch::RunLoop::current().weak_from_this();
    if (startImmediately) connection->start();
    return connection;
}

void URLConnection::sendAsynchronousRequest(const Ref<URLRequest>& request, const Ref<OperationQueue>& queue,
                                            AsynchronousCompletion completion) {
    auto task = ConnectionRouter::session()->dataTaskWithRequest(
        request, [queue, completion](Ref<Data> data, Ref<URLResponse> response, Ref<Error> error) {
            if (!completion) return;
            if (!queue) return completion(response, data, error);
            // The reply stays counted until the caller's handler has run, as
            // a completion handler's does, however long its queue is busy.
            queue->addOperationWithBlock([completion, response, data, error,
                                          share = detail::shareOfReplyInHandler()]() mutable {
                completion(response, data, error);
                share.reset();
            });
        });
    task->resume();
}

bool URLConnection::canHandleRequest(const URLRequest& request) {
    if (!request.URL()) return false;
    auto scheme = request.URL()->scheme();
    if (!scheme) return false;
    const std::string s = scheme->lowercaseString()->utf8();
    return s == "http" || s == "https" || s == "file";
}

void URLConnection::scheduleInRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode) {
    std::lock_guard guard(lock_);
    for (auto& schedule : schedules_) {
        if (schedule.runLoop.lock().get() == &runLoop) {
            schedule.modes |= dispatch::detail::modeMask(mode);
            return;
        }
    }
    schedules_.push_back({runLoop.weak_from_this(), dispatch::detail::modeMask(mode)});
}

void URLConnection::unscheduleFromRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode) {
    std::lock_guard guard(lock_);
    for (auto& schedule : schedules_) {
        if (schedule.runLoop.lock().get() == &runLoop) schedule.modes &= ~dispatch::detail::modeMask(mode);
    }
    std::erase_if(schedules_, [](const Schedule& s) { return s.modes == 0; });
}

void URLConnection::start() {
    Ref<URLSessionDataTask> task;
    {
        std::lock_guard guard(lock_);
        if (started_ || cancelled_) return;
        started_ = true;
        if (schedules_.empty()) schedules_.push_back({creationRunLoop_, dispatch::detail::modeMask(dispatch::RunLoopMode::Default)});
        task_ = ConnectionRouter::session()->dataTaskWithRequest(originalRequest_);
        task = task_;
    }
    ConnectionRouter::shared().add(task.get(), ref<URLConnection>());
    task->resume();
}

void URLConnection::cancel() {
    Ref<URLSessionDataTask> task;
    {
        std::lock_guard guard(lock_);
        if (cancelled_) return;
        cancelled_ = true;
        task = task_;
        delegate_ = nullptr;
        gathering_ = nullptr;
    }
    if (task) task->cancel();
}

Ref<URLRequest> URLConnection::currentRequest() const {
    std::lock_guard guard(lock_);
    return currentRequest_;
}

Ref<URLConnectionDelegate> URLConnection::delegate() const {
    std::lock_guard guard(lock_);
    return cancelled_ ? nullptr : delegate_;
}

void URLConnection::challengedFor(int64_t previousFailureCount, bool useStorage) {
    Ref<URLProtectionSpace> space;
    Ref<URLCredential> refused;
    {
        std::lock_guard guard(lock_);
        usesCredentialStorage_ = useStorage;
        space = std::exchange(answeredSpace_, nullptr);
        refused = std::exchange(answeredCredential_, nullptr);
    }
    // A challenge after an answer means the server refused it.
    if (useStorage && previousFailureCount > 0 && refused) {
        URLCredentialStorage::sharedCredentialStorage()->removeCredential(*refused, *space);
    }
}

void URLConnection::answeredWith(const Ref<URLProtectionSpace>& space, const Ref<URLCredential>& credential) {
    std::lock_guard guard(lock_);
    if (!usesCredentialStorage_ || !space || !credential || !credential->user()) return;
    answeredSpace_ = space;
    answeredCredential_ = credential;
}

void URLConnection::receivedResponse(const Ref<URLResponse>& response) {
    Ref<URLProtectionSpace> space;
    Ref<URLCredential> credential;
    {
        std::lock_guard guard(lock_);
        space = std::exchange(answeredSpace_, nullptr);
        credential = std::exchange(answeredCredential_, nullptr);
    }
    if (!credential) return;
    auto http = cast<HTTPURLResponse>(response);
    if (http && http->statusCode() == 401) return;
    URLCredentialStorage::sharedCredentialStorage()->setDefaultCredential(credential, *space);
}

void URLConnection::finish() {
    std::lock_guard guard(lock_);
    delegate_ = nullptr;
    task_ = nullptr;
}

void URLConnection::receivedData(const Ref<Data>& bytes) {
    if (!bytes || bytes->length() == 0) return;
    // The session admitted these bytes: a copy that joins them counts in
    // their place, never refused.
    const auto count = [](ReplyShare& share, uint64_t size) {
        share.growTo(size);
        return true;
    };
    std::shared_ptr<detail::ReplyPiece> piece;
    {
        std::lock_guard guard(lock_);
        if (cancelled_) return;
        piece = gathering_;
    }
    if (piece && piece->join(bytes, 0, count) == detail::ReplyPiece::Join::Joined) return;
    piece = std::make_shared<detail::ReplyPiece>(sessionReplies());
    piece->join(bytes, 0, count);
    const bool queued = post(
        [piece](URLConnection& c, URLConnectionDelegate& d) {
            Ref<Data> gathered = piece->take();
            if (auto* data = dynamic_cast<URLConnectionDataDelegate*>(&d); gathered && data) data->didReceiveData(c, gathered);
        },
        piece);
    if (queued) return;
    {
        std::lock_guard guard(lock_);
        if (cancelled_ || std::exchange(missedBytesLogged_, true)) return;
    }
    log("URL connection to %@: its reply's bytes reach no delegate: the run loops it is scheduled in are gone",
        originalRequest_ && originalRequest_->URL() ? originalRequest_->URL()->absoluteString() : nullptr);
}

bool URLConnection::post(std::function<void(URLConnection&, URLConnectionDelegate&)> call,
                         std::shared_ptr<detail::ReplyPiece> gather) {
    std::shared_ptr<dispatch::RunLoop> runLoop;
    unsigned modes = 0;
    {
        std::lock_guard guard(lock_);
        // Queued after the piece gathering: later bytes must not join it.
        gathering_ = nullptr;
        if (cancelled_) return false;
        for (const auto& schedule : schedules_) {
            if ((runLoop = schedule.runLoop.lock())) {
                modes = schedule.modes;
                break;
            }
        }
        if (runLoop) gathering_ = std::move(gather);
    }
    if (!runLoop) return false;
    auto self = ref<URLConnection>();
    auto deliver = [self, call = std::move(call)] {
        if (auto delegate = self->delegate()) call(*self, *delegate);
    };
    using dispatch::RunLoopMode;
    if (modes == dispatch::detail::modeMask(RunLoopMode::Common)) {
        runLoop->performBlock(std::move(deliver), {RunLoopMode::Common});
    } else if (modes == dispatch::detail::modeMask(RunLoopMode::Tracking)) {
        runLoop->performBlock(std::move(deliver), {RunLoopMode::Tracking});
    } else {
        runLoop->performBlock(std::move(deliver), {RunLoopMode::Default});
    }
    return true;
}

}  // namespace ns
