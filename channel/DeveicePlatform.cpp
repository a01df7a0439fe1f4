#include "channel/DeveicePlatform.h"

#include <sys/utsname.h>

std::string DeveicePlatform::platform() {
    struct utsname record {};
    if (::uname(&record) != 0) return {};
    return nameForMachine(record.machine);
}

std::string DeveicePlatform::nameForMachine(std::string_view machine) {
    auto startsWith = [machine](std::string_view prefix) { return machine.substr(0, prefix.size()) == prefix; };
    if (startsWith("iPhone3")) return "iPhone 4";
    if (machine == "iPhone4,1") return "iPhone 4S";
    if (machine == "iPhone5,1" || machine == "iPhone5,2") return "iPhone 5";
    if (machine == "iPhone5,3" || machine == "iPhone5,4") return "iPhone 5C";
    if (startsWith("iPhone6")) return "iPhone 5S";
    if (machine == "iPhone7,1") return "iPhone 6 Plus";
    if (machine == "iPhone7,2") return "iPhone 6";
    if (machine == "i386" || machine == "x86_64") return "Simulator";
    return std::string(machine);
}
