#pragma once
// Loads one image for the web-image manager: the memory level, then the
// disk level of the image cache, else a download, with optional sharp or
// blurred partial images while bytes arrive; then a decode on a decode
// queue, a transform, a cache write and one final report.
//
// Every connection callback and every completion runs on the shared network
// thread (the one made while the operation is destroyed excepted); start()
// and cancel() only post work there. One Finished or one Cancelled report
// ends each operation, preceded by any number of Progress reports; once
// cancel() has returned no image is delivered any more.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "image/cache/TVImageCache.h"
#include "image/codec/TVImageDecoder.h"
#include "image/web/TVWebImageManager.h"
#include "image/web/TVWebImageTypes.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/ReplyBuffer.h"
#include "platform/foundation/URLConnection.h"
#include "platform/foundation/URLCredential.h"
#include "platform/foundation/URLRequest.h"
#include "platform/uikit/Application.h"

class TVWebImageOperation : public ns::Operation {
    RT_DECLARE_CLASS(TVWebImageOperation)
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // Raises "TVWebImageOperation init error": a request is needed.
    TVWebImageOperation();
    TVWebImageOperation(Passkey, ns::Ref<ns::URLRequest> request, TVWebImageOptions options,
                        ns::Ref<TVImageCache> cache, std::string cacheKey, TVWebImageProgressBlock progress,
                        TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion);
    ~TVWebImageOperation() override;
    // Nil for a nil request. An empty key is the request URL's absolute string.
    static ns::Ref<TVWebImageOperation> initWithRequest(ns::Ref<ns::URLRequest> request, TVWebImageOptions options,
                                                        ns::Ref<TVImageCache> cache, std::string cacheKey,
                                                        TVWebImageProgressBlock progress,
                                                        TVWebImageTransformBlock transform,
                                                        TVWebImageCompletionBlock completion);

    const ns::Ref<ns::URLRequest>& request() const { return request_; }
    TVWebImageOptions options() const { return options_; }
    const ns::Ref<TVImageCache>& cache() const { return cache_; }
    const std::string& cacheKey() const { return cacheKey_; }
    // The answer to the connection's question whether the process's
    // credential storage answers its challenges and keeps the credential
    // it answers with.
    bool shouldUseCredentialStorage() const { return shouldUseCredentialStorage_; }
    void setShouldUseCredentialStorage(bool use) { shouldUseCredentialStorage_ = use; }
    ns::Ref<ns::URLCredential> credential() const;
    void setCredential(ns::Ref<ns::URLCredential> credential);

    // Tests: a download's bytes fail to grow, as when memory runs out, once
    // they would pass `bytes`; UINT64_MAX ends it.
    static void failAppendsPastForTesting(uint64_t bytes);

    bool isAsynchronous() const override { return true; }
    bool isConcurrent() const { return true; }
    void start() override;
    void cancel() override;
    std::string description() const override;

private:
    friend class _TVWebImageWeakProxy;
    // ---- Steps on the network thread ----
    void startOperation();
    void startRequest();
    void didReceiveImageFromDiskCache(const ns::Ref<ui::Image>& image);
    void didReceiveImageFromWeb(const ns::Ref<ui::Image>& image);
    void cancelOperation();
    // Stops a running connection, taking it out of the activity count.
    void cancelConnection();
    // Counts the connection out of the activity count, once.
    void endNetworkActivity();
    // ---- Connection delegate ----
    bool willSendRequestForAuthenticationChallenge(const ns::Ref<ns::URLAuthenticationChallenge>& challenge);
    ns::Ref<ns::CachedURLResponse> willCacheResponse(const ns::Ref<ns::CachedURLResponse>& cached);
    void didReceiveResponse(ns::URLConnection& connection, const ns::Ref<ns::URLResponse>& response);
    void didReceiveData(const ns::Ref<ns::Data>& data);
    void connectionDidFinishLoading();
    void didFailWithError(const ns::Ref<ns::Error>& error);
    // Appends a piece of the download within what the loader may hold;
    // throws std::bad_alloc when memory runs out.
    bool appendWithinHoldings(const ns::Ref<ns::Data>& chunk);
    // Ends the download: its bytes could not be held.
    void failHolding(const std::string& why);
    // ---- Parts ----
    void deliverPartialImage(double now, double interval);
    // A copy of the bytes so far for the partial decoder, or nil when the
    // loader has no room for it.
    ns::Ref<ns::Data> snapshotForPartialDecode();
    // The download joined into data_; false (and the operation failed) when
    // memory cannot hold it whole.
    bool joinDownload();
    // The bytes so far and the partial decoder's copy let go (network thread,
    // the connection over).
    void letGoOfDownload();
    // The partial decoder and the copy it keeps let go (network thread).
    void dropPartialDecoder();
    void deliverBlurredImage(double now);
    // `askedAgain` once a decode refused for memory is asked once more.
    void finalDecode(bool askedAgain);
    // The decode was refused for memory: asked again once pictures let go
    // leave half the account free (or after a wait), then reported as a
    // transient failure.
    void askAgainWhenPicturesAreLetGo();
    void didRefuseDecodeForMemory();
    // Under the lock: the completion unless cancelled, then finish when asked.
    void report(const ns::Ref<ui::Image>& image, TVWebImageFromType from, TVWebImageStage stage,
                const ns::Ref<ns::Error>& error, bool finishing);
    void finishOperation();
    void endBackgroundTask();
    bool isFileURL() const;
    // Posts `step` to the network thread with the operation held weakly.
    void post(void (TVWebImageOperation::*step)());
    ns::Ref<TVWebImageOperation> self();

    const ns::Ref<ns::URLRequest> request_;
    const TVWebImageOptions options_;
    const ns::Ref<TVImageCache> cache_;
    const std::string cacheKey_;
    const TVWebImageProgressBlock progress_;
    const TVWebImageTransformBlock transform_;
    const TVWebImageCompletionBlock completion_;
    // Set on any thread, read on the network thread.
    std::atomic<bool> shouldUseCredentialStorage_{true};

    // Guards the flags below and brackets every completion call; recursive
    // because a step holding it finishes, and finishing takes it again.
    mutable std::recursive_mutex lock_;
    ns::Ref<ns::URLCredential> credential_;
    bool started_ = false;
    bool cancelledHere_ = false;
    ns::Ref<ns::URLConnection> connection_;
    // The connection is in the network-activity count: whichever of the
    // end, a failure or a cancel comes first counts it out.
    bool countedInActivity_ = false;
    // The bytes as they arrive (network thread), in blocks that are never
    // copied to grow, so that what is held is what holding_ counts; joined
    // once into data_ for the decode (decode queue, after the last byte).
    ns::ReplyBuffer download_;
    bool receiving_ = false;  // between the response and the last byte or a failure
    ns::Ref<ns::Data> data_;
    // The download's part of what the loader holds, until its decode and
    // cache write are done (network thread, then the write's block).
    std::shared_ptr<ns::ReplyShare> holding_ =
        std::make_shared<ns::ReplyShare>(TVWebImageManager::heldBytes());
    int64_t expectedSize_ = 0;
    ui::BackgroundTaskIdentifier taskID_ = ui::BackgroundTaskInvalid;

    // Partial delivery (network thread only).
    double lastProgressiveDecodeTimestamp_ = 0;
    ns::Ref<TVImageDecoder> progressiveDecoder_;
    // The copy of the download the partial decoder keeps, counted in what
    // the loader holds until the decoder lets it go.
    ns::ReplyShare snapshotHolding_{TVWebImageManager::heldBytes()};
    bool progressiveIgnored_ = false;
    bool progressiveDetected_ = false;
    uint64_t progressiveScanedLength_ = 0;
    uint64_t progressiveDisplayCount_ = 0;
};
