#include "image/cache/TVCache.h"

#include "platform/dispatch/Queue.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/HomeDirectory.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/String.h"

RT_DEFINE_CLASS(TVCache, ns::Object, "TVCache")

TVCache::TVCache(Passkey, std::string name, ns::Ref<TVMemoryCache> memoryCache, ns::Ref<TVDiskCache> diskCache)
    : name_(std::move(name)), memoryCache_(std::move(memoryCache)), diskCache_(std::move(diskCache)) {}

ns::Ref<TVCache> TVCache::init() {
    ns::log("Use \"initWithName\" or \"initWithPath\" to create TVCache instance.");
    return initWithPath("");
}

ns::Ref<TVCache> TVCache::initWithName(std::string_view name) {
    if (name.empty()) return nullptr;
    return initWithPath(ns::cachesDirectory() + "/" + std::string(name));
}

ns::Ref<TVCache> TVCache::initWithPath(std::string_view path) {
    if (path.empty()) return nullptr;
    auto diskCache = TVDiskCache::initWithPath(path);
    if (!diskCache) return nullptr;
    std::string name = ns::String::make(std::string(path))->lastPathComponent()->utf8();
    auto memoryCache = TVMemoryCache::make();
    memoryCache->setName(name);
    return std::make_shared<TVCache>(Passkey(), std::move(name), std::move(memoryCache), std::move(diskCache));
}

std::string TVCache::description() const {
    if (!name_.empty()) return ns::format("<%@: %p> (%@)", className(), this, name_);
    return ns::format("<%@: %p>", className(), this);
}

bool TVCache::containsObjectForKey(std::string_view key) {
    return memoryCache_->containsObjectForKey(key) || diskCache_->containsObjectForKey(key);
}

void TVCache::containsObjectForKeyWithBlock(std::string_view key, TVDiskCache::ContainsBlock block) {
    if (!block) return;
    if (memoryCache_->containsObjectForKey(key)) {
        dispatch::globalQueue()->async([key = std::string(key), block = std::move(block)] { block(key, true); });
        return;
    }
    diskCache_->containsObjectForKeyWithBlock(key, std::move(block));
}

ns::Id TVCache::objectForKey(std::string_view key) {
    if (ns::Id object = memoryCache_->objectForKey(key)) return object;
    ns::Id object = diskCache_->objectForKey(key);
    if (object) memoryCache_->setObjectForKey(object, key);
    return object;
}

void TVCache::objectForKeyWithBlock(std::string_view key, TVDiskCache::ObjectBlock block) {
    if (!block) return;
    if (ns::Id object = memoryCache_->objectForKey(key)) {
        dispatch::globalQueue()->async([key = std::string(key), object, block = std::move(block)] { block(key, object); });
        return;
    }
    // Holds the memory cache, as the facade owns it; the disk cache's queue answers.
    diskCache_->objectForKeyWithBlock(
        key, [memoryCache = memoryCache_, block = std::move(block)](const std::string& key, const ns::Id& object) {
            if (object && !memoryCache->containsObjectForKey(key)) memoryCache->setObjectForKey(object, key);
            block(key, object);
        });
}

void TVCache::setObjectForKey(const ns::Id& object, std::string_view key) {
    memoryCache_->setObjectForKey(object, key);
    diskCache_->setObjectForKey(object, key);
}

void TVCache::setObjectForKeyWithBlock(const ns::Id& object, std::string_view key, TVDiskCache::DoneBlock block) {
    memoryCache_->setObjectForKey(object, key);
    diskCache_->setObjectForKeyWithBlock(object, key, std::move(block));
}

void TVCache::removeObjectForKey(std::string_view key) {
    memoryCache_->removeObjectForKey(key);
    diskCache_->removeObjectForKey(key);
}

void TVCache::removeObjectForKeyWithBlock(std::string_view key, TVDiskCache::KeyBlock block) {
    memoryCache_->removeObjectForKey(key);
    diskCache_->removeObjectForKeyWithBlock(key, std::move(block));
}

void TVCache::removeAllObjects() {
    memoryCache_->removeAllObjects();
    diskCache_->removeAllObjects();
}

void TVCache::removeAllObjectsWithBlock(TVDiskCache::DoneBlock block) {
    memoryCache_->removeAllObjects();
    diskCache_->removeAllObjectsWithBlock(std::move(block));
}

void TVCache::removeAllObjectsWithProgressBlock(TVKVStorage::ProgressBlock progress, TVKVStorage::EndBlock end) {
    memoryCache_->removeAllObjects();
    diskCache_->removeAllObjectsWithProgressBlock(std::move(progress), std::move(end));
}
