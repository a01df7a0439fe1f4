#pragma once
// The marketing name of the device model, from the machine field of the
// system's uname record.

#include <string>
#include <string_view>

class DeveicePlatform {
public:
    DeveicePlatform() = delete;
    static std::string platform();
    // The table the name comes from; an unknown identifier is returned as is.
    static std::string nameForMachine(std::string_view machine);
};
