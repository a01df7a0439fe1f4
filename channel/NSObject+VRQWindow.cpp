#include "channel/NSObject+VRQWindow.h"

#include <any>

#include "platform/security/Digest.h"
#include "platform/security/Hex.h"

namespace VRQWindow {

namespace {
const char md5KeyChar = 0;  // its address keys the cached value
}

std::string md5Key(const ns::Object& object) {
    std::any stored = object.associated(&md5KeyChar);
    if (auto text = std::any_cast<std::string>(&stored); text && !text->empty()) return *text;
    std::string key = getCurrentMd5Key(object);
    // Caching is not a change of the object's value.
    const_cast<ns::Object&>(object).setAssociated(&md5KeyChar, key);
    return key;
}

std::string getCurrentMd5Key(const ns::Object& object) {
    return sec::hexUpper(sec::md5(object.description()));
}

}  // namespace VRQWindow
