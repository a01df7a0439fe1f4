#include "platform/foundation/CollectionDescription.h"

#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Set.h"
#include "platform/foundation/Text.h"

namespace ns {

std::string addressText(const void* pointer) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", pointer);
    return buf;
}

std::string classAndAddress(const Object& object) { return "<" + object.className() + ": " + addressText(&object) + ">"; }

std::string boundsText(uint64_t count) {
    return count == 0 ? "for empty array" : "[0 .. " + std::to_string(count - 1) + "]";
}

namespace {

std::mutex hookLock;
std::shared_ptr<const DescriptionHook> currentHook;

bool isBare(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '$' ||
           c == '/';
}

void appendUnitEscape(std::string& out, uint32_t unit) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "\\U%04x", unit & 0xFFFF);
    out += buf;
}

// Decodes one UTF-8 sequence at `i`, advancing it; malformed bytes give U+FFFD.
uint32_t decodeUtf8(const std::string& s, size_t& i) {
    unsigned char lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    size_t extra = lead >= 0xF0 && lead < 0xF8 ? 3 : lead >= 0xE0 && lead < 0xF0 ? 2 : lead >= 0xC0 && lead < 0xE0 ? 1 : 0;
    if (extra == 0 || s.size() - i <= extra) {
        ++i;
        return 0xFFFD;
    }
    uint32_t cp = lead & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
        unsigned char c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += extra + 1;
    return cp;
}

// The platform quotes texts that are empty or hold anything beyond a few
// safe characters, and escapes everything outside printable ASCII.
std::string quotedText(const std::string& text) {
    bool bare = !text.empty();
    for (char c : text) {
        if (!isBare(c)) {
            bare = false;
            break;
        }
    }
    if (bare) return text;
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        uint32_t cp = decodeUtf8(text, i);
        switch (cp) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (cp >= 0x20 && cp < 0x7F) {
                out += char(cp);
            } else if (cp >= 0x10000) {
                cp -= 0x10000;
                appendUnitEscape(out, 0xD800 + (cp >> 10));
                appendUnitEscape(out, 0xDC00 + (cp & 0x3FF));
            } else {
                appendUnitEscape(out, cp);
            }
        }
    }
    return out + "\"";
}

bool isCollection(const Object* object) {
    return dynamic_cast<const Array*>(object) || dynamic_cast<const Dictionary*>(object) || dynamic_cast<const Set*>(object);
}

// An element at `level`: nested collections describe themselves (through the
// hook) with their own leading indentation, as the platform does; any other
// value's text form goes through the quoting rule ("-1", "<null>").
std::string elementText(const Id& element, unsigned level) {
    if (isCollection(element.get())) return collectionDescription(*element, level);
    return quotedText(textOf(element));
}

std::string indent(unsigned level) { return std::string(size_t(level) * 4, ' '); }

// Arrays and sets: one element a line, commas between, none after the last.
template <class List>
std::string listDescription(const List& list, unsigned level, const char* open, const char* close) {
    std::string out = indent(level) + open + "\n";
    const std::string inner = indent(level + 1);
    bool first = true;
    for (const Id& element : list) {
        if (!first) out += ",\n";
        first = false;
        out += inner + elementText(element, level + 1);
    }
    if (!first) out += "\n";
    return out + indent(level) + close;
}

}  // namespace

void setCollectionDescriptionHook(DescriptionHook hook) {
    auto next = hook ? std::make_shared<const DescriptionHook>(std::move(hook)) : nullptr;
    std::lock_guard<std::mutex> hold(hookLock);
    currentHook = std::move(next);
}

void setCollectionDescriptions(std::function<std::string(const Array&)> array,
                               std::function<std::string(const Dictionary&)> dictionary) {
    setCollectionDescriptionHook([array = std::move(array), dictionary = std::move(dictionary)](
                                     const Object& collection, unsigned level) {
        if (auto asArray = dynamic_cast<const Array*>(&collection)) return array(*asArray);
        if (auto asDictionary = dynamic_cast<const Dictionary*>(&collection)) return dictionary(*asDictionary);
        return platformCollectionDescription(collection, level);
    });
}

std::string collectionDescription(const Object& collection, unsigned level) {
    std::shared_ptr<const DescriptionHook> hook;
    {
        std::lock_guard<std::mutex> hold(hookLock);
        hook = currentHook;
    }
    return hook ? (*hook)(collection, level) : platformCollectionDescription(collection, level);
}

std::string platformCollectionDescription(const Object& collection, unsigned level) {
    const std::string outer = indent(level);
    const std::string inner = indent(level + 1);
    if (auto* dictionary = dynamic_cast<const Dictionary*>(&collection)) {
        uint64_t n = dictionary->count();
        std::vector<Id> keys(n), objects(n);
        dictionary->getObjectsAndKeys(objects.data(), keys.data());
        std::string out = outer + "{\n";
        for (uint64_t i = 0; i < n; ++i) {
            out += inner + elementText(keys[i], level + 1) + " = " + elementText(objects[i], level + 1) + ";\n";
        }
        return out + outer + "}";
    }
    if (auto* set = dynamic_cast<const Set*>(&collection)) return listDescription(*set, level, "{(", ")}");
    if (auto* array = dynamic_cast<const Array*>(&collection)) return listDescription(*array, level, "(", ")");
    return collection.description();
}

}  // namespace ns
