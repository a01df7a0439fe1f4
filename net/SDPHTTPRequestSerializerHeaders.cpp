#include "net/SDPHTTPRequestSerializerHeaders.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Transliteration.h"
#include "platform/uikit/Device.h"
#include "platform/uikit/Screen.h"

std::string SDPAcceptLanguageHeaderValue(const ns::Array& preferredLanguages) {
    std::string header;
    uint64_t index = 0;
    for (const ns::Id& language : preferredLanguages) {
        // Single precision on purpose: 1 - 5 x 0.1f is exactly 0.5, which ends the list.
        const float q = 1.0f - float(index) * 0.1f;
        if (index > 0) header += ", ";
        header += ns::format("%@;q=%0.1g", language, q);
        ++index;
        if (q <= 0.5f) break;
    }
    return header;
}

std::string SDPUserAgentHeaderValue() {
    auto bundle = ns::Bundle::mainBundle();
    ns::Id name = bundle->objectForInfoDictionaryKey("CFBundleExecutable");
    if (!name) name = bundle->objectForInfoDictionaryKey("CFBundleIdentifier");
    ns::Id version = bundle->objectForInfoDictionaryKey("CFBundleShortVersionString");
    if (!version) version = bundle->objectForInfoDictionaryKey("CFBundleVersion");
    const auto& device = ui::Device::currentDevice();
    std::string userAgent = ns::format("%@/%@ (%@; iOS %@; Scale/%0.2f)", name, version, device->model(),
                                       device->systemVersion(), ui::Screen::mainScreen()->scale());
    auto text = ns::MutableString::make(userAgent);
    if (!text->canBeConvertedToEncoding(ns::StringEncoding::ASCII)) {
        if (ns::applyTransform(*text, "Any-Latin; Latin-ASCII; [:^ASCII:] Remove", false)) userAgent = text->utf8();
    }
    return userAgent;
}
