// Blank tests, JSON text parsing, MD5 and the random salt.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "aggregation/core/KVTRDataFormat.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Window.h"

namespace {

using Format = KVTRDataFormat;

ns::Id text(std::string s) {
    return ns::String::make(std::move(s));
}

TEST(BlankTests, StringsCountNullMarkersAndWhiteSpaceAsBlank) {
    for (const char* blank : {"", "NULL", "(null)", " ", " \n\t\r\n "}) {
        EXPECT_TRUE(Format::isBlankString(text(blank))) << '"' << blank << '"';
    }
    EXPECT_TRUE(Format::isBlankString(nullptr));
    EXPECT_TRUE(Format::isBlankString(ns::Null::null()));
    for (const char* filled : {"null", "Null", "0", " a ", "(null) "}) {
        EXPECT_FALSE(Format::isBlankString(text(filled))) << '"' << filled << '"';
    }
    // A number carries no text to show.
    EXPECT_TRUE(Format::isBlankString(ns::Number::withInt(3)));
}

TEST(BlankTests, ContainersMustBeOfTheirKindAndHoldSomething) {
    auto dictionary = ns::Dictionary::make({{text("k"), text("v")}});
    auto array = ns::Array::make({ns::Null::null()});
    for (const ns::Id& blank :
         {ns::Id(), ns::Id(ns::Null::null()), ns::Id(ns::MutableDictionary::make()), ns::Id(array)}) {
        EXPECT_TRUE(Format::isBlankDictionary(blank));
    }
    for (const ns::Id& blank :
         {ns::Id(), ns::Id(ns::Null::null()), ns::Id(ns::MutableArray::make()), ns::Id(dictionary)}) {
        EXPECT_TRUE(Format::isBlankArr(blank));
    }
    EXPECT_FALSE(Format::isBlankDictionary(dictionary));
    EXPECT_FALSE(Format::isBlankArr(array));
}

TEST(JsonText, ParsesWithMutableContainersAndLogsFailures) {
    EXPECT_EQ(Format::dictionaryWithJsonString(nullptr), nullptr);

    auto parsed = ns::cast<ns::MutableDictionary>(
        Format::dictionaryWithJsonString(ns::String::make(R"({"title":"礼包","items":[{"id":1}]})")));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(ns::textOf(parsed->objectForKey("title")), "礼包");
    auto items = ns::cast<ns::MutableArray>(parsed->objectForKey("items"));
    ASSERT_TRUE(items);
    EXPECT_TRUE(ns::cast<ns::MutableDictionary>(items->objectAtIndex(0)));

    ns::LogCapture log;
    EXPECT_EQ(Format::dictionaryWithJsonString(ns::String::make("{\"a\":")), nullptr);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].rfind("json解析失败：", 0), 0u) << log.lines()[0];
}

TEST(Md5, IsLowerHexOfTheUtf8BytesUpToAZero) {
    EXPECT_EQ(Format::KVTRMD5WithNSString("")->utf8(), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Format::KVTRMD5WithNSString("abc")->utf8(), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Format::KVTRMD5WithNSString("中文")->utf8(), "a7bac2239fcdcb3a067903d8077c4a07");
    EXPECT_EQ(Format::KVTRMD5WithNSString(std::string("abc\0def", 7))->utf8(),
              Format::KVTRMD5WithNSString("abc")->utf8());
}

TEST(RandomText, IsAlwaysFiveDigits) {
    std::set<std::string> seen;
    for (int i = 0; i < 5000; ++i) {
        const std::string draw = Format::KVTRMD5GetRandomStr()->utf8();
        ASSERT_EQ(draw.size(), 5u) << draw;
        ASSERT_EQ(draw.find_first_not_of("0123456789"), std::string::npos) << draw;
        ASSERT_NE(draw[0], '0') << draw;
        seen.insert(draw);
    }
    EXPECT_GT(seen.size(), 1000u) << "draws should spread over the range";
}

class BangsScreenTest : public ::testing::Test {
protected:
    BangsScreenTest() { ui::resetSharedStateForTesting(); }
    ~BangsScreenTest() override { ui::resetSharedStateForTesting(); }

    bool withScreen(const ui::ScreenModel& model) {
        ui::Screen::mainScreen()->setModel(model);
        auto window = ui::Window::makeFullScreen();
        window->makeKeyAndVisible();
        env.runUntilIdle();
        const bool answer = Format::isBangsScreen();
        window->setHidden(true);
        return answer;
    }

    testing::TaskEnvironment env;
};

TEST_F(BangsScreenTest, FollowsTheFirstWindowsBottomInset) {
    EXPECT_TRUE(withScreen(ui::ScreenModel::notchedPhone()));
    EXPECT_FALSE(withScreen(ui::ScreenModel::classicPhone()));
    auto old = ui::ScreenModel::notchedPhone();
    old.systemVersion = "10.3";
    EXPECT_FALSE(withScreen(old));
}

}  // namespace
