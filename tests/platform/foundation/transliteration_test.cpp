#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/String.h"
#include "platform/foundation/Transliteration.h"

namespace ns {
namespace {

constexpr const char* toAscii = "Any-Latin; Latin-ASCII; [:^ASCII:] Remove";

TEST(Transliteration, ChineseProductNameBecomesAsciiPinyin) {
    auto result = stringByApplyingTransform(*str("游戏中心"), toAscii, false);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->utf8(), "you xi zhong xin");
    EXPECT_TRUE(result->canBeConvertedToEncoding(StringEncoding::ASCII));
}

TEST(Transliteration, AccentsFoldAndWhatHasNoLatinFormIsRemoved) {
    EXPECT_EQ(stringByApplyingTransform(*str("Café Ünïcode"), toAscii, false)->utf8(), "Cafe Unicode");
    // An emoji has no Latin form: the last step drops it.
    EXPECT_EQ(stringByApplyingTransform(*str("A😀B"), toAscii, false)->utf8(), "AB");
    EXPECT_EQ(stringByApplyingTransform(*str("Москва"), toAscii, false)->utf8(), "Moskva");
}

TEST(Transliteration, InPlaceFormLeavesTextAloneOnABadIdentifier) {
    auto text = MutableString::make("游戏/1.0 (iPhone; iOS 17.0; Scale/3.00)");
    EXPECT_FALSE(applyTransform(*text, "No-Such-Transform", false));
    EXPECT_EQ(text->utf8(), "游戏/1.0 (iPhone; iOS 17.0; Scale/3.00)");
    EXPECT_EQ(stringByApplyingTransform(*text, "No-Such-Transform", false), nullptr);
    ASSERT_TRUE(applyTransform(*text, toAscii, false));
    EXPECT_EQ(text->utf8(), "you xi/1.0 (iPhone; iOS 17.0; Scale/3.00)");
}

TEST(Transliteration, ReverseRunsTheInverseTransform) {
    EXPECT_EQ(stringByApplyingTransform(*str("Москва"), "Latin-Cyrillic", true)->utf8(), "Moskva");
    EXPECT_EQ(stringByApplyingTransform(*str("Moskva"), "Latin-Cyrillic", false)->utf8(), "Москва");
}

}  // namespace
}  // namespace ns
