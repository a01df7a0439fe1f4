#pragma once
// The platform's exceptions: misuse (bad index, mutation of an immutable
// object, unknown key) throws; ordinary bad data returns errors instead.

#include <stdexcept>
#include <string>

namespace ns {

inline constexpr const char* InvalidArgumentException = "NSInvalidArgumentException";
inline constexpr const char* RangeException = "NSRangeException";
inline constexpr const char* InternalInconsistencyException = "NSInternalInconsistencyException";
inline constexpr const char* GenericException = "NSGenericException";
inline constexpr const char* MallocException = "NSMallocException";
inline constexpr const char* UndefinedKeyException = "NSUnknownKeyException";

class Exception : public std::runtime_error {
public:
    Exception(std::string name, std::string reason)
        : std::runtime_error(name + ": " + reason), name_(std::move(name)), reason_(std::move(reason)) {}

    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }

    [[noreturn]] static void raise(std::string name, std::string reason) {
        throw Exception(std::move(name), std::move(reason));
    }

private:
    std::string name_;
    std::string reason_;
};

}  // namespace ns
