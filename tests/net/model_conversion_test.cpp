// Dictionaries, JSON text and files to models.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "net/ModelMapping.h"
#include "platform/foundation/DecimalNumber.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "tests/net/model_test_models.h"

namespace {

using mmt::GiftItem;

// One property of every kind the conversion rules tell apart.
class Profile : public ns::Object {
    RT_DECLARE_CLASS(Profile)
public:
    int32_t level = 7;
    int64_t coins = 0;
    bool vip = false;
    unsigned char flag = 0;
    double ratio = 0;
    ns::Ref<ns::String> nick;
    ns::Ref<ns::MutableString> note;
    ns::Ref<ns::Number> score;
    ns::Ref<ns::DecimalNumber> balance;
    ns::Ref<ns::URL> homepage;
    ns::Ref<ns::Array> links;
    ns::Ref<ns::MutableArray> history;
    ns::Ref<ns::Dictionary> extra;
    ns::Id anything;

    static ns::Ref<ns::Dictionary> qz_objectClassInArray() {
        return ns::Dictionary::make({{"links", qz_classValue(ns::URL::staticClass())}});
    }
};

// Holds its own kind, for nesting that never ends.
class Node : public ns::Object {
    RT_DECLARE_CLASS(Node)
public:
    ns::Ref<ns::String> name;
    ns::Ref<Node> child;
};

class Picky : public ns::Object {
    RT_DECLARE_CLASS(Picky)
public:
    ns::Ref<ns::String> a;
    ns::Ref<ns::String> b;
    ns::Ref<ns::String> c;
    static ns::Ref<ns::Array> qz_allowedPropertyNames() { return ns::Array::make({ns::str("a"), ns::str("b")}); }
    static ns::Ref<ns::Array> qz_ignoredPropertyNames() { return ns::Array::make({ns::str("b")}); }
};

}  // namespace

RT_DEFINE_CLASS(Profile, ns::Object, "MMTProfile",
                RT_PROPERTY(Profile, level), RT_PROPERTY(Profile, coins), RT_PROPERTY(Profile, vip),
                RT_PROPERTY(Profile, flag), RT_PROPERTY(Profile, ratio), RT_PROPERTY(Profile, nick, "C"),
                RT_PROPERTY(Profile, note, "C"), RT_PROPERTY(Profile, score), RT_PROPERTY(Profile, balance),
                RT_PROPERTY(Profile, homepage), RT_PROPERTY(Profile, links), RT_PROPERTY(Profile, history),
                RT_PROPERTY(Profile, extra), RT_PROPERTY(Profile, anything))
QZ_MODEL_HOOKS(Profile)
RT_DEFINE_CLASS(Node, ns::Object, "MMTNode", RT_PROPERTY(Node, name), RT_PROPERTY(Node, child))
RT_DEFINE_CLASS(Picky, ns::Object, "MMTPicky", RT_PROPERTY(Picky, a), RT_PROPERTY(Picky, b), RT_PROPERTY(Picky, c))
QZ_MODEL_HOOKS(Picky)

namespace {

// A "Card/lists" reply of the user centre, as the channel server sends it.
constexpr const char* GiftListReply = R"({"z":"1","lists":[
  {"id":"101","name":"新手礼包","content":"钻石x100","remain":"12","received":"YES",
   "game":{"name":"Star","icon":"https://cdn.example.com/a b.png"},
   "codes":[{"code":"AAA","used":0},{"code":"BBB","used":"1"}]},
  {"id":102,"name":"VIP","remain":3,"received":false,"game":null,"extraField":"ignored"}
]})";

ns::Ref<ns::Dictionary> parse(const char* json) { return ns::cast<ns::Dictionary>(qz_JSONObject(ns::str(json))); }

ns::Ref<Profile> profileFrom(const ns::Ref<ns::Dictionary>& dictionary) {
    auto profile = std::make_shared<Profile>();
    qz_setKeyValues(profile, dictionary);
    return profile;
}

TEST(ModelConversion, MapsAUserCentreListReply) {
    auto reply = parse(GiftListReply);
    auto items = qz_objectArrayWithKeyValuesArray<GiftItem>(reply->objectForKey("lists"));
    ASSERT_TRUE(items);
    ASSERT_EQ(items->count(), 2u);
    EXPECT_EQ(qz_error<GiftItem>(), nullptr);

    auto first = ns::cast<GiftItem>(items->objectAtIndex(0));
    EXPECT_EQ(first->cardId->utf8(), "101");
    EXPECT_EQ(first->name->utf8(), "新手礼包");
    EXPECT_EQ(first->content->utf8(), "钻石x100");
    EXPECT_EQ(first->remain, 12);
    EXPECT_TRUE(first->received);
    ASSERT_TRUE(first->game);
    EXPECT_EQ(first->game->name->utf8(), "Star");
    EXPECT_EQ(first->game->icon->absoluteString()->utf8(), "https://cdn.example.com/a%20b.png");
    ASSERT_EQ(first->codes->count(), 2u);
    auto code = ns::cast<mmt::GiftCode>(first->codes->objectAtIndex(1));
    ASSERT_TRUE(code);
    EXPECT_EQ(code->code->utf8(), "BBB");
    EXPECT_EQ(code->used, 1);

    // A number for a text property becomes its text; null and missing keys
    // leave the property as it was.
    auto second = ns::cast<GiftItem>(items->objectAtIndex(1));
    EXPECT_EQ(second->cardId->utf8(), "102");
    EXPECT_EQ(second->remain, 3);
    EXPECT_FALSE(second->received);
    EXPECT_EQ(second->game, nullptr);
    EXPECT_EQ(second->content, nullptr);
    EXPECT_EQ(second->codes, nullptr);

    // JSON text and data of the array are read the same way.
    auto fromText = qz_objectArrayWithKeyValuesArray<GiftItem>(qz_JSONString(reply->objectForKey("lists")));
    ASSERT_TRUE(fromText);
    EXPECT_EQ(fromText->count(), 2u);
    auto fromData = qz_objectArrayWithKeyValuesArray<GiftItem>(qz_JSONData(reply->objectForKey("lists")));
    ASSERT_TRUE(fromData);
    EXPECT_EQ(fromData->count(), 2u);
}

TEST(ModelConversion, RefusesAnInputThatIsNotAnArray) {
    for (ns::Id input : {ns::Id(), ns::Id(ns::Dictionary::make({{"lists", ns::str("x")}})), ns::Id(ns::str("{\"a\":1}")),
                         ns::Id(ns::str("not json")), ns::Id(ns::num(5))}) {
        EXPECT_EQ(qz_objectArrayWithKeyValuesArray<GiftItem>(input), nullptr) << ns::textOf(input);
        auto error = qz_error<GiftItem>();
        ASSERT_TRUE(error) << ns::textOf(input);
        EXPECT_EQ(error->domain(), "keyValuesArray参数不是一个数组");
        EXPECT_EQ(error->code(), 250);
    }
    // The next good conversion clears it.
    ASSERT_TRUE(qz_objectArrayWithKeyValuesArray<GiftItem>(ns::str("[]")));
    EXPECT_EQ(qz_error<GiftItem>(), nullptr);

    EXPECT_EQ(qz_objectWithKeyValues<GiftItem>(ns::str("[{\"id\":\"1\"}]")), nullptr);
    EXPECT_EQ(qz_error<GiftItem>()->domain(), "keyValues参数不是一个字典");
}

TEST(ModelConversion, MixedArraysGiveModelsNestedArraysAndKeepTheFailure) {
    // A null element is skipped, not made into an empty model.
    auto input = ns::Array::make({ns::Dictionary::make({{"id", ns::str("1")}}), ns::Null::null(),
                                  ns::Array::make({ns::Dictionary::make({{"id", ns::str("2")}})}), ns::num(3)});
    auto items = qz_objectArrayWithKeyValuesArray<GiftItem>(input);
    ASSERT_EQ(items->count(), 2u);
    EXPECT_EQ(ns::cast<GiftItem>(items->objectAtIndex(0))->cardId->utf8(), "1");
    auto nested = ns::cast<ns::Array>(items->objectAtIndex(1));
    ASSERT_TRUE(nested);
    EXPECT_EQ(ns::cast<GiftItem>(nested->objectAtIndex(0))->cardId->utf8(), "2");
    ASSERT_TRUE(qz_error<GiftItem>());
    EXPECT_EQ(qz_error<GiftItem>()->domain(), "keyValues参数不是一个字典");

    // A bad element is not hidden by good ones after it.
    auto badFirst = ns::Array::make({ns::str("oops"), ns::Dictionary::make({{"id", ns::str("9")}})});
    EXPECT_EQ(qz_objectArrayWithKeyValuesArray<GiftItem>(badFirst)->count(), 1u);
    ASSERT_TRUE(qz_error<GiftItem>());
    EXPECT_EQ(qz_error<GiftItem>()->domain(), "keyValues参数不是一个字典");

    // A Foundation class takes the elements as they are, in a mutable copy.
    auto copied = qz_objectArrayWithKeyValuesArray(ns::String::staticClass(), input);
    EXPECT_EQ(copied->count(), 4u);
}

TEST(ModelConversion, ReadsKeyPathsAndAlternatives) {
    auto dictionary = parse(R"({"id":"88","data":{"list":[["x",{"name":"S1"}]],"open":"10:00"}})");
    auto server = qz_objectWithKeyValues<mmt::ServerItem>(dictionary);
    ASSERT_TRUE(server);
    EXPECT_EQ(server->serverName->utf8(), "S1");
    EXPECT_EQ(server->openTime->utf8(), "10:00") << "the second alternative, as the first has nothing";
    EXPECT_EQ(server->serverId, 88);
    EXPECT_EQ(server->filled, 1) << "the finishing hook ran once";

    auto first = qz_objectWithKeyValues<mmt::ServerItem>(parse(R"({"time":"09:00","data":{"open":"10:00"}})"));
    EXPECT_EQ(first->openTime->utf8(), "09:00");
    EXPECT_EQ(first->serverName, nullptr) << "a path that leads nowhere gives nothing";
}

TEST(ModelConversion, ConvertsTextToNumbersTruthsAndUrls) {
    auto profile = profileFrom(parse(R"({"level":"12","coins":"9000000000","vip":"Yes","flag":"true","ratio":"0.5",
        "score":"42","balance":"0.1","homepage":"http://a.example/p q?x=%20#frag","nick":5})"));
    EXPECT_EQ(profile->level, 12);
    EXPECT_EQ(profile->coins, 9000000000LL);
    EXPECT_TRUE(profile->vip);
    EXPECT_EQ(profile->flag, 1);
    EXPECT_DOUBLE_EQ(profile->ratio, 0.5);
    ASSERT_TRUE(profile->score);
    EXPECT_EQ(profile->score->longLongValue(), 42);
    ASSERT_TRUE(profile->balance);
    EXPECT_EQ(profile->balance->stringValue(), "0.1");
    ASSERT_TRUE(profile->homepage);
    EXPECT_EQ(profile->homepage->absoluteString()->utf8(), "http://a.example/p%20q?x=%20#frag");
    EXPECT_EQ(profile->nick->utf8(), "5");

    auto falsy = profileFrom(parse(R"({"vip":"NO","flag":"1","level":"abc","coins":" 12"})"));
    EXPECT_FALSE(falsy->vip);
    EXPECT_EQ(falsy->flag, 1) << "the formatter reads 1";
    EXPECT_EQ(falsy->level, 7) << "no number: untouched";
    EXPECT_EQ(falsy->coins, 0) << "the shared formatter is strict";
    EXPECT_EQ(qz_error<Profile>(), nullptr);
}

TEST(ModelConversion, KeepsClassesAndMakesMutableCopies) {
    auto history = ns::MutableArray::make({ns::str("a")});
    auto profile = profileFrom(ns::Dictionary::make({{"note", ns::num(3)}, {"history", ns::Array::make({ns::str("h")})},
                                                      {"extra", ns::str("not a dictionary")}, {"nick", ns::Null::null()},
                                                      {"anything", ns::Array::make({ns::num(1)})}}));
    EXPECT_EQ(profile->note, nullptr) << "a number is not a mutable text";
    ASSERT_TRUE(profile->history);
    profile->history->addObject(ns::str("more"));
    EXPECT_EQ(profile->history->count(), 2u);
    EXPECT_EQ(profile->extra, nullptr);
    EXPECT_EQ(profile->nick, nullptr);
    EXPECT_TRUE(ns::cast<ns::Array>(profile->anything)) << "an untyped property takes anything";

    auto source = ns::str("text");
    auto noted = profileFrom(ns::Dictionary::make({{"note", source}}));
    ASSERT_TRUE(noted->note);
    noted->note->appendString("!");
    EXPECT_EQ(source->utf8(), "text") << "the model holds a copy";

    // Numbers keep their value in a decimal property.
    auto decimal = profileFrom(parse(R"({"balance":12.25})"));
    ASSERT_TRUE(decimal->balance);
    EXPECT_EQ(decimal->balance->stringValue(), "12.25");
}

TEST(ModelConversion, TurnsArraysOfTextIntoUrls) {
    auto profile = profileFrom(ns::Dictionary::make(
        {{"links", ns::Array::make({ns::str("http://x.example/1"), ns::num(2), ns::str("http://x.example/a b"), ns::str("")})}}));
    ASSERT_TRUE(profile->links);
    ASSERT_EQ(profile->links->count(), 2u) << "non-texts, and texts that make no URL, dropped";
    EXPECT_EQ(ns::textOf(profile->links->objectAtIndex(1)), "http://x.example/a%20b");
}

TEST(ModelConversion, AFailingPropertyLeavesTheOthersFilled) {
    auto profile = profileFrom(ns::Dictionary::make({{"level", ns::Dictionary::make({})}, {"nick", ns::str("ok")}}));
    EXPECT_EQ(profile->level, 7);
    EXPECT_EQ(profile->nick->utf8(), "ok");
    auto error = qz_error<Profile>();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 250);
    EXPECT_NE(error->domain().find("unrecognized selector"), std::string::npos) << error->domain();
}

TEST(ModelConversion, HonoursAllowedAndIgnoredNames) {
    auto picky = qz_objectWithKeyValues<Picky>(parse(R"({"a":"1","b":"2","c":"3"})"));
    EXPECT_EQ(picky->a->utf8(), "1");
    EXPECT_EQ(picky->b, nullptr);
    EXPECT_EQ(picky->c, nullptr);
}

TEST(ModelConversion, ValueFilterSetUpReplacesValues) {
    const rt::Class* cls = Picky::staticClass();
    qz_setupNewValueFromOldValue(cls, [](ns::Object&, const ns::Id& old, const TVProperty& p) -> ns::Id {
        if (p.name()->isEqualToString("a") && !old) return ns::str("fallback");
        return old;
    });
    auto picky = qz_objectWithKeyValues<Picky>(parse(R"({"c":"3"})"));
    qz_setupNewValueFromOldValue(cls, nullptr);
    EXPECT_EQ(picky->a->utf8(), "fallback");
}

TEST(ModelConversion, NestingThatNeverEndsIsCutWithAnError) {
    auto loop = ns::MutableDictionary::make({{"name", ns::str("n")}});
    loop->setObjectForKey(loop, "child");
    auto node = qz_objectWithKeyValues<Node>(loop);
    ASSERT_TRUE(node);
    EXPECT_EQ(node->child->name->utf8(), "n");
    ASSERT_TRUE(qz_error<Node>());
    EXPECT_EQ(qz_error<Node>()->domain(), tv::NestedTooDeep);
    loop->removeObjectForKey("child");  // breaks the cycle so the test does not leak it
}

TEST(ModelConversion, SetKeyValuesFillsAnExistingModelOrLeavesIt) {
    auto item = std::make_shared<GiftItem>();
    item->name = ns::str("kept");
    EXPECT_EQ(qz_setKeyValues(item, ns::str("[1,2]")), item);
    EXPECT_EQ(item->name->utf8(), "kept");
    EXPECT_EQ(qz_error<GiftItem>()->domain(), "keyValues参数不是一个字典");
    qz_setKeyValues(item, ns::str(R"({"remain":5})"));
    EXPECT_EQ(item->name->utf8(), "kept");
    EXPECT_EQ(item->remain, 5);
    EXPECT_EQ(qz_setKeyValues(nullptr, ns::str("{}")), nullptr);
}

class ModelFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("model-files-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
        const char* old = std::getenv("GAMEHOST_RESOURCES");
        if (old) saved_ = old;
        hadResources_ = old != nullptr;
        ::setenv("GAMEHOST_RESOURCES", folder_.c_str(), 1);
    }
    void TearDown() override {
        if (hadResources_) ::setenv("GAMEHOST_RESOURCES", saved_.c_str(), 1);
        else ::unsetenv("GAMEHOST_RESOURCES");
        std::filesystem::remove_all(folder_);
    }
    void write(const std::string& name, const ns::Id& plist) {
        ASSERT_TRUE(ns::writePropertyListToFile(plist.get(), (folder_ / name).string(), true));
    }
    std::filesystem::path folder_;
    std::string saved_;
    bool hadResources_ = false;
};

TEST_F(ModelFiles, ReadsPropertyListsFromTheBundleOrAPath) {
    write("gift.plist", ns::Dictionary::make({{"id", ns::str("7")}, {"remain", ns::num(2)}}));
    write("gifts.plist", ns::Array::make({ns::Dictionary::make({{"id", ns::str("8")}})}));

    auto item = ns::cast<GiftItem>(qz_objectWithFilename(GiftItem::staticClass(), ns::str("gift.plist")));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->cardId->utf8(), "7");
    EXPECT_EQ(item->remain, 2);
    auto items = qz_objectArrayWithFile(GiftItem::staticClass(), ns::str((folder_ / "gifts.plist").string()));
    ASSERT_TRUE(items);
    EXPECT_EQ(ns::cast<GiftItem>(items->objectAtIndex(0))->cardId->utf8(), "8");

    EXPECT_EQ(qz_objectWithFilename(GiftItem::staticClass(), nullptr), nullptr);
    EXPECT_EQ(qz_error<GiftItem>()->domain(), "filename参数为nil");
    EXPECT_EQ(qz_objectArrayWithFilename(GiftItem::staticClass(), ns::str("missing.plist")), nullptr);
    EXPECT_EQ(qz_error<GiftItem>()->domain(), "file参数为nil");
    EXPECT_EQ(qz_objectArrayWithFilename(GiftItem::staticClass(), ns::str("gift.plist")), nullptr);
    EXPECT_EQ(qz_error<GiftItem>()->domain(), "keyValuesArray参数不是一个数组");
}

}  // namespace
