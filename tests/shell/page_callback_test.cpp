// The callback script: the page must read back exactly the JSON text.

#include <gtest/gtest.h>

#include "platform/foundation/Dictionary.h"
#include "shell/PageCallback.h"

TEST(CallbackScript, PlainJsonIsPutBetweenTheQuotesUnchanged) {
    auto json = shell::callbackJSON(*ns::Dictionary::make(
        {{"action", ns::String::make("loginNotify")},
         {"data", ns::Dictionary::make({{"super_user_id", ns::String::make("u1")},
                                        {"token", ns::String::make("tok 金")}})}}));
    ASSERT_TRUE(json);
    EXPECT_EQ(shell::callbackScript(*json), "CallbackFromIOS('" + json->utf8() + "')");
    EXPECT_EQ(json->utf8().find('\\'), std::string::npos);
}

TEST(CallbackScript, EscapesWhatASingleQuotedLiteralWouldChange) {
    EXPECT_EQ(shell::singleQuotedLiteralBody(R"({"t":"a'b"})"), R"({"t":"a\'b"})");
    EXPECT_EQ(shell::singleQuotedLiteralBody(R"({"t":"a\"b\\c"})"), R"({"t":"a\\"b\\\\c"})");
    EXPECT_EQ(shell::singleQuotedLiteralBody("a\nb\tc\x01"), "a\\x0Ab\\x09c\\x01");
    EXPECT_EQ(shell::singleQuotedLiteralBody("x\u2028y\u2029z"), "x\\u2028y\\u2029z");
    // Other characters of the same lead byte stay as they are.
    EXPECT_EQ(shell::singleQuotedLiteralBody("\u2026\u20AC"), "\u2026\u20AC");
    // A cut-off sequence at the end is left alone.
    EXPECT_EQ(shell::singleQuotedLiteralBody("a\xE2\x80"), "a\xE2\x80");
}
