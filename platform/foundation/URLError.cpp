#include "platform/foundation/URLError.h"

#include <vector>

#include "platform/foundation/MutableDictionary.h"

namespace ns {

std::string urlErrorDescription(int64_t code, const std::string& host) {
    switch (code) {
    case URLErrorUnknown: return "unknown error";
    case URLErrorCancelled: return "cancelled";
    case URLErrorBadURL: return "bad URL";
    case URLErrorTimedOut: return "The request timed out.";
    case URLErrorUnsupportedURL: return "unsupported URL";
    case URLErrorCannotFindHost: return "A server with the specified hostname could not be found.";
    case URLErrorCannotConnectToHost: return "Could not connect to the server.";
    case URLErrorNetworkConnectionLost: return "The network connection was lost.";
    case URLErrorHTTPTooManyRedirects: return "too many HTTP redirects";
    case URLErrorResourceUnavailable: return "resource unavailable";
    case URLErrorNotConnectedToInternet: return "The Internet connection appears to be offline.";
    case URLErrorBadServerResponse: return "bad server response";
    case URLErrorUserCancelledAuthentication: return "cancelled";
    case URLErrorUserAuthenticationRequired: return "user authentication required";
    case URLErrorCannotDecodeRawData: return "cannot decode raw data";
    case URLErrorCannotDecodeContentData: return "cannot decode content data";
    case URLErrorCannotParseResponse: return "cannot parse response";
    case URLErrorRequestBodyStreamExhausted: return "request body stream exhausted";
    case URLErrorFileDoesNotExist: return "The requested URL was not found on this server.";
    case URLErrorFileIsDirectory: return "file is directory";
    case URLErrorNoPermissionsToReadFile: return "no permission to read file";
    case URLErrorDataLengthExceedsMaximum: return "resource exceeds maximum size";
    case URLErrorSecureConnectionFailed:
        return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case URLErrorServerCertificateUntrusted:
        return "The certificate for this server is invalid. You might be connecting to a server that is pretending "
               "to be \u201c" + host + "\u201d which could put your confidential information at risk.";
    case URLErrorCannotCreateFile: return "cannot create file";
    case URLErrorCannotOpenFile: return "cannot open file";
    case URLErrorCannotWriteToFile: return "cannot write to file";
    default:
        return "The operation couldn\u2019t be completed. (" + std::string(URLErrorDomain) + " error " +
               std::to_string(code) + ".)";
    }
}

Ref<Error> makeURLError(int64_t code, const Ref<URL>& url, Ref<Dictionary> extra) {
    auto info = MutableDictionary::make();
    std::string host;
    if (url) {
        if (auto h = url->host()) host = h->utf8();
        info->setObjectForKey(url, URLErrorFailingURLErrorKey);
        info->setObjectForKey(url->absoluteString(), URLErrorFailingURLStringErrorKey);
    }
    info->setObjectForKey(String::make(urlErrorDescription(code, host)), LocalizedDescriptionKey);
    if (extra) info->addEntriesFromDictionary(*extra);
    return Error::make(URLErrorDomain, code, ns::cast<Dictionary>(info->copy()));
}

}  // namespace ns
