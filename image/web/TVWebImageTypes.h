#pragma once
// The web-image loader's shared vocabulary: option bits (the operation keeps
// them whole and each part tests its own), where a delivered image came
// from, the stage of a delivery and the three block types.
#include <cstdint>
#include <functional>

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/Image.h"

using TVWebImageOptions = uint64_t;
inline constexpr TVWebImageOptions TVWebImageOptionNetworkIndicator = 1 << 0;
inline constexpr TVWebImageOptions TVWebImageOptionProgressive = 1 << 1;
inline constexpr TVWebImageOptions TVWebImageOptionProgressiveBlur = 1 << 2;
inline constexpr TVWebImageOptions TVWebImageOptionURLCache = 1 << 3;
inline constexpr TVWebImageOptions TVWebImageOptionTrustAnyServer = 1 << 4;
inline constexpr TVWebImageOptions TVWebImageOptionBackgroundTask = 1 << 5;
inline constexpr TVWebImageOptions TVWebImageOptionCookies = 1 << 6;
inline constexpr TVWebImageOptions TVWebImageOptionRefreshCache = 1 << 7;
inline constexpr TVWebImageOptions TVWebImageOptionSkipDiskCache = 1 << 8;
inline constexpr TVWebImageOptions TVWebImageOptionNoPlaceholder = 1 << 9;
inline constexpr TVWebImageOptions TVWebImageOptionNoDecode = 1 << 10;
inline constexpr TVWebImageOptions TVWebImageOptionNoAnimation = 1 << 11;
inline constexpr TVWebImageOptions TVWebImageOptionFade = 1 << 12;
inline constexpr TVWebImageOptions TVWebImageOptionManualSet = 1 << 13;
inline constexpr TVWebImageOptions TVWebImageOptionSkipFailedURL = 1 << 14;

enum TVWebImageFromType : int64_t {
    TVWebImageFromNone = 0,                 // failure or cancellation
    TVWebImageFromMemoryCacheInSetter = 1,  // memory level, by a view extension before any operation
    TVWebImageFromMemoryCache = 2,          // memory level, by the operation
    TVWebImageFromDiskCache = 3,
    TVWebImageFromRemote = 4,               // downloaded, or read from a file URL
};

enum TVWebImageStage : int64_t {
    TVWebImageStageProgress = -1,  // a partial image while loading
    TVWebImageStageCancelled = 0,
    TVWebImageStageFinished = 1,   // with an image, or with an error and no image
};

// The loader's own errors, beside those of the URL loading system.
inline constexpr const char* TVWebImageErrorDomain = "com.norvane.image";
// Data that decodes to no image.
inline constexpr int64_t TVWebImageErrorDecodeFailed = -1;
// A picture the account of decoded pixels refused, even when asked again
// after pictures were let go: transient, not the URL's fault.
inline constexpr int64_t TVWebImageErrorNotDecodedForMemory = -2;

// (received, expected); expected is -1 when the response announced no length.
using TVWebImageProgressBlock = std::function<void(int64_t receivedSize, int64_t expectedSize)>;
// Runs after decoding and before caching; returns the image to use instead.
using TVWebImageTransformBlock =
    std::function<ns::Ref<ui::Image>(const ns::Ref<ui::Image>& image, const ns::Ref<ns::URL>& url)>;
using TVWebImageCompletionBlock =
    std::function<void(const ns::Ref<ui::Image>& image, const ns::Ref<ns::URL>& url, TVWebImageFromType from,
                       TVWebImageStage stage, const ns::Ref<ns::Error>& error)>;
