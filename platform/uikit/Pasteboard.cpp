#include "platform/uikit/Pasteboard.h"

namespace ui {

RT_DEFINE_CLASS(Pasteboard, ns::Object, "UIPasteboard")

const ns::Ref<Pasteboard>& Pasteboard::generalPasteboard() {
    static auto* board = new ns::Ref<Pasteboard>(std::make_shared<Pasteboard>());
    return *board;
}

void Pasteboard::setString(std::optional<std::string> text) {
    string_ = std::move(text);
    ++changeCount_;
}

}  // namespace ui
