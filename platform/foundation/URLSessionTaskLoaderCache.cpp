// What the task loader keeps and serves locally: the URL cache (reading a
// stored response, offering a fresh one to store), file URLs and cookies.

#include "platform/foundation/URLSessionTaskLoader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/foundation/FileContents.h"
#include "platform/foundation/HTTPCookie.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLSessionTaskLoaderSupport.h"

namespace ns::detail {

using namespace loading;

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
        serveFile(url, path->utf8());
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
        serveLocally(cached->response(), cached->data());
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

void URLSessionTaskLoader::serveFile(const Ref<URL>& url, const std::string& path) {
    fromCache_ = true;
    auto extension = url->pathExtension();
    auto mimeType = String::make(URLResponse::mimeTypeForPathExtension(extension ? extension->utf8() : ""));
    std::string why;
    if (setup_.kind == LoaderSetup::Kind::Download) {
        uint64_t size = 0;
        const int fd = openRegularFile(path, size, why);
        if (fd < 0) return complete(error(URLErrorNoPermissionsToReadFile));
        auto file = std::shared_ptr<int>(new int(fd), [](int* f) {
            ::close(*f);
            delete f;
        });
        head_ = Head::Final;
        acceptFinalResponse(URLResponse::make(url, mimeType, int64_t(size), nullptr));
        if (!done_) copyFilePiece(std::move(file));
        return;
    }
    // Weighed before a byte is read: against the task's bound on a reply,
    // then against what all sessions' replies hold.
    const uint64_t bound = session_->currentConfiguration()->maximumResponseDataLength();
    uint64_t length = 0;
    FileReadFailure failure;
    auto bytes = readRegularFile(path, bound, [&](uint64_t size) {
        length = size;
        return mayHold(*held_, heldInMemory() + size, size);
    }, failure);
    if (!bytes) {
        struct stat info {};
        if (!tooLong_ && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) withinReplyBound(uint64_t(info.st_size));
        if (!tooLong_) {
            log("URL session: task for %@ failed: %s", url->absoluteString(), failure.reason);
            if (failure.noMemory) {
                // As a reply whose bytes memory cannot hold: too long to hold.
                tooLong_ = true;
                releaseHoldings();
            }
        }
        return complete(tooLong_ ? refusedBodyError() : error(URLErrorNoPermissionsToReadFile));
    }
    // Counted as held from here: its share was taken before it was read.
    wholeBody_ = bytes;
    heldChanged();
    serveLocally(URLResponse::make(url, mimeType, int64_t(bytes->length()), nullptr), bytes);
}

void URLSessionTaskLoader::copyFilePiece(std::shared_ptr<int> file) {
    if (done_) return;
    constexpr size_t PieceBytes = 256 * 1024;
    std::vector<char> piece(PieceBytes);
    ssize_t got;
    do {
        got = ::read(*file, piece.data(), piece.size());
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        log("URL session: task for %@ failed: %s", request_->URL()->absoluteString(), std::strerror(errno));
        return complete(error(URLErrorNoPermissionsToReadFile));
    }
    if (got == 0) return finishSuccess();
    if (!deliverBody(piece.data(), size_t(got))) return complete(refusedBodyError());
    // One piece at a time: the session's other transfers, and a cancel, go
    // between them.
    onWorker([file = std::move(file)](URLSessionTaskLoader& self) { self.copyFilePiece(file); });
}

void URLSessionTaskLoader::serveLocally(const Ref<URLResponse>& response, Ref<Data> body) {
    head_ = Head::Final;
    acceptFinalResponse(response);
    if (done_) return;
    if (dispositionPending_) {
        wholeBody_ = std::move(body);
        finishPending_ = true;
        pendingOutcome_ = CurlOutcome{};
        endAwaitingApp();
        return;
    }
    if (body && body->length() > 0 &&
        !deliverBody(reinterpret_cast<const char*>(body->bytes()), body->length(), body)) {
        return complete(refusedBodyError());
    }
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
    Ref<Data> kept;
    if (cacheable_ && cache->shouldStoreResponse(*request_, *response_, cacheBody_.size())) {
        // Joined a block at a time, and handed to the cache as it is.
        kept = joined(cacheBody_, "keeps nothing in the cache");
    }
    keepNothingForCache();
    if (kept) {
        auto proposed = CachedURLResponse::make(response_, std::move(kept));
        auto request = request_;
        auto self = shared_from_this();
        const Ref<URLSessionDelegate> delegate = setup_.dataCompletion ? nullptr : session_->delegate();
        auto* dataDelegate = dynamic_cast<URLSessionDataDelegate*>(delegate.get());
        if (!dataDelegate || !dataDelegate->respondsToSelector(URLSessionWillCacheResponseSelector)) {
            // Nobody to ask: stored as proposed, without a trip to the delegate queue.
            cache->storeCachedResponse(proposed, *request);
            return complete(nullptr);
        }
        auto dataTask = cast<URLSessionDataTask>(task);
        beginAwaitingApp();
        deliver([self, session, dataTask, proposed, cache, request] {
            auto store = firstCallOnly<Ref<CachedURLResponse>>([self, cache, request](Ref<CachedURLResponse> cached) {
                if (cached) cache->storeCachedResponse(cached, *request);
                self->answered([](URLSessionTaskLoader& loader) { loader.complete(nullptr); });
            });
            auto* d = dynamic_cast<URLSessionDataDelegate*>(session->delegate().get());
            if (!d || !d->willCacheResponse(session, dataTask, proposed, store)) store(proposed);
        });
        endAwaitingApp();
        return;
    }
    complete(nullptr);
}

}  // namespace ns::detail
