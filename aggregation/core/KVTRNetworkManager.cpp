#include "aggregation/core/KVTRNetworkManager.h"

#include <string>

#include "net/SDPURLResponseSerialization.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLSession.h"
#include "ui/hud/KVTRProgressHUD.h"

namespace {

// Escapes only the bytes that would change how the form splits into pairs
// (plus controls), so bodies the servers already accept stay byte-identical.
void appendFormText(std::string& out, const std::string& text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    for (unsigned char c : text) {
        if (c == '&' || c == '=' || c == '+' || c == '%' || c < 0x20 || c == 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
}

ns::Id parseReply(const ns::Ref<ns::Data>& data) {
    return ns::JSONSerialization::JSONObjectWithData(data, ns::JSONReadingMutableContainers);
}

// The HTTP status a failed request carries in its details (the HTTP
// client files it there; a bare URL-loading error never does), else 0.
int64_t statusInError(const ns::Ref<ns::Error>& error) {
    if (!error || !error->userInfo()) return 0;
    auto response = ns::cast<ns::HTTPURLResponse>(
        error->userInfo()->objectForKey(SDPNetworkingOperationFailingURLResponseErrorKey));
    return response ? response->statusCode() : 0;
}

ns::Ref<ns::MutableURLRequest> makeRequest(ns::Ref<ns::URL> url, std::string_view method) {
    auto request = ns::MutableURLRequest::make(std::move(url), ns::URLRequestUseProtocolCachePolicy,
                                               KVTRNetworkManager::timeoutInterval);
    request->setHTTPMethod(method);
    return request;
}

}  // namespace

void KVTRNetworkManager::getWithURL(std::string_view url, const ns::Ref<ns::Dictionary>& params, Success success,
                                    Failure failure) {
    std::string address(url);
    if (params) address += dealWithParam(params)->utf8();
    auto encoded = ns::String::make(std::move(address))
                       ->stringByAddingPercentEncodingWithAllowedCharacters(*ns::CharacterSet::URLQueryAllowed());
    auto request = makeRequest(encoded ? ns::URL::make(encoded->utf8()) : nullptr, "GET");
    auto task = ns::URLSession::sharedSession()->dataTaskWithRequest(
        request, [success = std::move(success), failure = std::move(failure)](
                     ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
            dispatch::mainQueue()->async([success, failure, data, error] {
                if (data) {
                    ns::Id reply = parseReply(data);
                    if (success) success(reply);
                    return;
                }
                int64_t code = statusInError(error);
                if (code == 0 && error) code = error->code();
                if (failure) failure(showErrorInfoWithStatusCode(code));
            });
        });
    task->resume();
}

void KVTRNetworkManager::PostWithURL(std::string_view url, const ns::Ref<ns::Dictionary>& params, Success success,
                                     Failure failure) {
    auto request = makeRequest(ns::URL::make(url), "POST");
    const std::string body = dealWithParam(params)->utf8();
    request->setHTTPBody(ns::Data::withBytes(body));
    request->setValueForHTTPHeaderField("application/x-www-form-urlencoded", "Content-Type");
    request->setValueForHTTPHeaderField(std::to_string(body.size()), "Content-Length");
    auto task = ns::URLSession::sharedSession()->dataTaskWithRequest(
        request, [success = std::move(success), failure = std::move(failure)](
                     ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse>, ns::Ref<ns::Error> error) {
            if (data) {
                ns::Id reply = parseReply(data);
                if (success) success(reply);
                return;
            }
            if (int64_t status = statusInError(error)) {
                if (failure) failure(showErrorInfoWithStatusCode(status));
                return;
            }
            auto message = showErrorInfoWithStatusCode(error ? error->code() : 0);
            KVTRProgressHUD::showErrorWithStatus(message);
            if (failure) failure(message);
        });
    task->resume();
}

ns::Ref<ns::String> KVTRNetworkManager::dealWithParam(const ns::Ref<ns::Dictionary>& params) {
    std::string body;
    if (params) {
        params->enumerateKeysAndObjectsUsingBlock([&body](const ns::Id& key, const ns::Id& value, bool&) {
            appendFormText(body, ns::textOf(key));
            body += '=';
            appendFormText(body, ns::textOf(value));
            body += '&';
        });
    }
    return ns::String::make(std::move(body));
}

ns::Ref<ns::String> KVTRNetworkManager::showErrorInfoWithStatusCode(int64_t code) {
    const char* text = nullptr;
    switch (code) {
        case -1012: text = "操作无法完成！"; break;
        case -1009: text = "互联网连接似乎是离线！"; break;
        case -1005: text = "连接丢失，请稍后重试！"; break;
        case -1004: text = "服务器连接失败！"; break;
        case -1003: text = "未能找到指定的服务器！"; break;
        case -1002: text = "不支持的URL！"; break;
        case -1001: text = "网络请求超时，请稍后重试！"; break;
        case 500: text = "服务器异常！"; break;
        case 401: return nullptr;
        default: text = "网络请求发生未知错误，请稍后再试！"; break;
    }
    return ns::String::make(text);
}
