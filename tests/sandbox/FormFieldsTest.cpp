#include "sandbox/FormFields.h"

#include <gtest/gtest.h>

namespace sandbox {
namespace {

TEST(FormFieldsTest, ReadsPairsInOrderAndSkipsTheTrailingSeparator) {
    FormFields form = FormFields::parse("game_id=1001&token=abc&channel_code=&os_type=2&");
    ASSERT_EQ(form.entries().size(), 4u);
    EXPECT_EQ(form.entries()[0].first, "game_id");
    EXPECT_EQ(form.entries()[3].second, "2");
    EXPECT_EQ(form.value("token"), "abc");
    EXPECT_TRUE(form.has("channel_code"));
    EXPECT_EQ(form.value("channel_code"), "");
    EXPECT_FALSE(form.has("uid"));
    EXPECT_EQ(form.value("uid"), "");
}

TEST(FormFieldsTest, UndoesOnlyPercentEscapes) {
    // The app escapes "&", "=", "+" and "%" and sends every other byte as it is.
    FormFields form = FormFields::parse("name=Tom%26Jerry%3D%2B%25&plus=a+b&space=S1 Dawn&cjk=\xE6\xB5\x8B&ctl=%0A");
    EXPECT_EQ(form.value("name"), "Tom&Jerry=+%");
    EXPECT_EQ(form.value("plus"), "a+b");
    EXPECT_EQ(form.value("space"), "S1 Dawn");
    EXPECT_EQ(form.value("cjk"), "\xE6\xB5\x8B");
    EXPECT_EQ(form.value("ctl"), "\n");
}

TEST(FormFieldsTest, KeepsMalformedEscapesAndTheFirstOfRepeatedNames) {
    FormFields form = FormFields::parse("a=100%&b=%zz&c=%4&a=second&flag");
    EXPECT_EQ(form.value("a"), "100%");
    EXPECT_EQ(form.value("b"), "%zz");
    EXPECT_EQ(form.value("c"), "%4");
    EXPECT_TRUE(form.has("flag"));
    EXPECT_EQ(form.value("flag"), "");
}

}  // namespace
}  // namespace sandbox
