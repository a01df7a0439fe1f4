#pragma once
// Errors as values: a domain, a code and a user-info dictionary.

#include <cstdint>
#include <string>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

inline constexpr const char* CocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* POSIXErrorDomain = "NSPOSIXErrorDomain";
inline constexpr const char* URLErrorDomain = "NSURLErrorDomain";

inline constexpr const char* LocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* LocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";
inline constexpr const char* UnderlyingErrorKey = "NSUnderlyingError";
inline constexpr const char* URLErrorFailingURLErrorKey = "NSErrorFailingURLKey";
inline constexpr const char* URLErrorFailingURLStringErrorKey = "NSErrorFailingURLStringKey";

class Error : public Object {
    RT_DECLARE_CLASS(Error)
public:
    Error() = default;
    Error(std::string domain, int64_t code, Ref<Dictionary> userInfo);
    static Ref<Error> make(std::string domain, int64_t code, Ref<Dictionary> userInfo = nullptr);

    const std::string& domain() const { return domain_; }
    int64_t code() const { return code_; }
    // Never nil: an error made without user info has an empty one.
    const Ref<Dictionary>& userInfo() const { return userInfo_; }

    // The user info's description text, else the platform's fallback
    // "The operation couldn’t be completed. (<domain> error <code>.)".
    std::string localizedDescription() const;
    // The user info's failure reason; nil when there is none.
    Ref<String> localizedFailureReason() const;

    // Error Domain=<domain> Code=<code> "<description or (null)>" UserInfo={k=v, ...}
    std::string description() const override;
    uint64_t hash() const override;
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override { return self(); }

private:
    std::string domain_;
    int64_t code_ = 0;
    Ref<Dictionary> userInfo_;
};

}  // namespace ns
