#include "net/SDPURLResponseSerialization.h"

#include "platform/foundation/MutableDictionary.h"

ns::Ref<ns::Error> SDPErrorWithUnderlyingError(const ns::Ref<ns::Error>& error, const ns::Ref<ns::Error>& underlying) {
    if (!error) return underlying;
    if (!underlying || error->userInfo()->objectForKey(ns::UnderlyingErrorKey)) return error;
    auto userInfo = ns::cast<ns::MutableDictionary>(error->userInfo()->mutableCopy());
    userInfo->setObjectForKey(underlying, ns::UnderlyingErrorKey);
    return ns::Error::make(error->domain(), error->code(), userInfo);
}

bool SDPErrorOrUnderlyingErrorHasCodeInDomain(const ns::Ref<ns::Error>& error, int64_t code, std::string_view domain) {
    // Iterative: a long chain of underlying errors must not cost stack.
    for (ns::Ref<ns::Error> current = error; current;
         current = ns::cast<ns::Error>(current->userInfo()->objectForKey(ns::UnderlyingErrorKey))) {
        if (current->domain() == domain && current->code() == code) return true;
    }
    return false;
}
