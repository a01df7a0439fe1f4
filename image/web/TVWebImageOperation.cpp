#include "image/web/TVWebImageOperation.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <utility>

#include "image/UIImage+TVWebImage.h"
#include "image/cache/TVSharedApplication.h"
#include "image/codec/TVImage.h"
#include "image/codec/UIImage+TVImageCoder.h"
#include "image/web/TVWebImageManager.h"
#include "image/web/TVWebImageShared.h"
#include "image/web/_TVWebImageWeakProxy.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLProtectionSpace.h"
#include "platform/graphics/PictureAccount.h"
#include "platform/runtime/Exception.h"
#include "platform/uikit/Animation.h"
#include "platform/uikit/DecodedPixelAccount.h"
#include "platform/uikit/Screen.h"

RT_DEFINE_CLASS(TVWebImageOperation, ns::Operation, "TVWebImageOperation")

using tv_webimage::nextDecodeQueue;
using tv_webimage::performOnNetworkThread;

namespace {

// Partial images at most this often (media-time seconds).
constexpr double ProgressiveInterval = 0.2;
constexpr double ProgressiveBlurInterval = 0.4;
// Partial decoding stops near the end of the data: the final decode follows.
constexpr double ProgressiveEndRatio = 0.99;
constexpr uint64_t ProgressiveMinChunk = 16;
// Each partial image decodes the whole picture again, on the download's
// thread. A phone's core decodes about 20 million pixels a second, so a
// picture larger than what it decodes in the wait between partial images
// would keep that thread decoding back to back: such a picture is shown
// only when whole. Below that a decode ends before the next may start.
constexpr double PartialDecodePixelsPerSecond = 5 << 22;

ns::Ref<ns::Error> errorWithDescription(std::string domain, int64_t code, std::string description) {
    return ns::Error::make(std::move(domain), code,
                           ns::Dictionary::make({{ns::str(ns::LocalizedDescriptionKey), ns::str(std::move(description))}}));
}

// A decode the account of decoded pixels refused asks once more once
// pictures let go leave half the account free, or after this many seconds.
constexpr double RefusedDecodeRetryWait = 2;

ns::Ref<ns::Error> blacklistError() {
    return errorWithDescription(ns::URLErrorDomain, ns::URLErrorFileDoesNotExist, "Failed to load URL, blacklisted.");
}

// Failures that say nothing about the URL itself stay out of the failed set.
bool isTransientFailure(int64_t code) {
    return code == ns::URLErrorNotConnectedToInternet || code == ns::URLErrorCancelled ||
           code == ns::URLErrorTimedOut || code == ns::URLErrorUserCancelledAuthentication ||
           code == ns::URLErrorNetworkConnectionLost;
}

double mainScreenScale() { return ui::Screen::mainScreen()->scale(); }

std::atomic<uint64_t> appendFailurePoint{UINT64_MAX};

}  // namespace

// ---- Creation and destruction ----

TVWebImageOperation::TVWebImageOperation() : options_(0) {
    ns::Exception::raise("TVWebImageOperation init error",
                         "TVWebImageOperation must be initialized with a request. Use the designated initializer "
                         "to init.");
}

TVWebImageOperation::TVWebImageOperation(Passkey, ns::Ref<ns::URLRequest> request, TVWebImageOptions options,
                                         ns::Ref<TVImageCache> cache, std::string cacheKey,
                                         TVWebImageProgressBlock progress, TVWebImageTransformBlock transform,
                                         TVWebImageCompletionBlock completion)
    : request_(std::move(request)),
      options_(options),
      cache_(std::move(cache)),
      cacheKey_(cacheKey.empty() ? request_->URL()->absoluteString()->utf8() : std::move(cacheKey)),
      progress_(std::move(progress)),
      transform_(std::move(transform)),
      completion_(std::move(completion)) {}

ns::Ref<TVWebImageOperation> TVWebImageOperation::initWithRequest(ns::Ref<ns::URLRequest> request,
                                                                  TVWebImageOptions options,
                                                                  ns::Ref<TVImageCache> cache, std::string cacheKey,
                                                                  TVWebImageProgressBlock progress,
                                                                  TVWebImageTransformBlock transform,
                                                                  TVWebImageCompletionBlock completion) {
    if (!request || !request->URL()) return nullptr;
    return std::make_shared<TVWebImageOperation>(Passkey(), std::move(request), options, std::move(cache),
                                                 std::move(cacheKey), std::move(progress), std::move(transform),
                                                 std::move(completion));
}

TVWebImageOperation::~TVWebImageOperation() {
    std::lock_guard guard(lock_);
    endBackgroundTask();
    endNetworkActivity();
    // Released while still running: the caller still hears of the end, here.
    if (isExecuting() && !isCancelled()) {
        cancelledHere_ = true;
        cancelConnection();
        if (completion_) completion_(nullptr, request_->URL(), TVWebImageFromNone, TVWebImageStageCancelled, nullptr);
    }
}

ns::Ref<TVWebImageOperation> TVWebImageOperation::self() {
    return std::static_pointer_cast<TVWebImageOperation>(shared_from_this());
}

ns::Ref<ns::URLCredential> TVWebImageOperation::credential() const {
    std::lock_guard guard(lock_);
    return credential_;
}

void TVWebImageOperation::setCredential(ns::Ref<ns::URLCredential> credential) {
    std::lock_guard guard(lock_);
    credential_ = std::move(credential);
}

bool TVWebImageOperation::isFileURL() const { return request_->URL()->isFileURL(); }

void TVWebImageOperation::post(void (TVWebImageOperation::*step)()) {
    std::weak_ptr<TVWebImageOperation> weak = self();
    performOnNetworkThread([weak, step] {
        if (auto operation = weak.lock()) ((*operation).*step)();
    });
}

std::string TVWebImageOperation::description() const {
    auto yesNo = [](bool value) { return value ? "YES" : "NO"; };
    return ns::format("<%@: %p ", className(), this) + ns::format(" executing:%@", yesNo(isExecuting())) +
           ns::format(" finished:%@", yesNo(isFinished())) + ns::format(" cancelled:%@", yesNo(isCancelled())) +
           ">";
}

// ---- State ----

void TVWebImageOperation::start() {
    std::lock_guard guard(lock_);
    started_ = true;
    if (isCancelled()) {
        // Held strongly: the one cancelled report must come whatever the caller keeps.
        performOnNetworkThread([operation = self()] { operation->cancelOperation(); });
        ns::Operation::start();  // a cancelled operation finishes at once
        return;
    }
    if (!isReady() || isFinished() || isExecuting()) return;
    ns::Operation::start();  // executing; the work happens on the network thread
    post(&TVWebImageOperation::startOperation);
    if (options_ & TVWebImageOptionBackgroundTask) {
        auto application = TVSharedApplication();
        if (application && taskID_ == ui::BackgroundTaskInvalid) {
            std::weak_ptr<TVWebImageOperation> weak = self();
            taskID_ = application->beginBackgroundTaskWithExpirationHandler([weak] {
                if (auto operation = weak.lock()) {
                    operation->cancel();
                    operation->finishOperation();
                }
            });
        }
    }
}

void TVWebImageOperation::cancel() {
    std::lock_guard guard(lock_);
    if (cancelledHere_ || isFinished()) return;
    cancelledHere_ = true;
    bool wasExecuting = isExecuting();
    ns::Operation::cancel();
    if (wasExecuting) performOnNetworkThread([operation = self()] { operation->cancelOperation(); });
    if (started_) finishOperation();
}

void TVWebImageOperation::finishOperation() {
    std::lock_guard guard(lock_);
    ns::Operation::finish();
    endBackgroundTask();
}

void TVWebImageOperation::endBackgroundTask() {
    std::lock_guard guard(lock_);
    if (taskID_ == ui::BackgroundTaskInvalid) return;
    if (auto application = TVSharedApplication()) application->endBackgroundTask(taskID_);
    taskID_ = ui::BackgroundTaskInvalid;
}

void TVWebImageOperation::report(const ns::Ref<ui::Image>& image, TVWebImageFromType from, TVWebImageStage stage,
                                 const ns::Ref<ns::Error>& error, bool finishing) {
    std::lock_guard guard(lock_);
    if (!isCancelled()) {
        if (completion_) completion_(image, request_->URL(), from, stage, error);
        if (finishing) finishOperation();
    }
}

// ---- Steps on the network thread ----

void TVWebImageOperation::startOperation() {
    if (isCancelled()) return;
    if (cache_ && !(options_ & (TVWebImageOptionURLCache | TVWebImageOptionRefreshCache))) {
        if (auto image = cache_->getImageForKey(cacheKey_, TVImageCacheTypeMemory)) {
            report(image, TVWebImageFromMemoryCache, TVWebImageStageFinished, nullptr, true);
            return;
        }
        if (!(options_ & TVWebImageOptionSkipDiskCache)) {
            std::weak_ptr<TVWebImageOperation> weak = self();
            dispatch::async(nextDecodeQueue(), [weak] {
                auto operation = weak.lock();
                if (!operation || operation->isCancelled()) return;
                auto image = operation->cache_->getImageForKey(operation->cacheKey_, TVImageCacheTypeDisk);
                if (!image) {
                    operation->post(&TVWebImageOperation::startRequest);
                    return;
                }
                operation->cache_->setImage(image, nullptr, operation->cacheKey_, TVImageCacheTypeMemory);
                performOnNetworkThread([weak, image] {
                    if (auto held = weak.lock()) held->didReceiveImageFromDiskCache(image);
                });
            });
            return;
        }
    }
    post(&TVWebImageOperation::startRequest);
}

void TVWebImageOperation::didReceiveImageFromDiskCache(const ns::Ref<ui::Image>& image) {
    if (!image) {
        startRequest();
        return;
    }
    report(image, TVWebImageFromDiskCache, TVWebImageStageFinished, nullptr, true);
}

void TVWebImageOperation::startRequest() {
    if (isCancelled()) return;
    const auto& url = request_->URL();
    if ((options_ & TVWebImageOptionSkipFailedURL) && tv_webimage::isFailedURL(url)) {
        report(nullptr, TVWebImageFromNone, TVWebImageStageFinished, blacklistError(), true);
        return;
    }
    if (isFileURL()) expectedSize_ = url->fileSizeResourceValue().value_or(-1);
    std::lock_guard guard(lock_);
    if (isCancelled()) return;
    // Starts at once on this thread's run loop.
    connection_ = ns::URLConnection::make(request_, _TVWebImageWeakProxy::proxyWithTarget(self()));
    if (!isFileURL() && (options_ & TVWebImageOptionNetworkIndicator)) {
        TVWebImageManager::incrementNetworkActivityCount();
        countedInActivity_ = true;
    }
}

void TVWebImageOperation::endNetworkActivity() {
    std::lock_guard guard(lock_);
    if (!countedInActivity_) return;
    countedInActivity_ = false;
    TVWebImageManager::decrementNetworkActivityCount();
}

void TVWebImageOperation::cancelConnection() {
    std::lock_guard guard(lock_);
    endNetworkActivity();
    if (!connection_) return;
    connection_->cancel();
    connection_ = nullptr;
}

void TVWebImageOperation::cancelOperation() {
    std::lock_guard guard(lock_);
    cancelConnection();
    if (completion_) completion_(nullptr, request_->URL(), TVWebImageFromNone, TVWebImageStageCancelled, nullptr);
    endBackgroundTask();
}

// ---- Connection delegate ----

bool TVWebImageOperation::willSendRequestForAuthenticationChallenge(
    const ns::Ref<ns::URLAuthenticationChallenge>& challenge) {
    const auto& sender = challenge->sender();
    if (!sender) return false;
    const auto& space = challenge->protectionSpace();
    if (space && space->authenticationMethod() == ns::URLAuthenticationMethodServerTrust) {
        if (!(options_ & TVWebImageOptionTrustAnyServer)) sender->performDefaultHandling(*challenge);
        else sender->useCredential(ns::URLCredential::credentialForTrust(space->serverTrust()), *challenge);
        return true;
    }
    // The credential is offered once; a second challenge means it was refused.
    auto offered = credential();
    if (challenge->previousFailureCount() == 0 && offered) sender->useCredential(offered, *challenge);
    else sender->continueWithoutCredential(*challenge);
    return true;
}

ns::Ref<ns::CachedURLResponse> TVWebImageOperation::willCacheResponse(const ns::Ref<ns::CachedURLResponse>& cached) {
    return (options_ & TVWebImageOptionURLCache) ? cached : nullptr;
}

void TVWebImageOperation::didReceiveResponse(ns::URLConnection& connection, const ns::Ref<ns::URLResponse>& response) {
    if (auto http = ns::cast<ns::HTTPURLResponse>(response)) {
        int64_t status = http->statusCode();
        if (status > 399 || status == 304) {
            connection.cancel();
            didFailWithError(ns::Error::make(ns::URLErrorDomain, status));
            return;
        }
    }
    int64_t announced = response ? response->expectedContentLength() : 0;
    if (announced != 0) expectedSize_ = announced < 0 ? -1 : announced;
    // The announced length is the server's word: nothing is set aside for
    // it, the buffer grows by the bytes that come.
    download_.release();
    receiving_ = true;
    if (progress_) {
        std::lock_guard guard(lock_);
        if (!isCancelled()) progress_(0, expectedSize_);
    }
}

void TVWebImageOperation::didReceiveData(const ns::Ref<ns::Data>& chunk) {
    {
        std::lock_guard guard(lock_);
        if (isCancelled() || !receiving_) return;
    }
    try {
        if (!appendWithinHoldings(chunk)) {
            return failHolding(ns::format("the downloads and decodes in progress would hold more than %llu bytes "
                                          "together",
                                          (unsigned long long)TVWebImageManager::MaxHeldBytes));
        }
    } catch (const std::bad_alloc&) {
        return failHolding(ns::format("no memory left to hold %llu more bytes", (unsigned long long)chunk->length()));
    }
    if (progress_) {
        std::lock_guard guard(lock_);
        if (!isCancelled()) progress_(int64_t(download_.size()), expectedSize_);
    }
    if (!(options_ & (TVWebImageOptionProgressive | TVWebImageOptionProgressiveBlur)) || !completion_) return;
    if (chunk->length() <= ProgressiveMinChunk) return;
    if (expectedSize_ > 0 && double(download_.size()) >= ProgressiveEndRatio * double(expectedSize_)) return;
    if (progressiveIgnored_) return;
    const double interval =
        (options_ & TVWebImageOptionProgressiveBlur) ? ProgressiveBlurInterval : ProgressiveInterval;
    double now = ui::mediaTime();
    if (now - lastProgressiveDecodeTimestamp_ < interval) return;
    deliverPartialImage(now, interval);
}

bool TVWebImageOperation::appendWithinHoldings(const ns::Ref<ns::Data>& chunk) {
    const uint64_t total = download_.size() + chunk->length();
    if (!holding_ || !holding_->growToOrRelease(total)) return false;
    if (total > appendFailurePoint.load(std::memory_order_relaxed)) throw std::bad_alloc();
    download_.append(reinterpret_cast<const char*>(chunk->bytes()), chunk->length());
    return true;
}

void TVWebImageOperation::failHolding(const std::string& why) {
    ns::log("Web image: download of %@ stopped: %s", request_->URL()->absoluteString(), why);
    cancelConnection();
    std::lock_guard guard(lock_);
    letGoOfDownload();
    if (isCancelled()) return;
    // Not the URL's fault (others may hold the room): it stays out of the failed set.
    if (completion_) {
        completion_(nullptr, request_->URL(), TVWebImageFromNone, TVWebImageStageFinished,
                    ns::makeURLError(ns::URLErrorDataLengthExceedsMaximum, request_->URL()));
    }
    data_ = nullptr;
    if (holding_) holding_->release();
    finishOperation();
}

void TVWebImageOperation::letGoOfDownload() {
    receiving_ = false;
    download_.release();
    dropPartialDecoder();
}

void TVWebImageOperation::dropPartialDecoder() {
    progressiveDecoder_ = nullptr;
    snapshotHolding_.release();
}

void TVWebImageOperation::failAppendsPastForTesting(uint64_t bytes) { appendFailurePoint.store(bytes); }

void TVWebImageOperation::deliverPartialImage(double now, double interval) {
    const bool blur = options_ & TVWebImageOptionProgressiveBlur;
    auto snapshot = snapshotForPartialDecode();
    if (!snapshot) return;
    if (!progressiveDecoder_) progressiveDecoder_ = std::make_shared<TVImageDecoder>(mainScreenScale());
    progressiveDecoder_->updateData(snapshot, false);
    // The previous snapshot is the decoder's no longer.
    snapshotHolding_.shrinkTo(snapshot->length());
    if (isCancelled()) return;

    auto giveUp = [this] {
        dropPartialDecoder();
        progressiveIgnored_ = true;
    };
    TVImageType type = progressiveDecoder_->type();
    if (type == TVImageTypeUnknown || type == TVImageTypeWebP ||
        (blur && type != TVImageTypeJPEG && type != TVImageTypePNG)) {
        giveUp();
        return;
    }
    if (progressiveDecoder_->frameCount() == 0) return;  // later bytes try again
    const uint64_t pixels = progressiveDecoder_->width() * progressiveDecoder_->height();
    if (double(pixels) > PartialDecodePixelsPerSecond * interval) {
        ns::log("TVWebImageOperation: no partial images of a %llu x %llu picture: each would take longer to decode "
                "than the %.1f s between them",
                static_cast<unsigned long long>(progressiveDecoder_->width()),
                static_cast<unsigned long long>(progressiveDecoder_->height()), interval);
        giveUp();
        return;
    }

    if (!blur) {
        auto frame = progressiveDecoder_->frameAtIndex(0, true);
        // The wait runs from every partial decode, whether it shows anything
        // or not: one that gives nothing is as dear as one that does.
        lastProgressiveDecodeTimestamp_ = now;
        if (!frame || !frame->image) return;
        std::lock_guard guard(lock_);
        if (isCancelled()) return;
        completion_(frame->image, request_->URL(), TVWebImageFromRemote, TVWebImageStageProgress, nullptr);
        return;
    }

    if (type == TVImageTypeJPEG) {
        if (!progressiveDetected_) {
            auto properties = progressiveDecoder_->framePropertiesAtIndex(0);
            if (!properties || !properties->isProgressive.value_or(false)) {
                giveUp();
                return;
            }
            progressiveDetected_ = true;
        }
        uint64_t length = snapshot->length();
        if (length < progressiveScanedLength_ + 7) return;
        // A new scan has begun when a start-of-scan marker came in the new bytes.
        uint64_t newBytes = length - progressiveScanedLength_;
        const uint8_t* bytes = snapshot->bytes();
        bool found = false;
        for (uint64_t i = progressiveScanedLength_; i < progressiveScanedLength_ + newBytes - 4; ++i) {
            if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) {
                found = true;
                break;
            }
        }
        progressiveScanedLength_ = length;
        if (!found || isCancelled()) return;
    } else {
        if (!progressiveDetected_) {
            auto properties = progressiveDecoder_->framePropertiesAtIndex(0);
            if (!properties || properties->interlaceType.value_or(0) == 0) {
                giveUp();
                return;
            }
            progressiveDetected_ = true;
        }
    }
    deliverBlurredImage(now);
}

ns::Ref<ns::Data> TVWebImageOperation::snapshotForPartialDecode() {
    // The decoder lets its previous copy go only when given the next: both
    // are counted while the next is made. Without room, this partial image
    // is skipped and the decoder lets its copy go now.
    const uint64_t previous = progressiveDecoder_ ? snapshotHolding_.size() : 0;
    if (!snapshotHolding_.growToOrRelease(previous + download_.size())) {
        progressiveDecoder_ = nullptr;
        return nullptr;
    }
    try {
        return ns::Data::make(download_.copy());
    } catch (const std::bad_alloc&) {
        snapshotHolding_.shrinkTo(previous);
        return nullptr;
    }
}

void TVWebImageOperation::deliverBlurredImage(double now) {
    auto frame = progressiveDecoder_->frameAtIndex(0, true);
    lastProgressiveDecodeTimestamp_ = now;
    if (!frame || !frame->image || isCancelled()) return;
    const auto& cgImage = frame->image->cgImage();
    if (!cgImage || cgImage->width() == 0 || cgImage->height() == 0) return;
    // Until the first pass reaches the bottom-right pixel, rows are missing.
    if (cgImage->bitmap().pixel(cgImage->width() - 1, cgImage->height() - 1).alpha == 0) return;
    ++progressiveDisplayCount_;
    double radius = expectedSize_ > 0
                        ? 32 * (1 / (3 * double(download_.size()) / double(expectedSize_) + 0.6) - 0.25)
                        : 32.0 / double(progressiveDisplayCount_);
    auto blurred = TV_imageByBlurRadius(*frame->image, radius, std::nullopt, cg::BlendMode(0), 1, nullptr);
    if (!blurred) return;
    std::lock_guard guard(lock_);
    if (isCancelled()) return;
    completion_(blurred, request_->URL(), TVWebImageFromRemote, TVWebImageStageProgress, nullptr);
}

void TVWebImageOperation::connectionDidFinishLoading() {
    std::lock_guard guard(lock_);
    connection_ = nullptr;
    // Counted out before the cancel test: a cancel on its way would find no
    // connection left to count out.
    endNetworkActivity();
    // Every byte is here: the partial decoder and its copy are of no use.
    receiving_ = false;
    dropPartialDecoder();
    if (isCancelled()) return;
    std::weak_ptr<TVWebImageOperation> weak = self();
    dispatch::async(nextDecodeQueue(), [weak] {
        if (auto operation = weak.lock()) operation->finalDecode(false);
    });
}

bool TVWebImageOperation::joinDownload() {
    const uint64_t length = download_.size();
    try {
        data_ = download_.takeData();
        return true;
    } catch (const std::bad_alloc&) {
        download_.release();
        std::weak_ptr<TVWebImageOperation> weak = self();
        performOnNetworkThread([weak, length] {
            if (auto operation = weak.lock()) {
                operation->failHolding(
                    ns::format("no memory left to join its %llu bytes", (unsigned long long)length));
            }
        });
        return false;
    }
}

void TVWebImageOperation::finalDecode(bool askedAgain) {
    if (!askedAgain && !joinDownload()) return;
    ns::Ref<ns::Data> data = data_ ? data_ : ns::Data::make();
    const bool decode = !(options_ & TVWebImageOptionNoDecode);
    ns::Ref<ui::Image> image;
    bool animated = false;
    cg::PictureRefusals refusals;
    if (options_ & TVWebImageOptionNoAnimation) {
        if (auto decoder = TVImageDecoder::decoderWithData(data, mainScreenScale())) {
            if (auto frame = decoder->frameAtIndex(0, decode)) image = frame->image;
        }
    } else if (auto decoded = TVImage::imageWithData(data, mainScreenScale())) {
        animated = decoded->animatedImageFrameCount() > 1;
        image = decode ? TV_imageByDecoded(decoded) : decoded;
    }
    if (!image && refusals.count() > 0) {
        if (isCancelled()) return;
        if (!askedAgain) return askAgainWhenPicturesAreLetGo();
        std::weak_ptr<TVWebImageOperation> weak = self();
        performOnNetworkThread([weak] {
            if (auto operation = weak.lock()) operation->didRefuseDecodeForMemory();
        });
        return;
    }
    // Bytes are kept for the disk level only in a format worth keeping; a
    // GIF only when it animates (its first frame alone is re-encoded).
    TVImageType type = TVImageTypeFromData(data.get());
    bool keep = type == TVImageTypeJPEG || type == TVImageTypePNG ||
                ((type == TVImageTypeGIF || type == TVImageTypeWebP) && animated);
    if (!keep) data_ = nullptr;
    if (isCancelled()) return;
    if (image && transform_) {
        auto transformed = transform_(image, request_->URL());
        if (transformed != image) data_ = nullptr;  // the bytes no longer match the image
        image = transformed;
        if (isCancelled()) return;
    }
    std::weak_ptr<TVWebImageOperation> weak = self();
    performOnNetworkThread([weak, image] {
        if (auto operation = weak.lock()) operation->didReceiveImageFromWeb(image);
    });
}

void TVWebImageOperation::askAgainWhenPicturesAreLetGo() {
    ns::log("Web image: %@ is not decoded yet: pictures decoded from data hold all the memory they may; asked again "
            "once pictures let go leave half of that free",
            request_->URL()->absoluteString());
    auto asked = std::make_shared<std::atomic<bool>>(false);
    std::weak_ptr<TVWebImageOperation> weak = self();
    auto again = [weak, asked] {
        if (asked->exchange(true)) return;
        if (auto operation = weak.lock()) operation->finalDecode(true);
    };
    ui::DecodedPixelAccount::shared().notifyWhenPicturesAreLetGo(nextDecodeQueue(), again);
    dispatch::after(RefusedDecodeRetryWait, nextDecodeQueue(), again);
}

void TVWebImageOperation::didRefuseDecodeForMemory() {
    std::lock_guard guard(lock_);
    if (isCancelled()) return;
    ns::log("Web image: %@ is not decoded: pictures decoded from data still hold all the memory they may",
            request_->URL()->absoluteString());
    if (holding_) holding_->release();
    data_ = nullptr;
    // Not the URL's fault: it stays out of the failed set, and a later
    // request decodes it once memory allows.
    report(nullptr, TVWebImageFromNone, TVWebImageStageFinished,
           errorWithDescription(TVWebImageErrorDomain, TVWebImageErrorNotDecodedForMemory,
                                "Web image not decoded: pictures decoded from data hold all the memory they may."),
           true);
}

void TVWebImageOperation::didReceiveImageFromWeb(const ns::Ref<ui::Image>& image) {
    std::lock_guard guard(lock_);
    if (isCancelled()) return;
    if (cache_ && (image || (options_ & TVWebImageOptionRefreshCache))) {
        TVImageCacheType type =
            (options_ & TVWebImageOptionSkipDiskCache) ? TVImageCacheTypeMemory : TVImageCacheTypeAll;
        // The bytes stay counted until they are written.
        dispatch::async(nextDecodeQueue(), [cache = cache_, image, data = ns::Ref<ns::Data>(data_), key = cacheKey_,
                                            type, holding = std::exchange(holding_, nullptr)] {
            cache->setImage(image, data, key, type);
            holding->release();
        });
    }
    if (holding_) holding_->release();
    data_ = nullptr;
    ns::Ref<ns::Error> error;
    if (!image) {
        error = errorWithDescription(TVWebImageErrorDomain, TVWebImageErrorDecodeFailed, "Web image decode fail.");
        if (options_ & TVWebImageOptionSkipFailedURL) {
            if (tv_webimage::isFailedURL(request_->URL())) error = blacklistError();
            else tv_webimage::addFailedURL(request_->URL());
        }
    }
    report(image, TVWebImageFromRemote, TVWebImageStageFinished, error, true);
}

void TVWebImageOperation::didFailWithError(const ns::Ref<ns::Error>& error) {
    std::lock_guard guard(lock_);
    endNetworkActivity();
    if (isCancelled()) return;
    if (completion_) completion_(nullptr, request_->URL(), TVWebImageFromNone, TVWebImageStageFinished, error);
    connection_ = nullptr;
    letGoOfDownload();
    data_ = nullptr;
    if (holding_) holding_->release();
    finishOperation();
    if ((options_ & TVWebImageOptionSkipFailedURL) && !(error && isTransientFailure(error->code())))
        tv_webimage::addFailedURL(request_->URL());
}
