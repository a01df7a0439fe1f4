#include "image/cache/TVImageCache.h"

#include <limits>
#include <memory>

#include "image/codec/TVImage.h"
#include "image/codec/TVImageDecoder.h"
#include "image/codec/UIImage+TVImageCoder.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/HomeDirectory.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Number.h"
#include "platform/runtime/Exception.h"
#include "platform/uikit/Screen.h"

RT_DEFINE_CLASS(TVImageCache, ns::Object, "TVImageCache")

namespace {

// The memory level keeps images half a day at most.
constexpr double MemoryAgeLimit = 12 * 60 * 60;

ns::Ref<ns::Data> archivedScale(const ns::Ref<ui::Image>& image) {
    return ns::KeyedArchiver::archivedDataWithRootObject(ns::Number::withDouble(image->scale()));
}

double mainScreenScale() { return ui::Screen::mainScreen()->scale(); }

}  // namespace

TVImageCache::TVImageCache() {
    ns::Exception::raise("TVImageCache init error",
                         "TVImageCache must be initialized with a path. Use 'initWithPath:' instead.");
}

TVImageCache::TVImageCache(Passkey, ns::Ref<TVMemoryCache> memoryCache, ns::Ref<TVDiskCache> diskCache)
    : memoryCache_(std::move(memoryCache)), diskCache_(std::move(diskCache)) {}

const ns::Ref<TVImageCache>& TVImageCache::sharedCache() {
    static const auto* shared = new ns::Ref<TVImageCache>(
        initWithPath(ns::cachesDirectory() + "/com.norvane.TVkit/images"));
    return *shared;
}

ns::Ref<TVImageCache> TVImageCache::initWithPath(std::string_view path) {
    auto memory = TVMemoryCache::make();
    if (!memory) return nullptr;
    memory->setShouldRemoveAllObjectsOnMemoryWarning(true);
    memory->setShouldRemoveAllObjectsWhenEnteringBackground(true);
    memory->setCountLimit(std::numeric_limits<uint64_t>::max());
    memory->setCostLimit(std::numeric_limits<uint64_t>::max());
    memory->setAgeLimit(MemoryAgeLimit);

    auto disk = TVDiskCache::initWithPath(path);
    if (!disk) return nullptr;
    // The bytes are the image's own encoding: stored and read as they are.
    disk->setCustomArchiveBlock([](const ns::Id& object) { return ns::cast<ns::Data>(object); });
    disk->setCustomUnarchiveBlock([](const ns::Ref<ns::Data>& data) { return ns::Id(data); });

    return std::make_shared<TVImageCache>(Passkey(), std::move(memory), std::move(disk));
}

std::string TVImageCache::name() const {
    std::lock_guard guard(nameLock_);
    return name_;
}

void TVImageCache::setName(std::string name) {
    std::lock_guard guard(nameLock_);
    name_ = std::move(name);
}

uint64_t TVImageCache::imageCost(const ui::Image* image) {
    if (!image || !image->cgImage()) return 1;
    const auto& cg = image->cgImage();
    double cost = static_cast<double>(cg->height()) * static_cast<double>(cg->bytesPerRow());
    uint64_t result = static_cast<uint64_t>(cost);
    return result == 0 ? 1 : result;
}

ns::Ref<ui::Image> TVImageCache::imageFromData(const ns::Ref<ns::Data>& data) const {
    if (!data) return nullptr;
    double scale = 0;
    if (auto extended = TVDiskCache::getExtendedDataFromObject(data)) {
        if (auto number = ns::cast<ns::Number>(ns::KeyedUnarchiver::unarchiveObjectWithData(extended)))
            scale = number->doubleValue();
    }
    if (!(scale > 0)) scale = mainScreenScale();

    if (allowAnimatedImage()) {
        ns::Ref<ui::Image> image = TVImage::imageWithData(data, scale);
        if (image && decodeForDisplay()) image = TV_imageByDecoded(image);
        return image;
    }
    auto decoder = TVImageDecoder::decoderWithData(data, scale);
    if (!decoder) return nullptr;
    auto frame = decoder->frameAtIndex(0, decodeForDisplay());
    return frame ? frame->image : nullptr;
}

void TVImageCache::setImage(const ns::Ref<ui::Image>& image, const ns::Ref<ns::Data>& imageData,
                            std::string_view keyView, TVImageCacheType type) {
    if (keyView.empty()) return;
    if (!image && (!imageData || imageData->length() == 0)) return;
    std::string key(keyView);
    // The queued steps hold the cache weakly: a cache gone by then is left alone.
    auto weak = std::weak_ptr<TVImageCache>(std::static_pointer_cast<TVImageCache>(shared_from_this()));

    if (type & TVImageCacheTypeMemory) {
        if (image) {
            if (TV_isDecodedForDisplay(image.get())) {
                memoryCache_->setObjectForKeyWithCost(image, key, imageCost(image.get()));
            } else {
                dispatch::async(dispatch::globalQueue(dispatch::QueuePriority::Low), [weak, image, key] {
                    auto self = weak.lock();
                    if (!self) return;
                    auto decoded = TV_imageByDecoded(image);
                    self->memoryCache_->setObjectForKeyWithCost(decoded, key, imageCost(image.get()));
                });
            }
        } else {
            dispatch::async(dispatch::globalQueue(dispatch::QueuePriority::Low), [weak, imageData, key] {
                auto self = weak.lock();
                if (!self) return;
                if (auto decoded = self->imageFromData(imageData))
                    self->memoryCache_->setObjectForKeyWithCost(decoded, key, imageCost(decoded.get()));
            });
        }
    }

    if (type & TVImageCacheTypeDisk) {
        if (imageData) {
            if (image) TVDiskCache::setExtendedDataToObject(archivedScale(image), imageData);
            diskCache_->setObjectForKey(imageData, key);
        } else {
            dispatch::async(dispatch::globalQueue(dispatch::QueuePriority::Default), [weak, image, key] {
                auto self = weak.lock();
                if (!self) return;
                auto data = TV_imageDataRepresentation(image);
                if (!data) return;
                TVDiskCache::setExtendedDataToObject(archivedScale(image), data);
                self->diskCache_->setObjectForKey(data, key);
            });
        }
    }
}

void TVImageCache::removeImageForKey(std::string_view key, TVImageCacheType type) {
    if (type & TVImageCacheTypeMemory) memoryCache_->removeObjectForKey(key);
    if (type & TVImageCacheTypeDisk) diskCache_->removeObjectForKey(key);
}

bool TVImageCache::containsImageForKey(std::string_view key, TVImageCacheType type) {
    if ((type & TVImageCacheTypeMemory) && memoryCache_->containsObjectForKey(key)) return true;
    if ((type & TVImageCacheTypeDisk) && diskCache_->containsObjectForKey(key)) return true;
    return false;
}

ns::Ref<ui::Image> TVImageCache::getImageForKey(std::string_view key, TVImageCacheType type) {
    if (key.empty()) return nullptr;
    if (type & TVImageCacheTypeMemory) {
        if (auto image = ns::cast<ui::Image>(memoryCache_->objectForKey(key))) return image;
    }
    if (!(type & TVImageCacheTypeDisk)) return nullptr;
    auto image = imageFromData(ns::cast<ns::Data>(diskCache_->objectForKey(key)));
    if (image && (type & TVImageCacheTypeMemory))
        memoryCache_->setObjectForKeyWithCost(image, key, imageCost(image.get()));
    return image;
}

void TVImageCache::getImageForKey(std::string_view keyView, TVImageCacheType type, ImageBlock block) {
    if (!block) return;
    auto self = std::static_pointer_cast<TVImageCache>(shared_from_this());
    dispatch::async(dispatch::globalQueue(dispatch::QueuePriority::Default),
                    [self, key = std::string(keyView), type, block = std::move(block)] {
                        auto answer = [&block](ns::Ref<ui::Image> image, TVImageCacheType from) {
                            dispatch::async(dispatch::mainQueue(), [block, image, from] { block(image, from); });
                        };
                        if (type & TVImageCacheTypeMemory) {
                            if (auto image = ns::cast<ui::Image>(self->memoryCache_->objectForKey(key)))
                                return answer(image, TVImageCacheTypeMemory);
                        }
                        if (type & TVImageCacheTypeDisk) {
                            auto data = ns::cast<ns::Data>(self->diskCache_->objectForKey(key));
                            if (auto image = self->imageFromData(data)) {
                                self->memoryCache_->setObjectForKey(image, key);
                                return answer(image, TVImageCacheTypeDisk);
                            }
                        }
                        answer(nullptr, TVImageCacheTypeNone);
                    });
}

ns::Ref<ns::Data> TVImageCache::getImageDataForKey(std::string_view key) {
    return ns::cast<ns::Data>(diskCache_->objectForKey(key));
}

void TVImageCache::getImageDataForKey(std::string_view key, DataBlock block) {
    if (!block) return;
    diskCache_->objectForKeyWithBlock(key, [block = std::move(block)](const std::string&, const ns::Id& object) {
        auto data = ns::cast<ns::Data>(object);
        dispatch::async(dispatch::mainQueue(), [block, data] { block(data); });
    });
}

std::string TVImageCache::description() const {
    std::string label = name();
    if (!label.empty()) return ns::format("<%@: %p> (%@)", className(), this, label);
    return ns::format("<%@: %p>", className(), this);
}
