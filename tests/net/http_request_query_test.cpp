// Flattening parameters into query strings and escaping their components.

#include <gtest/gtest.h>

#include "net/SDPQueryString.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Set.h"
#include "platform/foundation/String.h"

namespace {

std::string query(const ns::Id& parameters) { return SDPQueryStringFromParameters(parameters)->utf8(); }
std::string escape(const std::string& text) { return SDPEscapeQueryComponent(*ns::str(text))->utf8(); }

TEST(HTTPRequestQueryString, NestedArraysDictionariesAndNullFlattenWithSortedKeys) {
    auto parameters = ns::Dictionary::make({
        {"c", ns::Dictionary::make({{"d", ns::Null::null()}})},
        {"b", ns::num(1)},
        {"a", ns::Array::make({ns::str("x"), ns::str("y")})},
    });
    EXPECT_EQ(query(parameters), "a%5B%5D=x&a%5B%5D=y&b=1&c%5Bd%5D");
}

TEST(HTTPRequestQueryString, DeepNestingBuildsBracketedFieldsInOrder) {
    auto parameters = ns::Dictionary::make({
        {"user", ns::Dictionary::make({
                     {"tags", ns::Array::make({ns::str("b"), ns::str("a")})},
                     {"address", ns::Dictionary::make({{"zip", ns::num(12345)}, {"city", ns::str("Oslo")}})},
                 })},
    });
    // Keys sorted at every level; array elements keep their own order.
    EXPECT_EQ(query(parameters),
              "user%5Baddress%5D%5Bcity%5D=Oslo&user%5Baddress%5D%5Bzip%5D=12345&"
              "user%5Btags%5D%5B%5D=b&user%5Btags%5D%5B%5D=a");
}

TEST(HTTPRequestQueryString, SetMembersAreSortedUnderTheSameKey) {
    auto parameters = ns::Dictionary::make({{"k", ns::Set::make({ns::str("zeta"), ns::str("alpha"), ns::str("mu")})}});
    EXPECT_EQ(query(parameters), "k=alpha&k=mu&k=zeta");
}

TEST(HTTPRequestQueryString, KeysSortByTheirTextInUTF16Order) {
    auto parameters =
        ns::Dictionary::make({{"b", ns::num(2)}, {"B", ns::num(3)}, {"a10", ns::num(4)}, {"a9", ns::num(5)}});
    EXPECT_EQ(query(parameters), "B=3&a10=4&a9=5&b=2");
}

TEST(HTTPRequestQueryString, ValuesUseTheirTextForm) {
    auto parameters = ns::Dictionary::make({
        {"yes", ns::Number::True()},
        {"pi", ns::Number::withDouble(3.5)},
        {"neg", ns::num(-7)},
    });
    EXPECT_EQ(query(parameters), "neg=-7&pi=3.5&yes=1");
}

TEST(HTTPRequestQueryString, EmptyParametersGiveEmptyText) {
    EXPECT_EQ(query(ns::Dictionary::make({})), "");
    EXPECT_TRUE(SDPQueryStringPairsFromKeyAndValue(nullptr, ns::Dictionary::make({})).empty());
}

TEST(HTTPRequestEscaping, DelimitersAreEscapedButSlashAndQuestionMarkStay) {
    EXPECT_EQ(escape(":#[]@!$&'()*+,;="), "%3A%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D");
    EXPECT_EQ(escape("a/b?c"), "a/b?c");
    EXPECT_EQ(escape("-._~AZaz09"), "-._~AZaz09");
    EXPECT_EQ(escape("a b%c\"d"), "a%20b%25c%22d");
    EXPECT_EQ(escape("é中"), "%C3%A9%E4%B8%AD");
    EXPECT_EQ(escape(""), "");
}

TEST(HTTPRequestEscaping, LongTextIsEscapedWholeAcrossSlices) {
    // 120 units: the slices are 50, 50 and 20 units long.
    std::string text;
    std::string expected;
    for (int i = 0; i < 120; ++i) {
        text += (i % 10 == 9) ? '&' : char('a' + i % 26);
        expected += (i % 10 == 9) ? std::string("%26") : std::string(1, char('a' + i % 26));
    }
    ASSERT_EQ(ns::str(text)->length(), 120u);
    EXPECT_EQ(escape(text), expected);
}

TEST(HTTPRequestEscaping, EmojiAtASliceEdgeIsNotSplit) {
    // The emoji's two UTF-16 units sit at indexes 49 and 50, across the
    // first slice's end; the second slice starts after it.
    const std::string emoji = "\xF0\x9F\x98\x80";
    const std::string text = std::string(49, 'a') + emoji + std::string(69, 'b');
    ASSERT_EQ(ns::str(text)->length(), 120u);
    EXPECT_EQ(escape(text), std::string(49, 'a') + "%F0%9F%98%80" + std::string(69, 'b'));

    // A base letter and its combining mark straddling the edge stay together.
    const std::string combined = std::string(49, 'a') + "e\xCC\x81" + std::string(10, 'c');
    EXPECT_EQ(escape(combined), std::string(49, 'a') + "e%CC%81" + std::string(10, 'c'));
}

TEST(HTTPRequestEscaping, PairTextEscapesFieldAndValue) {
    auto pair = SDPQueryStringPair::make(ns::str("a b[]"), ns::str("x=y"));
    EXPECT_EQ(pair->URLEncodedStringValue()->utf8(), "a%20b%5B%5D=x%3Dy");
    EXPECT_EQ(SDPQueryStringPair::make(ns::str("f"), nullptr)->URLEncodedStringValue()->utf8(), "f");
    EXPECT_EQ(SDPQueryStringPair::make(ns::str("f"), ns::Null::null())->URLEncodedStringValue()->utf8(), "f");
}

}  // namespace
