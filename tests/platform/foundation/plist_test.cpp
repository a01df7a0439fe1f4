#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "platform/foundation/Date.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "tests/platform/foundation/filemanager_test_folders.h"

namespace ns {
namespace {

using testing_support::ScratchFolder;

std::string debugDescription(const Ref<Error>& error) {
    auto text = cast<String>(error->userInfo()->objectForKey("NSDebugDescription"));
    return text ? text->utf8() : "";
}

Id parse(std::string_view text, Ref<Error>* error = nullptr, PropertyListFormat* format = nullptr,
         uint64_t options = PropertyListImmutable) {
    return PropertyListSerialization::propertyListWithData(Data::withBytes(text), options, format, error);
}

Ref<Dictionary> sample() {
    std::vector<uint8_t> bytes(100);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
    return Dictionary::make({
        {"名前", str("東京 – Zürich 😀")},
        {"markup", str("<a href=\"x\">&amp;</a>\r\n\ttab")},
        {"empty", str("")},
        {"counts", Array::make({num(0), num(-42), num(INT64_MIN), Number::withUnsignedLongLong(UINT64_MAX)})},
        {"reals", Array::make({Number::withDouble(1.5), Number::withDouble(-1e-7), Number::withDouble(6.0),
                               Number::withDouble(std::numeric_limits<double>::infinity())})},
        {"flags", Array::make({Number::True(), Number::False()})},
        {"when", Date::withTimeIntervalSince1970(1714564800)},
        {"bytes", Data::make(bytes)},
        {"nothing", Dictionary::make({})},
        {"none", Array::make({})},
        {"nested", Dictionary::make({{"deeper", Array::make({Dictionary::make({{"k", str("v")}})})}})},
    });
}

TEST(PropertyListXml, RoundTripKeepsEveryValueAndNonAsciiText) {
    auto original = sample();
    Ref<Error> error;
    auto data = PropertyListSerialization::dataWithPropertyList(original, PropertyListFormat::XML, &error);
    ASSERT_TRUE(data) << error->description();

    PropertyListFormat format = PropertyListFormat::Binary;
    Id back = PropertyListSerialization::propertyListWithData(data, PropertyListImmutable, &format, &error);
    ASSERT_TRUE(back) << debugDescription(error);
    EXPECT_EQ(format, PropertyListFormat::XML);
    EXPECT_TRUE(back->isEqual(original)) << back->description();

    // Kinds survive, not just values: 6.0 stays a real, booleans stay booleans.
    auto dict = cast<Dictionary>(back);
    auto reals = cast<Array>(dict->objectForKey("reals"));
    EXPECT_EQ(cast<Number>(reals->objectAtIndex(2))->kind(), Number::Kind::Double);
    EXPECT_TRUE(cast<Number>(cast<Array>(dict->objectForKey("flags"))->objectAtIndex(0))->isBoolean());
    EXPECT_EQ(cast<Number>(cast<Array>(dict->objectForKey("counts"))->objectAtIndex(3))->unsignedLongLongValue(), UINT64_MAX);
}

TEST(PropertyListXml, WritesSortedKeysInThePlatformLayout) {
    auto dict = Dictionary::make({{"b", num(2)}, {"a", Array::make({str("x & y")})}, {"c", Dictionary::make({})}});
    auto data = PropertyListSerialization::dataWithPropertyList(dict, PropertyListFormat::XML);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->view(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<plist version=\"1.0\">\n"
              "<dict>\n"
              "\t<key>a</key>\n"
              "\t<array>\n"
              "\t\t<string>x &amp; y</string>\n"
              "\t</array>\n"
              "\t<key>b</key>\n"
              "\t<integer>2</integer>\n"
              "\t<key>c</key>\n"
              "\t<dict/>\n"
              "</dict>\n"
              "</plist>\n");
}

TEST(PropertyListXml, ReadsHandWrittenFilesWithDoctypeCommentsAndEntities) {
    auto value = parse(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist SYSTEM "PropertyList-1.0.dtd">
<plist version="1.0">
<!-- settings -->
<dict>
    <key>hex</key>      <integer> 0x1F </integer>
    <key>neg</key>      <integer>-7</integer>
    <key>text</key>     <string>a &lt;b&gt; &#x4E2D;<![CDATA[<raw>]]></string>
    <key>empty</key>    <string/>
    <key>nan</key>      <real>nan</real>
    <key>blob</key>
    <data>
        SGVs
        bG8=
    </data>
    <key>when</key>     <date>2001-01-01T00:00:00Z</date>
</dict>
</plist>)");
    auto dict = cast<Dictionary>(value);
    ASSERT_TRUE(dict);
    EXPECT_EQ(cast<Number>(dict->objectForKey("hex"))->longLongValue(), 31);
    EXPECT_EQ(cast<Number>(dict->objectForKey("neg"))->longLongValue(), -7);
    EXPECT_EQ(cast<String>(dict->objectForKey("text"))->utf8(), "a <b> 中<raw>");
    EXPECT_EQ(cast<String>(dict->objectForKey("empty"))->utf8(), "");
    EXPECT_TRUE(std::isnan(cast<Number>(dict->objectForKey("nan"))->doubleValue()));
    EXPECT_EQ(cast<Data>(dict->objectForKey("blob"))->view(), "Hello");
    EXPECT_EQ(cast<Date>(dict->objectForKey("when"))->timeIntervalSinceReferenceDate(), 0);
}

TEST(PropertyListXml, MalformedInputIsAnErrorNeverACrash) {
    const char* inputs[] = {
        "",
        "<plist><dict><key>a</key><string>x</string></dict>",  // truncated
        "<plist><dict><key>a</key></dict></plist>",             // key without value
        "<plist><dict><string>x</string></dict></plist>",       // value without key
        "<plist><widget/></plist>",
        "<plist><integer>12a</integer></plist>",
        "<plist><integer>18446744073709551616</integer></plist>",
        "<plist><integer>-9223372036854775809</integer></plist>",
        "<plist><real>1.5x</real></plist>",
        "<plist><date>2024-13-01T00:00:00Z</date></plist>",
        "<plist><data>!!!!</data></plist>",
        "<plist><string>a<b/>c</string></plist>",
        "<plist><true>yes</true></plist>",
        "<plist><string>a</string><string>b</string></plist>",
        "<plist></plist>",
        "<plist><array>stray<string>a</string></array></plist>",
        "bplist00\x01\x02",
        "\x89PNG\r\n",
    };
    for (const char* input : inputs) {
        Ref<Error> error;
        EXPECT_FALSE(parse(input, &error)) << input;
        ASSERT_TRUE(error) << input;
        EXPECT_EQ(error->domain(), CocoaErrorDomain);
        EXPECT_EQ(error->code(), PropertyListReadCorruptError) << input;
        EXPECT_FALSE(debugDescription(error).empty()) << input;
    }
}

TEST(PropertyListXml, RefusesToWriteWhatCannotBeReadBack) {
    auto mutableArray = MutableArray::make({str("self")});
    mutableArray->addObject(mutableArray);  // a container inside itself
    const Id refused[] = {
        Array::make({Null::null()}),
        Dictionary::make({{num(1), str("number key")}}),
        Array::make({URL::make("http://example.test/")}),
        str(std::string("bell\x07")),
        String::withCharacters(u"lone \xD800 surrogate"),
        mutableArray,
    };
    for (const Id& value : refused) {
        Ref<Error> error;
        EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(value, PropertyListFormat::XML, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), PropertyListWriteStreamError);
        EXPECT_FALSE(PropertyListSerialization::propertyListIsValidForFormat(value.get(), PropertyListFormat::XML));
    }
    mutableArray->removeAllObjects();  // breaks the cycle so the array can be freed

    Ref<Error> error;
    EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(str("x"), PropertyListFormat::Binary, &error));
    EXPECT_EQ(error->code(), PropertyListWriteStreamError);
}

TEST(PropertyListXml, MutabilityOptions) {
    const char* text = "<plist><dict><key>list</key><array><string>s</string><data>AA==</data></array></dict></plist>";
    auto frozen = parse(text);
    EXPECT_FALSE(cast<MutableDictionary>(frozen));
    EXPECT_FALSE(cast<MutableArray>(cast<Dictionary>(frozen)->objectForKey("list")));

    auto containers = cast<MutableDictionary>(parse(text, nullptr, nullptr, PropertyListMutableContainers));
    ASSERT_TRUE(containers);
    auto list = cast<MutableArray>(containers->objectForKey("list"));
    ASSERT_TRUE(list);
    EXPECT_FALSE(cast<MutableString>(list->objectAtIndex(0)));

    auto leaves = cast<Dictionary>(parse(text, nullptr, nullptr, PropertyListMutableContainersAndLeaves));
    auto leafList = cast<Array>(leaves->objectForKey("list"));
    EXPECT_TRUE(cast<MutableString>(leafList->objectAtIndex(0)));
    EXPECT_TRUE(cast<MutableData>(leafList->objectAtIndex(1)));
}

TEST(PropertyListText, ReadsTheOlderTextForm) {
    PropertyListFormat format = PropertyListFormat::XML;
    Ref<Error> error;
    auto value = parse(R"({
        // a comment
        name = "T\u014Dky\U014D \"quoted\"\n";
        list = (plain, "two words", <0102 ff>, );
        /* nested */ inner = { key = value; };
        emoji = "\UD83D\UDE00";
    })", &error, &format);
    auto dict = cast<Dictionary>(value);
    ASSERT_TRUE(dict) << debugDescription(error);
    EXPECT_EQ(format, PropertyListFormat::OpenStep);
    EXPECT_EQ(cast<String>(dict->objectForKey("name"))->utf8(), "Tōkyō \"quoted\"\n");
    auto list = cast<Array>(dict->objectForKey("list"));
    ASSERT_EQ(list->count(), 3u);
    EXPECT_EQ(cast<String>(list->objectAtIndex(1))->utf8(), "two words");
    EXPECT_EQ(cast<Data>(list->objectAtIndex(2))->view(), std::string_view("\x01\x02\xff", 3));
    EXPECT_EQ(cast<String>(cast<Dictionary>(dict->objectForKey("inner"))->objectForKey("key"))->utf8(), "value");
    EXPECT_EQ(cast<String>(dict->objectForKey("emoji"))->utf8(), "😀");

    for (const char* bad : {"{ a = b; ", "( a b )", "{ a = \"open; }", "{ a b; }", "<0g>", "/* open"}) {
        EXPECT_FALSE(parse(bad, &error)) << bad;
        EXPECT_EQ(error->code(), PropertyListReadCorruptError) << bad;
    }
}

TEST(PropertyListFiles, WriteThenReadAndFileErrors) {
    ScratchFolder folder;
    const std::string file = folder / "settings.plist";
    Ref<Error> error;
    ASSERT_TRUE(writePropertyListToFile(sample().get(), file, true, &error));
    auto back = dictionaryWithContentsOfFile(file);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqual(sample()));
    EXPECT_FALSE(arrayWithContentsOfFile(file));  // a dictionary, not an array

    EXPECT_FALSE(propertyListWithContentsOfFile(folder / "missing.plist", PropertyListImmutable, &error));
    EXPECT_EQ(error->code(), FileReadNoSuchFileError);
    EXPECT_EQ(textOf(error->userInfo()->objectForKey(FilePathErrorKey)), folder / "missing.plist");

    folder.write("broken.plist", "<plist><dict><key>a</key>");
    EXPECT_FALSE(propertyListWithContentsOfFile(folder / "broken.plist", PropertyListImmutable, &error));
    EXPECT_EQ(error->code(), PropertyListReadCorruptError);
    EXPECT_EQ(textOf(error->userInfo()->objectForKey(FilePathErrorKey)), folder / "broken.plist");

    EXPECT_FALSE(writePropertyListToFile(sample().get(), folder / "no/such/folder/x.plist", true, &error));
    EXPECT_EQ(error->code(), FileNoSuchFileError);
}

}  // namespace
}  // namespace ns
