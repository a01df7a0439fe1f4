#pragma once
// The transfers of one session: libcurl's multi interface on one worker
// thread. Everything about a transfer happens on that thread: it is started,
// paused and cancelled there (other threads hand work over with post()), and
// its client hears about it there. Connections are kept alive and reused
// between transfers to the same server; redirects are not followed (the
// session decides); time-outs run on real time, whatever the app's clock.
//
// When the system will not start the worker thread, the session is not
// lost: what is posted runs on a dispatch queue instead, every transfer
// started there fails (CURLE_FAILED_INIT, logged), and the thread is tried
// again as more work comes.
//
// TLS servers are not checked by curl: during the handshake the client gets
// the server's chain and decides, and may take its time doing so (the
// handshake, and this worker, wait for it).
//
// Internal to URL loading.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/HTTPHeaderFields.h"
#include "platform/security/Certificate.h"

namespace ns::detail {

// What the trailer lines after a chunked body may take together. Nobody
// reads them, but curl keeps every one, and the reply bounds count body bytes
// only: without this a reply whose trailers never end grows without limit.
// As much as curl allows one header line.
inline constexpr size_t MaxTrailerBytes = 100 * 1024;

// The most header fields a reply's heads may hold in all (interim heads
// included). A field parsed costs about 150 bytes once held in curl's list,
// ours, the response's fields and their dictionary, 14 times what a short
// line costs on the wire: a head of 27,000 short lines, within curl's bound
// on a head's bytes, would hold 4 MiB. Ordinary heads hold tens of fields, a
// few hundred at most, a host flooding its cookies a few thousand; a reply
// past this fails before its fields are held.
inline constexpr size_t MaxHeaderFields = 4000;

// The longest request head curl builds: past it curl fails the transfer, as
// out of memory, before sending anything.
inline constexpr size_t MaxRequestHeadBytes = 1024 * 1024;

// How a transfer ended.
struct CurlOutcome {
    int curlCode = 0;  // CURLE_OK on success
    int osErrno = 0;   // the system's error behind a connect failure
    bool timedOut = false;
    bool trustRejected = false;  // the client refused the server's chain
    bool trailersTooLong = false;  // past MaxTrailerBytes (curl's write error)
    bool tooManyHeaderFields = false;  // past MaxHeaderFields (curl's write error)
    std::string message;
};

class CurlTransferClient {
public:
    virtual ~CurlTransferClient() = default;
    // The final response head (interim 1xx heads are skipped).
    virtual void transferReceivedHead(int status, std::string version, std::vector<HTTPHeaderFields::Field> headers) = 0;
    // False stops the transfer; it then finishes with curl's write error.
    virtual bool transferReceivedBody(const char* bytes, size_t length) = 0;
    // Body bytes sent so far in this transfer.
    virtual void transferSentBody(int64_t totalSent) = 0;
    // The next piece of a streamed body: the count, 0 at its end, -1 when
    // the body cannot be read.
    virtual int64_t transferReadBody(char* buffer, size_t length) = 0;
    // The server's chain, leaf first. True lets the handshake go on.
    virtual bool transferShouldTrustServer(std::vector<sec::CertificateRef> chain) = 0;
    // The last call about the transfer (none after cancel()).
    virtual void transferFinished(const CurlOutcome& outcome) = 0;
};

struct CurlTransferSpec {
    std::string url;
    std::string method = "GET";
    std::vector<HTTPHeaderFields::Field> headers;
    // The whole body; or, with streamedBody, read through the client.
    Ref<Data> body;
    bool streamedBody = false;
    // Of a streamed body; -1 sends it chunked.
    int64_t bodyLength = -1;
    // Real seconds without any progress before the transfer times out.
    double idleTimeout = 60;
    // Real seconds the whole transfer may take.
    double totalTimeout = 7 * 24 * 3600;
};

// The bytes of the request head `spec` makes, with room for the fields curl
// adds of its own: past MaxRequestHeadBytes it cannot be sent.
size_t requestHeadBytes(const CurlTransferSpec& spec);

class CurlTransport {
public:
    // `roundEnd` runs on the worker after each round of work (commands,
    // transfers, time-outs), before it waits for more.
    explicit CurlTransport(long maxConnectionsPerHost, std::function<void()> roundEnd = {});
    // Stops the worker: transfers still running end without their clients
    // hearing of it. Safe on the worker thread itself.
    ~CurlTransport();
    CurlTransport(const CurlTransport&) = delete;
    CurlTransport& operator=(const CurlTransport&) = delete;

    // Any thread: runs `work` on the worker thread, in the order posted.
    void post(std::function<void()> work);
    bool isWorkerThread() const;
    // While set, the worker thread cannot be started, as when the system
    // has no more threads to give.
    static void failWorkerStartsForTesting(bool fail);

    // ---- Worker thread only ----
    // Starts a transfer; its id is never 0.
    uint64_t start(CurlTransferSpec spec, std::shared_ptr<CurlTransferClient> client);
    // Ends a transfer at once; its client hears nothing more.
    void cancel(uint64_t id);
    // A paused transfer neither sends nor receives, and does not time out.
    // What curl had already read when it paused reaches the client as it
    // resumes, before this returns; a refusal of it ends the transfer with
    // curl's write error, as a refusal at any other time does: before this
    // returns, or, when called from inside one of curl's callbacks, as
    // curl's call returns (within the round either way).
    void setPaused(uint64_t id, bool paused);

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

}  // namespace ns::detail
