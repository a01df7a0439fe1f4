// The task loader on the wire: the request body, each attempt on the
// transport, the response head and body, download files, the response
// disposition and redirects.

#include "platform/foundation/URLSessionTaskLoader.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "platform/foundation/HTTPCookie.h"
#include "platform/foundation/HomeDirectory.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLRedirects.h"
#include "platform/foundation/URLSessionTaskLoaderSupport.h"

namespace ns::detail {

using namespace loading;

void URLSessionTaskLoader::prepareBody() {
    if (done_) return;
    stream_.reset();
    streamFailed_ = false;
    expectedToSend_ = setup_.bodyLength(*request_);
    const std::string& method = request_->HTTPMethod()->utf8();
    if (method == "GET" || method == "HEAD") return startAttempt();
    switch (setup_.body) {
    case LoaderSetup::Body::Data:
        return startAttempt();
    case LoaderSetup::Body::File: {
        struct stat info {};
        if (setup_.uploadFile.empty() || ::stat(setup_.uploadFile.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
            return complete(error(URLErrorCannotOpenFile));
        }
        stream_ = InputStream::withFileAtPath(setup_.uploadFile);
        return startAttempt();
    }
    case LoaderSetup::Body::FromRequest:
        if (!request_->HTTPBodyStream()) return startAttempt();
        [[fallthrough]];
    case LoaderSetup::Body::Stream: {
        if (!requestStreamUsed_ && request_->HTTPBodyStream()) {
            requestStreamUsed_ = true;
            stream_ = request_->HTTPBodyStream();
            return startAttempt();
        }
        // The first stream is spent (or there never was one): ask for another.
        auto self = shared_from_this();
        auto task = task_;
        auto session = session_;
        beginAwaitingApp();
        deliver([self, task, session] {
            auto answer = firstCallOnly<Ref<InputStream>>([self](Ref<InputStream> stream) {
                self->answered([stream](URLSessionTaskLoader& loader) {
                    if (loader.done_) return;
                    if (!stream) return loader.complete(loader.error(URLErrorRequestBodyStreamExhausted));
                    loader.stream_ = stream;
                    loader.startAttempt();
                });
            });
            auto* delegate = dynamic_cast<URLSessionTaskDelegate*>(session->delegate().get());
            if (!delegate || !delegate->needNewBodyStream(session, task, answer)) answer(nullptr);
        });
        endAwaitingApp();
        return;
    }
    }
}

void URLSessionTaskLoader::startAttempt() {
    if (done_) return;
    const auto& config = session_->currentConfiguration();
    const Ref<URL>& url = request_->URL();
    CurlTransferSpec spec;
    spec.url = url->absoluteString()->utf8();
    if (size_t hash = spec.url.find('#'); hash != std::string::npos) spec.url.resize(hash);
    spec.method = request_->HTTPMethod()->utf8();

    HTTPHeaderFields headers = request_->headerFields();
    if (const Ref<Dictionary>& extra = config->HTTPAdditionalHeaders()) {
        const HTTPHeaderFields additional = HTTPHeaderFields::fromDictionary(extra.get());
        for (const auto& [name, value] : additional.fields()) {
            if (!headers.contains(name)) headers.set(name, value);
        }
    }
    if (const Ref<HTTPCookieStorage>& storage = config->HTTPCookieStorage();
        storage && config->HTTPShouldSetCookies() && request_->HTTPShouldHandleCookies() && !headers.contains("Cookie")) {
        auto cookies = storage->cookiesForURL(*url);
        if (!cookies.empty()) {
            auto fields = HTTPCookie::requestHeaderFieldsWithCookies(cookies);
            headers.set("Cookie", cast<String>(fields->objectForKey("Cookie"))->utf8());
        }
    }
    if (!authorization_.empty()) headers.set("Authorization", authorization_);
    // The body's own length is sent; a length the caller wrote could disagree.
    headers.remove("Content-Length");
    spec.headers = headers.fields();

    const std::string& method = spec.method;
    if (method != "GET" && method != "HEAD") {
        if (stream_) {
            spec.streamedBody = true;
            spec.bodyLength = expectedToSend_;
        } else if (setup_.body == LoaderSetup::Body::Data) {
            spec.body = setup_.uploadData;
        } else {
            spec.body = request_->HTTPBody();
        }
    }
    double idle = config->timeoutIntervalForRequest();
    const double own = request_->timeoutInterval();
    if (own > 0 && (idle <= 0 || own < idle)) idle = own;
    spec.idleTimeout = idle > 0 ? idle : URLRequest::DefaultTimeoutInterval;
    spec.totalTimeout = std::max(0.0, config->timeoutIntervalForResource() - (realNow() - startedAt_));

    // Cookies a server set, or the app's own fields, can make a head curl
    // would refuse: that is the request's fault, not the reply's.
    if (const size_t head = requestHeadBytes(spec); head > MaxRequestHeadBytes) {
        log("URL session: request to %@ not sent: it is too long (a head of %zu bytes, past %zu)", url->absoluteString(),
            head, MaxRequestHeadBytes);
        return complete(error(URLErrorBadURL));
    }
    if (stream_ && stream_->streamStatus() == StreamStatusNotOpen) stream_->open();
    if (stream_ && stream_->streamStatus() == StreamStatusError) {
        streamFailed_ = true;
        return complete(error(setup_.body == LoaderSetup::Body::File ? URLErrorCannotOpenFile
                                                                     : URLErrorRequestBodyStreamExhausted));
    }
    bodyRead_ = 0;
    // Nothing is read of a body declared empty, so nothing else would see
    // that it is not.
    if (const int64_t past = stream_ && expectedToSend_ == 0 ? readPastDeclaredLength() : 0; past != 0) {
        if (past > 0) refuseBodyStream("holds more than");
        streamFailed_ = true;
        return complete(error(URLErrorRequestBodyStreamExhausted));
    }

    head_ = Head::None;
    pendingHead_ = nullptr;
    redirectFollowedAsIs_ = false;
    redirectBody_ = {};
    dropHeldBody();
    sentReported_ = 0;
    const int64_t expected = expectedToSend_;
    auto task = task_;
    if (seenByNobody()) {
        task->setCountOfBytesExpectedToSend(expected);
        task->setCountOfBytesSent(0);
    } else if (task->hasObservers() || task->countOfBytesExpectedToSend() != expected || task->countOfBytesSent() != 0) {
        deliver([task, expected] {
            task->setCountOfBytesExpectedToSend(expected);
            task->setCountOfBytesSent(0);
        });
    }
    transferId_ = session_->transport().start(std::move(spec), shared_from_this());
    applyPause();
}

void URLSessionTaskLoader::transferReceivedHead(int status, std::string version,
                                                std::vector<HTTPHeaderFields::Field> headers) {
    if (done_) return;
    auto response = HTTPURLResponse::make(request_->URL(), status, version, headers);
    storeCookies(*response);
    const std::string* location = response->headerFields().value("Location");
    if (isRedirectStatus(status) && location && !location->empty()) {
        head_ = Head::Redirect;
        pendingHead_ = response;
        dropHeldBody();
        // Where nothing can refuse the redirect its body never becomes the
        // reply: it passes, held nowhere, however long.
        redirectFollowedAsIs_ = !delegateMayRefuseRedirect() && URL::make(*location, request_->URL());
        return;
    }
    const std::string* authenticate = response->headerFields().value("WWW-Authenticate");
    if (status == 401 && authenticate && lowered(*authenticate).rfind("basic", 0) == 0) {
        head_ = Head::Authenticate;
        pendingHead_ = response;
        dropHeldBody();
        return;
    }
    head_ = Head::Final;
    acceptFinalResponse(response);
}

bool URLSessionTaskLoader::openDownloadFile(bool append) {
    if (setup_.resume) {
        downloadPath_ = setup_.resume->path;
        fd_ = ::open(downloadPath_.c_str(), O_WRONLY | O_CLOEXEC | (append ? O_APPEND : O_TRUNC));
    } else {
        std::string pattern = temporaryDirectory() + "/download-XXXXXX.tmp";
        fd_ = ::mkostemps(pattern.data(), 4, O_CLOEXEC);
        if (fd_ >= 0) downloadPath_ = pattern;
    }
    return fd_ >= 0;
}

void URLSessionTaskLoader::closeDownloadFile(bool remove) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (remove && !downloadPath_.empty()) ::unlink(downloadPath_.c_str());
    if (remove) downloadPath_.clear();
}

void URLSessionTaskLoader::acceptFinalResponse(const Ref<URLResponse>& response) {
    response_ = response;
    dropHeldBody();
    received_ = 0;
    expectedToReceive_ = response->expectedContentLength();
    auto task = task_;
    auto session = session_;
    if (setup_.kind == LoaderSetup::Kind::Download) {
        dispositionPending_ = false;
        auto http = cast<HTTPURLResponse>(response);
        const bool append = setup_.resume && http && http->statusCode() == 206;
        if (!openDownloadFile(append)) {
            writeFailed_ = true;
            return complete(error(URLErrorCannotCreateFile));
        }
        const int64_t offset = append ? setup_.resume->offset : 0;
        if (setup_.resume) {
            received_ = offset;
            if (expectedToReceive_ >= 0) expectedToReceive_ += offset;
        }
        const bool resumed = bool(setup_.resume);
        const bool tellDelegate = !setup_.downloadCompletion;
        const int64_t expected = expectedToReceive_;
        auto download = cast<URLSessionDownloadTask>(task);
        deliver([task, session, download, response, resumed, tellDelegate, offset, expected] {
            task->setResponse(response);
            task->setCountOfBytesExpectedToReceive(expected);
            task->setCountOfBytesReceived(offset);
            if (!resumed || !tellDelegate) return;
            if (auto* d = dynamic_cast<URLSessionDownloadDelegate*>(session->delegate().get())) {
                d->didResumeAtOffset(session, download, offset, expected);
            }
        });
        return;
    }
    const Ref<URLCache>& cache = session_->currentConfiguration()->URLCache();
    cacheable_ = !fromCache_ && cache && cache->shouldStoreResponse(*request_, *response, std::max<int64_t>(0, expectedToReceive_));
    cacheBody_.release();
    heldChanged();
    const Ref<URLSessionDelegate> delegate = setup_.dataCompletion ? nullptr : session_->delegate();
    auto* dataDelegate = dynamic_cast<URLSessionDataDelegate*>(delegate.get());
    const bool ask = dataDelegate && dataDelegate->respondsToSelector(URLSessionDidReceiveResponseSelector);
    dispositionPending_ = ask;
    if (ask) {
        // Until the app decides, the body has nowhere to go: held, a download
        // would be bounded like a reply in memory. Nothing is read meanwhile,
        // and the load waits on the app alone.
        beginAwaitingApp();
        applyPause();
    }
    const int64_t expected = expectedToReceive_;
    auto self = shared_from_this();
    auto dataTask = cast<URLSessionDataTask>(task);
    if (seenByNobody()) {
        dataTask->setResponse(response);
        dataTask->setCountOfBytesExpectedToReceive(expected);
        return;
    }
    deliver([self, session, dataTask, response, expected, ask] {
        dataTask->setResponse(response);
        dataTask->setCountOfBytesExpectedToReceive(expected);
        if (!ask) return;
        auto answer = firstCallOnly<URLSessionResponseDisposition>([self](URLSessionResponseDisposition disposition) {
            self->answered([disposition](URLSessionTaskLoader& loader) { loader.onDisposition(disposition); });
        });
        auto* d = dynamic_cast<URLSessionDataDelegate*>(session->delegate().get());
        if (!d || !d->didReceiveResponse(session, dataTask, response, answer)) answer(URLSessionResponseDisposition::Allow);
    });
    if (ask) endAwaitingApp();
}

bool URLSessionTaskLoader::delegateMayRefuseRedirect() const {
    const Ref<URLSessionDelegate> delegate = session_->delegate();
    return dynamic_cast<URLSessionTaskDelegate*>(delegate.get()) &&
           delegate->respondsToSelector(URLSessionWillPerformHTTPRedirectionSelector);
}

bool URLSessionTaskLoader::transferReceivedBody(const char* bytes, size_t more) {
    if (done_) return false;
    if (head_ == Head::Redirect && redirectFollowedAsIs_) {
        if (redirectBody_.pass(more)) return true;
        log("URL session: task for %@ follows its redirect before the redirect's body ends: past %llu bytes it is "
            "not read",
            request_->URL()->absoluteString(), (unsigned long long)MostRedirectBodyBytes);
        return false;
    }
    if (head_ != Head::Final || dispositionPending_) {
        // Held while nobody can take it yet, so bounded like a reply in memory.
        const uint64_t length = heldBody_.size() + more;
        if (!withinReplyBound(length) || !mayHold(*held_, heldInMemory() + more, length)) return false;
        heldBody_.append(bytes, more);
        return true;
    }
    return deliverBody(bytes, more);
}

bool URLSessionTaskLoader::withinReplyBound(uint64_t length) {
    const uint64_t bound = session_->currentConfiguration()->maximumResponseDataLength();
    if (length <= bound) return true;
    log("URL session: task for %@ stopped: its reply is longer than %llu bytes", request_->URL()->absoluteString(),
        (unsigned long long)bound);
    tooLong_ = true;
    return false;
}

bool URLSessionTaskLoader::mayHold(ReplyShare& share, uint64_t total, uint64_t replyLength) {
    if (share.growForReply(total, replyLength)) return true;
    log("URL session: task for %@ stopped: %s", request_->URL()->absoluteString(), repliesWouldNotFit(share.budget()));
    tooLong_ = true;
    releaseHoldings();
    return false;
}

uint64_t URLSessionTaskLoader::heldInMemory() const {
    return heldBody_.size() + resultBody_.size() + cacheBody_.size() + (wholeBody_ ? wholeBody_->length() : 0);
}

void URLSessionTaskLoader::heldChanged() {
    const uint64_t held = heldInMemory();
    if (held_ && held < held_->size()) held_->shrinkTo(held);
}

void URLSessionTaskLoader::dropHeldBody() {
    heldBody_.release();
    heldChanged();
}

void URLSessionTaskLoader::keepNothingForCache() {
    cacheable_ = false;
    cacheBody_.release();
    heldChanged();
}

void URLSessionTaskLoader::releaseHoldings() {
    resultBody_.release();
    heldBody_.release();
    cacheBody_.release();
    cacheable_ = false;
    wholeBody_ = nullptr;
    if (held_) held_->release();
}

Ref<Error> URLSessionTaskLoader::refusedBodyError() const {
    return error(tooLong_ ? URLErrorDataLengthExceedsMaximum : URLErrorCannotWriteToFile);
}

bool URLSessionTaskLoader::deliverBody(const char* bytes, size_t length, const Ref<Data>& whole) {
    if (length == 0) return true;
    const uint64_t total = uint64_t(received_) + length;
    auto task = task_;
    auto session = session_;
    if (setup_.kind == LoaderSetup::Kind::Download) {
        received_ = int64_t(total);
        for (size_t written = 0; written < length;) {
            ssize_t n = ::write(fd_, bytes + written, length - written);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                writeFailed_ = true;
                return false;
            }
            written += size_t(n);
        }
        if (whole && wholeBody_ == whole) {
            wholeBody_ = nullptr;
            heldChanged();
        }
        const int64_t expected = expectedToReceive_;
        const bool tellDelegate = !setup_.downloadCompletion;
        auto download = cast<URLSessionDownloadTask>(task);
        deliver([session, download, total = int64_t(total), expected, length, tellDelegate] {
            download->setCountOfBytesReceived(total);
            if (!tellDelegate) return;
            if (auto* d = dynamic_cast<URLSessionDownloadDelegate*>(session->delegate().get())) {
                d->didWriteData(session, download, int64_t(length), total, expected);
            }
        });
        return true;
    }
    // A data task's reply lives in memory (here, or in the delegate's hands),
    // and a small compressed reply can inflate without end: stop it in time.
    if (!withinReplyBound(total)) return false;
    received_ = int64_t(total);
    // Taken whole when it comes whole: wholeBody_ already holds it, counted.
    const bool keepWhole = whole && setup_.dataCompletion && resultBody_.size() == 0;
    const uint64_t more = (cacheable_ ? length : 0) + (setup_.dataCompletion && !keepWhole ? length : 0);
    if (more > 0 && !mayHold(*held_, heldInMemory() + more, total)) return false;
    if (cacheable_) {
        // The cache's copy is a nicety: memory that cannot hold it costs
        // the cache this reply, not the reply itself.
        try {
            cacheBody_.append(bytes, length);
        } catch (const std::bad_alloc&) {
            log("URL session: task for %@ keeps nothing in the cache: no memory left to hold %llu more bytes of its "
                "reply",
                request_->URL()->absoluteString(), (unsigned long long)length);
            keepNothingForCache();
        }
        const Ref<URLCache>& cache = session_->currentConfiguration()->URLCache();
        if (cacheable_ && !cache->shouldStoreResponse(*request_, *response_, cacheBody_.size())) keepNothingForCache();
    }
    if (setup_.dataCompletion) {
        if (keepWhole) wholeBody_ = whole;
        else resultBody_.append(bytes, length);
        const int64_t received = received_;
        if (seenByNobody()) task->setCountOfBytesReceived(received);
        else deliver([task, received] { task->setCountOfBytesReceived(received); });
        return true;
    }
    auto dataTask = cast<URLSessionDataTask>(task);
    if (whole) {
        // Already one piece: handed on as it is, and held by the piece from
        // here, not by the loader.
        if (wholeBody_ == whole) {
            wholeBody_ = nullptr;
            heldChanged();
        }
        auto share = std::make_unique<ReplyShare>(sessionReplies());
        if (!mayHold(*share, length, total)) return false;
        Ref<Data> data = detail::withShare(whole, std::move(share));
        deliver([session, dataTask, data, total = int64_t(total)] {
            dataTask->setCountOfBytesReceived(total);
            if (auto* d = dynamic_cast<URLSessionDataDelegate*>(session->delegate().get())) {
                d->didReceiveData(session, dataTask, data);
            }
        });
        return true;
    }
    // Joins the piece still waiting for the delegate queue, if nothing was
    // queued after it; else goes in a new one.
    const auto weigh = [this, total](ReplyShare& share, uint64_t size) { return mayHold(share, size, total); };
    if (gathering_) {
        switch (gathering_->join(bytes, length, int64_t(total), weigh)) {
        case ReplyPiece::Join::Joined: return true;
        case ReplyPiece::Join::Refused: return false;
        case ReplyPiece::Join::Closed: break;
        }
    }
    auto piece = std::make_shared<ReplyPiece>(sessionReplies());
    if (piece->join(bytes, length, int64_t(total), weigh) != ReplyPiece::Join::Joined) return false;
    deliver([session, dataTask, piece] {
        int64_t received = 0;
        Ref<Data> data = piece->take(&received);
        if (!data) return;
        dataTask->setCountOfBytesReceived(received);
        if (auto* d = dynamic_cast<URLSessionDataDelegate*>(session->delegate().get())) {
            d->didReceiveData(session, dataTask, data);
        }
    });
    gathering_ = std::move(piece);
    return true;
}

void URLSessionTaskLoader::transferSentBody(int64_t totalSent) {
    if (done_) return;
    const int64_t sent = totalSent - sentReported_;
    if (sent <= 0) return;
    sentReported_ = totalSent;
    const int64_t expected = expectedToSend_;
    auto task = task_;
    auto session = session_;
    deliver([session, task, sent, totalSent, expected] {
        task->setCountOfBytesSent(totalSent);
        if (auto* d = dynamic_cast<URLSessionTaskDelegate*>(session->delegate().get())) {
            d->didSendBodyData(session, task, sent, totalSent, expected);
        }
    });
}

int64_t URLSessionTaskLoader::transferReadBody(char* buffer, size_t length) {
    if (!stream_) return 0;
    // Without a declared length the body is sent chunked: it ends where the
    // stream does.
    const bool declared = expectedToSend_ >= 0;
    const int64_t left = declared ? expectedToSend_ - bodyRead_ : int64_t(length);
    if (left <= 0) return 0;
    const int64_t n = stream_->read(reinterpret_cast<uint8_t*>(buffer), std::min<uint64_t>(length, uint64_t(left)));
    if (n < 0) {
        streamFailed_ = true;
        return -1;
    }
    if (!declared) return n;
    // A declared length is what the server reads as the body: a shorter
    // stream would leave it waiting, a longer one would have it read the
    // rest as the connection's next request.
    if (n == 0) return refuseBodyStream("ended before");
    bodyRead_ += n;
    if (bodyRead_ == expectedToSend_) {
        const int64_t past = readPastDeclaredLength();
        if (past < 0) {
            streamFailed_ = true;
            return -1;
        }
        if (past > 0) return refuseBodyStream("holds more than");
    }
    return n;
}

int64_t URLSessionTaskLoader::readPastDeclaredLength() {
    if (stream_->streamStatus() == StreamStatusAtEnd) return 0;
    uint8_t probe = 0;
    return stream_->read(&probe, 1);
}

int64_t URLSessionTaskLoader::refuseBodyStream(const char* why) {
    log("URL session: upload to %@ stopped: its body stream %s the %lld bytes its request declares",
        request_->URL()->absoluteString(), why, (long long)expectedToSend_);
    // The transfer aborts mid-request, so its connection is closed, not reused.
    streamFailed_ = true;
    return -1;
}

void URLSessionTaskLoader::transferFinished(const CurlOutcome& outcome) {
    transferId_ = 0;
    if (done_) return;
    if (stream_) {
        stream_->close();
        stream_.reset();
    }
    bool cancelled;
    {
        std::lock_guard guard(lock_);
        cancelled = cancelRequested_;
    }
    if (cancelled) return complete(error(URLErrorCancelled));
    if (dispositionPending_) {
        finishPending_ = true;
        pendingOutcome_ = outcome;
        endAwaitingApp();
        return;
    }
    if (outcome.trailersTooLong) log("URL session: %@ failed: %s", request_->URL()->absoluteString(), outcome.message);
    // Stopped here, not by the server or the network.
    if (redirectBody_.cut()) return followRedirect();
    if (outcome.curlCode != CURLE_OK || outcome.timedOut) return complete(errorFor(outcome));
    switch (head_) {
    case Head::None: return complete(error(URLErrorBadServerResponse));
    case Head::Redirect: return followRedirect();
    case Head::Authenticate: return askForCredential();
    case Head::Final: return finishSuccess();
    }
}

void URLSessionTaskLoader::onDisposition(URLSessionResponseDisposition disposition) {
    if (done_ || !dispositionPending_) return;
    dispositionPending_ = false;
    switch (disposition) {
    case URLSessionResponseDisposition::Cancel:
        return complete(error(URLErrorCancelled));
    case URLSessionResponseDisposition::BecomeDownload:
        if (cast<URLSessionUploadTask>(task_)) break;  // uploads stay data tasks
        return becomeDownload();
    case URLSessionResponseDisposition::Allow:
        break;
    }
    releaseHeld();
    // Last: reading on may hand over the body at once, which must find the
    // decision made.
    if (!done_) applyPause();
}

void URLSessionTaskLoader::releaseHeld() {
    // The held bytes become the reply's pieces, a block at a time: each
    // stops counting as held here as its piece starts to.
    bool delivered;
    if (Ref<Data> whole = wholeBody_) {
        dropHeldBody();
        delivered = deliverBody(reinterpret_cast<const char*>(whole->bytes()), whole->length(), whole);
    } else {
        delivered = heldBody_.takeInBlocks([this](const char* bytes, size_t length) {
            heldChanged();
            return deliverBody(bytes, length);
        });
        heldChanged();
    }
    if (!delivered) return complete(refusedBodyError());
    if (finishPending_) {
        finishPending_ = false;
        CurlOutcome outcome = *pendingOutcome_;
        pendingOutcome_.reset();
        transferFinished(outcome);
    }
}

void URLSessionTaskLoader::becomeDownload() {
    auto dataTask = cast<URLSessionDataTask>(task_);
    auto download = session_->adoptAsDownload(dataTask);
    setup_.kind = LoaderSetup::Kind::Download;
    task_ = download;
    weakTask_ = download;
    keepNothingForCache();
    auto session = session_;
    const auto response = response_;
    const int64_t expected = expectedToReceive_;
    deliver([session, dataTask, download, response, expected] {
        download->setResponse(response);
        download->setCountOfBytesExpectedToReceive(expected);
        // The data task ends here, without a completion call of its own.
        dataTask->markCompleted(nullptr);
        if (auto* d = dynamic_cast<URLSessionDataDelegate*>(session->delegate().get())) {
            d->didBecomeDownloadTask(session, dataTask, download);
        }
        session->taskDidComplete(dataTask.get());
    });
    if (!openDownloadFile(false)) {
        writeFailed_ = true;
        return complete(error(URLErrorCannotCreateFile));
    }
    received_ = 0;
    releaseHeld();
    if (!done_) applyPause();
}

void URLSessionTaskLoader::followRedirect() {
    if (++redirects_ > maxRedirects) return complete(error(URLErrorHTTPTooManyRedirects));
    auto response = pendingHead_;
    const std::string* location = response->headerFields().value("Location");
    Ref<URL> target = location ? URL::make(*location, request_->URL()) : nullptr;
    if (!target) return finalWithHeldBody();
    auto next = MutableURLRequest::copyOf(*request_);
    next->setURL(target);
    const int64_t status = response->statusCode();
    const std::string& method = request_->HTTPMethod()->utf8();
    if ((status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST")) {
        next->setHTTPMethod("GET");
        next->setHTTPBody(nullptr);
        next->setHTTPBodyStream(nullptr);
        next->setValueForHTTPHeaderField(Ref<String>(), "Content-Type");
        next->setValueForHTTPHeaderField(Ref<String>(), "Content-Length");
    }
    // Credentials for one server are not handed to another.
    if (hostOf(*target) != hostOf(*request_->URL())) authorization_.clear();
    Ref<URLRequest> proposed = URLRequest::copyOf(*next);
    if (redirectFollowedAsIs_) return onRedirectDecision(proposed);
    auto self = shared_from_this();
    auto task = task_;
    auto session = session_;
    beginAwaitingApp();
    deliver([self, task, session, response, proposed] {
        auto answer = firstCallOnly<Ref<URLRequest>>([self](Ref<URLRequest> request) {
            self->answered([request](URLSessionTaskLoader& loader) { loader.onRedirectDecision(request); });
        });
        auto* d = dynamic_cast<URLSessionTaskDelegate*>(session->delegate().get());
        if (!d || !d->willPerformHTTPRedirection(session, task, response, proposed, answer)) answer(proposed);
    });
    endAwaitingApp();
}

void URLSessionTaskLoader::onRedirectDecision(Ref<URLRequest> request) {
    if (done_) return;
    if (!request) return finalWithHeldBody();
    request_ = URLRequest::copyOf(*request);
    auto task = task_;
    auto current = request_;
    deliver([task, current] { task->setCurrentRequest(current); });
    const Ref<URL>& url = request_->URL();
    if (!url) return complete(error(URLErrorBadURL));
    const std::string scheme = schemeOf(*url);
    if (scheme != "http" && scheme != "https") return complete(error(URLErrorUnsupportedURL));
    if (serveFromCacheOrFile()) return;
    prepareBody();
}

void URLSessionTaskLoader::finalWithHeldBody() {
    // Joined a block at a time: the whole takes the held blocks' place in
    // what the loader holds.
    Ref<Data> body = joined(heldBody_, "failed");
    if (!body) return complete(error(URLErrorDataLengthExceedsMaximum));
    wholeBody_ = body;
    heldChanged();
    serveLocally(pendingHead_, std::move(body));
}

}  // namespace ns::detail
