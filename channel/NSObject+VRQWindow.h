#pragma once
// A stable key for an object in the window registry: the upper-case hex MD5
// of its description, worked out once and kept with the object, so it never
// changes while the object lives.

#include <string>

#include "platform/runtime/Object.h"

namespace VRQWindow {

std::string md5Key(const ns::Object& object);
std::string getCurrentMd5Key(const ns::Object& object);

}  // namespace VRQWindow
