#include "platform/foundation/URLSessionTaskLoader.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <type_traits>

#include "platform/foundation/HTTPCookie.h"
#include "platform/foundation/HomeDirectory.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/URLError.h"
#include "platform/security/Policy.h"

namespace ns::detail {

namespace {

constexpr int maxRedirects = 16;

double realNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string schemeOf(const URL& url) {
    auto scheme = url.scheme();
    return scheme ? lowered(scheme->utf8()) : std::string();
}

int64_t portOf(const URL& url) {
    if (auto port = url.port()) return port->longLongValue();
    return schemeOf(url) == "https" ? 443 : 80;
}

std::string hostOf(const URL& url) {
    auto host = url.host();
    return host ? host->utf8() : std::string();
}

// A completion handler that counts only its first call, as the platform's
// decision handlers do.
template <class... A>
std::function<void(A...)> firstCallOnly(std::type_identity_t<std::function<void(A...)>> f) {
    auto called = std::make_shared<std::atomic<bool>>(false);
    return [called, f = std::move(f)](A... args) {
        if (!called->exchange(true)) f(std::move(args)...);
    };
}

bool isRedirect(int64_t status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string quotedParameter(std::string_view value, std::string_view name) {
    const std::string lower = lowered(value);
    size_t at = lower.find(std::string(name) + "=");
    if (at == std::string::npos) return {};
    std::string_view rest = value.substr(at + name.size() + 1);
    if (!rest.empty() && rest.front() == '"') {
        rest.remove_prefix(1);
        return std::string(rest.substr(0, rest.find('"')));
    }
    return std::string(rest.substr(0, rest.find_first_of(", ")));
}

}  // namespace

// ---- ResumePoint ----

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

// ---- Any thread ----

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
    auto session = session_ ? session_ : weakSession_.lock();
    if (session) session->deliver(std::move(event));
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

void URLSessionTaskLoader::suspend() {
    {
        std::lock_guard guard(lock_);
        pausedByApp_ = true;
        io_.reset();
    }
    onWorker([](URLSessionTaskLoader& self) {
        self.suspended_ = true;
        if (self.transferId_) self.session_->transport().setPaused(self.transferId_, true);
    });
}

void URLSessionTaskLoader::resume() {
    {
        std::lock_guard guard(lock_);
        pausedByApp_ = false;
    }
    holdIo(true);
    const bool posted = onWorker([](URLSessionTaskLoader& self) {
        self.suspended_ = false;
        if (self.transferId_) self.session_->transport().setPaused(self.transferId_, false);
    });
    if (!posted) holdIo(false);
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

// ---- Transfer thread ----

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

bool URLSessionTaskLoader::serveFromCacheOrFile() {
    const Ref<URL>& url = request_->URL();
    if (schemeOf(*url) == "file") {
        auto path = url->path();
        struct stat info {};
        if (!path || ::stat(path->utf8().c_str(), &info) != 0) {
            complete(error(URLErrorFileDoesNotExist));
            return true;
        }
        if (S_ISDIR(info.st_mode)) {
            complete(error(URLErrorFileIsDirectory));
            return true;
        }
        auto bytes = Data::withContentsOfFile(path->utf8());
        if (!bytes) {
            complete(error(URLErrorNoPermissionsToReadFile));
            return true;
        }
        auto extension = url->pathExtension();
        auto response = URLResponse::make(url, String::make(URLResponse::mimeTypeForPathExtension(extension ? extension->utf8() : "")),
                                          int64_t(bytes->length()), nullptr);
        fromCache_ = true;
        serveLocally(response, std::string(bytes->view()));
        return true;
    }
    const auto& config = session_->currentConfiguration();
    const Ref<URLCache>& cache = config->URLCache();
    if (!cache || !request_->HTTPMethod()->isEqualToString("GET") || setup_.resume) return false;
    uint64_t policy = request_->cachePolicy();
    if (policy == URLRequestUseProtocolCachePolicy) policy = config->requestCachePolicy();
    if (policy == URLRequestReloadIgnoringLocalCacheData || policy == URLRequestReloadIgnoringLocalAndRemoteCacheData ||
        policy == URLRequestReloadRevalidatingCacheData) {
        return false;
    }
    auto cached = cache->cachedResponseForRequest(*request_);
    const bool usable = cached && (policy != URLRequestUseProtocolCachePolicy || cached->isFresh());
    if (usable) {
        fromCache_ = true;
        serveLocally(cached->response(), std::string(cached->data()->view()));
        return true;
    }
    if (policy == URLRequestReturnCacheDataDontLoad) {
        complete(error(URLErrorResourceUnavailable));
        return true;
    }
    return false;
}

int64_t LoaderSetup::bodyLength(const URLRequest& request) const {
    const std::string& method = request.HTTPMethod()->utf8();
    if (method == "GET" || method == "HEAD") return 0;
    switch (body) {
    case Body::Data: return int64_t(uploadData->length());
    case Body::File: {
        struct stat info {};
        return ::stat(uploadFile.c_str(), &info) == 0 ? int64_t(info.st_size) : 0;
    }
    case Body::FromRequest:
        if (!request.HTTPBodyStream()) return request.HTTPBody() ? int64_t(request.HTTPBody()->length()) : 0;
        [[fallthrough]];
    case Body::Stream:
        if (const std::string* length = request.headerFields().value("Content-Length")) {
            char* end = nullptr;
            long long n = std::strtoll(length->c_str(), &end, 10);
            if (end && *end == '\0' && n >= 0) return n;
        }
        return URLSessionTransferSizeUnknown;
    }
    return 0;
}

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

    if (stream_ && stream_->streamStatus() == StreamStatusNotOpen) stream_->open();
    if (stream_ && stream_->streamStatus() == StreamStatusError) {
        streamFailed_ = true;
        return complete(error(setup_.body == LoaderSetup::Body::File ? URLErrorCannotOpenFile
                                                                     : URLErrorRequestBodyStreamExhausted));
    }

    head_ = Head::None;
    pendingHead_ = nullptr;
    heldBody_.clear();
    sentReported_ = 0;
    const int64_t expected = expectedToSend_;
    auto task = task_;
    deliver([task, expected] {
        task->setCountOfBytesExpectedToSend(expected);
        task->setCountOfBytesSent(0);
    });
    transferId_ = session_->transport().start(std::move(spec), shared_from_this());
    if (suspended_) session_->transport().setPaused(transferId_, true);
}

void URLSessionTaskLoader::storeCookies(const HTTPURLResponse& response) {
    const auto& config = session_->currentConfiguration();
    const Ref<HTTPCookieStorage>& storage = config->HTTPCookieStorage();
    if (!storage || !config->HTTPShouldSetCookies() || !request_->HTTPShouldHandleCookies()) return;
    if (response.setCookieLines().empty()) return;
    const uint64_t policy = config->HTTPCookieAcceptPolicy();
    if (policy == HTTPCookieAcceptPolicyNever) return;
    const Ref<URL>& url = request_->URL();
    if (policy == HTTPCookieAcceptPolicyOnlyFromMainDocumentDomain && request_->mainDocumentURL()) {
        const std::string host = lowered(hostOf(*url));
        const std::string main = lowered(hostOf(*request_->mainDocumentURL()));
        const bool inDomain = host == main || (host.size() > main.size() &&
                                               host.compare(host.size() - main.size(), main.size(), main) == 0 &&
                                               host[host.size() - main.size() - 1] == '.');
        if (!inDomain) return;
    }
    for (const std::string& line : response.setCookieLines()) {
        if (auto cookie = HTTPCookie::cookieWithSetCookieLine(line, *url)) storage->setCookie(cookie);
    }
}

void URLSessionTaskLoader::transferReceivedHead(int status, std::string version,
                                                std::vector<HTTPHeaderFields::Field> headers) {
    if (done_) return;
    auto response = HTTPURLResponse::make(request_->URL(), status, version, headers);
    storeCookies(*response);
    const std::string* location = response->headerFields().value("Location");
    if (isRedirect(status) && location && !location->empty()) {
        head_ = Head::Redirect;
        pendingHead_ = response;
        heldBody_.clear();
        return;
    }
    const std::string* authenticate = response->headerFields().value("WWW-Authenticate");
    if (status == 401 && authenticate && lowered(*authenticate).rfind("basic", 0) == 0) {
        head_ = Head::Authenticate;
        pendingHead_ = response;
        heldBody_.clear();
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
    heldBody_.clear();
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
    cacheBody_.clear();
    const bool ask = !setup_.dataCompletion && dynamic_cast<URLSessionDataDelegate*>(session_->delegate().get());
    dispositionPending_ = ask;
    // Released once the transfer has nothing more to do but wait (see transferFinished).
    if (ask) beginAwaitingApp();
    const int64_t expected = expectedToReceive_;
    auto self = shared_from_this();
    auto dataTask = cast<URLSessionDataTask>(task);
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
}

bool URLSessionTaskLoader::transferReceivedBody(const char* bytes, size_t length) {
    if (done_) return false;
    if (head_ != Head::Final || dispositionPending_) {
        heldBody_.append(bytes, length);
        return true;
    }
    return deliverBody(bytes, length);
}

bool URLSessionTaskLoader::deliverBody(const char* bytes, size_t length) {
    if (length == 0) return true;
    received_ += int64_t(length);
    const int64_t total = received_;
    auto task = task_;
    auto session = session_;
    if (setup_.kind == LoaderSetup::Kind::Download) {
        for (size_t written = 0; written < length;) {
            ssize_t n = ::write(fd_, bytes + written, length - written);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                writeFailed_ = true;
                return false;
            }
            written += size_t(n);
        }
        const int64_t expected = expectedToReceive_;
        const bool tellDelegate = !setup_.downloadCompletion;
        auto download = cast<URLSessionDownloadTask>(task);
        deliver([session, download, total, expected, length, tellDelegate] {
            download->setCountOfBytesReceived(total);
            if (!tellDelegate) return;
            if (auto* d = dynamic_cast<URLSessionDownloadDelegate*>(session->delegate().get())) {
                d->didWriteData(session, download, int64_t(length), total, expected);
            }
        });
        return true;
    }
    if (cacheable_) {
        cacheBody_.append(bytes, length);
        const Ref<URLCache>& cache = session_->currentConfiguration()->URLCache();
        if (!cache->shouldStoreResponse(*request_, *response_, cacheBody_.size())) {
            cacheable_ = false;
            cacheBody_.clear();
        }
    }
    if (setup_.dataCompletion) {
        resultBody_.append(bytes, length);
        deliver([task, total] { task->setCountOfBytesReceived(total); });
        return true;
    }
    auto data = Data::withBytes(bytes, length);
    auto dataTask = cast<URLSessionDataTask>(task);
    deliver([session, dataTask, data, total] {
        dataTask->setCountOfBytesReceived(total);
        if (auto* d = dynamic_cast<URLSessionDataDelegate*>(session->delegate().get())) {
            d->didReceiveData(session, dataTask, data);
        }
    });
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
    const int64_t n = stream_->read(reinterpret_cast<uint8_t*>(buffer), length);
    if (n < 0) {
        streamFailed_ = true;
        return -1;
    }
    return n;
}

bool URLSessionTaskLoader::transferShouldTrustServer(std::vector<sec::CertificateRef> chain) {
    if (done_) return false;
    const Ref<URL>& url = request_->URL();
    const std::string host = hostOf(*url);
    auto trust = sec::Trust::createWithCertificates(std::move(chain), {sec::Policy::createSsl(true, host)});
    if (!trust) {
        trustFailure_ = URLErrorServerCertificateUntrusted;
        return false;
    }
    auto space = URLProtectionSpace::make(host, portOf(*url), "https", nullptr, URLAuthenticationMethodServerTrust, trust);
    auto challenge = URLAuthenticationChallenge::make(space, nullptr, 0, nullptr, nullptr);
    {
        std::lock_guard guard(lock_);
        trustAnswered_ = false;
        trustCredential_ = nullptr;
    }
    auto self = shared_from_this();
    auto task = task_;
    auto session = session_;
    beginAwaitingApp();
    deliver([self, task, session, challenge] {
        auto answer = firstCallOnly<URLSessionAuthChallengeDisposition, Ref<URLCredential>>(
            [self](URLSessionAuthChallengeDisposition disposition, Ref<URLCredential> credential) {
                {
                    std::lock_guard guard(self->lock_);
                    self->trustAnswered_ = true;
                    self->trustDisposition_ = disposition;
                    self->trustCredential_ = std::move(credential);
                    self->awaitingApp_ = false;
                }
                self->holdIo(true);
                self->trustDecided_.notify_all();
            });
        Ref<URLSessionDelegate> delegate = session->delegate();
        bool offered = delegate && delegate->didReceiveChallenge(session, challenge, answer);
        if (!offered) {
            auto* taskDelegate = dynamic_cast<URLSessionTaskDelegate*>(delegate.get());
            offered = taskDelegate && taskDelegate->taskDidReceiveChallenge(session, task, challenge, answer);
        }
        if (!offered) answer(URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
    });

    endAwaitingApp();
    // The handshake (and this thread) waits for the delegate's word.
    std::unique_lock hold(lock_);
    trustDecided_.wait(hold, [this] { return trustAnswered_ || cancelRequested_; });
    if (cancelRequested_) {
        trustFailure_ = URLErrorCancelled;
        return false;
    }
    const auto disposition = trustDisposition_;
    const Ref<URLCredential> credential = trustCredential_;
    hold.unlock();

    switch (disposition) {
    case URLSessionAuthChallengeDisposition::UseCredential:
        if (credential && credential->trust()) return true;
        [[fallthrough]];
    case URLSessionAuthChallengeDisposition::PerformDefaultHandling: {
        const auto& anchors = session_->currentConfiguration()->additionalTrustAnchors();
        if (!anchors.empty()) {
            trust->setAnchorCertificates(anchors);
            trust->setAnchorCertificatesOnly(false);
        }
        if (sec::isTrusted(trust->evaluate())) return true;
        trustFailure_ = URLErrorServerCertificateUntrusted;
        failedTrust_ = trust;
        return false;
    }
    case URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge:
        trustFailure_ = URLErrorCancelled;
        return false;
    case URLSessionAuthChallengeDisposition::RejectProtectionSpace:
        trustFailure_ = URLErrorServerCertificateUntrusted;
        failedTrust_ = trust;
        return false;
    }
    return false;
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
    std::string held = std::move(heldBody_);
    heldBody_.clear();
    if (!held.empty() && !deliverBody(held.data(), held.size())) return complete(error(URLErrorCannotWriteToFile));
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
    cacheable_ = false;
    cacheBody_.clear();
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
    std::string held = std::move(heldBody_);
    heldBody_.clear();
    if (!held.empty() && !deliverBody(held.data(), held.size())) return complete(error(URLErrorCannotWriteToFile));
    if (finishPending_) {
        finishPending_ = false;
        CurlOutcome outcome = *pendingOutcome_;
        pendingOutcome_.reset();
        transferFinished(outcome);
    }
}

void URLSessionTaskLoader::serveLocally(const Ref<URLResponse>& response, std::string body) {
    head_ = Head::Final;
    acceptFinalResponse(response);
    if (done_) return;
    if (dispositionPending_) {
        heldBody_ = std::move(body);
        finishPending_ = true;
        pendingOutcome_ = CurlOutcome{};
        endAwaitingApp();
        return;
    }
    if (!body.empty() && !deliverBody(body.data(), body.size())) return complete(error(URLErrorCannotWriteToFile));
    finishSuccess();
}

void URLSessionTaskLoader::finishSuccess() {
    auto task = task_;
    auto session = session_;
    if (setup_.kind == LoaderSetup::Kind::Download) {
        closeDownloadFile(false);
        if (setup_.downloadCompletion) return complete(nullptr);
        auto location = URL::fileURLWithPath(downloadPath_);
        const std::string path = downloadPath_;
        downloadPath_.clear();
        auto download = cast<URLSessionDownloadTask>(task);
        deliver([session, download, location, path] {
            if (auto* d = dynamic_cast<URLSessionDownloadDelegate*>(session->delegate().get())) {
                d->didFinishDownloadingToURL(session, download, location);
            }
            // What the delegate did not move away goes now.
            ::unlink(path.c_str());
        });
        return complete(nullptr);
    }
    const Ref<URLCache>& cache = session_->currentConfiguration()->URLCache();
    if (cacheable_ && cache->shouldStoreResponse(*request_, *response_, cacheBody_.size())) {
        auto proposed = CachedURLResponse::make(response_, Data::withBytes(cacheBody_));
        cacheBody_.clear();
        cacheable_ = false;
        auto request = request_;
        auto self = shared_from_this();
        const bool ask = !setup_.dataCompletion;
        auto dataTask = cast<URLSessionDataTask>(task);
        beginAwaitingApp();
        deliver([self, session, dataTask, proposed, cache, request, ask] {
            auto store = firstCallOnly<Ref<CachedURLResponse>>([self, cache, request](Ref<CachedURLResponse> cached) {
                if (cached) cache->storeCachedResponse(cached, *request);
                self->answered([](URLSessionTaskLoader& loader) { loader.complete(nullptr); });
            });
            auto* d = ask ? dynamic_cast<URLSessionDataDelegate*>(session->delegate().get()) : nullptr;
            if (!d || !d->willCacheResponse(session, dataTask, proposed, store)) store(proposed);
        });
        endAwaitingApp();
        return;
    }
    complete(nullptr);
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
    std::string body = std::move(heldBody_);
    heldBody_.clear();
    serveLocally(pendingHead_, std::move(body));
}

void URLSessionTaskLoader::askForCredential() {
    auto response = pendingHead_;
    const Ref<URL>& url = request_->URL();
    const std::string* authenticate = response->headerFields().value("WWW-Authenticate");
    const std::string realm = authenticate ? quotedParameter(*authenticate, "realm") : std::string();
    auto space = URLProtectionSpace::make(hostOf(*url), portOf(*url), schemeOf(*url),
                                          realm.empty() ? nullptr : String::make(realm), URLAuthenticationMethodHTTPBasic);
    Ref<URLCredential> proposed;
    if (url->user() && url->password()) proposed = URLCredential::credentialWithUser(url->user(), url->password());
    auto challenge = URLAuthenticationChallenge::make(space, proposed, authFailures_,
                                                      authFailures_ > 0 ? response : nullptr, nullptr);
    auto self = shared_from_this();
    auto task = task_;
    auto session = session_;
    beginAwaitingApp();
    deliver([self, task, session, challenge] {
        auto answer = firstCallOnly<URLSessionAuthChallengeDisposition, Ref<URLCredential>>(
            [self](URLSessionAuthChallengeDisposition disposition, Ref<URLCredential> credential) {
                self->answered([disposition, credential](URLSessionTaskLoader& loader) {
                    loader.onCredential(disposition, credential);
                });
            });
        auto* d = dynamic_cast<URLSessionTaskDelegate*>(session->delegate().get());
        if (!d || !d->taskDidReceiveChallenge(session, task, challenge, answer)) {
            answer(URLSessionAuthChallengeDisposition::PerformDefaultHandling, nullptr);
        }
    });
    endAwaitingApp();
}

void URLSessionTaskLoader::onCredential(URLSessionAuthChallengeDisposition disposition, Ref<URLCredential> credential) {
    if (done_) return;
    auto use = [this](const Ref<String>& user, const Ref<String>& password) {
        const std::string pair = (user ? user->utf8() : std::string()) + ":" + (password ? password->utf8() : std::string());
        authorization_ = "Basic " + Data::withBytes(pair)->base64EncodedString();
        ++authFailures_;
        prepareBody();
    };
    const Ref<URL>& url = request_->URL();
    switch (disposition) {
    case URLSessionAuthChallengeDisposition::UseCredential:
        if (credential && credential->user()) return use(credential->user(), credential->password());
        return finalWithHeldBody();
    case URLSessionAuthChallengeDisposition::PerformDefaultHandling:
        if (authFailures_ == 0 && url->user() && url->password()) return use(url->user(), url->password());
        return finalWithHeldBody();
    case URLSessionAuthChallengeDisposition::RejectProtectionSpace:
        return finalWithHeldBody();
    case URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge:
        return complete(error(URLErrorCancelled));
    }
}

void URLSessionTaskLoader::cancelOnWorker() {
    if (done_) return;
    if (!task_) task_ = weakTask_.lock();
    if (!session_) session_ = weakSession_.lock();
    if (!task_ || !session_) return;
    complete(error(URLErrorCancelled));
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
    Ref<Data> body = (!failure && dataCompletion) ? Data::withBytes(resultBody_) : nullptr;
    resultBody_.clear();
    deliver([task, session, response, failure, dataCompletion, downloadCompletion, body, location, downloadPath] {
        task->markCompleted(failure);
        if (dataCompletion) {
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
