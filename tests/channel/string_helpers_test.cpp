// The channel's string helpers, request-dictionary filling, window keys,
// device names and log forms.

#include "channel/DeveicePlatform.h"
#include "channel/NSDictionary+Log.h"
#include "channel/NSMutableDictionary+HTTP.h"
#include "channel/NSObject+VRQWindow.h"
#include "channel/NSString+URLEncode.h"
#include "channel/TVReplyFields.h"
#include "channel_test_support.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"

namespace {

using channel_test::ChannelTest;
using namespace URLEncode;

ns::String text(const char* s) {
    return ns::String(s);
}

TEST(StringHelpers, DigestsAndHex) {
    EXPECT_EQ(md5String(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5String("abc"), "900150983cd24fb0d6963f7d28e17f72");
    const unsigned char bytes[] = {0x00, 0xab, 0x0f};
    EXPECT_EQ(stringFromBytes(bytes, 3), "00ab0f");
    EXPECT_EQ(stringFromBytes(bytes, 0), "");
    EXPECT_EQ(stringFromBytes(bytes, -1), "");
    EXPECT_TRUE(isSignWithUserName(ns::String(md5String("username=u&appkey=k&logintime=12")), "u", "k", "12"));
    EXPECT_FALSE(isSignWithUserName(ns::String(md5String("username=u&appkey=k&logintime=12")), "u", "k", "13"));
}

TEST(StringHelpers, GB18030EscapingKeepsOnlyLettersDigitsAndThreeMarks) {
    EXPECT_EQ(URLEncodedString(text("aZ09-._"))->utf8(), "aZ09-._");
    EXPECT_EQ(URLEncodedString(text("a b:/?~"))->utf8(), "a%20b%3A%2F%3F%7E");
    // GB 18030 bytes of 中 are D6 D0, not the UTF-8 ones.
    EXPECT_EQ(URLEncodedString(text("中"))->utf8(), "%D6%D0");
}

TEST(StringHelpers, WhitespaceChecksAndTrims) {
    EXPECT_TRUE(isEmptyOrWhitespace(nullptr));
    auto blank = text(" \t ");
    EXPECT_TRUE(isEmptyOrWhitespace(&blank));
    auto word = text(" a ");
    EXPECT_FALSE(isEmptyOrWhitespace(&word));
    EXPECT_EQ(trimmedWhitespaceString(text("\t a b \t")), "a b");
    EXPECT_EQ(trimmedWhitespaceString(text("\na\n")), "\na\n") << "line breaks stay";
    EXPECT_EQ(trimmedWhitespaceAndNewlineString(text("\n a \r\n")), "a");
}

TEST(StringHelpers, InputChecks) {
    EXPECT_TRUE(isTelephone(text("13812345678")));
    EXPECT_TRUE(isTelephone(text("01012345678")));
    EXPECT_FALSE(isTelephone(text("138123456789")));
    EXPECT_FALSE(isTelephone(text("1381234567a")));
    EXPECT_FALSE(isTelephone(text("x13812345678")));

    EXPECT_TRUE(isEmail(text("Player.One@Example.com")));
    EXPECT_TRUE(isEmail(text("a@[10.0.0.1]")));
    EXPECT_FALSE(isEmail(text("a@b")));
    EXPECT_FALSE(isEmail(text("a b@c.com")));

    EXPECT_TRUE(isWeakPswd(text("abc123")));
    EXPECT_FALSE(isWeakPswd(text("abcdef")));
    EXPECT_FALSE(isWeakPswd(text("a1")));
    EXPECT_FALSE(isWeakPswd(text("abcdefghij1234567890x")));

    auto amount = text("12.50"), comma = text("1,5"), empty = text(""), points = text("1..2");
    EXPECT_TRUE(isNumber(&amount));
    EXPECT_FALSE(isNumber(&comma));
    EXPECT_FALSE(isNumber(&empty));
    EXPECT_FALSE(isNumber(nullptr));
    EXPECT_TRUE(isNumber(&points));
}

using PageArgumentsTest = ChannelTest;

TEST_F(PageArgumentsTest, TheSignedArgumentsOfAnAlphanumericPlayer) {
    env.setWallTime(1700000000.4);
    writeTVPlist();
    auto vale = ShareVale::sharedInstance();
    vale->setUserName(ns::str("alice01"));
    vale->setSid(ns::str("S9"));
    std::string sign = md5String("username=alice01&appkey=pwlo@!kit&logintime=1700000000");
    EXPECT_EQ(getWebViewURLArgument(), "?gid=g42&gameid=g42&sid=S9&username=alice01&logintime=1700000000&sign=" +
                                           sign + "&device=ios");
    EXPECT_EQ(getWebViewURLArgument(), getWebViewURLArgument()) << "same second, same string";
}

TEST_F(PageArgumentsTest, ValuesAreEscapedButSignedRawAndMissingOnesPrintNull) {
    env.setWallTime(1700000000);
    auto vale = ShareVale::sharedInstance();
    vale->setUserName(ns::str("张 a&b=c"));
    std::string sign = md5String("username=张 a&b=c&appkey=pwlo@!kit&logintime=1700000000");
    EXPECT_EQ(getWebViewURLArgument(),
              "?gid=(null)&gameid=(null)&sid=(null)&username=%E5%BC%A0%20a%26b%3Dc&logintime=1700000000&sign=" +
                  sign + "&device=ios");
}

TEST_F(PageArgumentsTest, OrderNumbersAreMillisecondsAndASmallRandom) {
    env.setWallTime(1700000000.25);
    std::string number = getOrderNumber();
    ASSERT_GE(number.size(), 14u);
    ASSERT_LE(number.size(), 17u);
    EXPECT_EQ(number.substr(0, 13), "1700000000250");
    EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos);
}

TEST_F(PageArgumentsTest, BundlePathsFollowTheSDKBundle) {
    EXPECT_EQ(getImagePath("TV_nav_back"), "TV_nav_back");
    EXPECT_EQ(getBundlePath(), folder + "/resources");
    std::filesystem::create_directories(folder + "/resources/DOVUZ.bundle");
    EXPECT_EQ(getImagePath("TV_nav_back"), "DOVUZ.bundle/TV_nav_back");
    EXPECT_EQ(getBundlePath(), folder + "/resources/DOVUZ.bundle");
}

TEST(RequestFields, EachFillsAMissingValueItsOwnWay) {
    auto dictionary = ns::MutableDictionary::make();
    HTTPFields::setObjectForField(*dictionary, nullptr, "a");
    HTTPFields::setObjectForFKField(*dictionary, nullptr, "b");
    HTTPFields::setObjectForTMField(*dictionary, nullptr, "c");
    HTTPFields::setObjectForOPField(*dictionary, nullptr, "d");
    HTTPFields::setObjectForField(*dictionary, ns::str("v"), "e");
    EXPECT_EQ(ns::textOf(dictionary->objectForKey("a")), "");
    EXPECT_TRUE(ns::cast<ns::Null>(dictionary->objectForKey("b")));
    EXPECT_EQ(ns::textOf(dictionary->objectForKey("c")), "0");
    EXPECT_FALSE(dictionary->objectForKey("d"));
    EXPECT_EQ(ns::textOf(dictionary->objectForKey("e")), "v");
}

TEST(ReplyFields, NumbersNullAndMissingValuesNeverBreakAReadOrAFormat) {
    auto reply = ns::Dictionary::make({{"s", ns::str("11")},
                                       {"n", ns::num(1)},
                                       {"z", ns::Null::null()},
                                       {"b", ns::str("yes")}});
    EXPECT_EQ(TVReply::textOf(reply, "n"), "1");
    EXPECT_EQ(TVReply::textOf(reply, "missing"), "(null)");
    EXPECT_EQ(TVReply::messageOf(reply, "n")->utf8(), "1");
    EXPECT_FALSE(TVReply::messageOf(reply, "z")) << "null is no message";
    EXPECT_FALSE(TVReply::messageOf(reply, "missing"));
    EXPECT_FALSE(TVReply::messageOf(ns::str("not a dictionary"), "s"));
    EXPECT_EQ(TVReply::integerOf(reply, "s"), 11);
    EXPECT_EQ(TVReply::integerOf(reply, "n"), 1);
    EXPECT_EQ(TVReply::integerOf(reply, "z"), 0);
    EXPECT_TRUE(TVReply::boolOf(reply, "b"));
    EXPECT_FALSE(TVReply::boolOf(reply, "z"));
}

TEST(WindowKeys, AKeyIsStableForItsObjectAndDiffersBetweenObjects) {
    auto first = ns::MutableDictionary::make();
    auto second = ns::MutableDictionary::make();
    std::string key = VRQWindow::md5Key(*first);
    EXPECT_EQ(key.size(), 32u);
    EXPECT_EQ(key, ns::String(key).uppercaseString()->utf8());
    first->setObjectForKey(ns::str("changes its description"), "k");
    EXPECT_EQ(VRQWindow::md5Key(*first), key) << "kept with the object";
    // Plain objects describe themselves by address.
    auto a = std::make_shared<ns::Object>(), b = std::make_shared<ns::Object>();
    EXPECT_NE(VRQWindow::md5Key(*a), VRQWindow::md5Key(*b));
    (void)second;
}

TEST(DevicePlatform, KnownMachinesGetTheirNamesInTableOrder) {
    EXPECT_EQ(DeveicePlatform::nameForMachine("iPhone3,1"), "iPhone 4");
    EXPECT_EQ(DeveicePlatform::nameForMachine("iPhone5,4"), "iPhone 5C");
    EXPECT_EQ(DeveicePlatform::nameForMachine("iPhone6,2"), "iPhone 5S");
    EXPECT_EQ(DeveicePlatform::nameForMachine("x86_64"), "Simulator");
    EXPECT_EQ(DeveicePlatform::nameForMachine("iPhone14,5"), "iPhone14,5");
    EXPECT_FALSE(DeveicePlatform::platform().empty());
}

TEST(LogForms, DictionariesAndArraysPrintWithoutTheirLastComma) {
    TVLog::install();
    auto dictionary = ns::Dictionary::make({{"k", ns::str("v")}});
    EXPECT_EQ(TVLog::dictionaryDescription(*dictionary), "{\n\tk : v\n}");
    EXPECT_EQ(TVLog::arrayDescription(*ns::Array::make({ns::str("a"), ns::num(2)})), "[\n\ta,\n\t2\n]");
    EXPECT_EQ(TVLog::arrayDescription(*ns::Array::make({})), "[\n]");
    EXPECT_EQ(dictionary->description(), "{\n\tk : v\n}") << "installed for every dictionary";
    EXPECT_EQ(TVLog::arrayDescription(*ns::Array::make({ns::str("x,y")})), "[\n\tx,y\n]")
        << "the last comma of the whole text goes";
}

}  // namespace
