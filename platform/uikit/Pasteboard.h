#pragma once
// The general pasteboard, holding text for the life of the process.

#include <optional>
#include <string>

#include "platform/runtime/Class.h"

namespace ui {

class Pasteboard : public ns::Object {
    RT_DECLARE_CLASS(Pasteboard)
public:
    Pasteboard() = default;
    static const ns::Ref<Pasteboard>& generalPasteboard();

    // Nothing when the pasteboard holds no text.
    const std::optional<std::string>& string() const { return string_; }
    void setString(std::optional<std::string> text);
    bool hasStrings() const { return string_.has_value(); }
    // Bumped by every change, as the platform counts them.
    int64_t changeCount() const { return changeCount_; }

private:
    std::optional<std::string> string_;
    int64_t changeCount_ = 0;
};

}  // namespace ui
