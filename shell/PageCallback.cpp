#include "shell/PageCallback.h"

#include <cstdio>

#include "net/JKCodec.h"

namespace shell {

std::string singleQuotedLiteralBody(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\'') {
            out += "\\'";
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 2]) == 0xA8 || static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
            // U+2028 and U+2029 end a line inside a literal in the engines
            // the page may run on.
            out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

ns::Ref<ns::String> callbackJSON(const ns::Dictionary& callback) { return JKCodec::JSONString(callback); }

std::string callbackScript(const ns::String& json) {
    return "CallbackFromIOS('" + singleQuotedLiteralBody(json.utf8()) + "')";
}

}  // namespace shell
