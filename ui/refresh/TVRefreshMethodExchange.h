#pragma once
// Swapping two named methods of a class through the runtime, as the refresh
// code's reload hook would need; nothing in the system calls these.
//
// Class methods live in the runtime's class-method table and can be
// swapped. Instance methods are C++ members compiled into the class, with
// no table to swap in: that exchange is logged and changes nothing.

#include <string_view>

#include "platform/runtime/Class.h"

namespace TVRefresh {

// Swaps the two class methods where a lookup on `cls` finds them (an
// inherited one is swapped in its superclass). Logged, and nothing swapped,
// when either is missing or the two differ in type.
void exchangeClassMethod(const rt::Class& cls, std::string_view method1, std::string_view method2);
// Logged; changes nothing (see above).
void exchangeInstanceMethod(const rt::Class& cls, std::string_view method1, std::string_view method2);

}  // namespace TVRefresh
