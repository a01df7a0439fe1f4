// Header fields as a reply's head makes them: names found without regard to
// case through their index, which stays right as fields come and go, and a
// head of tens of thousands of lines built and read in linear time.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/HTTPHeaderFields.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/Text.h"

namespace {

using Fields = std::vector<ns::HTTPHeaderFields::Field>;

TEST(HTTPHeaderFieldsTest, IndexFollowsSetsAddsAndRemovals) {
    ns::HTTPHeaderFields fields;
    fields.set("Content-Type", "text/plain");
    fields.add("X-List", "a");
    fields.set("ETag", "\"1\"");
    fields.add("x-LIST", "b");
    fields.set("content-type", "application/json");
    EXPECT_EQ(fields.fields(), (Fields{{"Content-Type", "application/json"}, {"X-List", "a, b"}, {"ETag", "\"1\""}}));

    // Removing a field moves the ones after it: each is still found.
    fields.remove("CONTENT-TYPE");
    EXPECT_FALSE(fields.contains("Content-Type"));
    ASSERT_TRUE(fields.value("x-list"));
    EXPECT_EQ(*fields.value("x-list"), "a, b");
    ASSERT_TRUE(fields.value("etag"));
    EXPECT_EQ(*fields.value("etag"), "\"1\"");
    fields.remove("absent");
    EXPECT_EQ(fields.fields().size(), 2u);

    // Set again after its removal: a new field at the end.
    fields.set("Content-type", "text/html");
    fields.set("ETAG", "\"2\"");
    EXPECT_EQ(fields.fields(), (Fields{{"X-List", "a, b"}, {"ETag", "\"2\""}, {"Content-type", "text/html"}}));

    // A copy keeps its own index.
    ns::HTTPHeaderFields copy = fields;
    copy.remove("x-list");
    EXPECT_TRUE(fields.contains("X-LIST"));
    ASSERT_TRUE(copy.value("content-TYPE"));
    EXPECT_EQ(*copy.value("content-TYPE"), "text/html");

    auto dictionary = fields.dictionary();
    ASSERT_EQ(dictionary->count(), 3u);
    EXPECT_EQ(ns::textOf(dictionary->objectForKey("CONTENT-TYPE")), "text/html");
    EXPECT_EQ(ns::textOf(dictionary->objectForKey("etag")), "\"2\"");
    EXPECT_FALSE(dictionary->objectForKey("Content"));
}

TEST(HTTPHeaderFieldsTest, AHeadOfManyLinesIsBuiltAndReadWithoutComparingNames) {
    // As many short lines as curl lets one head hold, each its own name,
    // and one name repeated throughout.
    constexpr size_t Lines = 27000;
    Fields lines;
    lines.reserve(Lines);
    for (size_t i = 0; i < Lines; ++i) {
        lines.emplace_back(i % 3 == 0 ? "X-Same" : "X-" + std::to_string(i), "v");
    }
    const uint64_t before = ns::HTTPHeaderFields::nameComparisonsForTesting();
    auto response = ns::HTTPURLResponse::make(ns::URL::make("http://a.example/"), 200, "HTTP/1.1", lines);
    // Through its dictionary, every field read back.
    auto again = ns::HTTPURLResponse::make(ns::URL::make("http://a.example/"), 200, "HTTP/1.1", response->allHeaderFields());
    const uint64_t comparisons = ns::HTTPHeaderFields::nameComparisonsForTesting() - before;

    const size_t distinct = Lines - Lines / 3 + 1;
    EXPECT_EQ(response->headerFields().fields().size(), distinct);
    EXPECT_EQ(again->headerFields().fields().size(), distinct);
    ASSERT_TRUE(again->headerFields().value("x-same"));
    EXPECT_EQ(again->headerFields().value("x-same")->size(), (Lines / 3) * 3 - 2);
    ASSERT_TRUE(again->headerFields().value("x-26999"));
    // A few comparisons per line (the cookie field is looked for by name),
    // where finding each name by comparing it with those before takes
    // hundreds of millions.
    EXPECT_LE(comparisons, 4 * Lines);
}

}  // namespace
