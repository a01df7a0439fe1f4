#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/PercentEncoding.h"
#include "platform/foundation/String.h"

namespace ns {
namespace {

// Every URL delimiter and every character that may not appear in a URL.
constexpr const char* allDelimiters = ":/?#[]@!$ &'()*+,;=\"<>%{}|\\^~`";

TEST(PercentEscapes, EncodingAwareEscapingWithExtraCharacters) {
    auto escaped = addingPercentEscapes(*str("张三 a/b?c=1&d-e_f.g~"), "", allDelimiters, StringEncoding::GB18030);
    ASSERT_NE(escaped, nullptr);
    EXPECT_EQ(escaped->utf8(), "%D5%C5%C8%FD%20a%2Fb%3Fc%3D1%26d-e_f.g%7E");
    // Without extras only what may not appear in a URL is escaped.
    EXPECT_EQ(addingPercentEscapes(*str("a b/[c]#%"), "", "", StringEncoding::UTF8)->utf8(), "a%20b/[c]#%25");
    // Characters may be let through, but an extra escape wins.
    EXPECT_EQ(addingPercentEscapes(*str("a b{c}"), " {", "{", StringEncoding::UTF8)->utf8(), "a b%7Bc%7D");
    // No form in the encoding: nothing.
    EXPECT_EQ(addingPercentEscapes(*str("中"), "", "", StringEncoding::ISOLatin1), nullptr);
}

TEST(PercentEscapes, ReplacingReadsEachRunInTheEncoding) {
    auto back = replacingPercentEscapes(*str("%D5%C5%C8%FD%20a%2Fb"), "", StringEncoding::GB18030);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->utf8(), "张三 a/b");
    EXPECT_EQ(replacingPercentEscapes(*str("a%2Fb%20c"), "/", StringEncoding::UTF8)->utf8(), "a%2Fb c");
    EXPECT_EQ(replacingPercentEscapes(*str("%D5"), "", StringEncoding::GB18030), nullptr);  // half a character
    EXPECT_EQ(replacingPercentEscapes(*str("%G1"), "", StringEncoding::UTF8), nullptr);
    EXPECT_EQ(replacingPercentEscapes(*str("ab%4"), "", StringEncoding::UTF8), nullptr);
}

TEST(PercentEscapes, StringMethodsWithAnEncoding) {
    auto escaped = str("中 a")->stringByAddingPercentEscapesUsingEncoding(StringEncoding::GB18030);
    ASSERT_NE(escaped, nullptr);
    EXPECT_EQ(escaped->utf8(), "%D6%D0%20a");
    EXPECT_EQ(escaped->stringByReplacingPercentEscapesUsingEncoding(StringEncoding::GB18030)->utf8(), "中 a");
    EXPECT_EQ(str("%E4%B8%AD")->stringByReplacingPercentEscapesUsingEncoding(StringEncoding::UTF8)->utf8(), "中");
    EXPECT_EQ(str("%E4%B8")->stringByReplacingPercentEscapesUsingEncoding(StringEncoding::UTF8), nullptr);
}

// A query value escaped in slices of 50 UTF-16 units, each widened to whole
// characters, must come out as the whole text escaped at once.
TEST(PercentEscapes, SlicesWidenedToWholeCharactersNeverSplitAnEmoji) {
    const auto& allowed = *CharacterSet::URLQueryAllowed();
    for (const std::string emoji : {"😀", "👍🏽", "🇨🇳"}) {
        auto text = str(std::string(49, 'a') + emoji + std::string(70, 'b'));
        // Cut blindly, the first slice ends inside the emoji and cannot be escaped.
        EXPECT_EQ(text->substringWithRange({0, 50})->stringByAddingPercentEncodingWithAllowedCharacters(allowed), nullptr);

        const Range first = text->rangeOfComposedCharacterSequencesForRange({0, 50});
        EXPECT_EQ(first.location, 0u);
        EXPECT_EQ(first.length, 49 + str(emoji)->length());

        std::string sliced;
        for (uint64_t at = 0; at < text->length();) {
            Range slice = text->rangeOfComposedCharacterSequencesForRange({at, std::min<uint64_t>(50, text->length() - at)});
            auto part = text->substringWithRange(slice)->stringByAddingPercentEncodingWithAllowedCharacters(allowed);
            ASSERT_NE(part, nullptr);
            sliced += part->utf8();
            at = slice.end();
        }
        EXPECT_EQ(sliced, text->stringByAddingPercentEncodingWithAllowedCharacters(allowed)->utf8());
    }
}

}  // namespace
}  // namespace ns
