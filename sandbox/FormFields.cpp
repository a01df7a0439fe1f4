#include "sandbox/FormFields.h"

namespace sandbox {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int high = hexDigit(text[i + 1]);
            int low = hexDigit(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

FormFields FormFields::parse(std::string_view text) {
    FormFields fields;
    while (!text.empty()) {
        std::size_t amp = text.find('&');
        std::string_view pair = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
        // The app ends every pair with "&", so empty pieces are normal.
        if (pair.empty()) continue;
        std::size_t equals = pair.find('=');
        std::string_view name = pair.substr(0, equals);
        std::string_view value = equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
        fields.entries_.emplace_back(percentDecode(name), percentDecode(value));
    }
    return fields;
}

std::string FormFields::value(std::string_view name) const {
    for (const auto& [key, value] : entries_)
        if (key == name) return value;
    return {};
}

bool FormFields::has(std::string_view name) const {
    for (const auto& entry : entries_)
        if (entry.first == name) return true;
    return false;
}

}  // namespace sandbox
