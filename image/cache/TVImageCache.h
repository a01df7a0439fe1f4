#pragma once
// The web-image loader's two-level store: a memory level of ready-to-draw
// images with a cost each, and a disk level of the images' encoded bytes
// with the image's scale kept beside them (the disk cache's extended data).
// Both levels answer to the same key.
//
// Holds no lock and no thread: each level is thread-safe by itself, and
// decoding and encoding go to global queues (decoded copies for memory on
// the low-priority one, encodes for disk and asynchronous lookups on the
// default one). Lookup blocks are answered on the main queue. Any thread
// may call.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "image/cache/TVDiskCache.h"
#include "image/cache/TVMemoryCache.h"
#include "platform/foundation/Data.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"
#include "platform/uikit/Image.h"

using TVImageCacheType = uint64_t;
inline constexpr TVImageCacheType TVImageCacheTypeNone = 0;
inline constexpr TVImageCacheType TVImageCacheTypeMemory = 1 << 0;
inline constexpr TVImageCacheType TVImageCacheTypeDisk = 1 << 1;
inline constexpr TVImageCacheType TVImageCacheTypeAll = TVImageCacheTypeMemory | TVImageCacheTypeDisk;

class TVImageCache : public ns::Object {
    RT_DECLARE_CLASS(TVImageCache)
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using ImageBlock = std::function<void(const ns::Ref<ui::Image>& image, TVImageCacheType type)>;
    using DataBlock = std::function<void(const ns::Ref<ns::Data>& data)>;

    // A cache needs a path: raises "TVImageCache init error".
    TVImageCache();
    TVImageCache(Passkey, ns::Ref<TVMemoryCache> memoryCache, ns::Ref<TVDiskCache> diskCache);

    // Caches + "com.norvane.TVkit" + "images", made once.
    static const ns::Ref<TVImageCache>& sharedCache();
    // Nil when either level cannot be made (the disk level refuses a path
    // it cannot use).
    static ns::Ref<TVImageCache> initWithPath(std::string_view path);

    std::string name() const;
    void setName(std::string name);
    const ns::Ref<TVMemoryCache>& memoryCache() const { return memoryCache_; }
    const ns::Ref<TVDiskCache>& diskCache() const { return diskCache_; }
    // Images read from disk become TVImage objects (animated with several
    // frames); off: the first frame only.
    bool allowAnimatedImage() const { return allowAnimatedImage_.load(); }
    void setAllowAnimatedImage(bool allow) { allowAnimatedImage_.store(allow); }
    // Images read from disk are decoded for display at once.
    bool decodeForDisplay() const { return decodeForDisplay_.load(); }
    void setDecodeForDisplay(bool decode) { decodeForDisplay_.store(decode); }

    // ---- Storing ----
    void setImageForKey(const ns::Ref<ui::Image>& image, std::string_view key) {
        setImage(image, nullptr, key, TVImageCacheTypeAll);
    }
    // Returns at once; decoding for memory and encoding for disk finish
    // later on global queues. Bytes handed in are stored as they are.
    void setImage(const ns::Ref<ui::Image>& image, const ns::Ref<ns::Data>& imageData, std::string_view key,
                  TVImageCacheType type);

    // ---- Removing and testing (synchronous) ----
    void removeImageForKey(std::string_view key, TVImageCacheType type = TVImageCacheTypeAll);
    bool containsImageForKey(std::string_view key, TVImageCacheType type = TVImageCacheTypeAll);

    // ---- Lookups ----
    // On the calling thread, disk read and decode included. A disk hit goes
    // into memory only when the memory bit is set.
    ns::Ref<ui::Image> getImageForKey(std::string_view key, TVImageCacheType type = TVImageCacheTypeAll);
    // On the default global queue; the block runs on the main queue. A disk
    // hit goes into memory (cost 0) whatever the type.
    void getImageForKey(std::string_view key, TVImageCacheType type, ImageBlock block);
    ns::Ref<ns::Data> getImageDataForKey(std::string_view key);
    void getImageDataForKey(std::string_view key, DataBlock block);

    // ---- Rules the methods share ----
    // CGImage height x bytes per row; 1 for none or zero.
    static uint64_t imageCost(const ui::Image* image);
    // The stored bytes as an image at the scale kept with them (the main
    // screen's when none or not above 0).
    ns::Ref<ui::Image> imageFromData(const ns::Ref<ns::Data>& data) const;

    std::string description() const override;

private:
    mutable std::mutex nameLock_;
    std::string name_;
    ns::Ref<TVMemoryCache> memoryCache_;
    ns::Ref<TVDiskCache> diskCache_;
    std::atomic<bool> allowAnimatedImage_{true};
    std::atomic<bool> decodeForDisplay_{true};
};
