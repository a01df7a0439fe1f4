#include "platform/foundation/CurlResponseHead.h"

#include <cstdlib>

namespace ns::detail {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

}  // namespace

void CurlResponseHead::take(std::string_view buffer) {
    while (!buffer.empty() && !complete_) {
        const size_t end = buffer.find('\n');
        std::string_view line = buffer.substr(0, end);
        buffer.remove_prefix(end == std::string_view::npos ? buffer.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        takeLine(line);
    }
}

void CurlResponseHead::takeLine(std::string_view line) {
    if (line.rfind("HTTP/", 0) == 0) {
        const size_t space = line.find(' ');
        version_ = std::string(line.substr(0, space));
        status_ = space == std::string_view::npos ? 0 : std::atoi(std::string(line.substr(space + 1, 3)).c_str());
        headers_.clear();
        return;
    }
    if (line.empty()) {
        if (status_ >= 100 && status_ < 200) {
            status_ = 0;
            headers_.clear();
        } else if (status_ > 0) {
            complete_ = true;
        }
        return;
    }
    if ((line.front() == ' ' || line.front() == '\t') && !headers_.empty()) {
        headers_.back().second += " ";
        headers_.back().second += trimmed(line);
        return;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    ++fieldsRead_;
    headers_.emplace_back(std::string(trimmed(line.substr(0, colon))), std::string(trimmed(line.substr(colon + 1))));
}

}  // namespace ns::detail
