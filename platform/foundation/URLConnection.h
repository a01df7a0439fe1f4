#pragma once
// The older URL loading API: one request, one delegate, and every delegate
// call delivered on the run loop the connection is scheduled in, in the
// modes it is scheduled for (the current run loop at creation, default mode,
// unless scheduled otherwise before start()). Once cancelled, a connection
// tells its delegate nothing more. It holds its delegate until it finishes,
// fails or is cancelled.
//
// Connections share one session of the process; its configuration is the
// default one (shared cache and cookies).

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/URLAuthenticationChallenge.h"
#include "platform/foundation/URLCache.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLResponse.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class URLConnection;
class URLSessionDataTask;
namespace detail {
class ReplyPiece;
}

class URLConnectionDelegate {
public:
    virtual ~URLConnectionDelegate() = default;
    virtual void didFailWithError(URLConnection& connection, const Ref<Error>& error) {
        (void)connection, (void)error;
    }
    // Asked at each challenge other than server trust, before the one below.
    // Yes: the process's credential storage answers the first challenge of a
    // space it holds a credential for (unless the URL names one), and a
    // credential the delegate answers with is kept there once the server has
    // taken it (unless its persistence is none).
    virtual bool connectionShouldUseCredentialStorage(URLConnection& connection) {
        (void)connection;
        return true;
    }
    // Offered when it returns true: the delegate then answers through the
    // challenge's sender, now or later. Not offered: default handling.
    virtual bool willSendRequestForAuthenticationChallenge(URLConnection& connection,
                                                           const Ref<URLAuthenticationChallenge>& challenge) {
        (void)connection, (void)challenge;
        return false;
    }
};

class URLConnectionDataDelegate : public URLConnectionDelegate {
public:
    // Before following a redirect: the request to send instead, or nil to
    // take the redirect response as the answer.
    virtual Ref<URLRequest> willSendRequest(URLConnection& connection, const Ref<URLRequest>& request,
                                            const Ref<URLResponse>& redirectResponse) {
        (void)connection, (void)redirectResponse;
        return request;
    }
    virtual void didReceiveResponse(URLConnection& connection, const Ref<URLResponse>& response) {
        (void)connection, (void)response;
    }
    // Each piece of the body as it arrives.
    virtual void didReceiveData(URLConnection& connection, const Ref<Data>& data) { (void)connection, (void)data; }
    virtual void didSendBodyData(URLConnection& connection, int64_t bytesWritten, int64_t totalBytesWritten,
                                 int64_t totalBytesExpectedToWrite) {
        (void)connection, (void)bytesWritten, (void)totalBytesWritten, (void)totalBytesExpectedToWrite;
    }
    // The response to cache, or nil for none.
    virtual Ref<CachedURLResponse> willCacheResponse(URLConnection& connection, const Ref<CachedURLResponse>& cached) {
        (void)connection;
        return cached;
    }
    virtual void connectionDidFinishLoading(URLConnection& connection) { (void)connection; }
};

class URLConnection : public Object {
    RT_DECLARE_CLASS(URLConnection)
public:
    using AsynchronousCompletion = std::function<void(Ref<URLResponse> response, Ref<Data> data, Ref<Error> error)>;

    URLConnection() = default;
    ~URLConnection() override;

    // Starts at once on the current run loop.
    static Ref<URLConnection> connectionWithRequest(const Ref<URLRequest>& request,
                                                    Ref<URLConnectionDelegate> delegate);
    static Ref<URLConnection> make(const Ref<URLRequest>& request, Ref<URLConnectionDelegate> delegate,
                                   bool startImmediately = true);
    // Loads `request` and hands the whole result to `completion` on `queue`.
    static void sendAsynchronousRequest(const Ref<URLRequest>& request, const Ref<OperationQueue>& queue,
                                        AsynchronousCompletion completion);
    static bool canHandleRequest(const URLRequest& request);

    // Before start(): where and in which modes the delegate is called.
    void scheduleInRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode);
    void unscheduleFromRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode);
    void start();
    void cancel();

    const Ref<URLRequest>& originalRequest() const { return originalRequest_; }
    Ref<URLRequest> currentRequest() const;

private:
    friend class ConnectionRouter;
    struct Schedule {
        std::weak_ptr<dispatch::RunLoop> runLoop;
        unsigned modes;
    };

    // Runs `call` on the scheduled run loop, unless cancelled by then.
    // `gather`, the piece `call` hands on, is the one later bytes join
    // while it waits there; none when `call` is not queued at all. Whether
    // the call was queued: not when cancelled, nor when every run loop the
    // connection is scheduled in is gone.
    bool post(std::function<void(URLConnection&, URLConnectionDelegate&)> call,
              std::shared_ptr<detail::ReplyPiece> gather = nullptr);
    // A piece of the reply, from the session's delegate queue: joins the
    // piece still waiting on the run loop, if nothing was posted after it.
    void receivedData(const Ref<Data>& bytes);
    // Ends the connection: the delegate is let go.
    void finish();
    Ref<URLConnectionDelegate> delegate() const;
    // A challenge other than server trust, with the delegate's answer to
    // the storage question: the credential this challenge says was refused
    // leaves the storage.
    void challengedFor(int64_t previousFailureCount, bool useStorage);
    // The credential this connection answered the space's challenge with.
    void answeredWith(const Ref<URLProtectionSpace>& space, const Ref<URLCredential>& credential);
    // Keeps the last credential answered in the storage unless the server
    // refused it with this response.
    void receivedResponse(const Ref<URLResponse>& response);

    Ref<URLRequest> originalRequest_;
    mutable std::mutex lock_;
    Ref<URLRequest> currentRequest_;
    Ref<URLConnectionDelegate> delegate_;
    std::vector<Schedule> schedules_;
    std::weak_ptr<dispatch::RunLoop> creationRunLoop_;
    Ref<URLSessionDataTask> task_;
    bool started_ = false;
    bool cancelled_ = false;
    bool challengeCancelled_ = false;
    // The piece waiting on the run loop with nothing posted after it: the
    // reply's next bytes join it (ReplyPiece.h), so what the run loop holds
    // is bounded with the bytes.
    std::shared_ptr<detail::ReplyPiece> gathering_;
    // The log has said that the reply's bytes reach no delegate.
    bool missedBytesLogged_ = false;
    // For the credential storage: the delegate's answer at the last
    // challenge, and the credential last answered with, for its space.
    bool usesCredentialStorage_ = false;
    Ref<URLProtectionSpace> answeredSpace_;
    Ref<URLCredential> answeredCredential_;
};

}  // namespace ns
