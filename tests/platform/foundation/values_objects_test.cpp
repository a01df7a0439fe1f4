#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <utility>

#include "platform/foundation/Array.h"
#include "platform/foundation/AttributedString.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DecimalNumber.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/ManagedObject.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/UUID.h"
#include "platform/runtime/Exception.h"

namespace ns {
namespace {

TEST(TextRule, EveryKindOfValue) {
    Id nil;
    EXPECT_EQ(textOf(nil), "(null)");
    EXPECT_EQ(textOf(str("")), "");
    EXPECT_EQ(textOf(str("as is \"quoted\"")), "as is \"quoted\"");
    EXPECT_EQ(textOf(MutableString::make("mutable")), "mutable");
    EXPECT_EQ(textOf(Null::null()), "<null>");
    EXPECT_EQ(textOf(Number::withDouble(6.0)), "6");
    EXPECT_EQ(textOf(Number::withDouble(6.5)), "6.5");
    EXPECT_EQ(textOf(Number::True()), "1");
    EXPECT_EQ(textOf(Number::False()), "0");
    EXPECT_EQ(textOf(URL::make("http://h/x?y")), "http://h/x?y");
    EXPECT_EQ(textOf(Date::withTimeIntervalSince1970(0)), "1970-01-01 00:00:00 +0000");
}

TEST(TextRule, CollectionsGoThroughTheDescriptionHook) {
    auto array = Array::make({str("a"), Number::withInt(1)});
    EXPECT_EQ(textOf(array), collectionDescription(*array, 0));
    setCollectionDescriptionHook([](const Object& collection, unsigned) { return "hooked " + collection.className(); });
    std::string hooked = textOf(array);
    std::string formatted = format("%@", Dictionary::make({{"k", str("v")}}));
    setCollectionDescriptionHook(nullptr);
    EXPECT_EQ(hooked.rfind("hooked ", 0), 0u) << hooked;
    EXPECT_EQ(formatted.rfind("hooked ", 0), 0u) << formatted;
}

TEST(DataValues, BytesDescriptionAndCopies) {
    auto data = Data::withBytes("Hello", 5);
    EXPECT_EQ(data->length(), 5u);
    EXPECT_EQ(data->description(), "<48656c6c 6f>");
    EXPECT_EQ(Data::make()->description(), "<>");
    EXPECT_TRUE(data->isEqual(Data::withBytes(std::string_view("Hello"))));
    EXPECT_EQ(data->hash(), Data::withBytes("Hello", 5)->hash());
    EXPECT_EQ(data->subdataWithRange({1, 3})->view(), "ell");
    EXPECT_THROW(data->subdataWithRange({4, 2}), Exception);
    EXPECT_EQ(data->copy(), data);

    auto m = cast<MutableData>(data->mutableCopy());
    ASSERT_TRUE(m);
    m->appendBytes(", world", 7);
    m->replaceBytesInRange({0, 5}, "Bye", 3);
    EXPECT_EQ(m->view(), "Bye, world");
    m->setLength(3);
    m->increaseLengthBy(2);
    EXPECT_EQ(m->view(), std::string("Bye\0\0", 5));
    auto frozen = m->copy();
    EXPECT_FALSE(cast<MutableData>(frozen));
    m->resetBytesInRange({0, 3});
    EXPECT_EQ(cast<Data>(frozen)->view().substr(0, 3), "Bye");
    EXPECT_EQ(data->view(), "Hello");
}

TEST(DataValues, Base64) {
    EXPECT_EQ(Data::withBytes(std::string_view("Man"))->base64EncodedString(), "TWFu");
    EXPECT_EQ(Data::withBytes(std::string_view("Ma"))->base64EncodedString(), "TWE=");
    EXPECT_EQ(Data::withBytes(std::string_view("M"))->base64EncodedString(), "TQ==");
    std::string bytes(60, 'x');
    std::string lines = Data::withBytes(std::string_view(bytes))->base64EncodedString(Base64Encoding64CharacterLineLength);
    ASSERT_EQ(lines.size(), 80u + 2u);
    EXPECT_EQ(lines.substr(64, 2), "\r\n");
    EXPECT_EQ(Data::withBytes(std::string_view(bytes))
                  ->base64EncodedString(Base64Encoding64CharacterLineLength | Base64EncodingEndLineWithLineFeed)
                  .substr(64, 2),
              "\ne");
    EXPECT_EQ(Data::withBase64EncodedString("TWFu")->view(), "Man");
    EXPECT_EQ(Data::withBase64EncodedString("TQ==")->view(), "M");
    EXPECT_EQ(Data::withBase64EncodedString("")->length(), 0u);
    // Line breaks, missing padding or stray characters fail strict decoding.
    EXPECT_EQ(Data::withBase64EncodedString("TWFu\r\nTWFu"), nullptr);
    EXPECT_EQ(Data::withBase64EncodedString("TQ"), nullptr);
    EXPECT_EQ(Data::withBase64EncodedString("TQ==TQ=="), nullptr);
    EXPECT_EQ(Data::withBase64EncodedString("TWFu\r\nTWFu", Base64DecodingIgnoreUnknownCharacters)->view(), "ManMan");
    // What the line-broken encoder wrote does not come back through strict decoding.
    EXPECT_EQ(Data::withBase64EncodedString(lines), nullptr);
    EXPECT_EQ(Data::withBase64EncodedString(lines, Base64DecodingIgnoreUnknownCharacters)->view(), bytes);
}

TEST(DataValues, Files) {
    std::string path = ::testing::TempDir() + "values_data_file.bin";
    auto data = Data::withBytes(std::string_view("\x00\x01payload", 9));
    ASSERT_TRUE(data->writeToFile(path, true));
    auto back = Data::withContentsOfFile(path);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(data));
    EXPECT_EQ(Data::withContentsOfFile(path + ".missing"), nullptr);
    EXPECT_FALSE(data->writeToFile("/nonexistent-dir/x", false));
    std::remove(path.c_str());
}

TEST(UUIDs, RandomVersionFourInUpperCaseText) {
    const std::string a = UUIDString();
    const std::string b = UUIDString();
    EXPECT_NE(a, b);
    ASSERT_EQ(a.size(), 36u);
    for (size_t i = 0; i < a.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            EXPECT_EQ(a[i], '-') << a;
        } else {
            EXPECT_TRUE(std::isdigit(uint8_t(a[i])) || (a[i] >= 'A' && a[i] <= 'F')) << a;
        }
    }
    EXPECT_EQ(a[14], '4') << a;
    EXPECT_NE(std::string("89AB").find(a[19]), std::string::npos) << a;
}

TEST(Dates, IntervalsOrderAndText) {
    auto d = Date::withTimeIntervalSince1970(1700000000.75);
    EXPECT_EQ(d->description(), "2023-11-14 22:13:20 +0000");
    EXPECT_DOUBLE_EQ(d->timeIntervalSinceReferenceDate(), 1700000000.75 - 978307200.0);
    auto later = d->dateByAddingTimeInterval(60);
    EXPECT_DOUBLE_EQ(later->timeIntervalSinceDate(*d), 60);
    EXPECT_EQ(d->compare(*later), ComparisonResult::Ascending);
    EXPECT_EQ(d->laterDate(later), later);
    EXPECT_EQ(d->earlierDate(later).get(), d.get());
    EXPECT_TRUE(d->isEqual(Date::withTimeIntervalSince1970(1700000000.75)));
    EXPECT_EQ(Date::distantFuture()->description(), "4001-01-01 00:00:00 +0000");
    EXPECT_EQ(Date::distantPast()->compare(*Date::withTimeIntervalSince1970(-6e10)), ComparisonResult::Ascending);
    EXPECT_EQ(Date::withTimeIntervalSince1970(-1.5)->description(), "1969-12-31 23:59:58 +0000");
}

TEST(Errors, LocalizedDescriptionAndText) {
    auto plain = Error::make(URLErrorDomain, -1001);
    EXPECT_EQ(plain->localizedDescription(), "The operation couldn\u2019t be completed. (NSURLErrorDomain error -1001.)");
    EXPECT_EQ(plain->description(), "Error Domain=NSURLErrorDomain Code=-1001 \"(null)\"");
    EXPECT_EQ(plain->userInfo()->count(), 0u);
    EXPECT_EQ(plain->localizedFailureReason(), nullptr);

    auto described = Error::make("JKErrorDomain", -1,
                                 Dictionary::make({{LocalizedDescriptionKey, str("Unexpected ','.")},
                                                   {"JKAtIndexKey", Number::withUnsignedLongLong(5)}}));
    EXPECT_EQ(described->localizedDescription(), "Unexpected ','.");
    EXPECT_EQ(described->description(),
              "Error Domain=JKErrorDomain Code=-1 \"Unexpected ','.\" UserInfo={NSLocalizedDescription=Unexpected ','., "
              "JKAtIndexKey=5}");
    EXPECT_EQ(textOf(described), described->description());
    EXPECT_TRUE(described->isEqual(Error::make("JKErrorDomain", -1, described->userInfo())));
    EXPECT_FALSE(described->isEqual(plain));
    EXPECT_EQ(described->className(), "NSError");
}

TEST(Registration, PlatformHierarchy) {
    const std::pair<Id, const char*> values[] = {
        {Null::null(), "NSNull"},
        {Data::make(), "NSData"},
        {MutableData::make(), "NSMutableData"},
        {Date::withTimeIntervalSince1970(0), "NSDate"},
        {AttributedString::make(str("a")), "NSAttributedString"},
        {MutableAttributedString::make(str("a")), "NSMutableAttributedString"},
        {std::make_shared<ManagedObject>(), "NSManagedObject"},
        {DecimalNumber::withString("1"), "NSDecimalNumber"},
    };
    for (const auto& [value, name] : values) {
        EXPECT_EQ(value->className(), name);
        EXPECT_TRUE(value->isKindOf("NSObject"));
    }
    EXPECT_TRUE(MutableData::make()->isKindOf("NSData"));
    EXPECT_TRUE(MutableAttributedString::make(str(""))->isKindOf("NSAttributedString"));
    EXPECT_TRUE(rt::classNamed("NSManagedObject"));
}

TEST(AttributedStrings, TextWithoutAttributes) {
    auto source = MutableString::make("abc");
    auto text = MutableAttributedString::make(source);
    source->appendString("!");
    EXPECT_EQ(text->string()->utf8(), "abc");
    text->appendAttributedString(*AttributedString::make(str("中")));
    EXPECT_EQ(text->length(), 4u);
    EXPECT_EQ(text->description(), "abc中{\n}");
    EXPECT_TRUE(text->isEqual(AttributedString::make(str("abc中"))));
    EXPECT_FALSE(cast<MutableAttributedString>(text->copy()));
}

}  // namespace
}  // namespace ns
