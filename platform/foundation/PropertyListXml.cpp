// The XML property-list form, read through libxml2's tree parser and written
// by hand so the output is byte-for-byte predictable.

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "platform/foundation/Array.h"
#include "platform/foundation/CLocale.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/PropertyListCodec.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Unicode.h"

namespace ns::plist {
namespace {

// ---- Reading ----

bool named(const xmlNode* node, const char* name) {
    return xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(name));
}

bool isBlank(const xmlChar* text) {
    if (!text) return true;
    for (; *text; ++text) {
        if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r') return false;
    }
    return true;
}

std::string trimmed(std::string text) {
    const char* space = " \t\r\n";
    size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(space);
    return text.substr(first, last - first + 1);
}

class XmlReader {
public:
    XmlReader(const Builder& builder, std::string& error) : builder_(builder), error_(error) {}

    Id document(const xmlNode* root) {
        if (!named(root, "plist")) return value(root);
        const xmlNode* only = nullptr;
        for (const xmlNode* child = root->children; child; child = child->next) {
            if (!significant(child)) continue;
            if (child->type != XML_ELEMENT_NODE) return fail(child, "text outside a value in <plist>");
            if (only) return fail(child, "more than one value in <plist>");
            only = child;
        }
        if (!only) return fail(root, "empty <plist>");
        return value(only);
    }

private:
    Id value(const xmlNode* node) {
        if (named(node, "dict")) return dictionary(node);
        if (named(node, "array")) return array(node);
        if (named(node, "string")) {
            std::string text;
            if (!leafText(node, text)) return nullptr;
            return builder_.text(std::move(text));
        }
        if (named(node, "integer")) return integer(node);
        if (named(node, "real")) return real(node);
        if (named(node, "true") || named(node, "false")) {
            std::string text;
            if (!leafText(node, text)) return nullptr;
            if (!trimmed(text).empty()) return fail(node, "a boolean holds no text");
            return Number::withBool(named(node, "true"));
        }
        if (named(node, "date")) return date(node);
        if (named(node, "data")) return data(node);
        return fail(node, format("unknown element <%s>", reinterpret_cast<const char*>(node->name)));
    }

    Id dictionary(const xmlNode* node) {
        std::vector<Dictionary::Entry> entries;
        Ref<String> key;
        for (const xmlNode* child = node->children; child; child = child->next) {
            if (!significant(child)) continue;
            if (child->type != XML_ELEMENT_NODE) return fail(child, "text between the entries of <dict>");
            if (!key) {
                if (!named(child, "key")) return fail(child, "expected <key> in <dict>");
                std::string text;
                if (!leafText(child, text)) return nullptr;
                key = String::make(std::move(text));
                continue;
            }
            Id item = value(child);
            if (!item) return nullptr;
            entries.emplace_back(key, std::move(item));
            key = nullptr;
        }
        if (key) return fail(node, format("<key>%@</key> without a value", key));
        return builder_.dictionary(entries);
    }

    Id array(const xmlNode* node) {
        std::vector<Id> items;
        for (const xmlNode* child = node->children; child; child = child->next) {
            if (!significant(child)) continue;
            if (child->type != XML_ELEMENT_NODE) return fail(child, "text between the items of <array>");
            Id item = value(child);
            if (!item) return nullptr;
            items.push_back(std::move(item));
        }
        return builder_.array(std::move(items));
    }

    Id integer(const xmlNode* node) {
        std::string text;
        if (!leafText(node, text)) return nullptr;
        text = trimmed(std::move(text));
        size_t i = 0;
        bool negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
        unsigned base = 10;
        if (text.size() > i + 1 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            base = 16;
            i += 2;
        }
        if (i == text.size()) return fail(node, "an <integer> without digits");
        uint64_t magnitude = 0;
        for (; i < text.size(); ++i) {
            char c = text[i];
            unsigned digit;
            if (c >= '0' && c <= '9') digit = unsigned(c - '0');
            else if (base == 16 && c >= 'a' && c <= 'f') digit = unsigned(c - 'a' + 10);
            else if (base == 16 && c >= 'A' && c <= 'F') digit = unsigned(c - 'A' + 10);
            else return fail(node, format("\"%s\" is not an integer", text));
            if (magnitude > (UINT64_MAX - digit) / base) return fail(node, format("%s does not fit 64 bits", text));
            magnitude = magnitude * base + digit;
        }
        if (negative) {
            if (magnitude > uint64_t(INT64_MAX) + 1) return fail(node, format("%s does not fit 64 bits", text));
            return Number::withLongLong(magnitude == uint64_t(INT64_MAX) + 1 ? INT64_MIN : -int64_t(magnitude));
        }
        if (magnitude > uint64_t(INT64_MAX)) return Number::withUnsignedLongLong(magnitude);
        return Number::withLongLong(int64_t(magnitude));
    }

    Id real(const xmlNode* node) {
        std::string text;
        if (!leafText(node, text)) return nullptr;
        text = trimmed(std::move(text));
        if (text.empty()) return fail(node, "an empty <real>");
        char* end = nullptr;
        double v = strtod_l(text.c_str(), &end, cLocale());
        if (end != text.c_str() + text.size()) return fail(node, format("\"%s\" is not a number", text));
        return Number::withDouble(v);
    }

    // The platform's one date form, "2024-05-01T12:00:00Z" in UTC; a
    // fraction of a second is accepted.
    Id date(const xmlNode* node) {
        std::string text;
        if (!leafText(node, text)) return nullptr;
        text = trimmed(std::move(text));
        int year, month, day, hour, minute, second, used = 0;
        if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute, &second, &used) != 6 ||
            used != 19) {
            return fail(node, format("\"%s\" is not a date", text));
        }
        double fraction = 0;
        size_t i = size_t(used);
        if (i < text.size() && text[i] == '.') {
            size_t start = i;
            while (++i < text.size() && text[i] >= '0' && text[i] <= '9') {
            }
            fraction = strtod_l(text.substr(start, i - start).c_str(), nullptr, cLocale());
        }
        if (text.substr(i) != "Z" || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
            second > 60) {
            return fail(node, format("\"%s\" is not a date", text));
        }
        std::tm parts{};
        parts.tm_year = year - 1900;
        parts.tm_mon = month - 1;
        parts.tm_mday = day;
        parts.tm_hour = hour;
        parts.tm_min = minute;
        parts.tm_sec = second;
        return Date::withTimeIntervalSince1970(double(timegm(&parts)) + fraction);
    }

    Id data(const xmlNode* node) {
        std::string text;
        if (!leafText(node, text)) return nullptr;
        text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }),
                   text.end());
        auto decoded = Data::withBase64EncodedString(text);
        if (!decoded) return fail(node, "<data> is not base64");
        return builder_.data(decoded->vector());
    }

    // The text of an element that may hold only text.
    bool leafText(const xmlNode* node, std::string& out) {
        for (const xmlNode* child = node->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE) {
                fail(child, format("<%s> inside <%s>", reinterpret_cast<const char*>(child->name),
                                   reinterpret_cast<const char*>(node->name)));
                return false;
            }
        }
        xmlChar* content = xmlNodeGetContent(node);
        out = content ? reinterpret_cast<const char*>(content) : "";
        xmlFree(content);
        return true;
    }

    static bool significant(const xmlNode* node) {
        switch (node->type) {
            case XML_ELEMENT_NODE:
                return true;
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                return !isBlank(node->content);
            default:
                return false;  // comments, processing instructions
        }
    }

    std::nullptr_t fail(const xmlNode* node, const std::string& message) {
        if (error_.empty()) error_ = format("line %d: %s", node->line, message);
        return nullptr;
    }

    const Builder& builder_;
    std::string& error_;
};

// ---- Writing ----

constexpr int MaxDepth = 512;

class XmlWriter {
public:
    XmlWriter(std::string& out, std::string& error) : out_(out), error_(error) {}

    bool value(const Object* object, int depth) {
        if (depth > MaxDepth) return fail("nesting deeper than 512 levels (a container inside itself?)");
        if (!object) return fail("nil in a property list");
        if (auto text = dynamic_cast<const String*>(object)) {
            out_ += "<string>";
            if (!escaped(text->utf8())) return false;
            out_ += "</string>\n";
        } else if (auto number = dynamic_cast<const Number*>(object)) {
            writeNumber(*number);
        } else if (auto date = dynamic_cast<const Date*>(object)) {
            writeDate(*date);
        } else if (auto data = dynamic_cast<const Data*>(object)) {
            writeData(*data, depth);
        } else if (auto array = dynamic_cast<const Array*>(object)) {
            if (array->count() == 0) {
                out_ += "<array/>\n";
                return true;
            }
            out_ += "<array>\n";
            for (const Id& item : *array) {
                indent(depth + 1);
                if (!value(item.get(), depth + 1)) return false;
            }
            indent(depth);
            out_ += "</array>\n";
        } else if (auto dictionary = dynamic_cast<const Dictionary*>(object)) {
            return writeDictionary(*dictionary, depth);
        } else {
            return fail(format("property lists cannot hold objects of class %s", object->className()));
        }
        return true;
    }

private:
    bool writeDictionary(const Dictionary& dictionary, int depth) {
        if (dictionary.count() == 0) {
            out_ += "<dict/>\n";
            return true;
        }
        std::vector<Ref<String>> keys;
        for (const Id& key : dictionary) {
            auto text = cast<String>(key);
            if (!text) return fail(format("dictionary keys must be text, not %s", key ? key->className() : "nil"));
            keys.push_back(std::move(text));
        }
        std::sort(keys.begin(), keys.end(),
                  [](const Ref<String>& a, const Ref<String>& b) { return a->compare(*b) == ComparisonResult::Ascending; });
        out_ += "<dict>\n";
        for (const Ref<String>& key : keys) {
            indent(depth + 1);
            out_ += "<key>";
            if (!escaped(key->utf8())) return false;
            out_ += "</key>\n";
            indent(depth + 1);
            if (!value(dictionary.objectForKey(key.get()).get(), depth + 1)) return false;
        }
        indent(depth);
        out_ += "</dict>\n";
        return true;
    }

    void writeNumber(const Number& number) {
        switch (number.kind()) {
            case Number::Kind::Bool:
                out_ += number.boolValue() ? "<true/>\n" : "<false/>\n";
                return;
            case Number::Kind::Signed:
                out_ += "<integer>" + std::to_string(number.longLongValue()) + "</integer>\n";
                return;
            case Number::Kind::Unsigned:
                out_ += "<integer>" + std::to_string(number.unsignedLongLongValue()) + "</integer>\n";
                return;
            case Number::Kind::Double:
                break;
        }
        double v = number.doubleValue();
        std::string text;
        if (std::isnan(v)) text = "nan";
        else if (std::isinf(v)) text = v > 0 ? "+infinity" : "-infinity";
        else text = number.stringValue();
        out_ += "<real>" + text + "</real>\n";
    }

    void writeDate(const Date& date) {
        std::time_t whole = static_cast<std::time_t>(std::floor(date.timeIntervalSince1970()));
        std::tm utc{};
        gmtime_r(&whole, &utc);
        char buf[64];
        std::snprintf(buf, sizeof buf, "<date>%04d-%02d-%02dT%02d:%02d:%02dZ</date>\n", utc.tm_year + 1900, utc.tm_mon + 1,
                      utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
        out_ += buf;
    }

    void writeData(const Data& data, int depth) {
        out_ += "<data>\n";
        std::string text = data.base64EncodedString(Base64Encoding76CharacterLineLength | Base64EncodingEndLineWithLineFeed);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            indent(depth);
            out_.append(text, start, end - start);
            out_ += '\n';
            start = end + 1;
        }
        indent(depth);
        out_ += "</data>\n";
    }

    // Escapes markup; refuses what XML 1.0 cannot carry, so nothing written
    // fails to read back. A carriage return is written as a reference, as
    // readers turn a literal one into a line feed.
    bool escaped(const std::string& text) {
        for (size_t i = 0; i < text.size();) {
            char32_t cp;
            size_t next = unicode::next(text, i, cp);
            bool allowed = cp == '\t' || cp == '\n' || cp == '\r' || (cp >= 0x20 && cp != 0xFFFE && cp != 0xFFFF);
            if (!allowed || unicode::isSurrogate(cp)) {
                return fail(format("text holds U+%04X, which an XML property list cannot carry", unsigned(cp)));
            }
            switch (cp) {
                case '&': out_ += "&amp;"; break;
                case '<': out_ += "&lt;"; break;
                case '>': out_ += "&gt;"; break;
                case '\r': out_ += "&#13;"; break;
                default: out_.append(text, i, next - i);
            }
            i = next;
        }
        return true;
    }

    void indent(int depth) { out_.append(size_t(depth), '\t'); }

    bool fail(const std::string& message) {
        if (error_.empty()) error_ = message;
        return false;
    }

    std::string& out_;
    std::string& error_;
};

void initParser() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

}  // namespace

Id parseXml(std::string_view bytes, const Builder& builder, std::string& error) {
    if (bytes.size() > size_t(INT_MAX)) {
        error = "the document is too large";
        return nullptr;
    }
    initParser();
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context) {
        error = "out of memory";
        return nullptr;
    }
    // No network and no external entities: a property list is self-contained.
    xmlDocPtr doc = xmlCtxtReadMemory(context, bytes.data(), int(bytes.size()), nullptr, nullptr,
                                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    Id result;
    if (!doc) {
        const xmlError* problem = xmlCtxtGetLastError(context);
        std::string message = problem && problem->message ? trimmed(problem->message) : "malformed XML";
        error = problem ? format("line %d: %s", problem->line, message) : message;
    } else if (const xmlNode* root = xmlDocGetRootElement(doc)) {
        result = XmlReader(builder, error).document(root);
    } else {
        error = "no root element";
    }
    if (doc) xmlFreeDoc(doc);
    xmlFreeParserCtxt(context);
    return result;
}

bool writeXml(const Object* root, std::string& out, std::string& error) {
    out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
    if (!XmlWriter(out, error).value(root, 0)) {
        out.clear();
        return false;
    }
    out += "</plist>\n";
    return true;
}

}  // namespace ns::plist
