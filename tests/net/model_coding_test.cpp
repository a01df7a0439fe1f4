// Archiving models, the text helpers and the older names.

#include <gtest/gtest.h>

#include <string>

#include "net/ModelMapping.h"
#include "net/ModelMappingLegacy.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Number.h"
#include "platform/runtime/Exception.h"
#include "platform/foundation/Text.h"
#include "tests/net/model_test_models.h"

namespace {

using mmt::GiftItem;

// Archives only some of its properties; can write its title under "_title"
// as older archives did.
class Note : public ns::Object, public ns::Coding {
    RT_DECLARE_CLASS(Note)
public:
    static inline bool writeUnderscored = false;
    static inline bool writeWrongClass = false;

    ns::Ref<ns::String> title;
    ns::Ref<ns::String> body;
    ns::Ref<ns::String> secret;
    int64_t views = 0;

    static ns::Ref<ns::Array> qz_ignoredCodingPropertyNames() { return ns::Array::make({ns::str("secret")}); }

    void encodeWithCoder(ns::KeyedArchiver& coder) const override {
        if (writeUnderscored) {
            coder.encodeObject(title, "_title");
            return;
        }
        if (writeWrongClass) {
            coder.encodeObject(ns::num(5), "title");
            return;
        }
        qz_encode(*this, coder);
    }
    bool initWithCoder(ns::KeyedUnarchiver& coder) override { return qz_decode(*this, coder); }
    bool supportsSecureCoding() const override { return true; }
};

}  // namespace

RT_DEFINE_CLASS(Note, ns::Object, "MMTNote", RT_PROPERTY(Note, title), RT_PROPERTY(Note, body),
                RT_PROPERTY(Note, secret), RT_PROPERTY(Note, views))
QZ_MODEL_HOOKS(Note)

namespace {

template <class T>
ns::Ref<T> roundTrip(const ns::Ref<T>& model, ns::Ref<ns::Error>* error) {
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(model, true, error);
    if (!data) return nullptr;
    return ns::KeyedUnarchiver::unarchivedObjectOfClass<T>(data, error);
}

TEST(ModelCoding, RoundTripsAModelThroughTheArchiver) {
    auto item = std::make_shared<GiftItem>();
    item->cardId = ns::str("101");
    item->remain = 12;
    item->received = true;
    item->game = std::make_shared<mmt::Game>();
    item->game->icon = ns::URL::make("https://cdn.example.com/i.png");
    auto code = std::make_shared<mmt::GiftCode>();
    code->code = ns::str("AAA");
    code->used = 1;
    item->codes = ns::Array::make({code});

    ns::Ref<ns::Error> error;
    auto back = roundTrip(item, &error);
    ASSERT_TRUE(back) << (error ? error->description() : "");
    EXPECT_NE(back, item);
    EXPECT_EQ(back->cardId->utf8(), "101");
    EXPECT_EQ(back->name, nullptr);
    EXPECT_EQ(back->remain, 12);
    EXPECT_TRUE(back->received);
    ASSERT_TRUE(back->game);
    EXPECT_EQ(back->game->icon->absoluteString()->utf8(), "https://cdn.example.com/i.png");
    ASSERT_EQ(back->codes->count(), 1u);
    auto backCode = ns::cast<mmt::GiftCode>(back->codes->objectAtIndex(0));
    ASSERT_TRUE(backCode);
    EXPECT_EQ(backCode->code->utf8(), "AAA");
    EXPECT_EQ(backCode->used, 1);
}

TEST(ModelCoding, LeavesOutIgnoredNamesAndReadsUnderscoredKeys) {
    auto note = std::make_shared<Note>();
    note->title = ns::str("t");
    note->secret = ns::str("s");
    note->views = 3;
    ns::Ref<ns::Error> error;
    auto back = roundTrip(note, &error);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->title->utf8(), "t");
    EXPECT_EQ(back->secret, nullptr);
    EXPECT_EQ(back->views, 3);

    Note::writeUnderscored = true;
    auto old = roundTrip(note, &error);
    Note::writeUnderscored = false;
    ASSERT_TRUE(old);
    EXPECT_EQ(old->title->utf8(), "t");
    EXPECT_EQ(old->views, 0);
}

TEST(ModelCoding, AValueOfTheWrongClassFailsTheDecoding) {
    auto note = std::make_shared<Note>();
    Note::writeWrongClass = true;
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(note, true, nullptr);
    Note::writeWrongClass = false;
    ASSERT_TRUE(data);
    ns::Ref<ns::Error> error;
    EXPECT_EQ(ns::KeyedUnarchiver::unarchivedObjectOfClass<Note>(data, &error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ns::CoderReadCorruptError);
    // The unchecked form reaches the property itself and fails there.
    EXPECT_THROW(ns::KeyedUnarchiver::unarchiveObjectWithData(data), ns::Exception);
}

std::string text(const ns::Ref<ns::String>& s) { return s ? s->utf8() : "(nil)"; }

TEST(ModelText, ConvertsBetweenCamelCaseAndUnderlines) {
    EXPECT_EQ(text(qz_underlineFromCamel(ns::str("userName"))), "user_name");
    EXPECT_EQ(text(qz_underlineFromCamel(ns::str("URL"))), "_u_r_l");
    EXPECT_EQ(text(qz_underlineFromCamel(ns::str("名字Name"))), "名字_name") << "other characters pass through";
    EXPECT_EQ(text(qz_camelFromUnderline(ns::str("user_name"))), "userName");
    EXPECT_EQ(text(qz_camelFromUnderline(ns::str("_id"))), "Id");
    EXPECT_EQ(text(qz_camelFromUnderline(ns::str("a__b"))), "aB");
    EXPECT_EQ(text(qz_firstCharLower(ns::str("Name"))), "name");
    EXPECT_EQ(text(qz_firstCharUpper(ns::str("name"))), "Name");
    auto empty = ns::str("");
    EXPECT_EQ(qz_camelFromUnderline(empty), empty);
    EXPECT_EQ(qz_underlineFromCamel(nullptr), nullptr);
}

TEST(ModelText, TellsPureIntegers) {
    for (const char* yes : {"12", " 12 \n", "-3", "+7", "99999999999"}) EXPECT_TRUE(qz_isPureInt(ns::str(yes))) << yes;
    for (const char* no : {"12a", "1.5", "", " ", "-", "1 2"}) EXPECT_FALSE(qz_isPureInt(ns::str(no))) << no;
    EXPECT_FALSE(qz_isPureInt(nullptr));
}

TEST(ModelText, MakesUrlsKeepingEscapesAndDelimiters) {
    EXPECT_EQ(text(qz_url(ns::str("http://a.example/x%20y?q=[1]#top"))->absoluteString()), "http://a.example/x%20y?q=[1]#top");
    EXPECT_EQ(text(qz_url(ns::str("http://a.example/礼 包"))->absoluteString()),
              "http://a.example/%E7%A4%BC%20%E5%8C%85");
    EXPECT_EQ(qz_url(ns::str("http://a.example/#a#b")), nullptr) << "two fragments make no URL";
    EXPECT_EQ(qz_url(nullptr), nullptr);
}

TEST(ModelLegacyNames, ForwardAndReportTheClassError) {
    ns::Ref<ns::Error> error = ns::Error::make("stale", 1);
    auto model = tv::legacy::objectWithKeyValues(GiftItem::staticClass(), ns::str(R"({"id":"5"})"), &error);
    ASSERT_TRUE(ns::cast<GiftItem>(model));
    EXPECT_EQ(error, nullptr) << "nil after success";
    EXPECT_EQ(tv::legacy::objectArrayWithKeyValuesArray(GiftItem::staticClass(), ns::num(1), &error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), "keyValuesArray参数不是一个数组");
    EXPECT_EQ(text(ns::cast<ns::String>(tv::legacy::JSONString(ns::Dictionary::make({{"a", ns::num(1)}})))), R"({"a":1})");
    EXPECT_TRUE(tv::legacy::isPureInt(ns::str("4")));
}

}  // namespace
