// The task loader's life: the task's calls from any thread, the start on the
// transfer thread, the errors it ends with and its one completion.

#include "platform/foundation/URLSessionTaskLoader.h"

#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <new>

#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSessionTaskLoaderSupport.h"

namespace ns::detail {

using namespace loading;

std::optional<ResumePoint> ResumePoint::decode(const Data* data) {
    if (!data) return std::nullopt;
    ResumePoint point;
    bool hasOffset = false;
    std::string_view text = data->view();
    if (text.rfind("resume\n", 0) != 0) return std::nullopt;
    text.remove_prefix(7);
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        size_t tab = line.find('\t');
        if (tab == std::string_view::npos) return std::nullopt;
        std::string_view key = line.substr(0, tab), value = line.substr(tab + 1);
        if (key == "url") point.url = value;
        else if (key == "path") point.path = value;
        else if (key == "validator") point.validator = value;
        else if (key == "offset") {
            point.offset = std::strtoll(std::string(value).c_str(), nullptr, 10);
            hasOffset = true;
        }
    }
    if (point.url.empty() || point.path.empty() || !hasOffset || point.offset <= 0) return std::nullopt;
    return point;
}

Ref<Data> ResumePoint::encode() const {
    return Data::withBytes("resume\nurl\t" + url + "\npath\t" + path + "\noffset\t" + std::to_string(offset) +
                           "\nvalidator\t" + validator + "\n");
}

URLSessionTaskLoader::URLSessionTaskLoader(const Ref<URLSessionTask>& task, LoaderSetup setup)
    : weakTask_(task), weakSession_(task->session()), setup_(std::move(setup)) {}

URLSessionTaskLoader::~URLSessionTaskLoader() {
    if (fd_ >= 0) ::close(fd_);
    if (!downloadPath_.empty() && !keepDownloadFile_) ::unlink(downloadPath_.c_str());
}

bool URLSessionTaskLoader::onWorker(std::function<void(URLSessionTaskLoader&)> work) {
    auto session = weakSession_.lock();
    if (!session) return false;
    session->transport().post([self = shared_from_this(), work = std::move(work)] { work(*self); });
    return true;
}

void URLSessionTaskLoader::deliver(std::function<void()> event) {
    // Queued after the piece gathering: later bytes must not join it.
    gathering_ = nullptr;
    auto session = session_ ? session_ : weakSession_.lock();
    if (session) session->deliver(std::move(event));
}

bool URLSessionTaskLoader::seenByNobody() const {
    return (setup_.dataCompletion || setup_.downloadCompletion) && task_ && !task_->hasObservers();
}

void URLSessionTaskLoader::holdIo(bool hold) {
    std::lock_guard guard(lock_);
    if (!hold) {
        io_.reset();
    } else if (!finished_ && !pausedByApp_ && !io_) {
        io_.emplace();
    }
}

void URLSessionTaskLoader::beginAwaitingApp() {
    std::lock_guard guard(lock_);
    awaitingApp_ = true;
}

void URLSessionTaskLoader::endAwaitingApp() {
    // Nothing moves until the app answers: the load is not in flight, so
    // a test settling its world does not wait for an answer that only it
    // can give. An answer that came first keeps the load in flight.
    std::lock_guard guard(lock_);
    if (awaitingApp_) io_.reset();
}

void URLSessionTaskLoader::answered(std::function<void(URLSessionTaskLoader&)> work) {
    {
        std::lock_guard guard(lock_);
        awaitingApp_ = false;
    }
    holdIo(true);
    if (!onWorker(std::move(work))) holdIo(false);
}

void URLSessionTaskLoader::start() {
    holdIo(true);
    if (!onWorker([](URLSessionTaskLoader& self) { self.begin(); })) holdIo(false);
}

void URLSessionTaskLoader::followTaskState(const URLSessionTask& task) {
    // Calls from several threads may arrive here, and on the transfer
    // thread, in any order: each reads the task's state when it acts rather
    // than carrying the state of its own call, so the last to act, which
    // comes after the last change, leaves the transfer as the task is.
    {
        std::lock_guard guard(lock_);
        pausedByApp_ = task.state() == URLSessionTaskStateSuspended;
        if (pausedByApp_) io_.reset();
        else if (!finished_ && !io_) io_.emplace();
    }
    if (!onWorker([](URLSessionTaskLoader& self) { self.applyPause(); })) holdIo(false);
}

void URLSessionTaskLoader::applyPause() {
    if (!transferId_) return;
    const bool suspended = task_ && task_->state() == URLSessionTaskStateSuspended;
    session_->transport().setPaused(transferId_, suspended || dispositionPending_);
}

void URLSessionTaskLoader::cancel() {
    {
        std::lock_guard guard(lock_);
        cancelRequested_ = true;
        pausedByApp_ = false;
    }
    // A handshake waiting for the delegate's word stops waiting.
    trustDecided_.notify_all();
    holdIo(true);
    if (!onWorker([](URLSessionTaskLoader& self) { self.cancelOnWorker(); })) holdIo(false);
}

void URLSessionTaskLoader::cancelProducingResumeData(std::function<void(Ref<Data>)> completion) {
    {
        std::lock_guard guard(lock_);
        pausedByApp_ = false;
    }
    holdIo(true);
    const bool posted = onWorker([completion = std::move(completion)](URLSessionTaskLoader& self) {
        Ref<Data> resumeData;
        if (!self.done_ && self.setup_.kind == LoaderSetup::Kind::Download && self.fd_ >= 0 && self.received_ > 0) {
            auto http = cast<HTTPURLResponse>(self.response_);
            const std::string* etag = http ? http->headerFields().value("ETag") : nullptr;
            const std::string* modified = http ? http->headerFields().value("Last-Modified") : nullptr;
            if (http && (http->statusCode() == 200 || http->statusCode() == 206) && (etag || modified)) {
                ResumePoint point;
                point.url = self.request_->URL()->absoluteString()->utf8();
                point.path = self.downloadPath_;
                point.offset = self.received_;
                point.validator = etag ? *etag : *modified;
                resumeData = point.encode();
                self.keepDownloadFile_ = true;
            }
        }
        if (completion) self.deliver([completion, resumeData] { completion(resumeData); });
        {
            std::lock_guard guard(self.lock_);
            self.cancelRequested_ = true;
        }
        self.trustDecided_.notify_all();
        self.cancelOnWorker();
    });
    if (!posted) holdIo(false);
}

Ref<Error> URLSessionTaskLoader::error(int64_t code) const {
    Ref<URL> url = request_ ? request_->URL() : nullptr;
    if (code == URLErrorServerCertificateUntrusted && failedTrust_) {
        return makeURLError(code, url, Dictionary::make({{URLErrorFailingURLPeerTrustErrorKey, failedTrust_}}));
    }
    return makeURLError(code, url);
}

Ref<Error> URLSessionTaskLoader::errorFor(const CurlOutcome& outcome) const {
    if (outcome.timedOut) return error(URLErrorTimedOut);
    if (streamFailed_) return error(URLErrorRequestBodyStreamExhausted);
    // The reply passed what it may hold, its trailers as its body: as a
    // header line past curl's limit, "too long" rather than "malformed".
    if (tooLong_ || outcome.trailersTooLong) return error(URLErrorDataLengthExceedsMaximum);
    // Logged by the transport as it stopped reading.
    if (outcome.tooManyHeaderFields) return error(URLErrorBadServerResponse);
    if (writeFailed_) return error(URLErrorCannotWriteToFile);
    if (outcome.trustRejected && trustFailure_) return error(trustFailure_);
    switch (outcome.curlCode) {
    case CURLE_UNSUPPORTED_PROTOCOL: return error(URLErrorUnsupportedURL);
    case CURLE_URL_MALFORMAT: return error(URLErrorBadURL);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return error(URLErrorCannotFindHost);
    case CURLE_COULDNT_CONNECT:
        // No route at all: the device has no network, as the platform tells it.
        if (outcome.osErrno == ENETUNREACH) return error(URLErrorNotConnectedToInternet);
        return error(URLErrorCannotConnectToHost);
    case CURLE_OPERATION_TIMEDOUT: return error(URLErrorTimedOut);
    case CURLE_PEER_FAILED_VERIFICATION: return error(URLErrorServerCertificateUntrusted);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
        return error(URLErrorSecureConnectionFailed);
    case CURLE_BAD_CONTENT_ENCODING: return error(URLErrorCannotDecodeRawData);
    case CURLE_OUT_OF_MEMORY:
        // Past one of curl's own bounds: what it holds, after decoding, for
        // a paused transfer (64 MiB; a reply paused at its head while the
        // delegate decides), or one header line (100 KiB).
        return error(URLErrorDataLengthExceedsMaximum);
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
        return error(URLErrorCannotParseResponse);
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
        return error(URLErrorNetworkConnectionLost);
    case CURLE_READ_ERROR:
    case CURLE_ABORTED_BY_CALLBACK:
        return error(URLErrorRequestBodyStreamExhausted);
    default: return error(URLErrorUnknown);
    }
}

void URLSessionTaskLoader::begin() {
    if (done_ || begun_) return;
    begun_ = true;
    if (!task_) task_ = weakTask_.lock();
    if (!session_) session_ = weakSession_.lock();
    if (!task_ || !session_) {
        done_ = true;
        holdIo(false);
        return;
    }
    startedAt_ = realNow();
    request_ = task_->originalRequest();
    if (setup_.badResumeData) return complete(error(URLErrorCannotOpenFile));
    Ref<URL> url = request_ ? request_->URL() : nullptr;
    if (!url) return complete(error(URLErrorBadURL));
    const std::string scheme = schemeOf(*url);
    if (scheme != "http" && scheme != "https" && scheme != "file") return complete(error(URLErrorUnsupportedURL));
    if (scheme != "file" && hostOf(*url).empty()) return complete(error(URLErrorBadURL));
    if (setup_.resume) {
        struct stat info {};
        if (::stat(setup_.resume->path.c_str(), &info) != 0) return complete(error(URLErrorCannotOpenFile));
        auto ranged = MutableURLRequest::copyOf(*request_);
        ranged->setValueForHTTPHeaderField("bytes=" + std::to_string(setup_.resume->offset) + "-", "Range");
        if (!setup_.resume->validator.empty()) ranged->setValueForHTTPHeaderField(setup_.resume->validator, "If-Range");
        request_ = ranged;
    }
    if (serveFromCacheOrFile()) return;
    prepareBody();
}

void URLSessionTaskLoader::cancelOnWorker() {
    if (done_) return;
    if (!task_) task_ = weakTask_.lock();
    if (!session_) session_ = weakSession_.lock();
    if (!task_ || !session_) return;
    complete(error(URLErrorCancelled));
}

Ref<Data> URLSessionTaskLoader::joined(ReplyBuffer& buffer, const char* outcome) {
    try {
        return buffer.takeData();
    } catch (const std::bad_alloc&) {
        log("URL session: task for %@ %s: no memory left to join its reply of %llu bytes",
            request_->URL()->absoluteString(), outcome, (unsigned long long)buffer.size());
        return nullptr;
    }
}

void URLSessionTaskLoader::complete(Ref<Error> failure) {
    if (done_) return;
    done_ = true;
    if (transferId_) {
        session_->transport().cancel(transferId_);
        transferId_ = 0;
    }
    if (stream_) {
        stream_->close();
        stream_.reset();
    }
    Ref<URL> location;
    std::string downloadPath;
    if (setup_.kind == LoaderSetup::Kind::Download) {
        if (failure) {
            closeDownloadFile(!keepDownloadFile_);
        } else if (setup_.downloadCompletion && !downloadPath_.empty()) {
            location = URL::fileURLWithPath(downloadPath_);
            downloadPath = downloadPath_;
            downloadPath_.clear();
        }
    }
    auto task = task_;
    auto session = session_;
    auto response = response_;
    auto dataCompletion = setup_.dataCompletion;
    auto downloadCompletion = setup_.downloadCompletion;
    Ref<Data> body;
    if (!failure && dataCompletion) {
        body = wholeBody_ ? wholeBody_ : joined(resultBody_, "failed");
        if (!body) failure = error(URLErrorDataLengthExceedsMaximum);
    }
    wholeBody_ = nullptr;
    resultBody_.release();
    heldBody_.release();
    cacheBody_.release();
    // A reply handed to its completion handler stays counted until the
    // handler has run; a failed task's share is given back now.
    std::shared_ptr<ReplyShare> share = std::move(held_);
    if (failure || !body) share.reset();
    deliver([task, session, response, failure, dataCompletion, downloadCompletion, body, location, downloadPath,
             share] {
        task->markCompleted(failure);
        if (dataCompletion) {
            ReplyInHandler inHandler(share);
            dataCompletion(body, response, failure);
        } else if (downloadCompletion) {
            downloadCompletion(location, response, failure);
            if (!downloadPath.empty()) ::unlink(downloadPath.c_str());
        } else if (auto* d = dynamic_cast<URLSessionTaskDelegate*>(session->delegate().get())) {
            d->didCompleteWithError(session, task, failure);
        }
        session->taskDidComplete(task.get());
    });
    {
        // Handed over: what waits for I/O may now see the delegate queue instead.
        std::lock_guard guard(lock_);
        finished_ = true;
        io_.reset();
    }
    task_ = nullptr;
    session_ = nullptr;
}

}  // namespace ns::detail
