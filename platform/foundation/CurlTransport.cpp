#include "platform/foundation/CurlTransport.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <system_error>
#include <thread>

#include "platform/foundation/ContentDecoder.h"
#include "platform/foundation/CurlResponseHead.h"
#include "platform/foundation/Log.h"
#include "platform/dispatch/Queue.h"

namespace ns::detail {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr long bufferSize = 64 * 1024;
constexpr size_t handlePoolLimit = 8;

// The one process-wide piece of state, as libcurl requires.
void initializeCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

SteadyClock::duration seconds(double s) {
    // Caps "forever" so that time points do not overflow.
    s = std::clamp(s, 0.0, 1e9);
    return std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(s));
}

// A reply's content codings as the log shows them: a server may send
// thousands of fields.
std::string shownCodings(std::string_view codings) {
    constexpr size_t shown = 120;
    return std::string(codings.substr(0, shown)) + (codings.size() > shown ? "..." : "");
}

struct Transfer {
    uint64_t id = 0;
    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    CurlTransferSpec spec;
    // Reset by cancel(): a cancelled transfer calls nobody.
    std::shared_ptr<CurlTransferClient> client;

    CurlResponseHead head;
    // Of the lines after the final head's: trailers.
    size_t trailerBytes = 0;
    bool trailersTooLong = false;
    bool tooManyHeaderFields = false;
    // The client refused a piece of the body: the transfer has failed.
    bool bodyRefused = false;
    // Memory ran out as the client took a piece: the transfer ends with
    // curl's out-of-memory outcome, not the process.
    bool bodyOutOfMemory = false;
    // The body's content codings are undone here, not by curl: those of
    // every Content-Encoding field of the final head, as one list.
    std::string codings;
    ContentDecoder decoder;
    bool badEncoding = false;

    // How the transfer ended: `code`, unless its body failed here.
    int outcomeCode(int code) const {
        return bodyOutOfMemory ? CURLE_OUT_OF_MEMORY : badEncoding ? CURLE_BAD_CONTENT_ENCODING : code;
    }

    curl_off_t lastSent = 0;
    curl_off_t lastReceived = 0;
    SteadyClock::time_point lastActivity;
    SteadyClock::time_point deadline;
    bool paused = false;
    bool trustRejected = false;

    void touch() { lastActivity = SteadyClock::now(); }
};

size_t onHeader(char* buffer, size_t size, size_t count, void* data) {
    auto* t = static_cast<Transfer*>(data);
    const size_t n = size * count;
    if (!t->client) return 0;
    t->touch();
    if (t->head.complete()) {
        t->trailerBytes += n;
        if (t->trailerBytes <= MaxTrailerBytes) return n;
        t->trailersTooLong = true;
        return 0;
    }
    t->head.take(std::string_view(buffer, n));
    if (t->head.fieldsRead() > MaxHeaderFields) {
        // Stopped while the fields held are few enough: the rest are not read.
        log("URL loading: a reply from %s is refused: its head has more than %zu fields", t->spec.url, MaxHeaderFields);
        t->tooManyHeaderFields = true;
        return 0;
    }
    if (!t->head.complete()) return n;
    std::vector<HTTPHeaderFields::Field> headers = t->head.takeHeaders();
    for (const auto& [name, value] : headers) {
        if (!HTTPHeaderFields::namesEqual(name, "Content-Encoding")) continue;
        if (!t->codings.empty()) t->codings += ", ";
        t->codings += value;
    }
    t->client->transferReceivedHead(t->head.status(), t->head.version(), std::move(headers));
    return n;
}

size_t onBody(char* buffer, size_t size, size_t count, void* data) {
    auto* t = static_cast<Transfer*>(data);
    const size_t n = size * count;
    if (!t->client || t->bodyRefused) return 0;
    t->touch();
    if (!t->head.complete()) return n;
    if (!t->decoder.started()) {
        try {
            if (!t->decoder.start(t->codings)) {
                log("URL loading: a reply from %s is refused: its content codings \"%s\" are not all gzip or "
                    "deflate, or more than %zu",
                    t->spec.url, shownCodings(t->codings), ContentDecoder::MostCodings);
                t->badEncoding = true;
                return 0;
            }
        } catch (const std::bad_alloc&) {
            log("URL loading: a reply from %s stopped: no memory left to decode its content codings \"%s\"",
                t->spec.url, shownCodings(t->codings));
            t->bodyOutOfMemory = true;
            t->bodyRefused = true;
            return 0;
        }
    }
    bool taken = false;
    try {
        taken = t->decoder.decode(buffer, n, [t](const char* bytes, size_t length) {
            return t->client && t->client->transferReceivedBody(bytes, length);
        });
        if (t->decoder.malformed()) {
            log("URL loading: a reply from %s is refused: its bytes are not of its content codings \"%s\"", t->spec.url,
                shownCodings(t->codings));
            t->badEncoding = true;
            return 0;
        }
    } catch (const std::bad_alloc&) {
        log("URL loading: a reply from %s stopped: no memory left to hold %zu more bytes of it", t->spec.url, n);
        t->bodyOutOfMemory = true;
    }
    if (!taken) {
        t->bodyRefused = true;
        return 0;
    }
    return n;
}

size_t onRead(char* buffer, size_t size, size_t count, void* data) {
    auto* t = static_cast<Transfer*>(data);
    if (!t->client) return CURL_READFUNC_ABORT;
    t->touch();
    const int64_t got = t->client->transferReadBody(buffer, size * count);
    if (got < 0) return CURL_READFUNC_ABORT;
    return size_t(got);
}

int onProgress(void* data, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
    auto* t = static_cast<Transfer*>(data);
    if (!t->client) return 1;
    if (received != t->lastReceived) {
        t->lastReceived = received;
        t->touch();
    }
    if (sent > t->lastSent) {
        t->lastSent = sent;
        t->touch();
        t->client->transferSentBody(sent);
    }
    return 0;
}

// Replaces OpenSSL's chain verification: the client decides, with the chain
// the server sent.
int onVerifyChain(X509_STORE_CTX* store, void* data) {
    auto* t = static_cast<Transfer*>(data);
    if (!t->client) return 0;
    std::vector<sec::CertificateRef> chain;
    X509* leaf = X509_STORE_CTX_get0_cert(store);
    if (auto cert = sec::Certificate::createWithX509(leaf)) chain.push_back(cert);
    if (STACK_OF(X509)* sent = X509_STORE_CTX_get0_untrusted(store)) {
        for (int i = 0; i < sk_X509_num(sent); ++i) {
            X509* x = sk_X509_value(sent, i);
            if (x == leaf) continue;
            if (auto cert = sec::Certificate::createWithX509(x)) chain.push_back(cert);
        }
    }
    const bool trusted = !chain.empty() && t->client && t->client->transferShouldTrustServer(std::move(chain));
    t->touch();
    if (!trusted) {
        t->trustRejected = true;
        X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
        return 0;
    }
    return 1;
}

CURLcode onSslContext(CURL*, void* context, void* data) {
    auto* ctx = static_cast<SSL_CTX*>(context);
    // Peer verification on, so that a refusal ends the handshake; the
    // verification itself is ours.
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_cert_verify_callback(ctx, onVerifyChain, data);
    return CURLE_OK;
}

bool isMethod(const std::string& method, const char* name) { return method == name; }

}  // namespace

std::atomic<bool> failingWorkerStarts{false};

struct CurlTransport::Impl : std::enable_shared_from_this<Impl> {
    CURLM* multi = nullptr;
    std::thread thread;
    std::atomic<std::thread::id> workerId;

    std::mutex lock;
    std::vector<std::function<void()>> commands;
    bool stopping = false;
    bool multiGone = false;
    std::function<void()> roundEnd;

    // Without a worker thread (the system would not start one), the work
    // posted runs on this queue instead, and every transfer it starts
    // fails; the worker is tried again as more work comes.
    dispatch::QueueRef withoutWorker;
    // Work is scheduled or running there: no worker starts meanwhile.
    bool standInBusy = false;
    // The thread running work on withoutWorker, while it does.
    std::atomic<std::thread::id> standInId;
    // The transfers started there, until their failure is told (or they
    // are cancelled first).
    std::set<uint64_t> failedToStart;
    std::string whyNoWorker;

    // Under `lock`: true when the worker runs (now started if it can be).
    bool workerRunningLocked();
    // Runs what was posted, on withoutWorker.
    void runWithoutWorker();

    // Worker thread only.
    std::map<uint64_t, std::unique_ptr<Transfer>> transfers;
    std::vector<CURL*> handlePool;
    // How deep the worker is in curl's calls (curl_multi_perform, and
    // curl_easy_pause, which hands over what a transfer held): a transfer
    // cannot be removed from inside them, so it is removed as the outermost
    // call returns.
    int insideCurl = 0;
    std::vector<std::unique_ptr<Transfer>> cancelledInsideCurl;
    uint64_t nextId = 1;

    // Transfers whose body the client refused as they resumed. curl_easy_pause()
    // returns the refusal but leaves the transfer running: it would wait for
    // the server, or end as if the whole body had been taken. These end
    // with curl's write error as soon as the worker is out of curl's calls:
    // after the round's curl_multi_perform() for a resume from inside it
    // (another transfer's callback), as setPaused() returns for any other,
    // so always before curl's own outcome of the round is read.
    std::vector<uint64_t> refusedOnResume;

    void run();
    void release(std::unique_ptr<Transfer> t);
    void finish(CURL* easy, CURLcode code);
    // Ends a transfer curl has not finished, telling its client.
    void end(uint64_t id, const CurlOutcome& outcome);
    void endRefusedOnResume();
    // Out of curl's outermost call: what had to wait for it.
    void leftCurl();
    void checkTimeouts();
    int waitMilliseconds() const;
    void configure(Transfer& t);
};

size_t requestHeadBytes(const CurlTransferSpec& spec) {
    // Host, Accept-Encoding, Content-Length, Transfer-Encoding and the like.
    constexpr size_t addedByCurl = 4096;
    size_t bytes = spec.method.size() + spec.url.size() + addedByCurl;
    for (const auto& [name, value] : spec.headers) bytes += name.size() + value.size() + 4;
    return bytes;
}

void CurlTransport::Impl::configure(Transfer& t) {
    CURL* e = t.easy;
    const CurlTransferSpec& s = t.spec;
    curl_easy_setopt(e, CURLOPT_URL, s.url.c_str());
    curl_easy_setopt(e, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    // Decoded in onBody: see ContentDecoder.
    curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(e, CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, bufferSize);
    curl_easy_setopt(e, CURLOPT_UPLOAD_BUFFERSIZE, bufferSize);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
    // A resumed TLS session skips the chain: every handshake is a full one.
    curl_easy_setopt(e, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, onSslContext);
    curl_easy_setopt(e, CURLOPT_SSL_CTX_DATA, &t);

    const bool hasBody = s.streamedBody || (s.body && s.body->length() > 0);
    bool hasContentType = false;
    bool hasAcceptEncoding = false;
    for (const auto& [name, value] : s.headers) {
        if (HTTPHeaderFields::namesEqual(name, "Content-Type")) hasContentType = true;
        if (HTTPHeaderFields::namesEqual(name, "Accept-Encoding")) hasAcceptEncoding = true;
    }
    if (isMethod(s.method, "GET") && !hasBody) {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else if (isMethod(s.method, "HEAD")) {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else if (!hasBody && !isMethod(s.method, "POST") && !isMethod(s.method, "PUT") && !isMethod(s.method, "PATCH")) {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, s.method.c_str());
    } else {
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        if (s.streamedBody) {
            curl_easy_setopt(e, CURLOPT_READFUNCTION, onRead);
            curl_easy_setopt(e, CURLOPT_READDATA, &t);
            curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(s.bodyLength));
        } else {
            static const char empty = 0;
            const char* bytes = s.body && s.body->length() ? reinterpret_cast<const char*>(s.body->bytes()) : &empty;
            curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(s.body ? s.body->length() : 0));
            curl_easy_setopt(e, CURLOPT_POSTFIELDS, bytes);
        }
        if (!isMethod(s.method, "POST")) curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, s.method.c_str());
    }

    for (const auto& [name, value] : s.headers) {
        // curl's syntax: "Name;" sends a field with an empty value.
        std::string line = value.empty() ? name + ";" : name + ": " + value;
        t.headerList = curl_slist_append(t.headerList, line.c_str());
    }
    if (!hasAcceptEncoding) {
        t.headerList = curl_slist_append(t.headerList, (std::string("Accept-Encoding: ") + ContentDecoder::AcceptEncoding).c_str());
    }
    // No waiting for "100 Continue" before a large body.
    t.headerList = curl_slist_append(t.headerList, "Expect:");
    // curl would label any POST a form; only a body has a type.
    if (!hasBody && !hasContentType) t.headerList = curl_slist_append(t.headerList, "Content-Type:");
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, t.headerList);
}

void CurlTransport::Impl::release(std::unique_ptr<Transfer> t) {
    curl_multi_remove_handle(multi, t->easy);
    if (handlePool.size() < handlePoolLimit) {
        curl_easy_reset(t->easy);
        handlePool.push_back(t->easy);
    } else {
        curl_easy_cleanup(t->easy);
    }
    curl_slist_free_all(t->headerList);
}

void CurlTransport::Impl::finish(CURL* easy, CURLcode code) {
    Transfer* raw = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, &raw);
    auto it = raw ? transfers.find(raw->id) : transfers.end();
    if (it == transfers.end()) return;
    std::unique_ptr<Transfer> t = std::move(it->second);
    transfers.erase(it);
    if (code == CURLE_OK && !t->badEncoding) {
        if (!t->decoder.complete()) {
            // The reply's bytes ended before its content codings did: a
            // reply cut short, never the whole of it.
            log("URL loading: a reply from %s is cut short: its content codings \"%s\" do not reach their end",
                t->spec.url, shownCodings(t->codings));
            t->badEncoding = true;
        } else if (const size_t missing = t->decoder.trailerBytesMissing()) {
            log("URL loading: a reply from %s lacks %zu of the %zu bytes of its gzip trailer: its data reached its "
                "end, and is taken as it is",
                t->spec.url, missing, ContentDecoder::GzipTrailerBytes);
        }
    }
    CurlOutcome outcome;
    outcome.curlCode = t->outcomeCode(code);
    long osErrno = 0;
    curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno);
    outcome.osErrno = int(osErrno);
    outcome.trustRejected = t->trustRejected;
    outcome.trailersTooLong = t->trailersTooLong;
    outcome.tooManyHeaderFields = t->tooManyHeaderFields;
    outcome.message = t->trailersTooLong ? "its trailers are longer than " + std::to_string(MaxTrailerBytes) + " bytes"
                      : t->tooManyHeaderFields ? "its head has more than " + std::to_string(MaxHeaderFields) + " fields"
                                               : curl_easy_strerror(CURLcode(outcome.curlCode));
    auto client = std::move(t->client);
    release(std::move(t));
    if (client) client->transferFinished(outcome);
}

void CurlTransport::Impl::checkTimeouts() {
    const auto now = SteadyClock::now();
    std::vector<uint64_t> expired;
    for (const auto& [id, t] : transfers) {
        if (t->paused) continue;
        if (now - t->lastActivity >= seconds(t->spec.idleTimeout) || now >= t->deadline) expired.push_back(id);
    }
    CurlOutcome outcome;
    outcome.curlCode = CURLE_OPERATION_TIMEDOUT;
    outcome.timedOut = true;
    outcome.message = "timed out";
    for (uint64_t id : expired) end(id, outcome);
}

void CurlTransport::Impl::end(uint64_t id, const CurlOutcome& outcome) {
    auto it = transfers.find(id);
    if (it == transfers.end()) return;
    std::unique_ptr<Transfer> t = std::move(it->second);
    transfers.erase(it);
    CurlOutcome told = outcome;
    if (const int code = t->outcomeCode(outcome.curlCode); code != outcome.curlCode) {
        told.curlCode = code;
        told.message = curl_easy_strerror(CURLcode(code));
    }
    auto client = std::move(t->client);
    release(std::move(t));
    if (client) client->transferFinished(told);
}

void CurlTransport::Impl::endRefusedOnResume() {
    std::vector<uint64_t> refused;
    refused.swap(refusedOnResume);
    CurlOutcome outcome;
    outcome.curlCode = CURLE_WRITE_ERROR;
    outcome.message = curl_easy_strerror(CURLE_WRITE_ERROR);
    for (uint64_t id : refused) end(id, outcome);
}

void CurlTransport::Impl::leftCurl() {
    for (auto& t : cancelledInsideCurl) release(std::move(t));
    cancelledInsideCurl.clear();
    endRefusedOnResume();
}

int CurlTransport::Impl::waitMilliseconds() const {
    long curlWait = -1;
    curl_multi_timeout(multi, &curlWait);
    auto wait = std::chrono::milliseconds(1000);
    if (curlWait >= 0) wait = std::min(wait, std::chrono::milliseconds(curlWait));
    const auto now = SteadyClock::now();
    for (const auto& [id, t] : transfers) {
        if (t->paused) continue;
        auto due = std::min(t->lastActivity + seconds(t->spec.idleTimeout), t->deadline);
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - now) + std::chrono::milliseconds(1);
        wait = std::min(wait, std::max(left, std::chrono::milliseconds(0)));
    }
    return int(wait.count());
}

void CurlTransport::Impl::run() {
    for (;;) {
        std::vector<std::function<void()>> work;
        {
            std::lock_guard guard(lock);
            if (stopping) break;
            work.swap(commands);
        }
        for (auto& w : work) w();

        int running = 0;
        ++insideCurl;
        curl_multi_perform(multi, &running);
        --insideCurl;
        leftCurl();

        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg == CURLMSG_DONE) finish(msg->easy_handle, msg->data.result);
        }
        checkTimeouts();
        if (roundEnd) roundEnd();

        {
            std::lock_guard guard(lock);
            if (stopping) break;
            if (!commands.empty()) continue;
        }
        curl_multi_poll(multi, nullptr, 0, waitMilliseconds(), nullptr);
    }
    for (auto& [id, t] : transfers) {
        t->client.reset();
        release(std::move(t));
    }
    transfers.clear();
    for (CURL* e : handlePool) curl_easy_cleanup(e);
    handlePool.clear();
    std::lock_guard guard(lock);
    curl_multi_cleanup(multi);
    multi = nullptr;
    multiGone = true;
    commands.clear();
}

bool CurlTransport::Impl::workerRunningLocked() {
    if (thread.joinable()) return true;
    if (standInBusy) return false;
    try {
        if (failingWorkerStarts.load()) {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again), "thread");
        }
        // Keeps the worker's state alive for as long as the thread runs,
        // which may outlast the transport when it is destroyed on the worker.
        thread = std::thread([impl = shared_from_this()] { impl->run(); });
        workerId = thread.get_id();
        return true;
    } catch (const std::exception& e) {
        // std::system_error as a rule; std::bad_alloc for the thread's own state.
        if (whyNoWorker.empty()) {
            log("URL loading: no thread could be started for a session's transfers (%s): they fail until one can be",
                e.what());
        }
        whyNoWorker = e.what();
        if (!withoutWorker) withoutWorker = dispatch::Queue::serial("URL loading: transfers without a thread");
        return false;
    }
}

void CurlTransport::Impl::runWithoutWorker() {
    standInId = std::this_thread::get_id();
    for (;;) {
        std::vector<std::function<void()>> work;
        {
            std::lock_guard guard(lock);
            if (stopping || commands.empty()) {
                standInBusy = false;
                break;
            }
            work.swap(commands);
        }
        for (auto& w : work) w();
        if (roundEnd) roundEnd();
    }
    standInId = std::thread::id();
}

CurlTransport::CurlTransport(long maxConnectionsPerHost, std::function<void()> roundEnd)
    : impl_(std::make_shared<Impl>()) {
    initializeCurlOnce();
    impl_->roundEnd = std::move(roundEnd);
    impl_->multi = curl_multi_init();
    if (maxConnectionsPerHost > 0) curl_multi_setopt(impl_->multi, CURLMOPT_MAX_HOST_CONNECTIONS, maxConnectionsPerHost);
    std::lock_guard guard(impl_->lock);
    impl_->workerRunningLocked();
}

CurlTransport::~CurlTransport() {
    {
        std::lock_guard guard(impl_->lock);
        impl_->stopping = true;
        if (!impl_->thread.joinable() && !impl_->multiGone) {
            // No worker to clean up after itself.
            curl_multi_cleanup(impl_->multi);
            impl_->multi = nullptr;
            impl_->multiGone = true;
            impl_->commands.clear();
            return;
        }
        if (!impl_->multiGone) curl_multi_wakeup(impl_->multi);
    }
    if (std::this_thread::get_id() == impl_->workerId.load()) {
        impl_->thread.detach();
    } else {
        impl_->thread.join();
    }
}

void CurlTransport::post(std::function<void()> work) {
    std::lock_guard guard(impl_->lock);
    if (impl_->stopping) return;
    impl_->commands.push_back(std::move(work));
    if (impl_->workerRunningLocked()) {
        curl_multi_wakeup(impl_->multi);
    } else if (!impl_->standInBusy) {
        impl_->standInBusy = true;
        impl_->withoutWorker->async([impl = impl_] { impl->runWithoutWorker(); });
    }
}

bool CurlTransport::isWorkerThread() const {
    const auto self = std::this_thread::get_id();
    return self == impl_->workerId.load() || self == impl_->standInId.load();
}

void CurlTransport::failWorkerStartsForTesting(bool fail) { failingWorkerStarts.store(fail); }

uint64_t CurlTransport::start(CurlTransferSpec spec, std::shared_ptr<CurlTransferClient> client) {
    Impl& d = *impl_;
    if (d.standInId.load() == std::this_thread::get_id()) {
        // No worker, no transfers: the failure is told after this returns,
        // as curl's outcomes are.
        const uint64_t id = d.nextId++;
        d.failedToStart.insert(id);
        CurlOutcome outcome;
        outcome.curlCode = CURLE_FAILED_INIT;
        outcome.message = "no thread could be started to run transfers (" + d.whyNoWorker + ")";
        log("URL loading: %s not loaded: %s", spec.url, outcome.message);
        post([impl = impl_, id, client = std::move(client), outcome] {
            if (impl->failedToStart.erase(id)) client->transferFinished(outcome);
        });
        return id;
    }
    auto t = std::make_unique<Transfer>();
    t->id = d.nextId++;
    t->spec = std::move(spec);
    t->client = std::move(client);
    if (!d.handlePool.empty()) {
        t->easy = d.handlePool.back();
        d.handlePool.pop_back();
    } else {
        t->easy = curl_easy_init();
    }
    d.configure(*t);
    t->touch();
    t->deadline = t->lastActivity + seconds(t->spec.totalTimeout);
    const uint64_t id = t->id;
    curl_multi_add_handle(d.multi, t->easy);
    d.transfers.emplace(id, std::move(t));
    return id;
}

void CurlTransport::cancel(uint64_t id) {
    Impl& d = *impl_;
    d.failedToStart.erase(id);
    auto it = d.transfers.find(id);
    if (it == d.transfers.end()) return;
    std::unique_ptr<Transfer> t = std::move(it->second);
    d.transfers.erase(it);
    t->client.reset();
    // curl forbids removing a handle from inside its own callbacks.
    if (d.insideCurl > 0) {
        d.cancelledInsideCurl.push_back(std::move(t));
    } else {
        d.release(std::move(t));
    }
}

void CurlTransport::setPaused(uint64_t id, bool paused) {
    Impl& d = *impl_;
    auto it = d.transfers.find(id);
    if (it == d.transfers.end() || it->second->paused == paused) return;
    it->second->paused = paused;
    if (!paused) it->second->touch();
    // Resuming hands the client, at once, what curl held while paused; a
    // refusal of it ends the transfer once the worker is out of curl's calls
    // (curl itself may go on as if the body had been taken).
    ++d.insideCurl;
    curl_easy_pause(it->second->easy, paused ? CURLPAUSE_ALL : CURLPAUSE_CONT);
    --d.insideCurl;
    // The client may have cancelled the transfer meanwhile.
    it = d.transfers.find(id);
    if (!paused && it != d.transfers.end() && it->second->bodyRefused) d.refusedOnResume.push_back(id);
    if (d.insideCurl == 0) d.leftCurl();
}

}  // namespace ns::detail
