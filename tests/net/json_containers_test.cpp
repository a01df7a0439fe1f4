// JKArray and JKDictionary: capacities, the hash table's probing and
// deletion, immutability, the exact exception texts, copies and
// enumeration.

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "json_test_support.h"
#include "net/JKArray.h"
#include "net/JKContainerClassCache.h"
#include "net/JKDictionary.h"
#include "net/JKDictionaryEnumerator.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"

namespace {

using jsontest::parse;

std::string raisedBy(const std::function<void()>& f) {
    try {
        f();
    } catch (const ns::Exception& e) {
        return e.name() + ": " + e.reason();
    }
    return "nothing raised";
}

ns::Ref<JKArray> mutableArray(std::string_view text) {
    JSONDecoder decoder;
    return ns::cast<JKArray>(decoder.mutableObjectWithUTF8String(text.data(), text.size()));
}

ns::Ref<JKDictionary> mutableDictionary(std::string_view text) {
    JSONDecoder decoder;
    return ns::cast<JKDictionary>(decoder.mutableObjectWithUTF8String(text.data(), text.size()));
}

std::string objectOfSize(int n) {
    std::string text = "{";
    for (int i = 0; i < n; ++i) text += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":" + std::to_string(i);
    return text + "}";
}

// A key whose hash the test chooses, to force collisions.
class CollidingKey : public ns::Object {
public:
    CollidingKey(std::string name, uint64_t hash) : name_(std::move(name)), hash_(hash) {}
    uint64_t hash() const override { return hash_; }
    using ns::Object::isEqual;
    bool isEqual(const ns::Object* other) const override {
        auto key = dynamic_cast<const CollidingKey*>(other);
        return key && key->name_ == name_;
    }
    ns::Id copy() const override { return self(); }

private:
    std::string name_;
    uint64_t hash_;
};

TEST(JsonContainers, CapacitiesComeFromTheTable) {
    EXPECT_EQ(JKDictionaryCapacityForCount(0), 0u);
    for (uint64_t n : {1, 2, 3}) EXPECT_EQ(JKDictionaryCapacityForCount(n), 3u) << n;
    for (uint64_t n : {4, 5, 6}) EXPECT_EQ(JKDictionaryCapacityForCount(n), 7u) << n;
    EXPECT_EQ(JKDictionaryCapacityForCount(10), 13u);
    EXPECT_EQ(JKDictionaryCapacityForCount(100), 191u);
    EXPECT_EQ(JKDictionaryCapacityForCount(355569362), 472907251u);
    EXPECT_FALSE(JKDictionaryCapacityForCount(355569363)) << "beyond the table";

    EXPECT_EQ(ns::cast<JKDictionary>(parse("{}").value)->capacity(), 0u);
    EXPECT_EQ(ns::cast<JKDictionary>(parse(objectOfSize(3)).value)->capacity(), 3u);
    EXPECT_EQ(ns::cast<JKDictionary>(parse(objectOfSize(5)).value)->capacity(), 7u);
    EXPECT_EQ(ns::cast<JKDictionary>(parse(objectOfSize(10)).value)->capacity(), 13u);
    EXPECT_EQ(ns::cast<JKDictionary>(parse(objectOfSize(100)).value)->capacity(), 191u);
    EXPECT_EQ(ns::cast<JKArray>(parse("[1,2,3]").value)->capacity(), 3u) << "arrays are exactly their size";
}

TEST(JsonContainers, FullTablesStillAnswerEveryLookup) {
    auto dictionary = ns::cast<JKDictionary>(parse(objectOfSize(3)).value);
    ASSERT_EQ(dictionary->capacity(), dictionary->count());
    EXPECT_FALSE(dictionary->objectForKey("absent"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ns::cast<ns::Number>(dictionary->objectForKey("k" + std::to_string(i)))->longLongValue(), i);
    }
    auto big = ns::cast<JKDictionary>(parse(objectOfSize(500)).value);
    for (int i = 0; i < 500; ++i) ASSERT_TRUE(big->objectForKey("k" + std::to_string(i))) << i;
}

TEST(JsonContainers, TheStartUpCacheIsReadyBeforeAnyParse) {
    const JKContainerClassCache& cache = JKCacheContainerClasses();
    EXPECT_EQ(cache.arrayClass, rt::classNamed("JKArray"));
    EXPECT_EQ(cache.dictionaryClass, rt::classNamed("JKDictionary"));
    EXPECT_EQ(cache.numberClass, rt::classNamed("NSNumber"));
    EXPECT_STREQ(cache.numberWithUnsignedLongLong(UINT64_MAX)->objCType(), "Q");
    EXPECT_EQ(cache.emptyString->utf8(), "");
    EXPECT_EQ(&JKCacheContainerClasses(), &cache) << "filled once";
    // Every empty string of every parse is that one object.
    auto array = ns::cast<JKArray>(parse(R"(["",{"":""}])").value);
    EXPECT_EQ(array->objectAtIndex(0), ns::Id(cache.emptyString));
}

TEST(JsonContainers, PrivateClassesCannotBeAllocated) {
    EXPECT_EQ(raisedBy([] { rt::classNamed("JKArray")->create(); }),
              "NSInvalidArgumentException: *** - [JKArray allocWithZone:]: The JKArray class is private to JKCodec "
              "and should not be used in this fashion.");
    EXPECT_EQ(raisedBy([] { rt::classNamed("JKDictionary")->create(); }),
              "NSInvalidArgumentException: *** - [JKDictionary allocWithZone:]: The JKDictionary class is private to "
              "JKCodec and should not be used in this fashion.");
    EXPECT_TRUE(rt::classNamed("JKArray")->isSubclassOf(rt::classNamed("NSMutableArray")));
    EXPECT_TRUE(rt::classNamed("JKDictionary")->isSubclassOf(rt::classNamed("NSMutableDictionary")));
}

TEST(JsonContainers, ImmutableContainersRefuseEveryChange) {
    auto array = ns::cast<JKArray>(parse("[1,2]").value);
    const std::string immutable = ": mutating method sent to immutable object";
    EXPECT_EQ(raisedBy([&] { array->addObject(ns::num(3)); }),
              "NSInternalInconsistencyException: *** -[JKArray insertObject:atIndex:]" + immutable);
    EXPECT_EQ(raisedBy([&] { array->removeObjectAtIndex(0); }),
              "NSInternalInconsistencyException: *** -[JKArray removeObjectAtIndex:]" + immutable);
    EXPECT_EQ(raisedBy([&] { array->replaceObjectAtIndex(0, ns::num(3)); }),
              "NSInternalInconsistencyException: *** -[JKArray replaceObjectAtIndex:withObject:]" + immutable);
    EXPECT_EQ(raisedBy([&] { array->insertObject(nullptr, 9); }),
              "NSInternalInconsistencyException: *** -[JKArray insertObject:atIndex:]" + immutable)
        << "immutability is checked first";
    EXPECT_EQ(array->count(), 2u);

    auto dictionary = ns::cast<JKDictionary>(parse(R"({"a":1})").value);
    EXPECT_EQ(raisedBy([&] { dictionary->setObjectForKey(ns::num(2), "b"); }),
              "NSInternalInconsistencyException: *** -[JKDictionary setObject:forKey:]" + immutable);
    EXPECT_EQ(raisedBy([&] { dictionary->removeObjectForKey("a"); }),
              "NSInternalInconsistencyException: *** -[JKDictionary removeObjectForKey:]" + immutable);
    EXPECT_EQ(dictionary->count(), 1u);
}

TEST(JsonContainers, ArrayChecksAndBounds) {
    auto array = mutableArray("[1,2,3]");
    ASSERT_TRUE(array);
    EXPECT_EQ(raisedBy([&] { array->insertObject(ns::num(9), 5); }),
              "NSRangeException: *** -[JKArray insertObject:atIndex:]: index (5) beyond bounds (4)");
    EXPECT_EQ(raisedBy([&] { array->objectAtIndex(3); }),
              "NSRangeException: *** -[JKArray objectAtIndex:]: index (3) beyond bounds (3)");
    EXPECT_EQ(raisedBy([&] { array->removeObjectAtIndex(3); }),
              "NSRangeException: *** -[JKArray removeObjectAtIndex:]: index (3) beyond bounds (3)");
    EXPECT_EQ(raisedBy([&] { array->replaceObjectAtIndex(3, ns::num(1)); }),
              "NSRangeException: *** -[JKArray replaceObjectAtIndex:withObject:]: index (3) beyond bounds (3)");
    EXPECT_EQ(raisedBy([&] { array->insertObject(nullptr, 0); }),
              "NSInvalidArgumentException: *** -[JKArray insertObject:atIndex:]: attempt to insert nil");
    EXPECT_EQ(raisedBy([&] { array->replaceObjectAtIndex(0, nullptr); }),
              "NSInvalidArgumentException: *** -[JKArray replaceObjectAtIndex:withObject:]: attempt to insert nil");

    array->insertObject(ns::num(4), 3);
    array->insertObject(ns::num(0), 0);
    array->removeObjectAtIndex(2);
    array->replaceObjectAtIndex(1, ns::str("one"));
    EXPECT_EQ(array->componentsJoinedByString(",")->utf8(), "0,one,3,4");
    array->removeLastObject();
    EXPECT_EQ(array->componentsJoinedByString(",")->utf8(), "0,one,3");
}

TEST(JsonContainers, ArraysGrowSixteenSlotsAtATime) {
    auto empty = mutableArray("[]");
    EXPECT_EQ(empty->capacity(), 0u);
    empty->addObject(ns::num(1));
    EXPECT_EQ(empty->capacity(), 16u);
    EXPECT_EQ(empty->count(), 1u);
    for (int i = 0; i < 15; ++i) empty->addObject(ns::num(i));
    EXPECT_EQ(empty->capacity(), 32u);
    EXPECT_EQ(empty->count(), 16u);
}

TEST(JsonContainers, GetObjectsChecksRangesWithoutWrappingAround) {
    auto array = ns::cast<JKArray>(parse("[1,2,3]").value);
    ns::Id out[3];
    array->getObjects(out, ns::Range{1, 2});
    EXPECT_EQ(ns::cast<ns::Number>(out[0])->longLongValue(), 2);
    EXPECT_EQ(ns::cast<ns::Number>(out[1])->longLongValue(), 3);
    EXPECT_EQ(raisedBy([&] { array->getObjects(out, ns::Range{2, 2}); }),
              "NSRangeException: *** -[JKArray getObjects:range:]: index (4) beyond bounds (3)");
    EXPECT_EQ(raisedBy([&] { array->getObjects(out, ns::Range{4, 0}); }),
              "NSRangeException: *** -[JKArray getObjects:range:]: index (4) beyond bounds (3)");
    EXPECT_EQ(raisedBy([&] { array->getObjects(nullptr, ns::Range{0, 1}); }),
              "NSRangeException: *** -[JKArray getObjects:range:]: pointer to objects array is NULL but range length "
              "is 1");
    // location + length wraps around to 1: still far beyond the end.
    EXPECT_EQ(raisedBy([&] { array->getObjects(out, ns::Range{2, UINT64_MAX}); }),
              "NSRangeException: *** -[JKArray getObjects:range:]: index (18446744073709551615) beyond bounds (3)");
    EXPECT_EQ(raisedBy([&] { array->getObjects(nullptr, ns::Range{1, UINT64_MAX}); }),
              "NSRangeException: *** -[JKArray getObjects:range:]: pointer to objects array is NULL but range length "
              "is 18446744073709551615");
    array->getObjects(nullptr, ns::Range{0, 0});
}

TEST(JsonContainers, DictionaryChecksAndReplacement) {
    auto dictionary = mutableDictionary(R"({"a":1})");
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(raisedBy([&] { dictionary->setObjectForKey(ns::num(1), ns::Id()); }),
              "NSInvalidArgumentException: *** -[JKDictionary setObject:forKey:]: attempt to insert nil key");
    EXPECT_EQ(raisedBy([&] { dictionary->setObjectForKey(nullptr, ns::str("b")); }),
              "NSInvalidArgumentException: *** -[JKDictionary setObject:forKey:]: attempt to insert nil value (key: b)");
    EXPECT_EQ(raisedBy([&] { dictionary->removeObjectForKey(static_cast<const ns::Object*>(nullptr)); }),
              "NSInvalidArgumentException: *** -[JKDictionary removeObjectForKey:]: attempt to remove nil key");

    auto key = ns::MutableString::make("a");
    dictionary->setObjectForKey(ns::num(2), ns::Id(key));
    key->setString("changed");
    EXPECT_EQ(dictionary->count(), 1u);
    EXPECT_EQ(ns::cast<ns::Number>(dictionary->objectForKey("a"))->longLongValue(), 2) << "replaced, key copied";
    ns::Id storedKey;
    dictionary->getObjectsAndKeys(nullptr, &storedKey);
    EXPECT_NE(storedKey.get(), key.get());
    EXPECT_FALSE(ns::cast<ns::MutableString>(storedKey));

    dictionary->removeObjectForKey("absent");
    EXPECT_EQ(dictionary->count(), 1u);
}

TEST(JsonContainers, EmptyDictionariesGrowToTheFirstTableSize) {
    auto dictionary = mutableDictionary("{}");
    EXPECT_FALSE(dictionary->objectForKey("x"));
    dictionary->setObjectForKey(ns::num(1), "x");
    EXPECT_EQ(dictionary->capacity(), 3u);
    for (int i = 0; i < 200; ++i) dictionary->setObjectForKey(ns::num(i), "k" + std::to_string(i));
    EXPECT_EQ(dictionary->count(), 201u);
    EXPECT_EQ(dictionary->capacity(), 383u);
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(ns::cast<ns::Number>(dictionary->objectForKey("k" + std::to_string(i)))->longLongValue(), i);
    }
}

TEST(JsonContainers, RemovingACollidingKeyKeepsTheOthersReachable) {
    auto dictionary = mutableDictionary("{}");
    std::vector<ns::Ref<CollidingKey>> keys;
    // Five keys on the same home slot, two more next to it.
    for (int i = 0; i < 5; ++i) keys.push_back(std::make_shared<CollidingKey>("same" + std::to_string(i), 7));
    keys.push_back(std::make_shared<CollidingKey>("next", 8));
    keys.push_back(std::make_shared<CollidingKey>("wrapped", 12));
    for (size_t i = 0; i < keys.size(); ++i) dictionary->setObjectForKey(ns::num(int64_t(i)), ns::Id(keys[i]));
    ASSERT_EQ(dictionary->capacity(), 13u);

    for (size_t removed : {size_t(1), size_t(0), size_t(4)}) {
        dictionary->removeObjectForKey(keys[removed]);
        EXPECT_FALSE(dictionary->objectForKey(keys[removed])) << removed;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (i == 0 || i == 1 || (i == 4 && removed == 4)) continue;
            auto found = ns::cast<ns::Number>(dictionary->objectForKey(keys[i]));
            ASSERT_TRUE(found) << "key " << i << " lost after removing " << removed;
            EXPECT_EQ(found->longLongValue(), int64_t(i));
        }
    }
    EXPECT_EQ(dictionary->count(), 4u);
}

TEST(JsonContainers, CopiesOfImmutableContainersAreThemselves) {
    auto array = ns::cast<JKArray>(parse("[1,[2]]").value);
    EXPECT_EQ(array->copy(), ns::Id(array));
    auto mutableCopy = ns::cast<ns::MutableArray>(array->mutableCopy());
    ASSERT_TRUE(mutableCopy);
    mutableCopy->addObject(ns::num(3));
    EXPECT_EQ(array->count(), 2u);

    auto dictionary = ns::cast<JKDictionary>(parse(R"({"a":1})").value);
    EXPECT_EQ(dictionary->copy(), ns::Id(dictionary));

    auto changing = mutableArray("[1]");
    auto snapshot = changing->copy();
    EXPECT_NE(snapshot, ns::Id(changing));
    changing->addObject(ns::num(2));
    EXPECT_EQ(ns::cast<ns::Array>(snapshot)->count(), 1u) << "an independent platform array";
    EXPECT_EQ(snapshot->className(), "__NSArrayI");

    auto changingDictionary = mutableDictionary(R"({"a":1})");
    auto dictionarySnapshot = ns::cast<ns::Dictionary>(changingDictionary->copy());
    changingDictionary->setObjectForKey(ns::num(2), "b");
    EXPECT_EQ(dictionarySnapshot->count(), 1u);
    EXPECT_TRUE(dictionarySnapshot->isEqual(ns::Dictionary::make({{"a", ns::num(1)}})));
}

TEST(JsonContainers, EnumeratorsWalkTheKeysInSlotOrder) {
    auto dictionary = ns::cast<JKDictionary>(parse(objectOfSize(6)).value);
    auto enumerator = dictionary->keyEnumerator();
    ASSERT_TRUE(ns::cast<JKDictionaryEnumerator>(enumerator));
    EXPECT_EQ(enumerator->allObjects()->count(), 6u);
    EXPECT_FALSE(enumerator->nextObject()) << "exhausted";

    auto another = dictionary->keyEnumerator();
    ns::Id firstKey = another->nextObject();
    auto rest = another->allObjects();
    EXPECT_EQ(rest->count(), 5u);
    EXPECT_FALSE(rest->containsObject(firstKey));

    ns::Id keys[6];
    dictionary->getObjectsAndKeys(nullptr, keys);
    std::vector<std::string> fromTable, fromLoop;
    for (const ns::Id& k : keys) fromTable.push_back(ns::cast<ns::String>(k)->utf8());
    for (const ns::Id& k : *dictionary) fromLoop.push_back(ns::cast<ns::String>(k)->utf8());
    EXPECT_EQ(fromTable, fromLoop);
    EXPECT_EQ(std::set<std::string>(fromLoop.begin(), fromLoop.end()).size(), 6u);

    EXPECT_FALSE(JKDictionaryEnumerator::withJKDictionary(nullptr));
}

TEST(JsonContainers, ChangesDuringFastEnumerationRaise) {
    auto array = mutableArray("[1,2,3]");
    EXPECT_THROW(
        for (const ns::Id& element : *array) {
            (void)element;
            array->addObject(ns::num(0));
        },
        ns::Exception);
    auto dictionary = mutableDictionary(R"({"a":1,"b":2})");
    EXPECT_THROW(
        for (const ns::Id& key : *dictionary) {
            (void)key;
            dictionary->setObjectForKey(ns::num(0), "c");
        },
        ns::Exception);
    auto frozen = ns::cast<JKArray>(parse("[1,2,3]").value);
    int seen = 0;
    for (const ns::Id& element : *frozen) seen += int(ns::cast<ns::Number>(element)->longLongValue());
    EXPECT_EQ(seen, 6);
}

TEST(JsonContainers, ReadersTreatThemAsOrdinaryCollections) {
    auto root = ns::cast<ns::Dictionary>(parse(R"({"list":[3,1,2],"name":"x"})").value);
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->isEqual(ns::Dictionary::make(
        {{"list", ns::Array::make({ns::num(3), ns::num(1), ns::num(2)})}, {"name", ns::str("x")}})));
    EXPECT_EQ(root->allKeys()->count(), 2u);
    auto list = ns::cast<ns::Array>(root->objectForKey("list"));
    EXPECT_EQ(list->indexOfObject(ns::num(2)), 2u);
    EXPECT_EQ(list->description(), "(\n    3,\n    1,\n    2\n)");
}

}  // namespace
