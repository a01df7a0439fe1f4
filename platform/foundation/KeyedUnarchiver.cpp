#include "platform/foundation/KeyedUnarchiver.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <type_traits>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DecimalNumber.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/IndexSet.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedArchiverFormat.h"
#include "platform/foundation/KeyedUnarchiverTable.h"
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

std::string leadingBytes(const Data* data) {
    std::string out;
    for (size_t i = 0; data && i < data->length() && i < 8; ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%s0x%02x", i ? ", " : "", data->bytes()[i]);
        out += hex;
    }
    return out;
}

Ref<Error> readError(const std::string& reason) {
    return Error::make(CocoaErrorDomain, CoderReadCorruptError,
                       Dictionary::make({
                           {LocalizedDescriptionKey,
                            String::make("The data couldn’t be read because it isn’t in the correct format.")},
                           {"NSDebugDescription", String::make(reason)},
                       }));
}

bool isPlatformValueClass(const rt::Class* cls) {
    for (const rt::Class* native : {String::staticClass(), Number::staticClass(), Data::staticClass(),
                                    Date::staticClass(), URL::staticClass(), Null::staticClass(),
                                    Array::staticClass(), Dictionary::staticClass(), Set::staticClass(),
                                    IndexSet::staticClass()}) {
        if (cls->isSubclassOf(native)) return true;
    }
    return false;
}

}  // namespace

struct KeyedUnarchiver::Impl {
    enum class State : uint8_t { Pending, Building, Done };

    bool secure = false;
    Ref<Error> error;
    std::vector<Entry> entries;
    std::vector<Id> made;
    std::vector<State> states;
    Record top;
    std::vector<const Record*> records;
    // The classes of the innermost class-checked call.
    std::vector<Classes> allowed;
    unsigned depth = 0;

    bool load(const Data* data) {
        if (!data || !readTable(data->view(), entries, top)) return false;
        made.resize(entries.size());
        states.assign(entries.size(), State::Pending);
        records.push_back(&top);
        return true;
    }

    void fail(const std::string& reason) {
        if (!error) error = readError(reason);
    }

    const rt::Class* classOf(const Entry& e, std::string_view key) {
        switch (e.kind) {
            case KindNull: return Null::staticClass();
            case KindString: return e.isMutable ? MutableString::staticClass() : String::staticClass();
            case KindNumber: return Number::staticClass();
            case KindDecimal: return DecimalNumber::staticClass();
            case KindData: return e.isMutable ? MutableData::staticClass() : Data::staticClass();
            case KindDate: return Date::staticClass();
            case KindURL: return URL::staticClass();
            case KindArray: return e.isMutable ? MutableArray::staticClass() : Array::staticClass();
            case KindDictionary: return e.isMutable ? MutableDictionary::staticClass() : Dictionary::staticClass();
            case KindSet: return e.isMutable ? MutableSet::staticClass() : Set::staticClass();
            case KindIndexSet: return e.isMutable ? MutableIndexSet::staticClass() : IndexSet::staticClass();
            default: break;
        }
        const rt::Class* cls = rt::classNamed(e.text);
        if (!cls) {
            fail("cannot decode object of class (" + std::string(e.text) + ") for key (" + std::string(key) +
                 "); the class may be defined in source code or a library that is not linked");
        }
        return cls;
    }

    // `direct`: the object itself was asked for with these classes, rather
    // than reached inside something that was.
    bool check(const rt::Class* cls, std::string_view key, bool direct) {
        if (!secure) return true;
        const Classes& classes = allowed.back();
        for (const rt::Class* a : classes) {
            if (a && cls->isSubclassOf(a)) return true;
        }
        if (!direct && isPlatformValueClass(cls)) return true;
        std::string names;
        for (const rt::Class* a : classes) {
            if (!names.empty()) names += ", ";
            names += a ? a->name() : "nil";
        }
        fail("value for key '" + std::string(key) + "' was of unexpected class '" + cls->name() +
             "'. Allowed classes are '{(" + names + ")}'.");
        return false;
    }

    Id field(KeyedUnarchiver& owner, const Field& f, std::string_view key, bool direct) {
        if (f.tag == FieldObject) return object(owner, f.uid, key, direct);
        Id boxed;
        if (f.tag == FieldBool) boxed = Number::withBool(f.integer != 0);
        else if (f.tag == FieldInt) boxed = Number::withLongLong(f.integer);
        else boxed = Number::withDouble(f.real);
        return check(Number::staticClass(), key, direct) ? boxed : nullptr;
    }

    Id object(KeyedUnarchiver& owner, uint64_t uid, std::string_view key, bool direct);
    Id make(KeyedUnarchiver& owner, uint64_t index, const rt::Class* cls);
    Id makeCoded(KeyedUnarchiver& owner, uint64_t index, const rt::Class* cls);
    bool members(KeyedUnarchiver& owner, const Entry& e, std::string_view key, std::vector<Id>& out);
};

Id KeyedUnarchiver::Impl::object(KeyedUnarchiver& owner, uint64_t uid, std::string_view key, bool direct) {
    if (uid == 0 || error) return nullptr;
    const uint64_t index = uid - 1;
    const rt::Class* cls = classOf(entries[index], key);
    if (!cls || !check(cls, key, direct)) return nullptr;
    if (states[index] == State::Done) return made[index];
    if (states[index] == State::Building) {
        // Only immutable collections and URLs are still being built when
        // reached again; they cannot hold themselves.
        fail("incomprehensible archive: an immutable collection contains itself");
        return nullptr;
    }
    if (depth >= KeyedArchiver::MaxDepth) {
        fail("incomprehensible archive: objects nested deeper than " + std::to_string(KeyedArchiver::MaxDepth));
        return nullptr;
    }
    ++depth;
    states[index] = State::Building;
    Id result = make(owner, index, cls);
    states[index] = State::Done;
    made[index] = error ? nullptr : result;
    --depth;
    return made[index];
}

bool KeyedUnarchiver::Impl::members(KeyedUnarchiver& owner, const Entry& e, std::string_view key, std::vector<Id>& out) {
    out.reserve(e.refs.size());
    for (uint64_t uid : e.refs) {
        Id member = object(owner, uid, key, false);
        if (!member) {
            fail("incomprehensible archive: a collection holds nil");
            return false;
        }
        out.push_back(std::move(member));
    }
    return true;
}

Id KeyedUnarchiver::Impl::make(KeyedUnarchiver& owner, uint64_t index, const rt::Class* cls) {
    const Entry& e = entries[index];
    switch (e.kind) {
        case KindNull:
            return Null::null();
        case KindString:
            if (e.isMutable) return MutableString::make(std::string(e.text));
            return String::make(std::string(e.text));
        case KindData: {
            std::vector<uint8_t> bytes(e.text.begin(), e.text.end());
            if (e.isMutable) return MutableData::make(std::move(bytes));
            return Data::make(std::move(bytes));
        }
        case KindNumber: {
            const char type = e.text.size() == 1 ? e.text[0] : 0;
            switch (e.numberTag) {
                case NumberBool:
                    return Number::withBool(e.integer != 0);
                case NumberSigned:
                    if (type == 'i') return Number::withInt(int32_t(e.integer));
                    if (type == 's') return Number::withShort(int16_t(e.integer));
                    if (type == 'c') return Number::withChar(int8_t(e.integer));
                    return Number::withLongLong(e.integer);
                case NumberUnsigned:
                    if (type == 'I') return Number::withUnsignedInt(uint32_t(e.unsignedInteger));
                    if (type == 'S') return Number::withUnsignedShort(uint16_t(e.unsignedInteger));
                    if (type == 'C') return Number::withUnsignedChar(uint8_t(e.unsignedInteger));
                    return Number::withUnsignedLongLong(e.unsignedInteger);
                default:
                    if (type == 'f') return Number::withFloat(float(e.real));
                    return Number::withDouble(e.real);
            }
        }
        case KindDecimal:
            return DecimalNumber::withString(e.text);
        case KindDate:
            return Date::withTimeIntervalSince1970(e.real);
        case KindURL: {
            Id base = object(owner, e.refs[0], "NS.base", false);
            auto baseURL = cast<URL>(base);
            if (base && !baseURL) {
                fail("incomprehensible archive: the base of a URL is not a URL");
                return nullptr;
            }
            Ref<URL> url = baseURL ? URL::make(e.text, baseURL) : URL::make(e.text);
            if (!url) fail("incomprehensible archive: unreadable URL text");
            return url;
        }
        case KindArray: {
            if (e.isMutable) {
                // Made and published before its elements, so they may hold it.
                auto array = MutableArray::arrayWithCapacity(e.refs.size());
                made[index] = array;
                states[index] = State::Done;
                std::vector<Id> elements;
                if (!members(owner, e, "NS.objects", elements)) return nullptr;
                for (auto& element : elements) array->addObject(element);
                return array;
            }
            std::vector<Id> elements;
            if (!members(owner, e, "NS.objects", elements)) return nullptr;
            return Array::make(std::move(elements));
        }
        case KindSet: {
            std::vector<Id> elements;
            if (e.isMutable) {
                auto set = MutableSet::make();
                made[index] = set;
                states[index] = State::Done;
                if (!members(owner, e, "NS.objects", elements)) return nullptr;
                for (auto& element : elements) set->addObject(element);
                return set;
            }
            if (!members(owner, e, "NS.objects", elements)) return nullptr;
            return Set::make(elements);
        }
        case KindDictionary: {
            Ref<MutableDictionary> mutableDictionary;
            if (e.isMutable) {
                mutableDictionary = MutableDictionary::dictionaryWithCapacity(e.refs.size() / 2);
                made[index] = mutableDictionary;
                states[index] = State::Done;
            }
            std::vector<Id> keysAndValues;
            if (!members(owner, e, "NS.keys", keysAndValues)) return nullptr;
            std::vector<Dictionary::Entry> pairs;
            pairs.reserve(keysAndValues.size() / 2);
            for (size_t i = 0; i + 1 < keysAndValues.size(); i += 2) {
                if (mutableDictionary) {
                    mutableDictionary->setObjectForKey(keysAndValues[i + 1], keysAndValues[i]);
                } else {
                    pairs.emplace_back(keysAndValues[i], keysAndValues[i + 1]);
                }
            }
            if (mutableDictionary) return mutableDictionary;
            return Dictionary::make(pairs);
        }
        case KindIndexSet: {
            auto indexes = MutableIndexSet::indexSet();
            for (Range r : e.ranges) {
                if (r.length == 0) continue;
                if (r.location >= NotFound || r.length > NotFound - r.location) {
                    fail("incomprehensible archive: an index range beyond the largest index");
                    return nullptr;
                }
                indexes->addIndexesInRange(r);
            }
            if (e.isMutable) return indexes;
            return indexes->copy();
        }
        default:
            return makeCoded(owner, index, cls);
    }
}

Id KeyedUnarchiver::Impl::makeCoded(KeyedUnarchiver& owner, uint64_t index, const rt::Class* cls) {
    const Entry& e = entries[index];
    Id instance = cls->create();
    auto coding = dynamic_cast<Coding*>(instance.get());
    if (!coding) {
        fail("cannot decode object of class (" + cls->name() + "): it does not adopt coding or has no factory");
        return nullptr;
    }
    if (secure && !coding->supportsSecureCoding()) {
        fail("This decoder will only decode classes that adopt secure coding. Class '" + cls->name() +
             "' does not adopt it.");
        return nullptr;
    }
    // Published before it is filled, so objects inside may refer back to it.
    made[index] = instance;
    states[index] = State::Done;
    records.push_back(&e.record);
    bool filled = coding->initWithCoder(owner);
    records.pop_back();
    return filled ? instance : nullptr;
}

KeyedUnarchiver::KeyedUnarchiver() : impl_(std::make_unique<Impl>()) {}
KeyedUnarchiver::~KeyedUnarchiver() = default;

bool KeyedUnarchiver::requiresSecureCoding() const { return impl_->secure; }

bool KeyedUnarchiver::containsValueForKey(std::string_view key) const {
    return impl_->records.back()->find(key) != nullptr;
}

Id KeyedUnarchiver::decodeObjectForKey(std::string_view key) {
    if (impl_->error) return nullptr;
    const Field* f = impl_->records.back()->find(key);
    return f ? impl_->field(*this, *f, key, false) : nullptr;
}

Id KeyedUnarchiver::decodeObjectOfClasses(const Classes& classes, std::string_view key) {
    if (!impl_->secure) return decodeObjectForKey(key);
    if (impl_->error) return nullptr;
    const Field* f = impl_->records.back()->find(key);
    if (!f) return nullptr;
    impl_->allowed.push_back(classes);
    Id result = impl_->field(*this, *f, key, true);
    impl_->allowed.pop_back();
    return result;
}

namespace {

// A scalar field, or a number object under the key, as a double or integer.
template <class T>
T scalar(const Field* f, const std::function<Id()>& decodeNumber) {
    if (!f) return T{};
    switch (f->tag) {
        case FieldInt:
        case FieldBool:
            return static_cast<T>(f->integer);
        case FieldDouble:
            if constexpr (std::is_integral_v<T>) {
                if (!std::isfinite(f->real)) return T{};
                if (f->real <= -9223372036854775808.0 || f->real >= 9223372036854775808.0) return T{};
            }
            return static_cast<T>(f->real);
        default:
            if (auto number = cast<Number>(decodeNumber())) {
                if constexpr (std::is_same_v<T, double>) return number->doubleValue();
                else return static_cast<T>(number->longLongValue());
            }
            return T{};
    }
}

}  // namespace

bool KeyedUnarchiver::decodeBoolForKey(std::string_view key) {
    if (impl_->error) return false;
    return scalar<int64_t>(impl_->records.back()->find(key), [&] { return decodeObjectForKey(key); }) != 0;
}

int64_t KeyedUnarchiver::decodeInt64ForKey(std::string_view key) {
    if (impl_->error) return 0;
    return scalar<int64_t>(impl_->records.back()->find(key), [&] { return decodeObjectForKey(key); });
}

int32_t KeyedUnarchiver::decodeIntForKey(std::string_view key) {
    int64_t value = decodeInt64ForKey(key);
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
        impl_->fail("value (" + std::to_string(value) + ") for key (" + std::string(key) +
                    ") too large to fit in 32-bit integer");
        return 0;
    }
    return int32_t(value);
}

double KeyedUnarchiver::decodeDoubleForKey(std::string_view key) {
    if (impl_->error) return 0;
    return scalar<double>(impl_->records.back()->find(key), [&] { return decodeObjectForKey(key); });
}

void KeyedUnarchiver::failWithError(const Ref<Error>& error) {
    if (!impl_->error) impl_->error = error;
}

const Ref<Error>& KeyedUnarchiver::error() const { return impl_->error; }

Id KeyedUnarchiver::unarchivedObjectOfClasses(const Classes& classes, const Data* data, Ref<Error>* error) {
    KeyedUnarchiver unarchiver;
    Impl& impl = *unarchiver.impl_;
    impl.secure = true;
    Id root;
    if (!impl.load(data)) {
        impl.fail("incomprehensible archive (" + leadingBytes(data) + ")");
    } else {
        impl.allowed.push_back(classes);
        try {
            root = unarchiver.decodeObjectOfClasses(classes, RootKey);
        } catch (const Exception& e) {
            impl.fail(e.reason());
        }
    }
    if (impl.error) {
        if (error) *error = impl.error;
        return nullptr;
    }
    return root;
}

Id KeyedUnarchiver::unarchiveObjectWithData(const Data* data) {
    if (!data) return nullptr;
    KeyedUnarchiver unarchiver;
    Impl& impl = *unarchiver.impl_;
    if (!impl.load(data)) {
        Exception::raise(InvalidArgumentException, "incomprehensible archive (" + leadingBytes(data) + ")");
    }
    Id root = unarchiver.decodeObjectForKey(RootKey);
    if (impl.error) {
        auto reason = cast<String>(impl.error->userInfo()->objectForKey("NSDebugDescription"));
        Exception::raise(InvalidUnarchiveOperationException, reason ? reason->utf8() : impl.error->description());
    }
    return root;
}

}  // namespace ns
