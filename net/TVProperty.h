#pragma once
// One declared property of a model class, as model mapping sees it: its name,
// its parsed type, and per converting class the key paths its value is read
// from and the class of its elements when it holds an array. There is one
// record per runtime property for the life of the process; a property that a
// superclass declares is shared by every subclass that is converted, hence
// the per-class maps.

#include <atomic>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "net/TVPropertyKey.h"
#include "net/TVPropertyType.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class TVProperty : public ns::Object {
    RT_DECLARE_CLASS(TVProperty)
public:
    // A key path is a non-empty list of steps; a property has one or more
    // alternatives per class, tried in order.
    using KeyPath = std::vector<ns::Ref<TVPropertyKey>>;
    using KeyPaths = std::vector<KeyPath>;

    TVProperty() = default;

    // The record of a runtime property, made on first request.
    static ns::Ref<TVProperty> cachedPropertyWithProperty(const rt::Property* property);

    // Takes the name and the type (from the attribute text between its first
    // character and the first ",") of the runtime property.
    void setProperty(const rt::Property* property);

    const rt::Property* property() const { return property_; }
    const ns::Ref<ns::String>& name() const { return name_; }
    const ns::Ref<TVPropertyType>& type() const { return type_; }
    // The class in whose declared properties the record was last taken.
    const rt::Class* srcClass() const { return srcClass_.load(std::memory_order_relaxed); }
    void setSrcClass(const rt::Class* cls) { srcClass_.store(cls, std::memory_order_relaxed); }

    // The object's value by key-value coding (scalars boxed), or NSNull for a
    // type key-value coding must not touch. Raises what key-value coding
    // raises.
    ns::Id valueForObject(const ns::Object& object) const;
    // Nothing for nil or a type key-value coding must not touch; otherwise
    // set by key-value coding (which raises for a value that cannot fit).
    void setValueForObject(const ns::Id& value, ns::Object& object) const;

    // One key path from its text: "data.list[0][1].name" gives the keys data
    // and list, the indices 0 and 1, and the key name. Empty for "" (and for
    // texts such as "[" that hold no step).
    static KeyPath propertyKeysWithStringKey(std::string_view stringKey);

    // A text gives one key path, an array of texts one per element (empty
    // paths dropped); stored for the class when the result is not empty.
    void setOriginKey(const ns::Id& originKey, const rt::Class* cls);
    // Replaces the class's key paths; an empty list changes nothing.
    void setPropertyKeys(KeyPaths keyPaths, const rt::Class* cls);
    // nil when none were stored for the class.
    std::shared_ptr<const KeyPaths> propertyKeysForClass(const rt::Class* cls) const;

    // A nil element class changes nothing.
    void setObjectClassInArray(const rt::Class* elementClass, const rt::Class* cls);
    const rt::Class* objectClassInArrayForClass(const rt::Class* cls) const;

    std::string description() const override;

private:
    const rt::Property* property_ = nullptr;
    ns::Ref<ns::String> name_;
    ns::Ref<TVPropertyType> type_;
    std::atomic<const rt::Class*> srcClass_{nullptr};

    // Few classes convert through one record, so flat lists beat maps.
    mutable std::mutex lock_;
    std::vector<std::pair<const rt::Class*, std::shared_ptr<const KeyPaths>>> propertyKeys_;
    std::vector<std::pair<const rt::Class*, const rt::Class*>> objectClassInArray_;
};
