#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Array.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DecimalNumber.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/IndexSet.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Set.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Exception.h"

using namespace ns;

namespace {

int nodesMade = 0;

// A node of a graph: children are shared, the parent is a weak back reference.
class Node : public Object, public Coding {
    RT_DECLARE_CLASS(Node)
public:
    Node() { ++nodesMade; }

    Ref<String> name;
    int64_t level = 0;
    double weight = 0;
    bool active = false;
    Ref<Array> children;
    Weak<Node> parent;

    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeObject(name, "name");
        coder.encodeInt64(level, "level");
        coder.encodeDouble(weight, "weight");
        coder.encodeBool(active, "active");
        coder.encodeObject(children, "children");
        coder.encodeObject(parent.lock(), "parent");
    }
    bool initWithCoder(KeyedUnarchiver& coder) override {
        name = coder.decodeObjectOfClass<String>("name");
        level = coder.decodeInt64ForKey("level");
        weight = coder.decodeDoubleForKey("weight");
        active = coder.decodeBoolForKey("active");
        children = cast<Array>(coder.decodeObjectOfClasses({Array::staticClass(), Node::staticClass()}, "children"));
        parent = coder.decodeObjectOfClass<Node>("parent");
        return true;
    }
    bool supportsSecureCoding() const override { return true; }
};

// Archives its name as a number, to stand for a tampered archive.
class Impostor : public Node {
    RT_DECLARE_CLASS(Impostor)
public:
    void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeInt(42, "name"); }
};

// Codes itself but without the secure-coding promise.
class Note : public Object, public Coding {
    RT_DECLARE_CLASS(Note)
public:
    Ref<String> text;
    void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeObject(text, "text"); }
    bool initWithCoder(KeyedUnarchiver& coder) override {
        text = cast<String>(coder.decodeObjectForKey("text"));
        return true;
    }
};

// Has no coding at all.
class Opaque : public Object {
    RT_DECLARE_CLASS(Opaque)
};

// Exercises the scalar and presence calls of the coder.
class Scalars : public Object, public Coding {
    RT_DECLARE_CLASS(Scalars)
public:
    int64_t wide = 0;
    Ref<Number> boxed;
    int32_t narrow = 0;
    bool hasMissing = true;
    Ref<Error> error;

    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeInt64(wide, "wide");
        coder.encodeInt(7, "small");
        coder.encodeInt(1, "small");  // the last write wins
        coder.encodeObject(Number::withDouble(2.5), "number");
    }
    bool initWithCoder(KeyedUnarchiver& coder) override {
        boxed = coder.decodeObjectOfClass<Number>("small");
        hasMissing = coder.containsValueForKey("missing");
        EXPECT_TRUE(coder.containsValueForKey("wide"));
        EXPECT_EQ(coder.decodeInt64ForKey("missing"), 0);
        EXPECT_EQ(coder.decodeObjectForKey("missing"), nullptr);
        EXPECT_DOUBLE_EQ(coder.decodeDoubleForKey("number"), 2.5);
        EXPECT_DOUBLE_EQ(coder.decodeDoubleForKey("small"), 1.0);
        narrow = coder.decodeIntForKey("wide");
        error = coder.error();
        return true;
    }
    bool supportsSecureCoding() const override { return true; }
};

}  // namespace

RT_DEFINE_CLASS(Node, ns::Object, "ArchiveTestNode")
RT_DEFINE_CLASS(Impostor, Node, "ArchiveTestImpostor")
RT_DEFINE_CLASS(Note, ns::Object, "ArchiveTestNote")
RT_DEFINE_CLASS(Opaque, ns::Object, "ArchiveTestOpaque")
RT_DEFINE_CLASS(Scalars, ns::Object, "ArchiveTestScalars")

namespace {

Ref<Node> node(std::string name, int64_t level) {
    auto n = std::make_shared<Node>();
    n->name = str(std::move(name));
    n->level = level;
    return n;
}

std::string debugText(const Ref<Error>& error) {
    if (!error) return "(no error)";
    auto text = cast<String>(error->userInfo()->objectForKey("NSDebugDescription"));
    return text ? text->utf8() : "(no description)";
}

Ref<Data> archive(const Id& root) {
    Ref<Error> error;
    auto data = KeyedArchiver::archivedDataWithRootObject(root, true, &error);
    EXPECT_TRUE(data) << debugText(error);
    return data;
}

}  // namespace

TEST(KeyedArchiving, ValuesAndCollectionsRoundTrip) {
    auto indexes = MutableIndexSet::indexSet();
    indexes->addIndexesInRange({200, 100});
    indexes->addIndex(404);
    auto mutableList = MutableArray::make({str("m")});
    auto root = Dictionary::make({
        {"text", str("héllo 😀")},
        {"mutableText", MutableString::make("edit")},
        {"int", Number::withInt(-5)},
        {"long", Number::withLongLong(-1234567890123)},
        {"unsigned", Number::withUnsignedLongLong(18446744073709551615ull)},
        {"double", Number::withDouble(0.1)},
        {"float", Number::withFloat(1.5f)},
        {"bool", Number::True()},
        {"decimal", DecimalNumber::withString("12345678901234567890.123")},
        {"data", Data::withBytes(std::string_view("\x00\x01\xff", 3))},
        {"date", Date::withTimeIntervalSince1970(1700000000.25)},
        {"url", URL::make("page?x=1", URL::make("https://example.test/a/"))},
        {"null", Null::null()},
        {"list", Array::make({num(1), str("two")})},
        {"mutableList", mutableList},
        {"set", Set::make({str("a"), str("b")})},
        {"mutableDictionary", MutableDictionary::make({{"k", str("v")}})},
        {"codes", indexes->copy()},
        {"mutableCodes", indexes},
    });

    Ref<Error> error;
    auto back = cast<Dictionary>(KeyedUnarchiver::unarchivedObjectOfClass(Dictionary::staticClass(), archive(root).get(), &error));
    ASSERT_TRUE(back) << debugText(error);
    EXPECT_TRUE(back->isEqual(root));
    EXPECT_EQ(back->allKeys()->componentsJoinedByString(",")->utf8(), root->allKeys()->componentsJoinedByString(",")->utf8());

    // Kinds and mutability survive.
    EXPECT_FALSE(cast<MutableDictionary>(back));
    EXPECT_FALSE(cast<MutableString>(back->objectForKey("text")));
    EXPECT_TRUE(cast<MutableString>(back->objectForKey("mutableText")));
    EXPECT_TRUE(cast<MutableArray>(back->objectForKey("mutableList")));
    EXPECT_FALSE(cast<MutableArray>(back->objectForKey("list")));
    EXPECT_TRUE(cast<MutableDictionary>(back->objectForKey("mutableDictionary")));
    EXPECT_TRUE(cast<MutableIndexSet>(back->objectForKey("mutableCodes")));
    EXPECT_FALSE(cast<MutableIndexSet>(back->objectForKey("codes")));
    EXPECT_TRUE(cast<IndexSet>(back->objectForKey("codes"))->containsIndex(299));
    EXPECT_STREQ(cast<Number>(back->objectForKey("int"))->objCType(), "i");
    EXPECT_STREQ(cast<Number>(back->objectForKey("float"))->objCType(), "f");
    EXPECT_EQ(back->objectForKey("bool"), Number::True());
    EXPECT_EQ(back->objectForKey("null"), Null::null());
    EXPECT_EQ(cast<DecimalNumber>(back->objectForKey("decimal"))->stringValue(), "12345678901234567890.123");
    auto url = cast<URL>(back->objectForKey("url"));
    ASSERT_TRUE(url);
    EXPECT_EQ(url->absoluteString()->utf8(), "https://example.test/a/page?x=1");
    EXPECT_EQ(url->relativeString()->utf8(), "page?x=1");
}

TEST(KeyedArchiving, GraphKeepsSharedReferencesAndCycles) {
    auto root = node("root", 0);
    root->weight = 2.5;
    root->active = true;
    auto shared = node("shared", 2);
    auto left = node("left", 1);
    auto right = node("right", 1);
    left->children = Array::make({shared});
    right->children = Array::make({shared});
    root->children = Array::make({left, right, shared});
    for (auto& child : {left, right}) child->parent = root;
    shared->parent = left;

    Ref<Error> error;
    auto back = cast<Node>(KeyedUnarchiver::unarchivedObjectOfClass(Node::staticClass(), archive(root).get(), &error));
    ASSERT_TRUE(back) << debugText(error);
    EXPECT_EQ(back->name->utf8(), "root");
    EXPECT_DOUBLE_EQ(back->weight, 2.5);
    EXPECT_TRUE(back->active);
    ASSERT_EQ(back->children->count(), 3u);
    auto backLeft = cast<Node>(back->children->objectAtIndex(0));
    auto backRight = cast<Node>(back->children->objectAtIndex(1));
    auto backShared = cast<Node>(back->children->objectAtIndex(2));
    ASSERT_TRUE(backLeft && backRight && backShared);
    EXPECT_EQ(backRight->name->utf8(), "right");
    EXPECT_EQ(backShared->level, 2);
    // One object, reached three ways.
    EXPECT_EQ(backLeft->children->objectAtIndex(0), backShared);
    EXPECT_EQ(backRight->children->objectAtIndex(0), backShared);
    // The back references lead to the decoded objects, not copies.
    EXPECT_EQ(backLeft->parent.lock(), back);
    EXPECT_EQ(backShared->parent.lock(), backLeft);
    EXPECT_EQ(back->parent.lock(), nullptr);
}

TEST(KeyedArchiving, ClassCheckedDecodingRefusesOtherClasses) {
    auto data = archive(Dictionary::make({{"node", node("n", 1)}, {"text", str("t")}}));

    // A coded class must be named; it is refused before it is made.
    int before = nodesMade;
    Ref<Error> error;
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClass(Dictionary::staticClass(), data.get(), &error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), CocoaErrorDomain);
    EXPECT_EQ(error->code(), CoderReadCorruptError);
    EXPECT_NE(debugText(error).find("was of unexpected class 'ArchiveTestNode'"), std::string::npos) << debugText(error);
    EXPECT_EQ(nodesMade, before);

    error = nullptr;
    auto allowed = KeyedUnarchiver::unarchivedObjectOfClasses({Dictionary::staticClass(), Node::staticClass()}, data.get(), &error);
    EXPECT_TRUE(cast<Dictionary>(allowed)) << debugText(error);

    // The root itself must be of an allowed class, values included.
    error = nullptr;
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClass(Array::staticClass(), archive(str("x")).get(), &error), nullptr);
    EXPECT_NE(debugText(error).find("value for key 'root' was of unexpected class 'NSString'"), std::string::npos);
    // A subclass of an allowed class is allowed.
    auto mutableBack = KeyedUnarchiver::unarchivedObjectOfClass(Array::staticClass(), archive(MutableArray::make()).get(), nullptr);
    EXPECT_TRUE(cast<MutableArray>(mutableBack));

    // decodeObjectOfClass inside a coded object checks what it reads.
    error = nullptr;
    auto impostor = std::make_shared<Impostor>();
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClass(Node::staticClass(), archive(impostor).get(), &error), nullptr);
    EXPECT_NE(debugText(error).find("value for key 'name' was of unexpected class 'NSNumber'"), std::string::npos)
        << debugText(error);
}

TEST(KeyedArchiving, SecureCodingAndUncodableObjects) {
    auto note = std::make_shared<Note>();
    note->text = str("hello");

    Ref<Error> error;
    EXPECT_EQ(KeyedArchiver::archivedDataWithRootObject(note, true, &error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), CoderInvalidValueError);

    auto data = KeyedArchiver::archivedDataWithRootObject(note, false, nullptr);
    ASSERT_TRUE(data);
    error = nullptr;
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClass(Note::staticClass(), data.get(), &error), nullptr);
    EXPECT_NE(debugText(error).find("does not adopt"), std::string::npos) << debugText(error);
    // The unchecked call decodes any class.
    auto back = cast<Note>(KeyedUnarchiver::unarchiveObjectWithData(data));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text->utf8(), "hello");

    auto opaque = Array::make({std::make_shared<Opaque>()});
    error = nullptr;
    EXPECT_EQ(KeyedArchiver::archivedDataWithRootObject(opaque, false, &error), nullptr);
    EXPECT_NE(debugText(error).find("-[ArchiveTestOpaque encodeWithCoder:]"), std::string::npos);
    try {
        KeyedArchiver::archivedDataWithRootObject(opaque);
        ADD_FAILURE() << "archiving an object without coding did not raise";
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), InvalidArgumentException);
    }

    // nil is a root like any other.
    auto empty = KeyedArchiver::archivedDataWithRootObject(nullptr);
    ASSERT_TRUE(empty);
    error = nullptr;
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClass(Array::staticClass(), empty.get(), &error), nullptr);
    EXPECT_FALSE(error);
}

TEST(KeyedArchiving, Scalars) {
    auto scalars = std::make_shared<Scalars>();
    scalars->wide = 12;
    Ref<Error> error;
    auto back = cast<Scalars>(KeyedUnarchiver::unarchivedObjectOfClass(Scalars::staticClass(), archive(scalars).get(), &error));
    ASSERT_TRUE(back) << debugText(error);
    // An integer written as a scalar reads back as a number object too.
    ASSERT_TRUE(back->boxed);
    EXPECT_EQ(back->boxed->longLongValue(), 1);
    EXPECT_FALSE(back->hasMissing);
    EXPECT_EQ(back->narrow, 12);
    EXPECT_FALSE(back->error);

    // A value beyond 32 bits fails the whole decoding.
    scalars->wide = int64_t(1) << 40;
    error = nullptr;
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClass(Scalars::staticClass(), archive(scalars).get(), &error), nullptr);
    EXPECT_NE(debugText(error).find("too large to fit in 32-bit integer"), std::string::npos) << debugText(error);
}

TEST(KeyedArchiving, DepthIsBoundedBothWays) {
    Id deep = str("leaf");
    for (unsigned i = 0; i < KeyedArchiver::MaxDepth - 1; ++i) deep = Array::make({deep});
    auto data = archive(deep);
    EXPECT_TRUE(KeyedUnarchiver::unarchivedObjectOfClass(Array::staticClass(), data.get(), nullptr));

    Ref<Error> error;
    EXPECT_EQ(KeyedArchiver::archivedDataWithRootObject(Array::make({deep}), false, &error), nullptr);
    EXPECT_TRUE(error);
}
