#pragma once
// The URL loading system's error codes (NSURLErrorDomain) and the errors it
// reports: the platform's English description and the failing URL under
// both of its user-info keys.

#include <cstdint>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"

namespace ns {

enum URLErrorCode : int64_t {
    URLErrorUnknown = -1,
    URLErrorCancelled = -999,
    URLErrorBadURL = -1000,
    URLErrorTimedOut = -1001,
    URLErrorUnsupportedURL = -1002,
    URLErrorCannotFindHost = -1003,
    URLErrorCannotConnectToHost = -1004,
    URLErrorNetworkConnectionLost = -1005,
    URLErrorHTTPTooManyRedirects = -1007,
    URLErrorResourceUnavailable = -1008,
    URLErrorNotConnectedToInternet = -1009,
    URLErrorBadServerResponse = -1011,
    URLErrorUserCancelledAuthentication = -1012,
    URLErrorUserAuthenticationRequired = -1013,
    URLErrorCannotDecodeRawData = -1015,
    URLErrorCannotDecodeContentData = -1016,
    URLErrorCannotParseResponse = -1017,
    URLErrorRequestBodyStreamExhausted = -1021,
    URLErrorFileDoesNotExist = -1100,
    URLErrorFileIsDirectory = -1101,
    URLErrorNoPermissionsToReadFile = -1102,
    URLErrorDataLengthExceedsMaximum = -1103,
    URLErrorSecureConnectionFailed = -1200,
    URLErrorServerCertificateUntrusted = -1202,
    URLErrorCannotCreateFile = -3000,
    URLErrorCannotOpenFile = -3001,
    URLErrorCannotWriteToFile = -3003,
};

// User-info key of the trust a TLS failure was about (a sec::Trust).
inline constexpr const char* URLErrorFailingURLPeerTrustErrorKey = "NSURLErrorFailingURLPeerTrustErrorKey";

// The platform's description of a code; a generic text for codes it has none for.
std::string urlErrorDescription(int64_t code, const std::string& host = {});

// An NSURLErrorDomain error with the description and, when `url` is given,
// the failing URL and its text. `extra` entries are added to the user info.
Ref<Error> makeURLError(int64_t code, const Ref<URL>& url, Ref<Dictionary> extra = nullptr);

}  // namespace ns
