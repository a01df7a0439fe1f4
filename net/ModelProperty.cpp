#include "net/ModelProperty.h"

#include <mutex>
#include <unordered_map>

#include "net/ModelClass.h"
#include "net/TVFoundation.h"
#include "platform/foundation/Number.h"

namespace {

struct PropertyListCache {
    std::mutex lock;
    std::unordered_map<const rt::Class*, std::shared_ptr<const tv::ClassPlan>> plans;
};

PropertyListCache& propertyListCache() {
    static auto* cache = new PropertyListCache;
    return *cache;
}

template <class Hook>
const Hook* hookOf(const rt::Class* cls, const char* selector) {
    return cls->classMethod<Hook>(selector);
}

// Closures are kept shared, so reading one off a class copies no function.
template <class Hook>
std::shared_ptr<const Hook> storedClosure(const rt::Class* cls, const void* key) {
    std::any value = cls->associated(key);
    auto* closure = std::any_cast<std::shared_ptr<const Hook>>(&value);
    return closure ? *closure : nullptr;
}

ns::Id entryFor(const ns::Ref<ns::Dictionary>& dictionary, const ns::Ref<ns::String>& name) {
    return dictionary ? dictionary->objectForKey(name.get()) : nullptr;
}

}  // namespace

namespace tv {

std::shared_ptr<const ClassPlan> conversionPlan(const rt::Class* cls) {
    PropertyListCache& cache = propertyListCache();
    {
        std::lock_guard<std::mutex> hold(cache.lock);
        auto it = cache.plans.find(cls);
        if (it != cache.plans.end()) return it->second;
    }
    // Built outside the lock: the hooks asked may convert models themselves.
    auto list = std::make_shared<PropertyList>();
    qz_enumerateClasses(cls, [&](const rt::Class* declaring, bool&) {
        for (const rt::Property& p : declaring->properties()) {
            ns::Ref<TVProperty> record = TVProperty::cachedPropertyWithProperty(&p);
            if (TVFoundation::isClassFromFoundation(record->srcClass())) continue;
            record->setSrcClass(declaring);
            record->setOriginKey(propertyKey(cls, record->name()), cls);
            record->setObjectClassInArray(propertyObjectClassInArray(cls, record->name()), cls);
            list->push_back(std::move(record));
        }
    });
    auto plan = std::make_shared<ClassPlan>();
    plan->properties.reserve(list->size());
    for (const ns::Ref<TVProperty>& record : *list) {
        const rt::Property* found = cls->findProperty(record->name()->utf8());
        plan->properties.push_back({record, record->propertyKeysForClass(cls), record->objectClassInArrayForClass(cls),
                                    found == record->property() ? found : nullptr});
    }
    plan->list = std::move(list);
    std::lock_guard<std::mutex> hold(cache.lock);
    cache.plans[cls] = plan;
    return plan;
}

std::shared_ptr<const PropertyList> properties(const rt::Class* cls) { return conversionPlan(cls)->list; }

ns::Id propertyKey(const rt::Class* cls, const ns::Ref<ns::String>& name) {
    if (!name) return nullptr;
    ns::Id key;
    if (auto* hook = hookOf<KeyForNameHook>(cls, ReplacedKeyFromPropertyName121)) key = (*hook)(name);
    if (auto* hook = hookOf<KeyForNameHook>(cls, OldReplacedKeyFromPropertyName121)) key = (*hook)(name);
    if (!key) {
        qz_enumerateAllClasses(cls, [&](const rt::Class* c, bool& stop) {
            if (auto closure = storedClosure<KeyForNameHook>(c, ReplacedKeyFromPropertyName121Key)) {
                key = (*closure)(name);
                if (key) stop = true;
            }
        });
    }
    auto unreplaced = [&] { return !key || ns::equal(key.get(), name.get()); };
    if (unreplaced()) {
        if (auto* hook = hookOf<DictionaryHook>(cls, ReplacedKeyFromPropertyName)) key = entryFor((*hook)(), name);
    }
    if (unreplaced()) {
        if (auto* hook = hookOf<DictionaryHook>(cls, OldReplacedKeyFromPropertyName)) key = entryFor((*hook)(), name);
    }
    if (unreplaced()) {
        qz_enumerateAllClasses(cls, [&](const rt::Class* c, bool& stop) {
            if (auto dictionary = ns::cast<ns::Dictionary>(qz_storedValue(c, ReplacedKeyFromPropertyNameKey))) {
                key = dictionary->objectForKey(name.get());
                if (!unreplaced()) stop = true;
            }
        });
    }
    return key ? key : ns::Id(name);
}

const rt::Class* propertyObjectClassInArray(const rt::Class* cls, const ns::Ref<ns::String>& name) {
    if (!name) return nullptr;
    ns::Id value;
    if (auto* hook = hookOf<DictionaryHook>(cls, ObjectClassInArray)) value = entryFor((*hook)(), name);
    if (auto* hook = hookOf<DictionaryHook>(cls, OldObjectClassInArray)) value = entryFor((*hook)(), name);
    if (!value) {
        qz_enumerateAllClasses(cls, [&](const rt::Class* c, bool& stop) {
            if (auto dictionary = ns::cast<ns::Dictionary>(qz_storedValue(c, ObjectClassInArrayKey))) {
                value = dictionary->objectForKey(name.get());
                if (value) stop = true;
            }
        });
    }
    return qz_classFromValue(value);
}

void clearPropertyListCache() {
    PropertyListCache& cache = propertyListCache();
    std::lock_guard<std::mutex> hold(cache.lock);
    cache.plans.clear();
}

}  // namespace tv

void qz_enumerateProperties(const rt::Class* cls,
                            const std::function<void(const ns::Ref<TVProperty>& property, bool& stop)>& block) {
    if (!block) return;
    auto list = tv::properties(cls);
    bool stop = false;
    for (const ns::Ref<TVProperty>& property : *list) {
        block(property, stop);
        if (stop) break;
    }
}

namespace tv {

ValueFilter::ValueFilter(const rt::Class* cls, const rt::Class* objectClass) {
    objectHook_ = hookOf<ValueFilterHook>(objectClass, NewValueFromOldValue);
    if (objectHook_) return;
    classHook_ = hookOf<ClassValueFilterHook>(cls, OldNewValueFromOldValue);
    if (classHook_) return;
    qz_enumerateAllClasses(cls, [&](const rt::Class* c, bool& stop) {
        stored_ = storedClosure<ValueFilterHook>(c, NewValueFromOldValueKey);
        stop = stored_ != nullptr;
    });
}

ns::Id ValueFilter::operator()(ns::Object& object, const ns::Id& oldValue, const TVProperty& property) const {
    if (objectHook_) return (*objectHook_)(object, oldValue, property);
    if (classHook_) return (*classHook_)(oldValue, property);
    if (stored_) return (*stored_)(object, oldValue, property);
    return oldValue;
}

}  // namespace tv

ns::Id qz_getNewValueFromObject(const rt::Class* cls, ns::Object& object, const ns::Id& oldValue,
                                const TVProperty& property) {
    return tv::ValueFilter(cls, object.classObject())(object, oldValue, property);
}

void qz_setupReplacedKeyFromPropertyName(const rt::Class* cls, const tv::DictionaryHook& block) {
    std::function<ns::Id()> wrapped;
    if (block) wrapped = [&block]() -> ns::Id { return block(); };
    qz_setupBlockReturnValue(cls, wrapped, tv::ReplacedKeyFromPropertyNameKey);
    tv::clearPropertyListCache();
}

void qz_setupReplacedKeyFromPropertyName121(const rt::Class* cls, tv::KeyForNameHook block) {
    cls->setAssociated(tv::ReplacedKeyFromPropertyName121Key,
                       block ? std::any(std::make_shared<const tv::KeyForNameHook>(std::move(block))) : std::any());
    tv::clearPropertyListCache();
}

void qz_setupObjectClassInArray(const rt::Class* cls, const tv::DictionaryHook& block) {
    std::function<ns::Id()> wrapped;
    if (block) wrapped = [&block]() -> ns::Id { return block(); };
    qz_setupBlockReturnValue(cls, wrapped, tv::ObjectClassInArrayKey);
    tv::clearPropertyListCache();
}

void qz_setupNewValueFromOldValue(const rt::Class* cls, tv::ValueFilterHook block) {
    cls->setAssociated(tv::NewValueFromOldValueKey,
                       block ? std::any(std::make_shared<const tv::ValueFilterHook>(std::move(block))) : std::any());
}

namespace {
// The platform's type code of a class.
constexpr const char* ClassTypeCode = "#";
}  // namespace

ns::Id qz_classValue(const rt::Class* cls) {
    if (!cls) return nullptr;
    return ns::Value::withBytes(&cls, sizeof cls, ClassTypeCode);
}

const rt::Class* qz_classFromValue(const ns::Id& value) {
    if (auto text = ns::cast<ns::String>(value)) return rt::classNamed(text->utf8());
    auto boxed = ns::cast<ns::Value>(value);
    if (!boxed || ns::cast<ns::Number>(value) || std::string_view(boxed->objCType()) != ClassTypeCode) return nullptr;
    const rt::Class* cls = nullptr;
    return boxed->getValue(&cls, sizeof cls) ? cls : nullptr;
}
