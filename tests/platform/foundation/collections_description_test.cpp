#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Set.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"

namespace {

using ns::Array;
using ns::Dictionary;
using ns::num;
using ns::str;

TEST(CollectionsDescription, ArraysAndDictionariesInThePlatformForm) {
    EXPECT_EQ(Array::make({num(1), num(2)})->description(), "(\n    1,\n    2\n)");
    EXPECT_EQ(Array::make({})->description(), "(\n)");
    EXPECT_EQ(Dictionary::make({})->description(), "{\n}");
    EXPECT_EQ(Dictionary::make({{"key", str("value")}, {"b", ns::Number::True()}, {"n", ns::Null::null()}})->description(),
              "{\n    key = value;\n    b = 1;\n    n = \"<null>\";\n}");
    EXPECT_EQ(ns::Set::make({str("a"), num(2)})->description(), "{(\n    a,\n    2\n)}");
    // Every element's text goes through the quoting rule, not only texts.
    EXPECT_EQ(Array::make({num(-1), ns::Number::withDouble(2.5)})->description(), "(\n    \"-1\",\n    2.5\n)");
}

TEST(CollectionsDescription, NestedCollectionsIndentByFourAsThePlatformDoes) {
    auto nested = Dictionary::make({
        {"data", Dictionary::make({{"list", Array::make({num(1), num(2)})}})},
        {"name", str("x")},
    });
    EXPECT_EQ(nested->description(),
              "{\n"
              "    data =     {\n"
              "        list =         (\n"
              "            1,\n"
              "            2\n"
              "        );\n"
              "    };\n"
              "    name = x;\n"
              "}");
    EXPECT_EQ(Array::make({Array::make({num(1)}), num(2)})->description(),
              "(\n"
              "        (\n"
              "        1\n"
              "    ),\n"
              "    2\n"
              ")");
}

TEST(CollectionsDescription, TextsAreQuotedAndEscapedWhenNotPlain) {
    auto describe = [](const char* text) {
        std::string d = Array::make({str(text)})->description();
        return d.substr(6, d.size() - 8);  // between "(\n    " and "\n)"
    };
    EXPECT_EQ(describe("plain_Text.1$/x"), "plain_Text.1$/x");
    EXPECT_EQ(describe("a-b"), "\"a-b\"");
    EXPECT_EQ(describe("two words"), "\"two words\"");
    EXPECT_EQ(describe(""), "\"\"");
    EXPECT_EQ(describe("say \"hi\"\\\n"), "\"say \\\"hi\\\"\\\\\\n\"");
    EXPECT_EQ(describe("\xE4\xB8\xAD\xE6\x96\x87"), "\"\\U4e2d\\U6587\"");
    EXPECT_EQ(describe("\xF0\x9F\x98\x80"), "\"\\Ud83d\\Ude00\"");
    // Keys follow the same rule.
    EXPECT_EQ(Dictionary::make({{"a key", num(1)}})->description(), "{\n    \"a key\" = 1;\n}");
}

// Restores the platform form however a test ends.
struct HookReset {
    ~HookReset() { ns::setCollectionDescriptionHook(nullptr); }
};

TEST(CollectionsDescription, OneHookReplacesEveryCollectionsText) {
    HookReset reset;
    ns::setCollectionDescriptionHook([](const ns::Object& collection, unsigned level) -> std::string {
        if (auto* array = dynamic_cast<const Array*>(&collection)) {
            std::string out = "[";
            for (const ns::Id& element : *array) out += ns::textOf(element) + ";";
            return out + "]@" + std::to_string(level);
        }
        return "<" + ns::platformCollectionDescription(collection, level) + ">";
    });
    auto array = Array::make({str("a b"), Array::make({num(1)})});
    EXPECT_EQ(array->description(), "[a b;[1;]@0;]@0");
    EXPECT_EQ(ns::textOf(array), "[a b;[1;]@0;]@0");
    // The platform form still reaches the hook for nested collections.
    EXPECT_EQ(Dictionary::make({{"k", Array::make({num(1)})}})->description(), "<{\n    k = [1;]@1;\n}>");

    ns::setCollectionDescriptionHook(nullptr);
    EXPECT_EQ(Array::make({num(1)})->description(), "(\n    1\n)");
}

}  // namespace
