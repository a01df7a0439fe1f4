#include "platform/foundation/KeyedArchiver.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DecimalNumber.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/IndexSet.h"
#include "platform/foundation/KeyedArchiverFormat.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Set.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Exception.h"

namespace ns {

using namespace archive;

namespace {

// Fields of one record, in the order first written.
struct Record {
    std::vector<std::pair<std::string, std::string>> fields;

    void set(std::string_view key, std::string value) {
        for (auto& field : fields) {
            if (field.first == key) {
                field.second = std::move(value);
                return;
            }
        }
        fields.emplace_back(std::string(key), std::move(value));
    }

    void writeTo(std::string& out) const {
        putVarint(out, fields.size());
        for (const auto& [key, value] : fields) {
            putText(out, key);
            out += value;
        }
    }
};

std::string uidField(uint64_t uid) {
    std::string field(1, FieldObject);
    putVarint(field, uid);
    return field;
}

std::string addressOf(const Object* object) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%p", static_cast<const void*>(object));
    return buffer;
}

}  // namespace

struct KeyedArchiver::Impl {
    bool secure;
    bool raises;
    Ref<Error> error;
    // Encoded bodies; uid k is bodies[k - 1].
    std::vector<std::string> bodies;
    std::unordered_map<const Object*, uint64_t> uids;
    // Keeps every archived object alive until the end, so a temporary that a
    // coder writes cannot free its address for another object to reuse.
    std::vector<Id> retained;
    Record top;
    std::vector<Record*> records;
    unsigned depth = 0;

    void fail(const std::string& reason, const char* exceptionName = InvalidArgumentException) {
        if (raises) Exception::raise(exceptionName, reason);
        if (error) return;
        error = Error::make(CocoaErrorDomain, CoderInvalidValueError,
                            Dictionary::make({
                                {LocalizedDescriptionKey,
                                 String::make("The data couldn’t be written because it isn’t in the correct format.")},
                                {"NSDebugDescription", String::make(reason)},
                            }));
    }

    uint64_t reference(KeyedArchiver& owner, const Id& object);
    bool encodeBody(KeyedArchiver& owner, const Object& object, std::string& out);
};

uint64_t KeyedArchiver::Impl::reference(KeyedArchiver& owner, const Id& object) {
    if (!object || error) return 0;
    if (auto found = uids.find(object.get()); found != uids.end()) return found->second;
    if (depth >= MaxDepth) {
        fail("object graph nested deeper than " + std::to_string(MaxDepth) + " objects", InvalidArchiveOperationException);
        return 0;
    }
    // The uid is taken before the contents are written, so a cycle back to
    // this object finds it.
    const uint64_t uid = bodies.size() + 1;
    bodies.emplace_back();
    uids.emplace(object.get(), uid);
    retained.push_back(object);
    ++depth;
    std::string body;
    bool encoded = encodeBody(owner, *object, body);
    --depth;
    if (!encoded) return 0;
    bodies[uid - 1] = std::move(body);
    return uid;
}

bool KeyedArchiver::Impl::encodeBody(KeyedArchiver& owner, const Object& object, std::string& out) {
    auto flags = [&](bool isMutable) { out += char(isMutable ? FlagMutable : 0); };
    auto refs = [&](const auto& collection) {
        std::vector<uint64_t> list;
        for (const Id& item : collection) list.push_back(reference(owner, item));
        return list;
    };

    if (auto coding = dynamic_cast<const Coding*>(&object)) {
        if (secure && !coding->supportsSecureCoding()) {
            fail("This coder requires that archived classes adopt secure coding. Class '" + object.className() +
                 "' does not adopt it.");
            return false;
        }
        Record record;
        records.push_back(&record);
        coding->encodeWithCoder(owner);
        records.pop_back();
        out += char(KindCoded);
        putText(out, object.className());
        record.writeTo(out);
    } else if (dynamic_cast<const Null*>(&object)) {
        out += char(KindNull);
    } else if (auto text = dynamic_cast<const String*>(&object)) {
        out += char(KindString);
        flags(dynamic_cast<const MutableString*>(text) != nullptr);
        putText(out, text->utf8());
    } else if (auto decimal = dynamic_cast<const DecimalNumber*>(&object)) {
        out += char(KindDecimal);
        putText(out, decimal->stringValue());
    } else if (auto number = dynamic_cast<const Number*>(&object)) {
        out += char(KindNumber);
        putText(out, number->objCType());
        switch (number->kind()) {
            case Number::Kind::Signed:
                out += NumberSigned;
                putZigzag(out, number->longLongValue());
                break;
            case Number::Kind::Unsigned:
                out += NumberUnsigned;
                putVarint(out, number->unsignedLongLongValue());
                break;
            case Number::Kind::Double:
                out += NumberDouble;
                putDouble(out, number->doubleValue());
                break;
            case Number::Kind::Bool:
                out += NumberBool;
                out += char(number->boolValue() ? 1 : 0);
                break;
        }
    } else if (auto data = dynamic_cast<const Data*>(&object)) {
        out += char(KindData);
        flags(dynamic_cast<const MutableData*>(data) != nullptr);
        putText(out, data->view());
    } else if (auto date = dynamic_cast<const Date*>(&object)) {
        out += char(KindDate);
        putDouble(out, date->timeIntervalSince1970());
    } else if (auto url = dynamic_cast<const URL*>(&object)) {
        uint64_t base = reference(owner, url->baseURL());
        out += char(KindURL);
        putText(out, url->relativeString()->utf8());
        putVarint(out, base);
    } else if (auto array = dynamic_cast<const Array*>(&object)) {
        auto list = refs(*array);
        out += char(KindArray);
        flags(dynamic_cast<const MutableArray*>(array) != nullptr);
        putVarint(out, list.size());
        for (uint64_t uid : list) putVarint(out, uid);
    } else if (auto dictionary = dynamic_cast<const Dictionary*>(&object)) {
        std::vector<std::pair<uint64_t, uint64_t>> pairs;
        for (const Id& key : *dictionary) {
            uint64_t keyUid = reference(owner, key);
            pairs.emplace_back(keyUid, reference(owner, dictionary->objectForKey(key)));
        }
        out += char(KindDictionary);
        flags(dynamic_cast<const MutableDictionary*>(dictionary) != nullptr);
        putVarint(out, pairs.size());
        for (auto [key, value] : pairs) {
            putVarint(out, key);
            putVarint(out, value);
        }
    } else if (auto set = dynamic_cast<const Set*>(&object)) {
        auto list = refs(*set);
        out += char(KindSet);
        flags(dynamic_cast<const MutableSet*>(set) != nullptr);
        putVarint(out, list.size());
        for (uint64_t uid : list) putVarint(out, uid);
    } else if (auto indexes = dynamic_cast<const IndexSet*>(&object)) {
        std::vector<Range> ranges;
        indexes->enumerateRangesUsingBlock([&](Range range, bool&) { ranges.push_back(range); });
        out += char(KindIndexSet);
        flags(dynamic_cast<const MutableIndexSet*>(indexes) != nullptr);
        putVarint(out, ranges.size());
        for (Range range : ranges) {
            putVarint(out, range.location);
            putVarint(out, range.length);
        }
    } else {
        fail("-[" + object.className() + " encodeWithCoder:]: unrecognized selector sent to instance " +
             addressOf(&object));
        return false;
    }
    return !error;
}

KeyedArchiver::KeyedArchiver(bool requiringSecureCoding, bool raises) : impl_(std::make_unique<Impl>()) {
    impl_->secure = requiringSecureCoding;
    impl_->raises = raises;
    impl_->records.push_back(&impl_->top);
}

KeyedArchiver::~KeyedArchiver() = default;

bool KeyedArchiver::requiresSecureCoding() const { return impl_->secure; }

void KeyedArchiver::encodeObject(const Id& object, std::string_view key) {
    uint64_t uid = impl_->reference(*this, object);
    if (impl_->error) return;
    impl_->records.back()->set(key, uidField(uid));
}

void KeyedArchiver::encodeBool(bool value, std::string_view key) {
    impl_->records.back()->set(key, std::string{FieldBool, char(value ? 1 : 0)});
}

void KeyedArchiver::encodeInt64(int64_t value, std::string_view key) {
    std::string field(1, FieldInt);
    putZigzag(field, value);
    impl_->records.back()->set(key, std::move(field));
}

void KeyedArchiver::encodeDouble(double value, std::string_view key) {
    std::string field(1, FieldDouble);
    putDouble(field, value);
    impl_->records.back()->set(key, std::move(field));
}

Ref<Data> KeyedArchiver::finish(Ref<Error>* error) {
    if (impl_->error) {
        if (error) *error = impl_->error;
        return nullptr;
    }
    std::string out(Magic);
    out += char(Version);
    putVarint(out, impl_->bodies.size());
    for (const std::string& body : impl_->bodies) out += body;
    impl_->top.writeTo(out);
    return Data::withBytes(out.data(), out.size());
}

Ref<Data> KeyedArchiver::archivedDataWithRootObject(const Id& root, bool requiringSecureCoding, Ref<Error>* error) {
    KeyedArchiver archiver(requiringSecureCoding, false);
    archiver.encodeObject(root, RootKey);
    return archiver.finish(error);
}

Ref<Data> KeyedArchiver::archivedDataWithRootObject(const Id& root) {
    KeyedArchiver archiver(false, true);
    archiver.encodeObject(root, RootKey);
    return archiver.finish(nullptr);
}

}  // namespace ns
