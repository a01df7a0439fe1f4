#pragma once
// The fields of a query string or a form body ("a=1&b=2"), in order.
//
// Only "%XX" escapes are undone: "+" stays a plus sign and every other byte
// stays as sent, because the app escapes exactly "&", "=", "+", "%" and
// control bytes and signs the raw values. A malformed escape stays as it is.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sandbox {

class FormFields {
public:
    FormFields() = default;
    static FormFields parse(std::string_view text);

    // The first value under that name; empty when absent.
    std::string value(std::string_view name) const;
    bool has(std::string_view name) const;
    const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

std::string percentDecode(std::string_view text);

}  // namespace sandbox
