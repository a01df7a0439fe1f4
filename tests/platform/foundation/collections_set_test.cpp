#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/IndexSet.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Set.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"

namespace {

using ns::Id;
using ns::IndexSet;
using ns::MutableIndexSet;
using ns::MutableSet;
using ns::num;
using ns::Range;
using ns::Set;
using ns::str;

TEST(CollectionsSet, DistinctMembersInInsertionOrder) {
    auto set = Set::make({str("b"), num(1), str("a"), ns::Number::withDouble(1.0), str("b")});
    EXPECT_EQ(set->className(), "__NSSetI");
    EXPECT_EQ(set->count(), 3u);
    EXPECT_EQ(set->allObjects()->componentsJoinedByString(",")->utf8(), "b,1,a");
    EXPECT_TRUE(set->containsObject(num(1)));
    EXPECT_FALSE(set->containsObject(str("1")));
    EXPECT_TRUE(set->anyObject()->isEqual(str("b")));
    EXPECT_EQ(Set::make({})->anyObject(), nullptr);
    EXPECT_EQ(set->copy(), set);

    auto mutableSet = ns::cast<MutableSet>(set->mutableCopy());
    ASSERT_TRUE(mutableSet);
    mutableSet->removeObject(str("b"));
    mutableSet->addObject(str("c"));
    mutableSet->addObject(str("a"));
    mutableSet->addObjectsFromArray(*ns::Array::make({str("d"), num(1)}));
    EXPECT_EQ(mutableSet->allObjects()->componentsJoinedByString(",")->utf8(), "1,a,c,d");
    EXPECT_EQ(set->count(), 3u);

    // Equality ignores order.
    EXPECT_TRUE(Set::make({num(1), str("a"), str("c"), str("d")})->isEqual(mutableSet));
    EXPECT_FALSE(set->isEqual(mutableSet));

    EXPECT_THROW(mutableSet->addObject(nullptr), ns::Exception);
    std::string reason;
    try {
        for (const Id& member : *mutableSet) {
            (void)member;
            mutableSet->removeObject(num(1));
        }
    } catch (const ns::Exception& e) {
        reason = e.reason();
    }
    EXPECT_EQ(reason.rfind("*** Collection <__NSSetM: 0x", 0), 0u) << reason;
}

std::vector<uint64_t> indexesOf(const IndexSet& set) {
    std::vector<uint64_t> out;
    set.enumerateIndexesUsingBlock([&](uint64_t i, bool&) { out.push_back(i); });
    return out;
}

TEST(CollectionsIndexSet, MergesAndSplitsRanges) {
    auto set = MutableIndexSet::indexSet();
    EXPECT_EQ(set->firstIndex(), ns::NotFound);
    EXPECT_EQ(set->lastIndex(), ns::NotFound);
    set->addIndex(5);
    set->addIndexesInRange(Range{1, 2});
    set->addIndex(3);  // touches 1-2: one range 1-3
    set->addIndex(9);
    set->addIndex(2);  // already there
    EXPECT_EQ(indexesOf(*set), (std::vector<uint64_t>{1, 2, 3, 5, 9}));
    EXPECT_EQ(set->count(), 5u);
    EXPECT_EQ(set->firstIndex(), 1u);
    EXPECT_EQ(set->lastIndex(), 9u);
    EXPECT_TRUE(set->containsIndexesInRange(Range{1, 3}));
    EXPECT_FALSE(set->containsIndexesInRange(Range{3, 3}));
    EXPECT_FALSE(set->containsIndex(4));

    std::vector<Range> ranges;
    set->enumerateRangesUsingBlock([&](Range r, bool&) { ranges.push_back(r); });
    EXPECT_EQ(ranges, (std::vector<Range>{{1, 3}, {5, 1}, {9, 1}}));

    set->addIndexesInRange(Range{4, 5});  // bridges everything into 1-9
    EXPECT_EQ(set->count(), 9u);
    set->removeIndexesInRange(Range{3, 4});
    set->removeIndex(9);
    EXPECT_EQ(indexesOf(*set), (std::vector<uint64_t>{1, 2, 7, 8}));

    std::string d = set->description();
    EXPECT_NE(d.find("[number of indexes: 4 (in 2 ranges), indexes: (1-2 7-8)]"), std::string::npos) << d;
    EXPECT_NE(IndexSet::indexSet()->description().find("(no indexes)"), std::string::npos);

    auto frozen = set->copy();
    EXPECT_EQ(frozen->className(), "NSIndexSet");
    set->removeAllIndexes();
    EXPECT_EQ(ns::cast<IndexSet>(frozen)->count(), 4u);
    EXPECT_FALSE(frozen->isEqual(IndexSet::indexSetWithIndexesInRange(Range{1, 2})));
    auto rebuilt = ns::cast<MutableIndexSet>(IndexSet::indexSetWithIndexesInRange(Range{7, 2})->mutableCopy());
    rebuilt->addIndexesInRange(Range{1, 2});
    EXPECT_TRUE(frozen->isEqual(rebuilt));

    EXPECT_THROW(set->addIndex(ns::NotFound), ns::Exception);
    std::vector<uint64_t> stopped;
    rebuilt->enumerateIndexesUsingBlock([&](uint64_t i, bool& stop) {
        stopped.push_back(i);
        stop = i == 2;
    });
    EXPECT_EQ(stopped, (std::vector<uint64_t>{1, 2}));
}

}  // namespace
