#include "platform/webkit/WebError.h"

#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Number.h"

namespace web {

ns::Ref<ns::Error> makeJavaScriptExceptionError(const std::string& message, int64_t line,
                                                const std::string& sourceURL) {
    auto info = ns::MutableDictionary::make();
    info->setObjectForKey(ns::str("A JavaScript exception occurred"), ns::str(ns::LocalizedDescriptionKey));
    info->setObjectForKey(ns::str(message), ns::str(WKJavaScriptExceptionMessageKey));
    if (line > 0) info->setObjectForKey(ns::Number::withLongLong(line), ns::str(WKJavaScriptExceptionLineNumberKey));
    if (!sourceURL.empty()) info->setObjectForKey(ns::str(sourceURL), ns::str(WKJavaScriptExceptionSourceURLKey));
    return ns::Error::make(WKErrorDomain, WKErrorJavaScriptExceptionOccurred, info);
}

ns::Ref<ns::Error> makeUnsupportedResultError() {
    auto info = ns::MutableDictionary::make();
    info->setObjectForKey(ns::str("JavaScript execution returned a result of an unsupported type"),
                          ns::str(ns::LocalizedDescriptionKey));
    return ns::Error::make(WKErrorDomain, WKErrorJavaScriptResultTypeIsUnsupported, info);
}

ns::Ref<ns::Error> makeContentProcessTerminatedError() {
    auto info = ns::MutableDictionary::make();
    info->setObjectForKey(ns::str("The web content process was terminated"), ns::str(ns::LocalizedDescriptionKey));
    return ns::Error::make(WKErrorDomain, WKErrorWebContentProcessTerminated, info);
}

}  // namespace web
