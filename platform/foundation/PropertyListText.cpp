// The older text form of property lists, read only:
//   { key = value; "quoted key" = ( item, <0fbd 7700>, "text\n" ); }
// Strings tables are its dictionary body without braces, where a lone
// `"key";` maps the key to itself. Comments are /* ... */ and // to the end
// of the line.

#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/PropertyListCodec.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Unicode.h"

namespace ns::plist {
namespace {

constexpr int MaxDepth = 512;

bool isUnquotedChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class TextReader {
public:
    TextReader(std::string_view text, const Builder& builder, std::string& error)
        : text_(text), builder_(builder), error_(error) {}

    Id document(bool stringsTable) {
        if (!skipSpace()) return nullptr;
        Id result;
        if (stringsTable) {
            result = dictionaryBody(false, 0);
        } else {
            if (atEnd()) return fail("no value");
            result = value(0);
        }
        if (!result || !skipSpace()) return nullptr;
        if (!atEnd()) return fail(format("unexpected '%c' after the value", text_[pos_]));
        return result;
    }

private:
    Id value(int depth) {
        if (depth > MaxDepth) return fail("nesting deeper than 512 levels");
        char c = text_[pos_];
        if (c == '{') {
            ++pos_;
            return dictionaryBody(true, depth + 1);
        }
        if (c == '(') {
            ++pos_;
            return array(depth + 1);
        }
        if (c == '<') {
            ++pos_;
            return data();
        }
        if (c == '"' || c == '\'') {
            std::string out;
            if (!quoted(out)) return nullptr;
            return builder_.text(std::move(out));
        }
        if (isUnquotedChar(c)) return builder_.text(unquoted());
        return fail(format("unexpected '%c'", c));
    }

    // Entries up to "}" (braced) or to the end of the text (strings tables).
    Id dictionaryBody(bool braced, int depth) {
        std::vector<Dictionary::Entry> entries;
        for (;;) {
            if (!skipSpace()) return nullptr;
            if (atEnd()) {
                if (braced) return fail("a dictionary without its closing '}'");
                break;
            }
            if (braced && text_[pos_] == '}') {
                ++pos_;
                break;
            }
            std::string key;
            if (!keyText(key)) return nullptr;
            if (!skipSpace()) return nullptr;
            Id item;
            if (!braced && !atEnd() && text_[pos_] == ';') {
                item = builder_.text(key);  // `"key";` stands for "key" = "key"
            } else {
                if (atEnd() || text_[pos_] != '=') return fail(format("expected '=' after the key \"%s\"", key));
                ++pos_;
                if (!skipSpace()) return nullptr;
                if (atEnd()) return fail(format("no value for the key \"%s\"", key));
                item = value(depth);
                if (!item || !skipSpace()) return nullptr;
            }
            entries.emplace_back(String::make(std::move(key)), std::move(item));
            if (!atEnd() && text_[pos_] == ';') {
                ++pos_;
                continue;
            }
            // The last entry may leave out its ";".
            if (atEnd() || (braced && text_[pos_] == '}')) continue;
            return fail("expected ';' after an entry");
        }
        return builder_.dictionary(entries);
    }

    Id array(int depth) {
        std::vector<Id> items;
        for (;;) {
            if (!skipSpace()) return nullptr;
            if (atEnd()) return fail("an array without its closing ')'");
            if (text_[pos_] == ')') {
                ++pos_;
                break;
            }
            Id item = value(depth);
            if (!item || !skipSpace()) return nullptr;
            items.push_back(std::move(item));
            if (!atEnd() && text_[pos_] == ',') {
                ++pos_;
            } else if (atEnd() || text_[pos_] != ')') {
                return fail("expected ',' or ')' in an array");
            }
        }
        return builder_.array(std::move(items));
    }

    Id data() {
        std::vector<uint8_t> bytes;
        int high = -1;
        for (; pos_ < text_.size(); ++pos_) {
            char c = text_[pos_];
            if (c == '>') {
                if (high >= 0) return fail("odd number of hexadecimal digits in data");
                ++pos_;
                return builder_.data(std::move(bytes));
            }
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
            int v = hexValue(c);
            if (v < 0) return fail(format("'%c' in hexadecimal data", c));
            if (high < 0) {
                high = v;
            } else {
                bytes.push_back(uint8_t(high << 4 | v));
                high = -1;
            }
        }
        return fail("data without its closing '>'");
    }

    bool keyText(std::string& out) {
        char c = text_[pos_];
        if (c == '"' || c == '\'') return quoted(out);
        if (isUnquotedChar(c)) {
            out = unquoted();
            return true;
        }
        fail(format("unexpected '%c' where a key belongs", c));
        return false;
    }

    std::string unquoted() {
        size_t start = pos_;
        while (pos_ < text_.size() && isUnquotedChar(text_[pos_])) ++pos_;
        return std::string(text_.substr(start, pos_ - start));
    }

    // A quoted text with C-like escapes; \U and \u take up to four
    // hexadecimal digits, and \ddd up to three octal digits.
    bool quoted(std::string& out) {
        const char quote = text_[pos_++];
        // Escaped surrogates are appended one by one; making the String joins
        // a pair and keeps a lone one, as text made from UTF-16 does.
        auto put = [&](char32_t cp) { unicode::append(out, cp); };
        while (pos_ < text_.size()) {
            char c = text_[pos_++];
            if (c == quote) return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) break;
            char e = text_[pos_++];
            switch (e) {
                case 'a': put('\a'); break;
                case 'b': put('\b'); break;
                case 'f': put('\f'); break;
                case 'n': put('\n'); break;
                case 'r': put('\r'); break;
                case 't': put('\t'); break;
                case 'v': put('\v'); break;
                case 'U':
                case 'u': {
                    char32_t cp = 0;
                    int digits = 0;
                    while (digits < 4 && pos_ < text_.size() && hexValue(text_[pos_]) >= 0) {
                        cp = cp << 4 | char32_t(hexValue(text_[pos_++]));
                        ++digits;
                    }
                    if (digits == 0) {
                        fail("\\U without hexadecimal digits");
                        return false;
                    }
                    put(cp);
                    break;
                }
                default:
                    if (e >= '0' && e <= '7') {
                        char32_t cp = char32_t(e - '0');
                        for (int digits = 1; digits < 3 && pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '7';
                             ++digits) {
                            cp = cp << 3 | char32_t(text_[pos_++] - '0');
                        }
                        put(cp);
                    } else if (static_cast<unsigned char>(e) < 0x80) {
                        put(char32_t(e));  // \" \' \\ and any other character stand for themselves
                    } else {
                        out += e;  // the rest of a UTF-8 sequence follows as it is
                    }
            }
        }
        fail("a quoted text without its closing quote");
        return false;
    }

    // Skips white space and comments; false after an unclosed comment.
    bool skipSpace() {
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (text_.compare(pos_, 2, "//") == 0) {
                size_t end = text_.find('\n', pos_);
                pos_ = end == std::string_view::npos ? text_.size() : end + 1;
            } else if (text_.compare(pos_, 2, "/*") == 0) {
                size_t end = text_.find("*/", pos_ + 2);
                if (end == std::string_view::npos) {
                    fail("a comment without its closing \"*/\"");
                    return false;
                }
                pos_ = end + 2;
            } else {
                break;
            }
        }
        return true;
    }

    bool atEnd() const { return pos_ >= text_.size(); }

    std::nullptr_t fail(const std::string& message) {
        if (error_.empty()) error_ = format("line %d: %s", line(), message);
        return nullptr;
    }

    int line() const {
        int n = 1;
        for (size_t i = 0; i < pos_ && i < text_.size(); ++i) n += text_[i] == '\n';
        return n;
    }

    std::string_view text_;
    size_t pos_ = 0;
    const Builder& builder_;
    std::string& error_;
};

}  // namespace

Id parseOpenStep(std::string_view bytes, const Builder& builder, bool stringsTable, std::string& error) {
    // Strings tables are often saved as UTF-16 with a byte-order mark.
    std::string text;
    auto starts = [&](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };
    if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
        auto decoded = String::withBytes(bytes.data(), bytes.size(), StringEncoding::UTF16);
        if (!decoded) {
            error = "the text is not valid UTF-16";
            return nullptr;
        }
        text = decoded->utf8();
    } else {
        if (starts("\xEF\xBB\xBF")) bytes.remove_prefix(3);
        if (!unicode::isValidUtf8(bytes)) {
            error = "the text is not valid UTF-8";
            return nullptr;
        }
        text.assign(bytes);
    }
    return TextReader(text, builder, error).document(stringsTable);
}

}  // namespace ns::plist
