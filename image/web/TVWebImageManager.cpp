#include "image/web/TVWebImageManager.h"

#include <atomic>
#include <memory>

#include "image/cache/TVSharedApplication.h"
#include "image/codec/TVImageCoder.h"
#include "image/web/TVWebImageOperation.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URLCredential.h"
#include "platform/foundation/URLRequest.h"
#include "platform/runtime/Exception.h"

RT_DEFINE_CLASS(TVWebImageManager, ns::Object, "TVWebImageManager")

namespace {

// The running downloads and the timer that shows or hides the sign a
// thirtieth of a second after the last change. Main thread only, but for
// the count's atomic read.
struct NetworkIndicatorInfo {
    std::atomic<int64_t> count{0};
    std::shared_ptr<dispatch::RunLoopTimer> timer;
};

NetworkIndicatorInfo& indicatorInfo() {
    static auto* info = new NetworkIndicatorInfo();  // lives until the process ends
    return *info;
}

constexpr double IndicatorDelay = 1.0 / 30.0;

}  // namespace

TVWebImageManager::TVWebImageManager() {
    ns::Exception::raise("TVWebImageManager init error", "Use the designated initializer to init.");
}

TVWebImageManager::TVWebImageManager(Passkey, ns::Ref<TVImageCache> cache, ns::Ref<ns::OperationQueue> queue)
    : cache_(std::move(cache)), queue_(std::move(queue)) {
    const char* accept = TVWebPDecoderPresent() ? "image/webp,image/*;q=0.8" : "image/*;q=0.8";
    headers_ = ns::Dictionary::make({{ns::str("Accept"), ns::str(accept)}});
}

ns::Ref<TVWebImageManager> TVWebImageManager::initWithCache(ns::Ref<TVImageCache> cache,
                                                            ns::Ref<ns::OperationQueue> queue) {
    return std::make_shared<TVWebImageManager>(Passkey(), std::move(cache), std::move(queue));
}

const ns::Ref<TVWebImageManager>& TVWebImageManager::sharedManager() {
    static const auto* shared = new ns::Ref<TVWebImageManager>([] {
        // The platform's queues have no quality of service; the default
        // number of concurrent operations is kept.
        auto queue = std::make_shared<ns::OperationQueue>();
        return initWithCache(TVImageCache::sharedCache(), queue);
    }());
    return *shared;
}

ns::Ref<ns::Dictionary> TVWebImageManager::headersForURL(const ns::Ref<ns::URL>& url) const {
    if (!url) return nullptr;
    return headersFilter_ ? headersFilter_(url, headers_) : headers_;
}

std::string TVWebImageManager::cacheKeyForURL(const ns::Ref<ns::URL>& url) const {
    if (!url) return {};
    return cacheKeyFilter_ ? cacheKeyFilter_(url) : url->absoluteString()->utf8();
}

ns::Ref<TVWebImageOperation> TVWebImageManager::requestImageWithURL(const ns::Ref<ns::URL>& url,
                                                                    TVWebImageOptions options,
                                                                    TVWebImageProgressBlock progress,
                                                                    TVWebImageTransformBlock transform,
                                                                    TVWebImageCompletionBlock completion) {
    if (!url) return nullptr;
    auto request = ns::MutableURLRequest::make(url);
    request->setTimeoutInterval(timeout_);
    request->setHTTPShouldHandleCookies(options & TVWebImageOptionCookies);
    request->setAllHTTPHeaderFields(headersForURL(url));
    request->setHTTPShouldUsePipelining(true);
    request->setCachePolicy((options & TVWebImageOptionURLCache) ? ns::URLRequestUseProtocolCachePolicy
                                                                 : ns::URLRequestReloadIgnoringLocalCacheData);

    auto operation = TVWebImageOperation::initWithRequest(request, options, cache_, cacheKeyForURL(url),
                                                          std::move(progress),
                                                          transform ? std::move(transform) : sharedTransformBlock_,
                                                          std::move(completion));
    if (!operation) return nullptr;
    if (!username_.empty() && !password_.empty()) {
        operation->setCredential(ns::URLCredential::credentialWithUser(ns::str(username_), ns::str(password_),
                                                                       ns::URLCredentialPersistenceForSession));
    }
    if (queue_) queue_->addOperation(operation);
    else operation->start();
    return operation;
}

ns::ReplyBudget& TVWebImageManager::heldBytes() {
    static auto* budget = new ns::ReplyBudget(MaxHeldBytes);  // lives until the process ends
    return *budget;
}

// ---- The network-activity count ----

void TVWebImageManager::incrementNetworkActivityCount() { changeNetworkActivityCount(1); }

void TVWebImageManager::decrementNetworkActivityCount() { changeNetworkActivityCount(-1); }

int64_t TVWebImageManager::currentNetworkActivityCount() { return indicatorInfo().count.load(); }

void TVWebImageManager::changeNetworkActivityCount(int64_t delta) {
    if (!TVSharedApplication()) return;
    auto change = [delta] {
        NetworkIndicatorInfo& info = indicatorInfo();
        int64_t count = info.count += delta;
        bool visible = count > 0;
        if (info.timer) info.timer->invalidate();
        info.timer = dispatch::RunLoopTimer::create(IndicatorDelay, false, [visible](dispatch::RunLoopTimer& timer) {
            auto application = TVSharedApplication();
            if (application && application->isNetworkActivityIndicatorVisible() != visible)
                application->setNetworkActivityIndicatorVisible(visible);
            timer.invalidate();
        });
        dispatch::RunLoop::main().addTimer(info.timer, dispatch::RunLoopMode::Common);
    };
    if (dispatch::isMainThread()) change();
    else dispatch::async(dispatch::mainQueue(), change);
}
