#include "net/ModelClass.h"

#include <mutex>
#include <unordered_map>

#include "net/ModelHooks.h"
#include "net/TVFoundation.h"

namespace tv {
namespace {
const char replacedKeyFromPropertyNameKey = 0;
const char replacedKeyFromPropertyName121Key = 0;
const char objectClassInArrayKey = 0;
const char newValueFromOldValueKey = 0;
const char allowedPropertyNamesKey = 0;
const char ignoredPropertyNamesKey = 0;
const char allowedCodingPropertyNamesKey = 0;
const char ignoredCodingPropertyNamesKey = 0;
}  // namespace

const void* const ReplacedKeyFromPropertyNameKey = &replacedKeyFromPropertyNameKey;
const void* const ReplacedKeyFromPropertyName121Key = &replacedKeyFromPropertyName121Key;
const void* const ObjectClassInArrayKey = &objectClassInArrayKey;
const void* const NewValueFromOldValueKey = &newValueFromOldValueKey;
const void* const AllowedPropertyNamesKey = &allowedPropertyNamesKey;
const void* const IgnoredPropertyNamesKey = &ignoredPropertyNamesKey;
const void* const AllowedCodingPropertyNamesKey = &allowedCodingPropertyNamesKey;
const void* const IgnoredCodingPropertyNamesKey = &ignoredCodingPropertyNamesKey;

}  // namespace tv

namespace {

// One cache per name list: class to its total.
struct NameListCache {
    std::mutex lock;
    std::unordered_map<const rt::Class*, ns::Ref<ns::MutableArray>> totals;
};

NameListCache* cacheForKey(const void* key) {
    static NameListCache caches[4];
    if (key == tv::AllowedPropertyNamesKey) return &caches[0];
    if (key == tv::IgnoredPropertyNamesKey) return &caches[1];
    if (key == tv::AllowedCodingPropertyNamesKey) return &caches[2];
    if (key == tv::IgnoredCodingPropertyNamesKey) return &caches[3];
    return nullptr;
}

void enumerate(const rt::Class* cls, const tv::ClassBlock& block, bool stopAtFoundation) {
    if (!block) return;
    bool stop = false;
    for (const rt::Class* c = cls; c && !stop;) {
        block(c, stop);
        c = c->superclass();
        if (stopAtFoundation && TVFoundation::isClassFromFoundation(c)) break;
    }
}

}  // namespace

void qz_enumerateClasses(const rt::Class* cls, const tv::ClassBlock& block) { enumerate(cls, block, true); }

void qz_enumerateAllClasses(const rt::Class* cls, const tv::ClassBlock& block) { enumerate(cls, block, false); }

void qz_setupBlockReturnValue(const rt::Class* cls, const std::function<ns::Id()>& block, const void* key) {
    ns::Id value = block ? block() : nullptr;
    cls->setAssociated(key, value ? std::any(value) : std::any());
    if (NameListCache* cache = cacheForKey(key)) {
        std::lock_guard<std::mutex> hold(cache->lock);
        cache->totals.clear();
    }
}

ns::Id qz_storedValue(const rt::Class* cls, const void* key) {
    std::any value = cls->associated(key);
    const ns::Id* id = std::any_cast<ns::Id>(&value);
    return id ? *id : nullptr;
}

namespace {

void setupNames(const rt::Class* cls, const TVNamesBlock& block, const void* key) {
    std::function<ns::Id()> wrapped;
    if (block) wrapped = [&block]() -> ns::Id { return block(); };
    qz_setupBlockReturnValue(cls, wrapped, key);
}

}  // namespace

void qz_setupAllowedPropertyNames(const rt::Class* cls, const TVNamesBlock& block) {
    setupNames(cls, block, tv::AllowedPropertyNamesKey);
}
void qz_setupIgnoredPropertyNames(const rt::Class* cls, const TVNamesBlock& block) {
    setupNames(cls, block, tv::IgnoredPropertyNamesKey);
}
void qz_setupAllowedCodingPropertyNames(const rt::Class* cls, const TVNamesBlock& block) {
    setupNames(cls, block, tv::AllowedCodingPropertyNamesKey);
}
void qz_setupIgnoredCodingPropertyNames(const rt::Class* cls, const TVNamesBlock& block) {
    setupNames(cls, block, tv::IgnoredCodingPropertyNamesKey);
}

ns::Ref<ns::MutableArray> qz_totalAllowedPropertyNames(const rt::Class* cls) {
    return qz_totalObjectsWithSelector(cls, tv::AllowedPropertyNames, tv::AllowedPropertyNamesKey);
}
ns::Ref<ns::MutableArray> qz_totalIgnoredPropertyNames(const rt::Class* cls) {
    return qz_totalObjectsWithSelector(cls, tv::IgnoredPropertyNames, tv::IgnoredPropertyNamesKey);
}
ns::Ref<ns::MutableArray> qz_totalAllowedCodingPropertyNames(const rt::Class* cls) {
    return qz_totalObjectsWithSelector(cls, tv::AllowedCodingPropertyNames, tv::AllowedCodingPropertyNamesKey);
}
ns::Ref<ns::MutableArray> qz_totalIgnoredCodingPropertyNames(const rt::Class* cls) {
    return qz_totalObjectsWithSelector(cls, tv::IgnoredCodingPropertyNames, tv::IgnoredCodingPropertyNamesKey);
}

ns::Ref<ns::MutableArray> qz_totalObjectsWithSelector(const rt::Class* cls, const char* selector, const void* key) {
    NameListCache* cache = cacheForKey(key);
    ns::Ref<ns::MutableArray> total;
    {
        std::unique_lock<std::mutex> hold;
        if (cache) {
            hold = std::unique_lock<std::mutex>(cache->lock);
            auto it = cache->totals.find(cls);
            if (it != cache->totals.end()) return it->second;
        }
        total = ns::MutableArray::make();
        // Cached before it is filled, so a hook that asks for the total
        // again gets this array rather than recursing.
        if (cache) cache->totals.emplace(cls, total);
    }
    if (const tv::ArrayHook* hook = cls->classMethod<tv::ArrayHook>(selector)) {
        if (ns::Ref<ns::Array> names = (*hook)()) total->addObjectsFromArray(*names);
    }
    qz_enumerateAllClasses(cls, [&](const rt::Class* c, bool&) {
        if (auto names = ns::cast<ns::Array>(qz_storedValue(c, key))) total->addObjectsFromArray(*names);
    });
    return total;
}
