#pragma once
// What loads a session task: the request's way through the cache, cookies,
// redirects, authentication, TLS trust and the response disposition, and
// the delegate calls along it. Its state lives on the session's transfer
// thread; the task's public methods reach it by posting there, and what the
// delegate decides comes back the same way.
//
// Defined in parts: URLSessionTaskLoader.cpp (the task's calls, the start,
// errors, completion), ...Transfer.cpp (the wire: body, attempts, response,
// downloads, redirects), ...Trust.cpp (TLS trust and authentication) and
// ...Cache.cpp (the URL cache, file URLs, cookies).
//
// Internal to URL loading.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/dispatch/IoToken.h"
#include "platform/foundation/CurlTransport.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/foundation/ReplyBuffer.h"
#include "platform/foundation/ReplyPiece.h"
#include "platform/foundation/URLSession.h"
#include "platform/foundation/URLSessionTask.h"
#include "platform/foundation/URLRedirects.h"

namespace ns::detail {

// Where a download picks up again.
struct ResumePoint {
    std::string url;
    std::string path;
    int64_t offset = 0;
    std::string validator;
    static std::optional<ResumePoint> decode(const Data* data);
    Ref<Data> encode() const;
};

struct LoaderSetup {
    enum class Body { FromRequest, Data, File, Stream };
    enum class Kind { Data, Download };
    Kind kind = Kind::Data;
    Body body = Body::FromRequest;
    Ref<Data> uploadData;
    std::string uploadFile;
    URLSessionDataCompletion dataCompletion;
    URLSessionDownloadCompletion downloadCompletion;
    std::optional<ResumePoint> resume;
    bool badResumeData = false;

    // The body's length for `request`: 0 without one, -1 when a stream's
    // length is not given.
    int64_t bodyLength(const URLRequest& request) const;
};

class URLSessionTaskLoader final : public CurlTransferClient,
                                   public std::enable_shared_from_this<URLSessionTaskLoader> {
public:
    URLSessionTaskLoader(const Ref<URLSessionTask>& task, LoaderSetup setup);
    ~URLSessionTaskLoader() override;

    // ---- Any thread ----
    void start();
    // `task` (this loader's) was suspended or resumed: the transfer pauses
    // or goes on as the task's state is, whatever order such calls from
    // several threads arrive in.
    void followTaskState(const URLSessionTask& task);
    void cancel();
    void cancelProducingResumeData(std::function<void(Ref<Data>)> completion);

    // ---- CurlTransferClient (the transfer thread) ----
    void transferReceivedHead(int status, std::string version, std::vector<HTTPHeaderFields::Field> headers) override;
    bool transferReceivedBody(const char* bytes, size_t length) override;
    void transferSentBody(int64_t totalSent) override;
    int64_t transferReadBody(char* buffer, size_t length) override;
    bool transferShouldTrustServer(std::vector<sec::CertificateRef> chain) override;
    void transferFinished(const CurlOutcome& outcome) override;

private:
    enum class Head { None, Redirect, Authenticate, Final };

    // ---- Transfer thread ----
    void begin();
    void prepareBody();
    void startAttempt();
    // Once the length the request declared has been read: a read of one
    // byte more (0 when the stream is at its end, as it should be).
    int64_t readPastDeclaredLength();
    // Ends the upload: its stream did not match its declared length.
    int64_t refuseBodyStream(const char* why);
    bool serveFromCacheOrFile();
    // A file URL's bytes: read whole for a data task, weighed before a byte
    // is read; copied to the file in pieces for a download.
    void serveFile(const Ref<URL>& url, const std::string& path);
    // The next piece of a file a download copies; the task succeeds at its end.
    void copyFilePiece(std::shared_ptr<int> fd);
    // `body`, already whole in memory (a file's bytes, a cached reply), is
    // served as the reply without a copy.
    void serveLocally(const Ref<URLResponse>& response, Ref<Data> body);
    void acceptFinalResponse(const Ref<URLResponse>& response);
    // False stops the transfer: the file could not be written, or the reply
    // outgrew what a data task may hold (tooLong_). `whole`, when given,
    // holds these bytes already and is handed on rather than copied.
    bool deliverBody(const char* bytes, size_t length, const Ref<Data>& whole = nullptr);
    // Whether a reply of `length` bytes stays within the session's bound on
    // one reply held in memory; past it, marks the reply too long and logs why.
    bool withinReplyBound(uint64_t length);
    // Grows `share` (of what all sessions' replies hold) to `total` bytes
    // for a reply of `replyLength` bytes so far: its first bytes may pass
    // the budget's limit a little (RoomForFirstBytes), so that a small reply
    // loads while large ones fill it. Refused, the task marks its reply too
    // long, logs why and lets go at once of all it holds.
    bool mayHold(ReplyShare& share, uint64_t total, uint64_t replyLength);
    // What the loader itself holds of the reply, and its share kept to it.
    uint64_t heldInMemory() const;
    void heldChanged();
    void dropHeldBody();
    // Keeps nothing of this reply for the URL cache.
    void keepNothingForCache();
    void releaseHoldings();
    // `buffer` joined into one Data, or nil when memory cannot hold the
    // whole: logged as what follows for the task (`outcome`).
    Ref<Data> joined(ReplyBuffer& buffer, const char* outcome);
    // The error of a body deliverBody refused.
    Ref<Error> refusedBodyError() const;
    // The transfer reads nothing while the task is suspended (its state
    // now, not as some call found it) or the app has yet to decide what
    // its response becomes.
    void applyPause();
    void onDisposition(URLSessionResponseDisposition disposition);
    void becomeDownload();
    // Delivers the body held while the app decided, then a finish that came
    // meanwhile.
    void releaseHeld();
    void finishSuccess();
    // Whether the session's delegate may be asked about a redirect (it
    // answers for the method), and so may refuse it.
    bool delegateMayRefuseRedirect() const;
    void followRedirect();
    void onRedirectDecision(Ref<URLRequest> request);
    void finalWithHeldBody();
    void askForCredential();
    // Offers `challenge` to the delegate (the session-wide method first when
    // `sessionWide`, then the task's); with no taker, default handling.
    void offerChallenge(Ref<URLAuthenticationChallenge> challenge, bool sessionWide,
                        std::function<void(URLSessionAuthChallengeDisposition, Ref<URLCredential>)> onAnswer);
    void onCredential(URLSessionAuthChallengeDisposition disposition, Ref<URLCredential> credential);
    void complete(Ref<Error> error);
    void cancelOnWorker();
    bool openDownloadFile(bool append);
    void closeDownloadFile(bool remove);
    Ref<Error> errorFor(const CurlOutcome& outcome) const;
    Ref<Error> error(int64_t code) const;
    void storeCookies(const HTTPURLResponse& response);
    void holdIo(bool hold);
    // Around handing the app a question: in flight until it answers.
    void beginAwaitingApp();
    void endAwaitingApp();
    // Any thread: the app's answer, taken to the transfer thread.
    void answered(std::function<void(URLSessionTaskLoader&)> work);

    // Posts `work` to the transfer thread, keeping this loader alive; false
    // when the session is gone.
    bool onWorker(std::function<void(URLSessionTaskLoader&)> work);
    // Posts `event` to the delegate queue (transfer thread).
    void deliver(std::function<void()> event);
    // The task's counts and response change on the delegate queue, just
    // before the delegate or an observer hears of it. A task with a
    // completion handler and no observers has nobody to hear: it takes them
    // here, at once, and its reply needs one trip to the delegate queue
    // rather than one per piece.
    bool seenByNobody() const;

    Weak<URLSessionTask> weakTask_;
    Weak<URLSession> weakSession_;
    LoaderSetup setup_;

    // Held from start to completion: the loads keep their task and session.
    Ref<URLSessionTask> task_;
    Ref<URLSession> session_;

    // Transfer thread state.
    bool begun_ = false;
    bool done_ = false;
    Ref<URLRequest> request_;
    uint64_t transferId_ = 0;
    double startedAt_ = 0;
    int redirects_ = 0;
    int authFailures_ = 0;
    std::string authorization_;
    bool requestStreamUsed_ = false;
    Ref<InputStream> stream_;
    bool streamFailed_ = false;
    int64_t expectedToSend_ = 0;
    // Body bytes handed to the transport in this attempt.
    int64_t bodyRead_ = 0;
    int64_t sentReported_ = 0;
    Head head_ = Head::None;
    Ref<HTTPURLResponse> pendingHead_;
    // The pending redirect is followed without asking anyone (no delegate
    // may refuse it, and its Location is a URL): its body is let pass, up
    // to MostRedirectBodyBytes, then the transfer is stopped and the
    // redirect followed.
    bool redirectFollowedAsIs_ = false;
    detail::RedirectBody redirectBody_;
    Ref<URLResponse> response_;
    // The body held while nobody can take it yet.
    ReplyBuffer heldBody_;
    // A reply already whole in memory, until it is handed on.
    Ref<Data> wholeBody_;
    bool dispositionPending_ = false;
    bool finishPending_ = false;
    std::optional<CurlOutcome> pendingOutcome_;
    int64_t received_ = 0;
    int64_t expectedToReceive_ = URLSessionTransferSizeUnknown;
    ReplyBuffer resultBody_;
    // The reply bytes the loader itself holds (a completion handler's reply,
    // a body held while nobody can take it, a reply kept for the cache), of
    // what all sessions' replies hold together. A completion handler's
    // stays counted until its handler has run; a failed task's is given
    // back at once. Each piece handed to a delegate carries a share of its
    // own, given back when the piece's data is released.
    std::shared_ptr<ReplyShare> held_ = std::make_shared<ReplyShare>(sessionReplies());
    // The piece for the delegate still waiting in the delegate queue, with
    // nothing queued after it: the body's next bytes join it (ReplyPiece.h),
    // so what the queue holds is bounded with the bytes, whatever pieces
    // the sender cuts its reply into.
    std::shared_ptr<ReplyPiece> gathering_;
    bool tooLong_ = false;
    bool cacheable_ = false;
    bool fromCache_ = false;
    // The reply kept for the URL cache while cacheable_.
    ReplyBuffer cacheBody_;
    int fd_ = -1;
    std::string downloadPath_;
    bool writeFailed_ = false;
    bool keepDownloadFile_ = false;
    int64_t trustFailure_ = 0;
    sec::TrustRef failedTrust_;

    // Any thread.
    std::mutex lock_;
    std::condition_variable trustDecided_;
    bool cancelRequested_ = false;
    bool trustAnswered_ = false;
    URLSessionAuthChallengeDisposition trustDisposition_ = URLSessionAuthChallengeDisposition::PerformDefaultHandling;
    Ref<URLCredential> trustCredential_;
    std::optional<dispatch::IoToken> io_;
    bool finished_ = false;
    bool awaitingApp_ = false;
    bool pausedByApp_ = false;
};

}  // namespace ns::detail
