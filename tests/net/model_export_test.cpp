// Models to dictionaries and JSON.

#include <gtest/gtest.h>

#include <string>

#include "net/ModelMapping.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "tests/net/model_test_models.h"

namespace {

using mmt::GiftItem;

// Writes along key paths that share prefixes, and one that cannot be written.
class Pathed : public ns::Object {
    RT_DECLARE_CLASS(Pathed)
public:
    ns::Ref<ns::String> second;
    ns::Ref<ns::String> title;
    ns::Ref<ns::String> first;
    ns::Ref<ns::String> clash;
    ns::Ref<ns::String> plain;
    ns::Id when;
    int exported = 0;

    static ns::Ref<ns::Dictionary> qz_replacedKeyFromPropertyName() {
        return ns::Dictionary::make({{"second", ns::str("data.list[1]")},
                                     {"title", ns::str("data.title")},
                                     {"first", ns::Array::make({ns::str("data.list[0]"), ns::str("other")})},
                                     {"clash", ns::str("data.title.deeper")}});
    }
    void qz_objectDidFinishConvertingToKeyValues() const { ++const_cast<Pathed*>(this)->exported; }
};

class PathedChild : public Pathed {
    RT_DECLARE_CLASS(PathedChild)
};

}  // namespace

RT_DEFINE_CLASS(Pathed, ns::Object, "MMTPathed", RT_PROPERTY(Pathed, second), RT_PROPERTY(Pathed, title),
                RT_PROPERTY(Pathed, first), RT_PROPERTY(Pathed, clash), RT_PROPERTY(Pathed, plain),
                RT_PROPERTY(Pathed, when))
QZ_MODEL_HOOKS(Pathed)
RT_DEFINE_CLASS(PathedChild, Pathed, "MMTPathedChild")

namespace {

ns::Ref<GiftItem> sampleItem() {
    auto item = std::make_shared<GiftItem>();
    item->cardId = ns::str("101");
    item->name = ns::str("礼包");
    item->remain = 4;
    item->received = true;
    item->game = std::make_shared<mmt::Game>();
    item->game->name = ns::str("Star");
    item->game->icon = ns::URL::make("https://cdn.example.com/i.png");
    auto code = std::make_shared<mmt::GiftCode>();
    code->code = ns::str("AAA");
    item->codes = ns::Array::make({code, ns::str("loose"), ns::Null::null()});
    return item;
}

std::string json(const ns::Id& object) {
    auto text = qz_JSONString(object);
    return text ? text->utf8() : "(nil)";
}

TEST(ModelExport, WritesNestedModelsArraysAndReplacedKeys) {
    auto dictionary = ns::cast<ns::MutableDictionary>(qz_keyValues(sampleItem()));
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(json(dictionary),
              R"({"id":"101","name":"礼包","remain":4,"received":true,)"
              R"("game":{"name":"Star","icon":"https:\/\/cdn.example.com\/i.png"},"codes":[{"code":"AAA","used":0},"loose",null]})");
    EXPECT_EQ(qz_error<GiftItem>(), nullptr);

    // And back again.
    auto back = qz_objectWithKeyValues<GiftItem>(qz_JSONString(sampleItem()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->cardId->utf8(), "101");
    EXPECT_EQ(back->game->icon->absoluteString()->utf8(), "https://cdn.example.com/i.png");
    EXPECT_EQ(ns::cast<mmt::GiftCode>(back->codes->objectAtIndex(0))->code->utf8(), "AAA");
}

TEST(ModelExport, FollowsKeyPathsPaddingArraysWithNull) {
    auto model = std::make_shared<Pathed>();
    model->second = ns::str("B");
    model->title = ns::str("T");
    model->plain = ns::str("P");
    EXPECT_EQ(json(qz_keyValues(model)), R"({"data":{"list":[null,"B"],"title":"T"},"plain":"P"})");

    model->first = ns::str("A");
    EXPECT_EQ(json(qz_keyValues(model)), R"({"data":{"list":["A","B"],"title":"T"},"plain":"P"})")
        << "the first alternative is written, into the shared array";
    EXPECT_EQ(model->exported, 2);
}

TEST(ModelExport, APathThatCannotBeWrittenFailsOnlyItsProperty) {
    auto model = std::make_shared<Pathed>();
    model->title = ns::str("T");
    model->clash = ns::str("C");
    model->plain = ns::str("P");
    EXPECT_EQ(json(qz_keyValues(model)), R"({"data":{"title":"T"},"plain":"P"})");
    auto error = qz_error<Pathed>();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 250);
    EXPECT_NE(error->domain().find("deeper"), std::string::npos) << error->domain();
}

TEST(ModelExport, UsesPropertyNamesWhenTheFlagIsCleared) {
    auto model = std::make_shared<PathedChild>();
    model->second = ns::str("B");
    qz_referenceReplacedKeyWhenCreatingKeyValues(Pathed::staticClass(), false);
    EXPECT_FALSE(qz_isReferenceReplacedKeyWhenCreatingKeyValues(PathedChild::staticClass()));
    EXPECT_EQ(json(qz_keyValues(model)), R"({"second":"B"})");
    qz_referenceReplacedKeyWhenCreatingKeyValues(PathedChild::staticClass(), true);
    EXPECT_EQ(json(qz_keyValues(model)), R"({"data":{"list":[null,"B"]}})");
    qz_referenceReplacedKeyWhenCreatingKeyValues(Pathed::staticClass(), true);
    EXPECT_TRUE(qz_isReferenceReplacedKeyWhenCreatingKeyValues(ns::Object::staticClass()));
}

TEST(ModelExport, SelectsKeysAndIgnoredKeys) {
    auto item = sampleItem();
    auto keys = ns::Array::make({ns::str("name"), ns::str("remain")});
    auto ignored = ns::Array::make({ns::str("remain"), ns::str("codes"), ns::str("game")});
    EXPECT_EQ(json(qz_keyValuesWithKeys(item, keys)), R"({"name":"礼包","remain":4})");
    EXPECT_EQ(json(qz_keyValuesWithIgnoredKeys(item, ignored)), R"({"id":"101","name":"礼包","received":true})");
    EXPECT_EQ(json(qz_keyValuesWithKeys(item, keys, ignored)), R"({"name":"礼包"})");

    auto rows = qz_keyValuesArrayWithObjectArray(GiftItem::staticClass(), ns::Array::make({item}), keys);
    ASSERT_EQ(rows->count(), 1u);
    EXPECT_EQ(json(rows->objectAtIndex(0)), R"({"name":"礼包","remain":4})");
    // With both given, only the keys apply.
    auto both = qz_keyValuesArrayWithObjectArray(GiftItem::staticClass(), ns::Array::make({item}), keys, ignored);
    EXPECT_EQ(json(both->objectAtIndex(0)), R"({"name":"礼包","remain":4})");

    EXPECT_EQ(qz_keyValuesArrayWithObjectArray(GiftItem::staticClass(), item), nullptr);
    EXPECT_EQ(qz_error<GiftItem>()->domain(), "objectArray参数不是一个数组");
}

TEST(ModelExport, FoundationObjectsGiveThemselves) {
    auto dictionary = ns::Dictionary::make({{"a", ns::num(1)}});
    EXPECT_EQ(qz_keyValues(dictionary), dictionary);
    ASSERT_TRUE(qz_error(dictionary->classObject()));
    EXPECT_EQ(qz_error(dictionary->classObject())->domain(), "不是自定义的模型类");
    EXPECT_EQ(qz_keyValues(nullptr), nullptr);
}

TEST(ModelExport, JsonOfValuesJsonCannotHoldIsNil) {
    auto model = std::make_shared<Pathed>();
    model->when = ns::Date::withTimeIntervalSince1970(0);
    EXPECT_TRUE(ns::cast<ns::Dictionary>(qz_JSONObject(model)));
    EXPECT_EQ(qz_JSONData(model), nullptr);
    EXPECT_EQ(qz_JSONString(model), nullptr);
    EXPECT_EQ(qz_JSONString(ns::str("as is"))->utf8(), "as is");
    EXPECT_EQ(qz_JSONString(ns::Data::withBytes("{}"))->utf8(), "{}");
    EXPECT_EQ(qz_JSONObject(ns::str("12")), nullptr) << "a top level that is not a container";
}

}  // namespace
