// Property types, key paths, class walks, property lists and the per-class
// configuration of model mapping.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/ModelMapping.h"
#include "platform/foundation/ManagedObject.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Set.h"
#include "platform/foundation/Text.h"
#include "tests/net/model_test_models.h"

namespace {

class Base : public ns::Object {
    RT_DECLARE_CLASS(Base)
public:
    ns::Ref<ns::String> title;
    int32_t level = 0;
    static ns::Ref<ns::Array> qz_allowedPropertyNames() { return ns::Array::make({ns::str("a")}); }
};

class Derived : public Base {
    RT_DECLARE_CLASS(Derived)
public:
    ns::Ref<ns::String> nick;
    // Redeclares the superclass's property under the same name.
    ns::Ref<ns::String> title;
};

class Record : public ns::ManagedObject {
    RT_DECLARE_CLASS(Record)
public:
    ns::Ref<ns::String> uuid;
};

// Three ways to rename keys, to check which one wins.
class Renamed : public ns::Object {
    RT_DECLARE_CLASS(Renamed)
public:
    ns::Ref<ns::String> userName;
    ns::Ref<ns::String> avatar;
    ns::Ref<ns::String> plain;
    static ns::Id qz_replacedKeyFromPropertyName121(const ns::Ref<ns::String>& name) {
        return name->isEqualToString("userName") ? ns::Id(qz_underlineFromCamel(name)) : nullptr;
    }
    static ns::Ref<ns::Dictionary> qz_replacedKeyFromPropertyName() {
        return ns::Dictionary::make({{"userName", ns::str("ignored")}, {"avatar", ns::str("pic.url")}});
    }
};

class RenamedChild : public Renamed {
    RT_DECLARE_CLASS(RenamedChild)
public:
    ns::Ref<ns::Array> tags;
};

// Asks the older hooks: the older 121 hook replaces the newer one's answer.
class OldHooks : public ns::Object {
    RT_DECLARE_CLASS(OldHooks)
public:
    ns::Ref<ns::String> code;
    ns::Ref<ns::Array> items;
    static ns::Id qz_replacedKeyFromPropertyName121(const ns::Ref<ns::String>&) { return ns::str("new"); }
    static ns::Id replacedKeyFromPropertyName121(const ns::Ref<ns::String>&) { return ns::str("old"); }
    static ns::Ref<ns::Dictionary> qz_objectClassInArray() {
        return ns::Dictionary::make({{"items", ns::str("MMTGame")}});
    }
    static ns::Ref<ns::Dictionary> objectClassInArray() {
        return ns::Dictionary::make({{"items", qz_classValue(mmt::GiftCode::staticClass())}});
    }
};

// A property of a type key-value coding must not touch.
class WithSelector : public ns::Object {
    RT_DECLARE_CLASS(WithSelector)
public:
    int32_t count = 0;
    static rt::Property selectorProperty() {
        rt::Property p;
        p.name = "action";
        p.resolveTypeCode = [] { return std::string(":"); };
        p.kind = rt::ValueKind::Object;
        p.get = [](const ns::Object&) -> rt::Value { return std::monostate{}; };
        p.set = [](ns::Object&, const rt::Value&) { return false; };
        return p;
    }
};

// The value filter, asked of the object first.
class Filtered : public ns::Object {
    RT_DECLARE_CLASS(Filtered)
public:
    ns::Ref<ns::String> text;
    ns::Id qz_newValueFromOldValue(const ns::Id& oldValue, const TVProperty& property) {
        if (property.name()->isEqualToString("text") && !oldValue) return ns::str("default");
        return oldValue;
    }
};

class ClassFiltered : public ns::Object {
    RT_DECLARE_CLASS(ClassFiltered)
public:
    ns::Ref<ns::String> text;
    static ns::Id newValueFromOldValue(const ns::Id& oldValue, const TVProperty&) {
        return oldValue ? ns::Id(ns::str("class:" + ns::textOf(oldValue))) : oldValue;
    }
};

}  // namespace

RT_DEFINE_CLASS(Base, ns::Object, "MMTBase", RT_PROPERTY(Base, title), RT_PROPERTY(Base, level))
QZ_MODEL_HOOKS(Base)
RT_DEFINE_CLASS(Derived, Base, "MMTDerived", RT_PROPERTY(Derived, nick), RT_PROPERTY(Derived, title))
RT_DEFINE_CLASS(Record, ns::ManagedObject, "MMTRecord", RT_PROPERTY(Record, uuid))
RT_DEFINE_CLASS(Renamed, ns::Object, "MMTRenamed", RT_PROPERTY(Renamed, userName), RT_PROPERTY(Renamed, avatar),
                RT_PROPERTY(Renamed, plain))
QZ_MODEL_HOOKS(Renamed)
RT_DEFINE_CLASS(RenamedChild, Renamed, "MMTRenamedChild", RT_PROPERTY(RenamedChild, tags))
RT_DEFINE_CLASS(OldHooks, ns::Object, "MMTOldHooks", RT_PROPERTY(OldHooks, code), RT_PROPERTY(OldHooks, items))
QZ_MODEL_HOOKS(OldHooks)
RT_DEFINE_CLASS(WithSelector, ns::Object, "MMTWithSelector", RT_PROPERTY(WithSelector, count),
                WithSelector::selectorProperty())
RT_DEFINE_CLASS(Filtered, ns::Object, "MMTFiltered", RT_PROPERTY(Filtered, text))
QZ_MODEL_HOOKS(Filtered)
RT_DEFINE_CLASS(ClassFiltered, ns::Object, "MMTClassFiltered", RT_PROPERTY(ClassFiltered, text))
QZ_MODEL_HOOKS(ClassFiltered)

namespace {

std::string describe(const TVProperty::KeyPath& path) {
    std::string out;
    for (const auto& step : path) out += (out.empty() ? "" : " ") + step->description();
    return out;
}

std::vector<std::string> namesOf(const rt::Class* cls) {
    std::vector<std::string> names;
    for (const auto& p : *tv::properties(cls)) names.push_back(p->name()->utf8());
    return names;
}

std::vector<std::string> visited(const rt::Class* cls, bool all) {
    std::vector<std::string> names;
    auto block = [&](const rt::Class* c, bool&) { names.push_back(c->name()); };
    all ? qz_enumerateAllClasses(cls, block) : qz_enumerateClasses(cls, block);
    return names;
}

std::vector<std::string> texts(const ns::Ref<ns::MutableArray>& array) {
    std::vector<std::string> out;
    for (const ns::Id& e : *array) out.push_back(ns::textOf(e));
    return out;
}

TEST(ModelPropertyType, ParsesTheCodesOfTheRuntime) {
    auto text = TVPropertyType::cachedTypeWithCode("@\"NSMutableArray\"");
    EXPECT_EQ(text->code(), "NSMutableArray");
    EXPECT_EQ(text->typeClass(), ns::MutableArray::staticClass());
    EXPECT_TRUE(text->isFromFoundation());
    EXPECT_FALSE(text->isNumberType());

    auto model = TVPropertyType::cachedTypeWithCode("@\"MMTGame\"");
    EXPECT_EQ(model->typeClass(), mmt::Game::staticClass());
    EXPECT_FALSE(model->isFromFoundation());

    auto decimal = TVPropertyType::cachedTypeWithCode("@\"NSDecimalNumber\"");
    EXPECT_TRUE(decimal->isNumberType());
    EXPECT_FALSE(decimal->isBoolType());

    for (const char* code : {"B", "C", "c", "b"}) {
        auto type = TVPropertyType::cachedTypeWithCode(code);
        EXPECT_TRUE(type->isNumberType() && type->isBoolType()) << code;
    }
    for (const char* code : {"Q", "q", "i", "I", "s", "S", "l", "L", "f", "d"}) {
        auto type = TVPropertyType::cachedTypeWithCode(code);
        EXPECT_TRUE(type->isNumberType()) << code;
        EXPECT_FALSE(type->isBoolType()) << code;
    }
    for (const char* code : {"@?", "#", "*", "{CGSize=dd}", "^v"}) {
        auto type = TVPropertyType::cachedTypeWithCode(code);
        EXPECT_FALSE(type->isNumberType() || type->isBoolType() || type->isIdType() || type->isKVCDisabled()) << code;
        EXPECT_EQ(type->typeClass(), nullptr) << code;
    }
    EXPECT_TRUE(TVPropertyType::cachedTypeWithCode("@")->isIdType());
    for (const char* code : {"", ":", "^{objc_ivar=}", "^{objc_method=}"}) {
        EXPECT_TRUE(TVPropertyType::cachedTypeWithCode(code)->isKVCDisabled()) << code;
    }

    auto unknown = TVPropertyType::cachedTypeWithCode("@\"MMTNoSuchClass\"");
    EXPECT_EQ(unknown->code(), "MMTNoSuchClass");
    EXPECT_EQ(unknown->typeClass(), nullptr);

    EXPECT_EQ(TVPropertyType::cachedTypeWithCode("i"), TVPropertyType::cachedTypeWithCode("i"));
}

TEST(ModelKeyPath, SplitsDotsAndIndices) {
    EXPECT_EQ(describe(TVProperty::propertyKeysWithStringKey("data.list[0][1].name")), "data list [0] [1] name");
    EXPECT_EQ(describe(TVProperty::propertyKeysWithStringKey("[2]")), "[2]");
    EXPECT_EQ(describe(TVProperty::propertyKeysWithStringKey("a[")), "a");
    auto empty = TVProperty::propertyKeysWithStringKey("a..b");
    ASSERT_EQ(empty.size(), 3u);
    EXPECT_EQ(empty[1]->name()->utf8(), "");
    EXPECT_TRUE(TVProperty::propertyKeysWithStringKey("").empty());
    // An index holding the same text as the key before it keeps its value.
    auto repeated = TVProperty::propertyKeysWithStringKey("1[1]");
    ASSERT_EQ(repeated.size(), 2u);
    EXPECT_EQ(repeated[1]->type(), TVPropertyKeyType::Array);
    EXPECT_EQ(repeated[1]->index(), 1);
}

TEST(ModelKeyPath, StepsReadOnlyTheirOwnKindOfContainer) {
    auto array = ns::Array::make({ns::str("a"), ns::str("b"), ns::str("c")});
    EXPECT_EQ(ns::textOf(TVPropertyKey::make("2", TVPropertyKeyType::Array)->valueInObject(array)), "c");
    EXPECT_EQ(TVPropertyKey::make("5", TVPropertyKeyType::Array)->valueInObject(array), nullptr);
    EXPECT_EQ(TVPropertyKey::make("-1", TVPropertyKeyType::Array)->valueInObject(array), nullptr);
    EXPECT_EQ(TVPropertyKey::make("2")->valueInObject(array), nullptr);
    auto dictionary = ns::Dictionary::make({{"2", ns::str("two")}});
    EXPECT_EQ(ns::textOf(TVPropertyKey::make("2")->valueInObject(dictionary)), "two");
    EXPECT_EQ(TVPropertyKey::make("2", TVPropertyKeyType::Array)->valueInObject(dictionary), nullptr);
}

TEST(ModelFoundation, TellsPlatformClassesFromModels) {
    EXPECT_TRUE(TVFoundation::isClassFromFoundation(ns::Object::staticClass()));
    EXPECT_TRUE(TVFoundation::isClassFromFoundation(ns::ManagedObject::staticClass()));
    EXPECT_TRUE(TVFoundation::isClassFromFoundation(ns::MutableDictionary::staticClass()));
    EXPECT_TRUE(TVFoundation::isClassFromFoundation(ns::Number::staticClass()));
    EXPECT_TRUE(TVFoundation::isClassFromFoundation(rt::classNamed("__NSArrayI")));
    EXPECT_FALSE(TVFoundation::isClassFromFoundation(Record::staticClass()));
    EXPECT_FALSE(TVFoundation::isClassFromFoundation(ns::Set::staticClass()));
    EXPECT_FALSE(TVFoundation::isClassFromFoundation(ns::Null::staticClass()));
    EXPECT_FALSE(TVFoundation::isClassFromFoundation(mmt::GiftItem::staticClass()));
    EXPECT_FALSE(TVFoundation::isClassFromFoundation(nullptr));
}

TEST(ModelClassWalk, StopsBelowTheFoundationClasses) {
    EXPECT_EQ(visited(Derived::staticClass(), false), (std::vector<std::string>{"MMTDerived", "MMTBase"}));
    EXPECT_EQ(visited(Derived::staticClass(), true), (std::vector<std::string>{"MMTDerived", "MMTBase", "NSObject"}));
    EXPECT_EQ(visited(Record::staticClass(), false), (std::vector<std::string>{"MMTRecord"}));
    EXPECT_EQ(visited(ns::MutableArray::staticClass(), false), (std::vector<std::string>{"NSMutableArray"}));

    std::vector<std::string> stopped;
    qz_enumerateAllClasses(Derived::staticClass(), [&](const rt::Class* c, bool& stop) {
        stopped.push_back(c->name());
        stop = true;
    });
    EXPECT_EQ(stopped, std::vector<std::string>{"MMTDerived"});
}

TEST(ModelPropertyList, ListsOwnPropertiesFirstAndSharesRecords) {
    EXPECT_EQ(namesOf(Derived::staticClass()), (std::vector<std::string>{"nick", "title", "title", "level"}));
    EXPECT_EQ(namesOf(Record::staticClass()), std::vector<std::string>{"uuid"});

    // Base's records are the very ones listed for Derived, with the
    // declaring class as their source.
    auto base = tv::properties(Base::staticClass());
    auto derived = tv::properties(Derived::staticClass());
    EXPECT_EQ((*base)[1], (*derived)[3]);
    EXPECT_EQ((*derived)[3]->srcClass(), Base::staticClass());
    EXPECT_EQ(tv::properties(Derived::staticClass()), derived) << "the list is cached";
}

TEST(ModelKeyResolution, FollowsTheHooksPrecedence) {
    const rt::Class* cls = Renamed::staticClass();
    // The per-name hook wins over the dictionary hook; an answer equal to the
    // name lets the dictionaries decide; nothing gives the name itself.
    EXPECT_EQ(ns::textOf(tv::propertyKey(cls, ns::str("userName"))), "user_name");
    EXPECT_EQ(ns::textOf(tv::propertyKey(cls, ns::str("avatar"))), "pic.url");
    EXPECT_EQ(ns::textOf(tv::propertyKey(cls, ns::str("plain"))), "plain");
    EXPECT_EQ(tv::propertyKey(cls, nullptr), nullptr);
    // Class methods are inherited.
    EXPECT_EQ(ns::textOf(tv::propertyKey(RenamedChild::staticClass(), ns::str("avatar"))), "pic.url");

    auto avatarPaths = [&](const rt::Class* c) {
        for (const auto& p : *tv::properties(c)) {
            if (p->name()->isEqualToString("avatar")) return describe(p->propertyKeysForClass(c)->front());
        }
        return std::string();
    };
    EXPECT_EQ(avatarPaths(RenamedChild::staticClass()), "pic url");

    EXPECT_EQ(ns::textOf(tv::propertyKey(OldHooks::staticClass(), ns::str("code"))), "old");
    EXPECT_EQ(tv::propertyObjectClassInArray(OldHooks::staticClass(), ns::str("items")), mmt::GiftCode::staticClass());
}

TEST(ModelKeyResolution, SetUpsApplyToSubclassesAndEmptyTheCache) {
    const rt::Class* cls = RenamedChild::staticClass();
    auto before = tv::properties(cls);

    qz_setupReplacedKeyFromPropertyName(cls, [] {
        return ns::Dictionary::make({{"plain", ns::Array::make({ns::str("p1"), ns::str(""), ns::str("x.p2")})}});
    });
    qz_setupObjectClassInArray(cls, [] { return ns::Dictionary::make({{"tags", ns::str("MMTGame")}}); });
    auto after = tv::properties(cls);
    EXPECT_NE(after, before);
    for (const auto& p : *after) {
        if (p->name()->isEqualToString("plain")) {
            auto paths = p->propertyKeysForClass(cls);
            ASSERT_EQ(paths->size(), 2u) << "the empty alternative is dropped";
            EXPECT_EQ(describe((*paths)[1]), "x p2");
        }
        if (p->name()->isEqualToString("tags")) {
            EXPECT_EQ(p->objectClassInArrayForClass(cls), mmt::Game::staticClass());
        }
    }
    // The superclass keeps its own keys.
    EXPECT_EQ(ns::textOf(tv::propertyKey(Renamed::staticClass(), ns::str("plain"))), "plain");

    qz_setupReplacedKeyFromPropertyName121(Renamed::staticClass(), [](const ns::Ref<ns::String>& name) -> ns::Id {
        return name->isEqualToString("plain") ? ns::Id(ns::str("from121")) : nullptr;
    });
    EXPECT_EQ(ns::textOf(tv::propertyKey(cls, ns::str("plain"))), "from121");
    qz_setupReplacedKeyFromPropertyName121(Renamed::staticClass(), nullptr);
    qz_setupReplacedKeyFromPropertyName(cls, nullptr);
    qz_setupObjectClassInArray(cls, nullptr);
    EXPECT_EQ(ns::textOf(tv::propertyKey(cls, ns::str("plain"))), "plain");
}

TEST(ModelValueFilter, AsksTheObjectThenTheClassThenTheSetUps) {
    auto filtered = std::make_shared<Filtered>();
    const TVProperty& textProperty = *tv::properties(Filtered::staticClass())->front();
    EXPECT_EQ(ns::textOf(qz_getNewValueFromObject(Filtered::staticClass(), *filtered, nullptr, textProperty)), "default");

    auto classFiltered = std::make_shared<ClassFiltered>();
    const TVProperty& classText = *tv::properties(ClassFiltered::staticClass())->front();
    EXPECT_EQ(ns::textOf(qz_getNewValueFromObject(ClassFiltered::staticClass(), *classFiltered, ns::str("v"), classText)),
              "class:v");

    auto base = std::make_shared<Base>();
    const TVProperty& title = *tv::properties(Base::staticClass())->front();
    ns::Id read = ns::str("same");
    EXPECT_EQ(qz_getNewValueFromObject(Base::staticClass(), *base, read, title), read) << "unfiltered: the same object";
    qz_setupNewValueFromOldValue(Base::staticClass(), [](ns::Object&, const ns::Id& old, const TVProperty&) -> ns::Id {
        return ns::str("up:" + ns::textOf(old));
    });
    EXPECT_EQ(ns::textOf(qz_getNewValueFromObject(Derived::staticClass(), *base, read, title)), "up:same");
    qz_setupNewValueFromOldValue(Base::staticClass(), nullptr);
}

TEST(ModelNameLists, TotalsHookThenSetUpsAlongTheClasses) {
    qz_setupAllowedPropertyNames(Base::staticClass(), [] { return ns::Array::make({ns::str("b")}); });
    EXPECT_EQ(texts(qz_totalAllowedPropertyNames(Base::staticClass())), (std::vector<std::string>{"a", "b"}));
    // The subclass answers the superclass's hook and reads its stored names.
    EXPECT_EQ(texts(qz_totalAllowedPropertyNames(Derived::staticClass())), (std::vector<std::string>{"a", "b"}));

    auto cached = qz_totalAllowedPropertyNames(Derived::staticClass());
    EXPECT_EQ(qz_totalAllowedPropertyNames(Derived::staticClass()), cached);
    qz_setupAllowedPropertyNames(Derived::staticClass(), [] { return ns::Array::make({ns::str("b"), ns::str("c")}); });
    EXPECT_EQ(texts(qz_totalAllowedPropertyNames(Derived::staticClass())), (std::vector<std::string>{"a", "b", "c", "b"}));

    // Each list has its own cache and its own stored names.
    EXPECT_EQ(qz_totalIgnoredPropertyNames(Derived::staticClass())->count(), 0u);
    EXPECT_EQ(qz_totalAllowedCodingPropertyNames(Derived::staticClass())->count(), 0u);
    qz_setupAllowedPropertyNames(Derived::staticClass(), nullptr);
    qz_setupAllowedPropertyNames(Base::staticClass(), nullptr);
    EXPECT_EQ(texts(qz_totalAllowedPropertyNames(Derived::staticClass())), std::vector<std::string>{"a"});
}

TEST(ModelProperty, LeavesKeyValueCodingDisabledTypesAlone) {
    auto object = std::make_shared<WithSelector>();
    auto list = tv::properties(WithSelector::staticClass());
    ASSERT_EQ(list->size(), 2u);
    const TVProperty& action = *(*list)[1];
    EXPECT_TRUE(action.type()->isKVCDisabled());
    EXPECT_EQ(action.valueForObject(*object), ns::Null::null());
    EXPECT_NO_THROW(action.setValueForObject(ns::str("x"), *object));

    // A dictionary mentioning it fills the rest without an error.
    qz_setKeyValues(object, ns::Dictionary::make({{"count", ns::num(3)}, {"action", ns::str("tap")}}));
    EXPECT_EQ(object->count, 3);
    EXPECT_EQ(qz_error(WithSelector::staticClass()), nullptr);
    auto exported = ns::cast<ns::Dictionary>(qz_keyValues(object));
    EXPECT_EQ(exported->objectForKey("action"), ns::Null::null());
}

}  // namespace
