#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/DecimalNumber.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Unicode.h"
#include "platform/runtime/Exception.h"

namespace ns {

namespace {

[[noreturn]] void invalid(const std::string& reason) { Exception::raise(InvalidArgumentException, reason); }

// Why a number has no JSON form, or nullptr when it has one.
const char* numberProblem(const Number& number) {
    if (auto decimal = dynamic_cast<const DecimalNumber*>(&number)) {
        return decimal->isNotANumber() ? "Invalid number value (NaN) in JSON write" : nullptr;
    }
    if (number.kind() != Number::Kind::Double) return nullptr;
    double d = number.doubleValue();
    if (std::isnan(d)) return "Invalid number value (NaN) in JSON write";
    if (std::isinf(d)) return "Invalid number value (infinite) in JSON write";
    return nullptr;
}

class Writer {
public:
    explicit Writer(uint64_t options)
        : pretty_(options & JSONWritingPrettyPrinted),
          sorted_(options & JSONWritingSortedKeys),
          escapeSlashes_(!(options & JSONWritingWithoutEscapingSlashes)) {}

    void write(const Object* value, unsigned level) {
        if (auto text = dynamic_cast<const String*>(value)) {
            writeString(text->utf8());
        } else if (auto number = dynamic_cast<const Number*>(value)) {
            if (const char* problem = numberProblem(*number)) invalid(problem);
            if (number->isBoolean()) {
                out_ += number->boolValue() ? "true" : "false";
            } else {
                out_ += number->stringValue();
            }
        } else if (dynamic_cast<const Null*>(value)) {
            out_ += "null";
        } else if (auto array = dynamic_cast<const Array*>(value)) {
            writeArray(*array, level);
        } else if (auto dictionary = dynamic_cast<const Dictionary*>(value)) {
            writeDictionary(*dictionary, level);
        } else {
            invalid("Invalid type in JSON write (" + (value ? value->className() : std::string("nil")) + ")");
        }
    }

    std::string take() { return std::move(out_); }

private:
    void enter(unsigned level) {
        if (level >= JSONSerialization::MaxDepth) invalid("Too many nested arrays or dictionaries in JSON write");
    }

    void newline(unsigned level) {
        if (!pretty_) return;
        out_ += '\n';
        out_.append(size_t(level) * 2, ' ');
    }

    void writeArray(const Array& array, unsigned level) {
        enter(level);
        out_ += '[';
        if (pretty_ && array.count() == 0) out_ += '\n';
        bool first = true;
        for (const Id& element : array) {
            if (!first) out_ += ',';
            first = false;
            newline(level + 1);
            write(element.get(), level + 1);
        }
        newline(level);
        out_ += ']';
    }

    void writeDictionary(const Dictionary& dictionary, unsigned level) {
        enter(level);
        std::vector<Id> keys;
        keys.reserve(dictionary.count());
        for (const Id& key : dictionary) {
            if (!dynamic_cast<const String*>(key.get())) invalid("Invalid (non-string) key in JSON dictionary");
            keys.push_back(key);
        }
        if (sorted_) {
            std::stable_sort(keys.begin(), keys.end(), [](const Id& a, const Id& b) {
                return static_cast<const String&>(*a).compare(static_cast<const String&>(*b)) ==
                       ComparisonResult::Ascending;
            });
        }
        out_ += '{';
        if (pretty_ && keys.empty()) out_ += '\n';
        bool first = true;
        for (const Id& key : keys) {
            if (!first) out_ += ',';
            first = false;
            newline(level + 1);
            writeString(static_cast<const String&>(*key).utf8());
            out_ += pretty_ ? " : " : ":";
            write(dictionary.objectForKey(key).get(), level + 1);
        }
        newline(level);
        out_ += '}';
    }

    void writeString(const std::string& text) {
        static const char hex[] = "0123456789abcdef";
        auto escapeUnit = [&](char32_t unit) {
            out_ += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out_ += hex[unit >> shift & 0xF];
        };
        out_ += '"';
        for (size_t i = 0; i < text.size();) {
            auto c = static_cast<uint8_t>(text[i]);
            if (c >= 0x80) {
                // A lone surrogate (kept by String) has no UTF-8 form; its
                // escape is still valid JSON.
                char32_t cp;
                size_t next = unicode::next(text, i, cp);
                if (unicode::isSurrogate(cp)) {
                    escapeUnit(cp);
                } else {
                    out_.append(text, i, next - i);
                }
                i = next;
                continue;
            }
            switch (c) {
                case '"': out_ += "\\\""; break;
                case '\\': out_ += "\\\\"; break;
                case '/': out_ += escapeSlashes_ ? "\\/" : "/"; break;
                case '\b': out_ += "\\b"; break;
                case '\f': out_ += "\\f"; break;
                case '\n': out_ += "\\n"; break;
                case '\r': out_ += "\\r"; break;
                case '\t': out_ += "\\t"; break;
                default:
                    if (c < 0x20) {
                        escapeUnit(c);
                    } else {
                        out_ += char(c);
                    }
            }
            ++i;
        }
        out_ += '"';
    }

    std::string out_;
    bool pretty_;
    bool sorted_;
    bool escapeSlashes_;
};

bool isTopLevel(const Object* object) {
    return dynamic_cast<const Array*>(object) || dynamic_cast<const Dictionary*>(object);
}

bool isValid(const Object* value, unsigned level) {
    if (dynamic_cast<const String*>(value) || dynamic_cast<const Null*>(value)) return true;
    if (auto number = dynamic_cast<const Number*>(value)) return numberProblem(*number) == nullptr;
    if (level >= JSONSerialization::MaxDepth) return false;
    if (auto array = dynamic_cast<const Array*>(value)) {
        for (const Id& element : *array) {
            if (!isValid(element.get(), level + 1)) return false;
        }
        return true;
    }
    if (auto dictionary = dynamic_cast<const Dictionary*>(value)) {
        for (const Id& key : *dictionary) {
            if (!dynamic_cast<const String*>(key.get())) return false;
            if (!isValid(dictionary->objectForKey(key).get(), level + 1)) return false;
        }
        return true;
    }
    return false;
}

}  // namespace

Ref<Data> JSONSerialization::dataWithJSONObject(const Id& object, uint64_t options, Ref<Error>* error) {
    // Every failure of the writer is the caller's misuse and raises; the
    // error slot is kept for the platform's signature.
    (void)error;
    if (!(options & JSONWritingFragmentsAllowed) && !isTopLevel(object.get())) {
        invalid("Invalid top-level type in JSON write");
    }
    Writer writer(options);
    writer.write(object.get(), 0);
    std::string text = writer.take();
    return Data::withBytes(text.data(), text.size());
}

bool JSONSerialization::isValidJSONObject(const Id& object) {
    return isTopLevel(object.get()) && isValid(object.get(), 0);
}

}  // namespace ns
