// Collections of other libraries subclass the abstract mutable array and
// dictionary and implement only the primitives; everything else must come
// from the bases.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/KeyValueCoding.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "platform/runtime/Exception.h"

namespace {

using ns::Id;
using ns::num;
using ns::str;

// Immutable when made with frozen = true, as a parser might hand it out.
class LedgerArray : public ns::MutableArray {
    RT_DECLARE_CLASS(LedgerArray)
public:
    LedgerArray() = default;
    LedgerArray(std::vector<Id> objects, bool frozen) : objects_(std::move(objects)), mutations_(frozen ? 0 : 1) {}

    uint64_t count() const override { return objects_.size(); }
    Id objectAtIndex(uint64_t index) const override {
        if (index >= objects_.size()) raiseIndexBeyondBounds("objectAtIndex:", index, objects_.size());
        return objects_[index];
    }
    uint64_t countByEnumerating(ns::FastEnumerationState& state, Id* buffer, uint64_t len) const override {
        state.mutationsPtr = &mutations_;
        uint64_t n = 0;
        while (n < len && state.state < objects_.size()) buffer[n++] = objects_[state.state++];
        state.itemsPtr = buffer;
        return n;
    }
    void insertObject(const Id& object, uint64_t index) override {
        check("insertObject:atIndex:");
        objects_.insert(objects_.begin() + index, object);
        ++mutations_;
    }
    void removeObjectAtIndex(uint64_t index) override {
        check("removeObjectAtIndex:");
        objects_.erase(objects_.begin() + index);
        ++mutations_;
    }
    void replaceObjectAtIndex(uint64_t index, const Id& object) override {
        check("replaceObjectAtIndex:withObject:");
        objects_[index] = object;
        ++mutations_;
    }

private:
    void check(const char* selector) const {
        if (mutations_ == 0) {
            ns::Exception::raise(ns::InternalInconsistencyException,
                                 "*** -[" + className() + " " + selector + "]: mutating method sent to immutable object");
        }
    }

    std::vector<Id> objects_;
    uint64_t mutations_ = 1;
};

class LedgerDictionary : public ns::MutableDictionary {
    RT_DECLARE_CLASS(LedgerDictionary)
public:
    using MutableDictionary::removeObjectForKey;
    using MutableDictionary::setObjectForKey;

    uint64_t count() const override { return entries_.size(); }
    Id objectForKey(const ns::Object* key) const override {
        auto it = find(key);
        return it == entries_.end() ? nullptr : it->second;
    }
    uint64_t countByEnumerating(ns::FastEnumerationState& state, Id* buffer, uint64_t len) const override {
        state.mutationsPtr = &mutations_;
        uint64_t n = 0;
        while (n < len && state.state < entries_.size()) buffer[n++] = entries_[state.state++].first;
        state.itemsPtr = buffer;
        return n;
    }
    void setObjectForKey(const Id& object, const Id& key) override {
        auto it = find(key.get());
        if (it != entries_.end()) entries_.erase(it);
        entries_.emplace_back(key->copy(), object);
        ++mutations_;
    }
    void removeObjectForKey(const ns::Object* key) override {
        auto it = find(key);
        if (it == entries_.end()) return;
        entries_.erase(it);
        ++mutations_;
    }

private:
    using Entries = std::vector<std::pair<Id, Id>>;
    Entries::const_iterator find(const ns::Object* key) const {
        return std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return ns::equal(e.first.get(), key); });
    }
    Entries entries_;
    uint64_t mutations_ = 1;
};

}  // namespace

RT_DEFINE_CLASS(LedgerArray, ns::MutableArray, "CTLedgerArray")
RT_DEFINE_CLASS(LedgerDictionary, ns::MutableDictionary, "CTLedgerDictionary")

namespace {

TEST(CollectionsSubclass, ArrayOperationsComeFromThePrimitives) {
    auto array = std::make_shared<LedgerArray>(std::vector<Id>{num(1), str("two")}, false);
    array->addObject(num(3));
    array->removeLastObject();
    array->addObject(num(4));
    EXPECT_EQ(array->componentsJoinedByString("|")->utf8(), "1|two|4");
    EXPECT_EQ(array->indexOfObject(str("two")), 1u);
    EXPECT_EQ(array->subarrayWithRange(ns::Range{1, 2})->componentsJoinedByString("|")->utf8(), "two|4");
    EXPECT_EQ(array->description(), "(\n    1,\n    two,\n    4\n)");
    EXPECT_TRUE(array->isEqual(ns::Array::make({num(1), str("two"), num(4)})));
    EXPECT_EQ(array->hash(), 3u);

    auto frozen = array->copy();
    EXPECT_EQ(frozen->className(), "__NSArrayI");
    auto thawed = array->mutableCopy();
    EXPECT_EQ(thawed->className(), "__NSArrayM");
    EXPECT_TRUE(thawed->isEqual(array));

    uint64_t visited = 0;
    array->enumerateObjectsUsingBlock([&](const Id&, uint64_t, bool&) { ++visited; });
    EXPECT_EQ(visited, 3u);
    EXPECT_THROW(
        for (const Id& element : *array) {
            (void)element;
            array->addObject(num(0));
        },
        ns::Exception);
}

TEST(CollectionsSubclass, FrozenArrayRefusesChangesThroughItsPrimitives) {
    auto array = std::make_shared<LedgerArray>(std::vector<Id>{num(1)}, true);
    try {
        array->addObject(num(2));
        ADD_FAILURE() << "nothing raised";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), ns::InternalInconsistencyException);
        EXPECT_EQ(e.reason(), "*** -[CTLedgerArray insertObject:atIndex:]: mutating method sent to immutable object");
    }
    EXPECT_EQ(array->count(), 1u);
}

TEST(CollectionsSubclass, DictionaryOperationsComeFromThePrimitives) {
    auto dictionary = std::make_shared<LedgerDictionary>();
    dictionary->setObjectForKey(num(1), "one");
    dictionary->setObjectForKey(str("x"), "two");
    dictionary->setValueForKey(num(3), "three");
    dictionary->setValueForKey(nullptr, "two");
    EXPECT_EQ(dictionary->allKeys()->componentsJoinedByString(",")->utf8(), "one,three");
    EXPECT_EQ(dictionary->allValues()->componentsJoinedByString(",")->utf8(), "1,3");
    EXPECT_EQ(dictionary->description(), "{\n    one = 1;\n    three = 3;\n}");
    EXPECT_TRUE(dictionary->isEqual(ns::Dictionary::make({{"three", num(3)}, {"one", num(1)}})));
    EXPECT_TRUE(ns::valueForKey(dictionary, "three")->isEqual(num(3)));
    EXPECT_TRUE(dictionary->keyEnumerator()->nextObject()->isEqual(str("one")));

    auto frozen = dictionary->copy();
    EXPECT_EQ(frozen->className(), "__NSDictionaryI");
    EXPECT_TRUE(frozen->isEqual(dictionary));
    EXPECT_EQ(dictionary->mutableCopy()->className(), "__NSDictionaryM");

    std::vector<std::string> pairs;
    dictionary->enumerateKeysAndObjectsUsingBlock(
        [&](const Id& key, const Id& object, bool&) { pairs.push_back(ns::textOf(key) + ns::textOf(object)); });
    EXPECT_EQ(pairs, (std::vector<std::string>{"one1", "three3"}));

    dictionary->removeAllObjects();
    EXPECT_EQ(dictionary->count(), 0u);
}

}  // namespace
