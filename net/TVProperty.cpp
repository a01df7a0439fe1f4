#include "net/TVProperty.h"

#include <unordered_map>

#include "platform/foundation/Array.h"
#include "platform/foundation/KeyValueCoding.h"
#include "platform/foundation/Null.h"

RT_DEFINE_CLASS(TVProperty, ns::Object, "TVProperty")

ns::Ref<TVProperty> TVProperty::cachedPropertyWithProperty(const rt::Property* property) {
    static std::mutex lock;
    static auto* records = new std::unordered_map<const rt::Property*, ns::Ref<TVProperty>>;
    std::lock_guard<std::mutex> hold(lock);
    auto it = records->find(property);
    if (it != records->end()) return it->second;
    auto record = std::make_shared<TVProperty>();
    record->setProperty(property);
    records->emplace(property, record);
    return record;
}

void TVProperty::setProperty(const rt::Property* property) {
    property_ = property;
    name_ = ns::String::make(property->name);
    const std::string& attributes = property->attributes;
    std::string_view code;
    if (!attributes.empty()) {
        size_t comma = attributes.find(',');
        code = comma == std::string::npos ? std::string_view(attributes).substr(1)
                                          : std::string_view(attributes).substr(1, comma - 1);
    }
    type_ = TVPropertyType::cachedTypeWithCode(code);
}

ns::Id TVProperty::valueForObject(const ns::Object& object) const {
    if (type_->isKVCDisabled()) return ns::Null::null();
    return ns::valueForKey(object, name_->utf8());
}

void TVProperty::setValueForObject(const ns::Id& value, ns::Object& object) const {
    if (!value || type_->isKVCDisabled()) return;
    ns::setValueForKey(object, value, name_->utf8());
}

TVProperty::KeyPath TVProperty::propertyKeysWithStringKey(std::string_view stringKey) {
    KeyPath path;
    if (stringKey.empty()) return path;
    size_t start = 0;
    while (true) {
        size_t dot = stringKey.find('.', start);
        std::string_view part = stringKey.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        size_t bracket = part.find('[');
        if (bracket == std::string_view::npos) {
            path.push_back(TVPropertyKey::make(std::string(part)));
        } else {
            std::string_view name = part.substr(0, bracket);
            if (!name.empty()) path.push_back(TVPropertyKey::make(std::string(name)));
            // Only the leading name is taken off: the indices that follow may
            // hold the same text ("1[1]").
            std::string rest;
            for (char c : part.substr(bracket)) {
                if (c != '[') rest += c;
            }
            // Every piece but the last, which follows the final "]".
            size_t pieceStart = 0;
            for (size_t close = rest.find(']'); close != std::string::npos; close = rest.find(']', pieceStart)) {
                path.push_back(TVPropertyKey::make(rest.substr(pieceStart, close - pieceStart), TVPropertyKeyType::Array));
                pieceStart = close + 1;
            }
        }
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return path;
}

void TVProperty::setOriginKey(const ns::Id& originKey, const rt::Class* cls) {
    KeyPaths paths;
    if (auto text = ns::cast<ns::String>(originKey)) {
        KeyPath path = propertyKeysWithStringKey(text->utf8());
        if (!path.empty()) paths.push_back(std::move(path));
    } else if (auto array = ns::cast<ns::Array>(originKey)) {
        for (const ns::Id& element : *array) {
            // What an element other than a text means is left open; it gives
            // no path rather than a guess.
            auto text = ns::cast<ns::String>(element);
            if (!text) continue;
            KeyPath path = propertyKeysWithStringKey(text->utf8());
            if (!path.empty()) paths.push_back(std::move(path));
        }
    }
    setPropertyKeys(std::move(paths), cls);
}

void TVProperty::setPropertyKeys(KeyPaths keyPaths, const rt::Class* cls) {
    if (keyPaths.empty()) return;
    auto stored = std::make_shared<const KeyPaths>(std::move(keyPaths));
    std::lock_guard<std::mutex> hold(lock_);
    for (auto& entry : propertyKeys_) {
        if (entry.first == cls) {
            entry.second = std::move(stored);
            return;
        }
    }
    propertyKeys_.emplace_back(cls, std::move(stored));
}

std::shared_ptr<const TVProperty::KeyPaths> TVProperty::propertyKeysForClass(const rt::Class* cls) const {
    std::lock_guard<std::mutex> hold(lock_);
    for (const auto& entry : propertyKeys_) {
        if (entry.first == cls) return entry.second;
    }
    return nullptr;
}

void TVProperty::setObjectClassInArray(const rt::Class* elementClass, const rt::Class* cls) {
    if (!elementClass) return;
    std::lock_guard<std::mutex> hold(lock_);
    for (auto& entry : objectClassInArray_) {
        if (entry.first == cls) {
            entry.second = elementClass;
            return;
        }
    }
    objectClassInArray_.emplace_back(cls, elementClass);
}

const rt::Class* TVProperty::objectClassInArrayForClass(const rt::Class* cls) const {
    std::lock_guard<std::mutex> hold(lock_);
    for (const auto& entry : objectClassInArray_) {
        if (entry.first == cls) return entry.second;
    }
    return nullptr;
}

std::string TVProperty::description() const {
    return "<TVProperty " + name_->utf8() + " " + (type_ ? type_->code() : std::string()) + ">";
}
