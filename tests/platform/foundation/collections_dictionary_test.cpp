#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "platform/runtime/Exception.h"

namespace {

using ns::Dictionary;
using ns::Id;
using ns::MutableDictionary;
using ns::num;
using ns::str;

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

std::string keysOf(const Dictionary& dictionary) { return dictionary.allKeys()->componentsJoinedByString(",")->utf8(); }

TEST(CollectionsDictionary, KeepsInsertionOrderThroughChanges) {
    auto d = MutableDictionary::make();
    EXPECT_EQ(d->className(), "__NSDictionaryM");
    for (const char* key : {"zeta", "alpha", "mid", "beta"}) d->setObjectForKey(str(key), key);
    EXPECT_EQ(keysOf(*d), "zeta,alpha,mid,beta");

    // Replacing keeps the place; removing and re-adding moves to the end.
    d->setObjectForKey(num(1), "alpha");
    d->removeObjectForKey("zeta");
    d->setObjectForKey(num(2), "zeta");
    EXPECT_EQ(keysOf(*d), "alpha,mid,beta,zeta");
    EXPECT_EQ(d->allValues()->componentsJoinedByString(",")->utf8(), "1,mid,beta,2");

    std::string walked;
    for (const Id& key : *d) walked += ns::textOf(key) + ";";
    EXPECT_EQ(walked, "alpha;mid;beta;zeta;");

    auto frozen = Dictionary::make({{"b", num(1)}, {"a", num(2)}, {"b", num(3)}});
    EXPECT_EQ(frozen->className(), "__NSDictionaryI");
    EXPECT_EQ(keysOf(*frozen), "b,a");
    EXPECT_TRUE(frozen->objectForKey("b")->isEqual(num(3)));
}

TEST(CollectionsDictionary, KeysCompareByEqualityAndHash) {
    auto d = MutableDictionary::make();
    d->setObjectForKey(str("text"), str("1"));
    d->setObjectForKey(str("integer"), num(1));
    EXPECT_EQ(d->count(), 2u);
    // 1 and 1.0 are the same key.
    d->setObjectForKey(str("double"), ns::Number::withDouble(1.0));
    EXPECT_EQ(d->count(), 2u);
    EXPECT_TRUE(d->objectForKey(num(1))->isEqual(str("double")));
    EXPECT_TRUE(d->objectForKey("1")->isEqual(str("text")));
    // Any text finds a text key, mutable or not; a number never does.
    EXPECT_TRUE(d->objectForKey(ns::MutableString::make("1"))->isEqual(str("text")));
    EXPECT_FALSE(str("1")->isEqual(num(1)));
    EXPECT_FALSE(num(1)->isEqual(str("1")));
    EXPECT_EQ(d->objectForKey("2"), nullptr);
    EXPECT_EQ(d->objectForKey(nullptr), nullptr);
}

TEST(CollectionsDictionary, StoresACopyOfTheKey) {
    auto key = ns::MutableString::make("name");
    auto d = MutableDictionary::make();
    d->setObjectForKey(str("value"), key);
    key->appendString("-changed");

    Id stored = d->allKeys()->objectAtIndex(0);
    EXPECT_NE(stored, Id(key));
    EXPECT_EQ(stored->className(), "NSString") << "the stored key is an immutable copy";
    EXPECT_TRUE(d->objectForKey("name")->isEqual(str("value")));
    EXPECT_EQ(d->objectForKey("name-changed"), nullptr);
}

TEST(CollectionsDictionary, NilArgumentsRaiseThePlatformTexts) {
    auto d = MutableDictionary::make({{"k", num(1)}});
    EXPECT_EQ(reasonOf(ns::InvalidArgumentException, [&] { d->setObjectForKey(num(1), Id()); }),
              "*** -[__NSDictionaryM setObject:forKey:]: key cannot be nil");
    EXPECT_EQ(reasonOf(ns::InvalidArgumentException, [&] { d->setObjectForKey(nullptr, "k"); }),
              "*** -[__NSDictionaryM setObject:forKey:]: object cannot be nil (key: k)");
    EXPECT_EQ(reasonOf(ns::InvalidArgumentException, [&] { d->removeObjectForKey(Id()); }),
              "*** -[__NSDictionaryM removeObjectForKey:]: key cannot be nil");
    EXPECT_EQ(reasonOf(ns::InvalidArgumentException, [&] { Dictionary::make({{"a", num(1)}, {"b", nullptr}}); }),
              "*** -[__NSPlaceholderDictionary initWithObjects:forKeys:count:]: attempt to insert nil object from objects[1]");
    EXPECT_EQ(d->count(), 1u);

    // The key-value coding form removes instead.
    d->setValueForKey(nullptr, "k");
    EXPECT_EQ(d->count(), 0u);
    d->setValueForKey(num(5), "k");
    EXPECT_TRUE(d->objectForKey("k")->isEqual(num(5)));
}

TEST(CollectionsDictionary, EqualityHashAndCopiesThroughNesting) {
    auto a = Dictionary::make({{"list", ns::Array::make({num(1), str("x")})}, {"inner", Dictionary::make({{"n", num(2)}})}});
    auto b = MutableDictionary::make();
    b->setObjectForKey(MutableDictionary::make({{"n", ns::Number::withDouble(2.0)}}), "inner");
    b->setObjectForKey(ns::MutableArray::make({num(1), str("x")}), "list");
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_TRUE(b->isEqual(a));
    EXPECT_EQ(a->hash(), b->hash());
    b->setObjectForKey(str("y"), "inner");
    EXPECT_FALSE(a->isEqual(b));

    EXPECT_EQ(a->copy(), a);
    auto thawed = ns::cast<MutableDictionary>(a->mutableCopy());
    ASSERT_TRUE(thawed);
    thawed->removeObjectForKey("list");
    EXPECT_EQ(a->count(), 2u);
    auto frozen = thawed->copy();
    EXPECT_EQ(frozen->className(), "__NSDictionaryI");
    thawed->removeAllObjects();
    EXPECT_EQ(ns::cast<Dictionary>(frozen)->count(), 1u);
}

TEST(CollectionsDictionary, SortingAndBlockEnumeration) {
    auto d = Dictionary::make({{"c", num(3)}, {"a", num(1)}, {"b", num(2)}, {"a2", num(1)}});
    auto byValue = d->keysSortedByValueUsingComparator([](const Id& x, const Id& y) {
        return ns::cast<ns::Number>(x)->compare(*ns::cast<ns::Number>(y));
    });
    EXPECT_EQ(byValue->componentsJoinedByString(",")->utf8(), "a,a2,b,c");

    std::vector<std::string> seen;
    d->enumerateKeysAndObjectsUsingBlock([&](const Id& key, const Id& object, bool& stop) {
        seen.push_back(ns::textOf(key) + "=" + ns::textOf(object));
        stop = seen.size() == 2;
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"c=3", "a=1"}));

    auto keys = d->keyEnumerator();
    EXPECT_TRUE(keys->nextObject()->isEqual(str("c")));
    EXPECT_EQ(keys->allObjects()->count(), 3u);
}

TEST(CollectionsDictionary, MutationDuringEnumerationRaises) {
    auto d = MutableDictionary::make({{"a", num(1)}, {"b", num(2)}});
    std::string reason = reasonOf(ns::GenericException, [&] {
        for (const Id& key : *d) d->setObjectForKey(num(0), ns::textOf(key) + "x");
    });
    EXPECT_EQ(reason.rfind("*** Collection <__NSDictionaryM: 0x", 0), 0u) << reason;
    // Removing an absent key is no change.
    for (const Id& key : *d) {
        (void)key;
        d->removeObjectForKey("absent");
    }
}

// Random inserts and removals against a reference map: every key stays
// reachable after removals shift their runs, and order follows insertion.
TEST(CollectionsDictionary, StaysConsistentUnderChurn) {
    std::mt19937 random(7);
    auto d = MutableDictionary::make();
    std::map<int, int> reference;
    std::vector<int> order;
    for (int step = 0; step < 20000; ++step) {
        int key = int(random() % 500);
        if (random() % 3 == 0) {
            d->removeObjectForKey(num(key));
            if (reference.erase(key)) order.erase(std::find(order.begin(), order.end(), key));
        } else {
            d->setObjectForKey(num(step), num(key));
            if (!reference.count(key)) order.push_back(key);
            reference[key] = step;
        }
    }
    ASSERT_EQ(d->count(), reference.size());
    for (int key = 0; key < 500; ++key) {
        Id value = d->objectForKey(num(key));
        auto it = reference.find(key);
        if (it == reference.end()) {
            EXPECT_EQ(value, nullptr) << key;
        } else {
            ASSERT_TRUE(value) << key;
            EXPECT_EQ(ns::cast<ns::Number>(value)->longLongValue(), it->second);
        }
    }
    std::vector<int> walked;
    for (const Id& key : *d) walked.push_back(int(ns::cast<ns::Number>(key)->longLongValue()));
    EXPECT_EQ(walked, order);
}

}  // namespace
