// The log forms the aggregation library gives every array and dictionary
// once it is loaded, and the null-stripping copy.

#include <gtest/gtest.h>

#include "aggregation/core/KVTRLogCategories.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"

namespace {

ns::Id text(std::string s) {
    return ns::String::make(std::move(s));
}

// No test installs anything: the library's loading alone must have done it.
TEST(LogForms, EveryArrayPrintsItsElementsUnquotedOnePerLine) {
    auto array = ns::Array::make({text("a b"), ns::Number::withInt(5), ns::Null::null(), text("引号\"")});
    const std::string expected = "(\n\ta b,\n\t5,\n\t<null>,\n\t引号\",\n)";
    EXPECT_EQ(array->description(), expected);
    EXPECT_EQ(ns::format("%@", array), expected);
    EXPECT_EQ(ns::MutableArray::make()->description(), "(\n)");
}

TEST(LogForms, EveryDictionaryPrintsInItsKeyOrderAndNestsThroughTheSameForm) {
    auto inner = ns::MutableDictionary::make();
    inner->setObjectForKey(text("v"), "k");
    auto outer = ns::MutableDictionary::make();
    outer->setObjectForKey(text("2"), "z");
    outer->setObjectForKey(inner, "a");
    outer->setObjectForKey(ns::Array::make({text("x")}), "list");

    EXPECT_EQ(inner->description(), "{\n\tk = v;\n}\n");
    EXPECT_EQ(ns::format("%@", outer), "{\n\tz = 2;\n\ta = {\n\tk = v;\n}\n;\n\tlist = (\n\tx,\n);\n}\n");
}

TEST(DeleteNull, BlanksNullAndTheNullTextOnly) {
    auto source = ns::MutableDictionary::make();
    source->setObjectForKey(ns::Null::null(), "a");
    source->setObjectForKey(text("(null)"), "b");
    source->setObjectForKey(text("null"), "c");
    source->setObjectForKey(ns::Number::withInt(0), "d");
    source->setObjectForKey(text(""), "e");

    auto cleaned = KVTRDealNull::deleteNull(*source);
    ASSERT_EQ(cleaned->count(), 5u);
    EXPECT_EQ(ns::textOf(cleaned->allKeys()->componentsJoinedByString(",")), "a,b,c,d,e");
    EXPECT_EQ(ns::textOf(cleaned->objectForKey("a")), "");
    EXPECT_EQ(ns::textOf(cleaned->objectForKey("b")), "");
    EXPECT_EQ(ns::textOf(cleaned->objectForKey("c")), "null");
    EXPECT_TRUE(ns::cast<ns::Number>(cleaned->objectForKey("d")));
    EXPECT_EQ(ns::textOf(cleaned->objectForKey("e")), "");
    // The source keeps its values.
    EXPECT_TRUE(ns::cast<ns::Null>(source->objectForKey("a")));
    EXPECT_NE(cleaned.get(), source.get());
}

}  // namespace
