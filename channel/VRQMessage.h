#pragma once
// The channel SDK's toast: a short text in a rounded black box over a view,
// fading away by itself (gone 2.3 s after it shows). Headless, its text is
// also logged as the screen line "toast". Main thread only.

#include <string_view>

#include "platform/foundation/String.h"
#include "platform/uikit/View.h"

class VRQMessage {
public:
    VRQMessage() = delete;

    // Nothing for a nil message.
    static void showMessage(const ns::Ref<ns::String>& message, const ns::Ref<ui::View>& host);
    // On VRQWindowManager::topWindow().
    static void showMessage(const ns::Ref<ns::String>& message);
    static void showMessage(std::string_view message) { showMessage(ns::str(std::string(message))); }

    // The width of the text on one line in the system font of `fontSize`
    // (13 when it is 0 or less); a nil or empty text measures as "无".
    static double getWidthWithText(const ns::String* text, double height, double fontSize);
};
