#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Array.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/IndexSet.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Exception.h"

using namespace ns;

namespace {

// A coded leaf with scalar fields only, so no corruption can make it hold itself.
class Point : public Object, public Coding {
    RT_DECLARE_CLASS(Point)
public:
    int64_t x = 0, y = 0;
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeInt64(x, "x");
        coder.encodeInt64(y, "y");
    }
    bool initWithCoder(KeyedUnarchiver& coder) override {
        x = coder.decodeInt64ForKey("x");
        y = coder.decodeInt64ForKey("y");
        return true;
    }
    bool supportsSecureCoding() const override { return true; }
};

}  // namespace

RT_DEFINE_CLASS(Point, ns::Object, "ArchiveTestPoint")

namespace {

const KeyedUnarchiver::Classes allowed{Dictionary::staticClass(), Point::staticClass()};

Ref<Data> sampleArchive() {
    auto point = std::make_shared<Point>();
    point->x = 3;
    point->y = -4;
    auto codes = MutableIndexSet::indexSet();
    codes->addIndexesInRange({200, 100});
    auto root = Dictionary::make({
        {"name", str("sample ✓")},
        {"list", Array::make({num(1), Number::withDouble(2.5), Number::True(), Null::null(), str("s")})},
        {"when", Date::withTimeIntervalSince1970(86400)},
        {"where", URL::make("b", URL::make("http://h.test/a/"))},
        {"point", point},
        {"again", point},
        {"codes", codes->copy()},
        {"bytes", Data::withBytes(std::string_view("\x01\x02"))},
    });
    return KeyedArchiver::archivedDataWithRootObject(root, true, nullptr);
}

// Decodes through both entry points; neither may crash or fail in any way
// but its documented one. Returns whether the checked call reported an error.
bool decodeBothWays(const Ref<Data>& data) {
    Ref<Error> error;
    Id value = KeyedUnarchiver::unarchivedObjectOfClasses(allowed, data.get(), &error);
    if (error) {
        EXPECT_EQ(value, nullptr);
        EXPECT_EQ(error->code(), CoderReadCorruptError);
    } else if (value) {
        // Whatever a damaged archive yields, the root is still of a class allowed.
        EXPECT_TRUE(cast<Dictionary>(value) || cast<Point>(value)) << value->className();
    }
    try {
        KeyedUnarchiver::unarchiveObjectWithData(data);
    } catch (const Exception&) {
        // The unchecked call reports failures by exception.
    }
    return error != nullptr;
}

}  // namespace

TEST(KeyedArchiveCorruption, UnreadableBytesGiveAnError) {
    for (std::string_view bytes : {std::string_view(""), std::string_view("bplist00"), std::string_view("GHKA"),
                                   std::string_view("GHKA\x02\x00\x00", 7), std::string_view("<plist/>")}) {
        Ref<Error> error;
        EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClasses(allowed, Data::withBytes(bytes).get(), &error), nullptr);
        ASSERT_TRUE(error) << bytes;
        EXPECT_EQ(error->domain(), CocoaErrorDomain);
        EXPECT_EQ(error->code(), CoderReadCorruptError);
        auto text = cast<String>(error->userInfo()->objectForKey("NSDebugDescription"));
        ASSERT_TRUE(text);
        EXPECT_NE(text->utf8().find("incomprehensible archive"), std::string::npos);
    }
    Ref<Error> error;
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClasses(allowed, nullptr, &error), nullptr);
    EXPECT_TRUE(error);

    EXPECT_EQ(KeyedUnarchiver::unarchiveObjectWithData(nullptr), nullptr);
    try {
        KeyedUnarchiver::unarchiveObjectWithData(Data::withBytes(std::string_view("bplist00")));
        ADD_FAILURE() << "unreadable bytes did not raise";
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), InvalidArgumentException);
    }
}

TEST(KeyedArchiveCorruption, EveryTruncationFails) {
    auto data = sampleArchive();
    ASSERT_TRUE(data);
    auto whole = cast<Dictionary>(KeyedUnarchiver::unarchivedObjectOfClasses(allowed, data.get(), nullptr));
    ASSERT_TRUE(whole);
    auto point = cast<Point>(whole->objectForKey("point"));
    ASSERT_TRUE(point);
    EXPECT_EQ(point->y, -4);
    EXPECT_EQ(whole->objectForKey("again"), point);

    for (size_t length = 0; length < data->length(); ++length) {
        Ref<Error> error;
        auto cut = data->subdataWithRange({0, length});
        EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClasses(allowed, cut.get(), &error), nullptr) << length;
        EXPECT_TRUE(error) << length;
    }
}

TEST(KeyedArchiveCorruption, BitFlipsNeverCrash) {
    auto data = sampleArchive();
    ASSERT_TRUE(data);
    size_t refused = 0;
    for (size_t bit = 0; bit < data->length() * 8; ++bit) {
        auto flipped = MutableData::make(data->vector());
        flipped->mutableBytes()[bit / 8] ^= uint8_t(1u << (bit % 8));
        refused += decodeBothWays(flipped);
    }
    // Flips inside text only change the text; structural ones are caught.
    EXPECT_GT(refused, data->length() * 8 / 4);
    // Garbage after a valid archive is refused too.
    auto longer = MutableData::make(data->vector());
    longer->appendBytes("x", 1);
    Ref<Error> error;
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClasses(allowed, longer.get(), &error), nullptr);
    EXPECT_TRUE(error);
}

TEST(KeyedArchiveCorruption, CraftedArchives) {
    auto decode = [](std::string bytes, Ref<Error>& error) {
        return KeyedUnarchiver::unarchivedObjectOfClasses({Array::staticClass()}, Data::withBytes(bytes).get(), &error);
    };
    // A top record with "root" -> uid 1.
    const std::string top = std::string("\x01\x04root") + "o" + "\x01";

    // An immutable array that holds itself.
    Ref<Error> error;
    EXPECT_EQ(decode(std::string("GHKA\x01\x01\x07\x00\x01\x01", 10) + top, error), nullptr);
    EXPECT_TRUE(error);

    // A chain of arrays deeper than any archiver writes.
    const unsigned depth = KeyedArchiver::MaxDepth + 10;
    std::string chain = "GHKA\x01";
    auto varint = [](std::string& out, uint64_t v) {
        while (v >= 0x80) {
            out += char(uint8_t(v) | 0x80);
            v >>= 7;
        }
        out += char(v);
    };
    varint(chain, depth + 1);
    for (unsigned i = 1; i <= depth; ++i) {
        chain += std::string("\x07\x00\x01", 3);
        varint(chain, i + 1);
    }
    chain += std::string(1, '\0');  // the innermost element: null
    error = nullptr;
    EXPECT_EQ(decode(chain + top, error), nullptr);
    ASSERT_TRUE(error);
    auto nesting = cast<String>(error->userInfo()->objectForKey("NSDebugDescription"));
    EXPECT_NE(nesting->utf8().find("nested deeper"), std::string::npos) << nesting->utf8();

    // An element count larger than the bytes that follow.
    error = nullptr;
    EXPECT_EQ(decode(std::string("GHKA\x01\x01\x07\x00\xff\xff\xff\xff\x0f", 13) + top, error), nullptr);
    EXPECT_TRUE(error);

    // A class that is not registered.
    error = nullptr;
    auto unknown = std::string("GHKA\x01\x01\x0b\x07NoSuchX\x00", 16) + top;
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClasses({Object::staticClass()}, Data::withBytes(unknown).get(), &error),
              nullptr);
    ASSERT_TRUE(error);
    auto text = cast<String>(error->userInfo()->objectForKey("NSDebugDescription"));
    EXPECT_NE(text->utf8().find("cannot decode object of class (NoSuchX)"), std::string::npos);
}
