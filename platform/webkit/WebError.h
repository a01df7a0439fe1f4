#pragma once
// The web view's own error domain and codes (the platform's numbering).

#include <cstdint>
#include <string>

#include "platform/foundation/Error.h"

namespace web {

inline constexpr const char* WKErrorDomain = "WKErrorDomain";

// User-info keys of a script error.
inline constexpr const char* WKJavaScriptExceptionMessageKey = "WKJavaScriptExceptionMessage";
inline constexpr const char* WKJavaScriptExceptionLineNumberKey = "WKJavaScriptExceptionLineNumber";
inline constexpr const char* WKJavaScriptExceptionSourceURLKey = "WKJavaScriptExceptionSourceURL";

enum WKErrorCode : int64_t {
    WKErrorUnknown = 1,
    WKErrorWebContentProcessTerminated = 2,
    WKErrorWebViewInvalidated = 3,
    WKErrorJavaScriptExceptionOccurred = 4,
    WKErrorJavaScriptResultTypeIsUnsupported = 5,
};

// "A JavaScript exception occurred" with the exception's message (and
// line and source when known) in the user info.
ns::Ref<ns::Error> makeJavaScriptExceptionError(const std::string& message, int64_t line = 0,
                                                const std::string& sourceURL = {});
// "JavaScript execution returned a result of an unsupported type".
ns::Ref<ns::Error> makeUnsupportedResultError();
// "The web content process was terminated": the page ended under the script.
ns::Ref<ns::Error> makeContentProcessTerminatedError();

}  // namespace web
