#pragma once
// Turns an image URL and option bits into a running download operation: it
// builds the request (timeout, headers, cookies, cache policy), derives the
// cache key, adds credentials and a default transform, and starts the
// operation or hands it to its queue. It also keeps the process-wide count
// of running downloads behind the status bar's network-activity sign.
//
// Properties are not locked: set them before making requests. Requests may
// be made from any thread; the activity count lives on the main thread.
#include <cstdint>
#include <functional>
#include <string>

#include "image/cache/TVImageCache.h"
#include "image/web/TVWebImageTypes.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/foundation/ReplyBudget.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class TVWebImageOperation;

class TVWebImageManager : public ns::Object {
    RT_DECLARE_CLASS(TVWebImageManager)
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using HeadersFilter =
        std::function<ns::Ref<ns::Dictionary>(const ns::Ref<ns::URL>& url, const ns::Ref<ns::Dictionary>& headers)>;
    using CacheKeyFilter = std::function<std::string(const ns::Ref<ns::URL>& url)>;

    // Raises "TVWebImageManager init error": use initWithCache.
    TVWebImageManager();
    TVWebImageManager(Passkey, ns::Ref<TVImageCache> cache, ns::Ref<ns::OperationQueue> queue);
    // A nil cache: operations do no cache work. A nil queue: each operation
    // starts at once on the caller's thread.
    static ns::Ref<TVWebImageManager> initWithCache(ns::Ref<TVImageCache> cache, ns::Ref<ns::OperationQueue> queue);
    // The shared image cache and a queue of its own, made once.
    static const ns::Ref<TVWebImageManager>& sharedManager();

    // The operation, queued or started; nil when none could be made.
    ns::Ref<TVWebImageOperation> requestImageWithURL(const ns::Ref<ns::URL>& url, TVWebImageOptions options,
                                                     TVWebImageProgressBlock progress,
                                                     TVWebImageTransformBlock transform,
                                                     TVWebImageCompletionBlock completion);
    // Nil for a nil URL; the filter's answer when there is a filter.
    ns::Ref<ns::Dictionary> headersForURL(const ns::Ref<ns::URL>& url) const;
    // Empty for a nil URL; the filter's answer, else the absolute string.
    std::string cacheKeyForURL(const ns::Ref<ns::URL>& url) const;

    const ns::Ref<TVImageCache>& cache() const { return cache_; }
    void setCache(ns::Ref<TVImageCache> cache) { cache_ = std::move(cache); }
    const ns::Ref<ns::OperationQueue>& queue() const { return queue_; }
    void setQueue(ns::Ref<ns::OperationQueue> queue) { queue_ = std::move(queue); }
    const TVWebImageTransformBlock& sharedTransformBlock() const { return sharedTransformBlock_; }
    void setSharedTransformBlock(TVWebImageTransformBlock block) { sharedTransformBlock_ = std::move(block); }
    double timeout() const { return timeout_; }
    void setTimeout(double seconds) { timeout_ = seconds; }
    const std::string& username() const { return username_; }
    void setUsername(std::string user) { username_ = std::move(user); }
    const std::string& password() const { return password_; }
    void setPassword(std::string password) { password_ = std::move(password); }
    const ns::Ref<ns::Dictionary>& headers() const { return headers_; }
    void setHeaders(ns::Ref<ns::Dictionary> headers) { headers_ = std::move(headers); }
    const HeadersFilter& headersFilter() const { return headersFilter_; }
    void setHeadersFilter(HeadersFilter filter) { headersFilter_ = std::move(filter); }
    const CacheKeyFilter& cacheKeyFilter() const { return cacheKeyFilter_; }
    void setCacheKeyFilter(CacheKeyFilter filter) { cacheKeyFilter_ = std::move(filter); }

    // ---- What the loader holds (any thread) ----
    // The encoded bytes of every operation's download, from its first byte
    // until its decode and cache write are done, are held together within
    // MaxHeldBytes: a tenth of what an app on the smallest phone may hold
    // (about 600 MiB of 1 GiB), and room for one reply as long as a session
    // task may hold. An operation past it fails with
    // URLErrorDataLengthExceedsMaximum.
    static constexpr uint64_t MaxHeldBytes = 64ull << 20;
    static ns::ReplyBudget& heldBytes();

    // ---- The network-activity count (main thread) ----
    // Nothing without a shared application. A burst of changes within a
    // thirtieth of a second touches the sign once, with the last state.
    static void incrementNetworkActivityCount();
    static void decrementNetworkActivityCount();
    // Read without moving to the main thread.
    static int64_t currentNetworkActivityCount();

private:
    static void changeNetworkActivityCount(int64_t delta);

    ns::Ref<TVImageCache> cache_;
    ns::Ref<ns::OperationQueue> queue_;
    TVWebImageTransformBlock sharedTransformBlock_;
    double timeout_ = 15.0;
    std::string username_;
    std::string password_;
    ns::Ref<ns::Dictionary> headers_;
    HeadersFilter headersFilter_;
    CacheKeyFilter cacheKeyFilter_;
};
