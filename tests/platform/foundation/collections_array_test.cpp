#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"

namespace {

using ns::Array;
using ns::Id;
using ns::MutableArray;
using ns::num;
using ns::str;

// The reason of the ns::Exception `body` raises, checking its name.
template <class F>
std::string reasonOf(const char* name, F&& body) {
    try {
        body();
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), name);
        return e.reason();
    }
    ADD_FAILURE() << "nothing raised";
    return {};
}

std::vector<int64_t> numbersOf(const Array& array) {
    std::vector<int64_t> out;
    for (const Id& element : array) out.push_back(ns::cast<ns::Number>(element)->longLongValue());
    return out;
}

TEST(CollectionsArray, ReadingOperations) {
    auto array = Array::make({num(3), str("b"), num(1), str("b")});
    EXPECT_EQ(array->className(), "__NSArrayI");
    EXPECT_TRUE(array->isKindOf("NSArray"));
    EXPECT_EQ(array->count(), 4u);
    EXPECT_TRUE(array->firstObject()->isEqual(num(3)));
    EXPECT_TRUE(array->lastObject()->isEqual(str("b")));
    EXPECT_EQ(array->indexOfObject(str("b")), 1u);
    EXPECT_EQ(array->indexOfObject(str("zz")), ns::NotFound);
    EXPECT_TRUE(array->containsObject(num(1)));
    EXPECT_FALSE(array->containsObject(str("1")));
    EXPECT_EQ(array->componentsJoinedByString(", ")->utf8(), "3, b, 1, b");
    EXPECT_EQ(Array::make({})->firstObject(), nullptr);
    EXPECT_EQ(Array::make({})->lastObject(), nullptr);

    auto sub = array->subarrayWithRange(ns::Range{1, 2});
    EXPECT_TRUE(sub->isEqual(Array::make({str("b"), num(1)})));

    std::vector<uint64_t> seen;
    array->enumerateObjectsUsingBlock([&](const Id&, uint64_t index, bool& stop) {
        seen.push_back(index);
        stop = index == 1;
    });
    EXPECT_EQ(seen, (std::vector<uint64_t>{0, 1}));
}

TEST(CollectionsArray, SortIsStableAndDoesNotTouchTheSource) {
    auto pairs = Array::make({str("b1"), str("a1"), str("b2"), str("a2"), str("b3")});
    auto sorted = pairs->sortedArrayUsingComparator([](const Id& a, const Id& b) {
        char x = ns::cast<ns::String>(a)->utf8()[0];
        char y = ns::cast<ns::String>(b)->utf8()[0];
        return x < y ? ns::ComparisonResult::Ascending : x > y ? ns::ComparisonResult::Descending : ns::ComparisonResult::Same;
    });
    EXPECT_EQ(sorted->componentsJoinedByString(" ")->utf8(), "a1 a2 b1 b2 b3");
    EXPECT_EQ(pairs->componentsJoinedByString(" ")->utf8(), "b1 a1 b2 a2 b3");
}

TEST(CollectionsArray, RangeExceptionsCarryThePlatformTexts) {
    auto three = Array::make({num(1), num(2), num(3)});
    EXPECT_EQ(reasonOf(ns::RangeException, [&] { three->objectAtIndex(5); }),
              "*** -[__NSArrayI objectAtIndex:]: index 5 beyond bounds [0 .. 2]");
    EXPECT_EQ(reasonOf(ns::RangeException, [&] { Array::make({})->objectAtIndex(0); }),
              "*** -[__NSArrayI objectAtIndex:]: index 0 beyond bounds for empty array");
    EXPECT_EQ(reasonOf(ns::RangeException, [&] { three->subarrayWithRange(ns::Range{2, 2}); }),
              "*** -[__NSArrayI subarrayWithRange:]: range {2, 2} extends beyond bounds [0 .. 2]");

    auto mutableArray = MutableArray::make({num(1), num(2), num(3)});
    EXPECT_EQ(reasonOf(ns::RangeException, [&] { mutableArray->objectAtIndex(3); }),
              "*** -[__NSArrayM objectAtIndex:]: index 3 beyond bounds [0 .. 2]");
    EXPECT_EQ(reasonOf(ns::RangeException, [&] { mutableArray->insertObject(num(9), 4); }),
              "*** -[__NSArrayM insertObject:atIndex:]: index 4 beyond bounds [0 .. 2]");
    EXPECT_EQ(reasonOf(ns::RangeException, [&] { mutableArray->removeObjectAtIndex(3); }),
              "*** -[__NSArrayM removeObjectsInRange:]: range {3, 1} extends beyond bounds [0 .. 2]");
    EXPECT_EQ(reasonOf(ns::RangeException, [&] { mutableArray->replaceObjectAtIndex(7, num(1)); }),
              "*** -[__NSArrayM replaceObjectAtIndex:withObject:]: index 7 beyond bounds [0 .. 2]");
    EXPECT_EQ(reasonOf(ns::InvalidArgumentException, [&] { mutableArray->addObject(nullptr); }),
              "*** -[__NSArrayM insertObject:atIndex:]: object cannot be nil");
    EXPECT_EQ(reasonOf(ns::InvalidArgumentException, [&] { mutableArray->replaceObjectAtIndex(0, nullptr); }),
              "*** -[__NSArrayM replaceObjectAtIndex:withObject:]: object cannot be nil");
    EXPECT_EQ(reasonOf(ns::InvalidArgumentException, [&] { Array::make({num(1), nullptr}); }),
              "*** -[__NSPlaceholderArray initWithObjects:count:]: attempt to insert nil object from objects[1]");
    // Nothing changed by the refused calls.
    EXPECT_EQ(numbersOf(*mutableArray), (std::vector<int64_t>{1, 2, 3}));
}

TEST(CollectionsArray, MutationOperations) {
    auto array = MutableArray::arrayWithCapacity(4);
    EXPECT_EQ(array->className(), "__NSArrayM");
    array->addObject(num(1));
    array->addObject(num(3));
    array->insertObject(num(2), 1);
    array->insertObject(num(0), 0);
    array->insertObject(num(4), 4);
    EXPECT_EQ(numbersOf(*array), (std::vector<int64_t>{0, 1, 2, 3, 4}));
    array->removeObjectAtIndex(0);
    array->removeLastObject();
    array->replaceObjectAtIndex(1, num(20));
    EXPECT_EQ(numbersOf(*array), (std::vector<int64_t>{1, 20, 3}));
    array->addObjectsFromArray(*array);
    EXPECT_EQ(numbersOf(*array), (std::vector<int64_t>{1, 20, 3, 1, 20, 3}));
    array->removeObject(num(20));
    EXPECT_EQ(numbersOf(*array), (std::vector<int64_t>{1, 3, 1, 3}));
    array->removeAllObjects();
    EXPECT_EQ(array->count(), 0u);
    array->removeLastObject();
    EXPECT_EQ(array->count(), 0u);
}

TEST(CollectionsArray, CopiesFollowThePlatformRules) {
    auto immutableArray = Array::make({num(1), MutableArray::make({num(2)})});
    EXPECT_EQ(immutableArray->copy(), immutableArray);

    auto mutableCopy = ns::cast<MutableArray>(immutableArray->mutableCopy());
    ASSERT_TRUE(mutableCopy);
    mutableCopy->addObject(num(3));
    EXPECT_EQ(immutableArray->count(), 2u);
    // Shallow: the inner array is shared.
    EXPECT_EQ(mutableCopy->objectAtIndex(1), immutableArray->objectAtIndex(1));

    auto frozen = mutableCopy->copy();
    EXPECT_NE(frozen, mutableCopy);
    EXPECT_EQ(frozen->className(), "__NSArrayI");
    mutableCopy->removeAllObjects();
    EXPECT_EQ(ns::cast<Array>(frozen)->count(), 3u);
}

TEST(CollectionsArray, EqualityIsElementWiseThroughNesting) {
    auto a = Array::make({num(1), Array::make({str("x"), num(2)})});
    auto b = MutableArray::make({ns::Number::withDouble(1.0), MutableArray::make({str("x"), num(2)})});
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_TRUE(b->isEqual(a));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_EQ(a->hash(), 2u);
    b->addObject(num(3));
    EXPECT_FALSE(a->isEqual(b));
    auto c = Array::make({num(1), Array::make({str("x"), num(3)})});
    EXPECT_FALSE(a->isEqual(c));
    EXPECT_FALSE(a->isEqual(str("x")));
}

TEST(CollectionsArray, RangeForVisitsEveryElementAcrossBatches) {
    auto array = MutableArray::make();
    for (int i = 0; i < 40; ++i) array->addObject(num(i));
    int64_t expected = 0;
    for (const Id& element : *array) EXPECT_EQ(ns::cast<ns::Number>(element)->longLongValue(), expected++);
    EXPECT_EQ(expected, 40);

    auto frozen = ns::cast<Array>(array->copy());
    expected = 0;
    for (const Id& element : *frozen) EXPECT_EQ(ns::cast<ns::Number>(element)->longLongValue(), expected++);
    EXPECT_EQ(expected, 40);

    auto enumerator = frozen->objectEnumerator();
    EXPECT_TRUE(enumerator->nextObject()->isEqual(num(0)));
    EXPECT_EQ(enumerator->allObjects()->count(), 39u);
    EXPECT_EQ(enumerator->nextObject(), nullptr);
}

TEST(CollectionsArray, MutationDuringEnumerationRaises) {
    auto array = MutableArray::make({num(1), num(2), num(3)});
    std::string reason = reasonOf(ns::GenericException, [&] {
        for (const Id& element : *array) {
            if (element->isEqual(num(1))) array->addObject(num(4));
        }
    });
    EXPECT_EQ(reason.rfind("*** Collection <__NSArrayM: 0x", 0), 0u) << reason;
    EXPECT_NE(reason.find("> was mutated while being enumerated."), std::string::npos) << reason;

    EXPECT_THROW(array->enumerateObjectsUsingBlock([&](const Id&, uint64_t, bool&) { array->removeLastObject(); }),
                 ns::Exception);

    auto enumerator = array->objectEnumerator();
    enumerator->nextObject();
    array->replaceObjectAtIndex(0, num(7));
    EXPECT_THROW(enumerator->nextObject(), ns::Exception);
}

}  // namespace
