#include "sandbox/ActivityPageServer.h"

namespace sandbox {

namespace {

// Kept free of "</" so it can sit inside a script element.
constexpr const char* kVoucherScript = R"JS(
function voucherLog(text) {
    if (typeof console !== "undefined" && console.log) {
        console.log("voucher: " + text);
    }
}

function CallbackFromIOS(text) {
    var answer;
    try {
        answer = JSON.parse(text);
    } catch (error) {
        voucherLog("an answer that is not JSON: " + text);
        return;
    }
    var data = answer && answer.data;
    if (!data) {
        voucherLog("no identity yet");
        return;
    }
    voucherLog("identity of " + data.role_name + " on " + data.service_name + " (role " + data.super_role_id + ")");
}

var handlers = window.webkit && window.webkit.messageHandlers;
if (handlers && handlers.eventComplete) {
    handlers.eventComplete.postMessage(JSON.stringify({ action: "get_remark" }));
} else {
    voucherLog("no eventComplete handler: the page is not inside the app");
}
)JS";

constexpr const char* kNoticeScript = R"JS(
if (typeof console !== "undefined" && console.log) {
    console.log("notice: web notice shown");
}
)JS";

std::string page(const std::string& title, const char* script) {
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + title + "</title>\n<script>" +
           script + "</script>\n</head>\n<body></body>\n</html>\n";
}

Response serve(const Request& request) {
    if (request.method != "GET") return Response::notFound();
    Response reply;
    reply.contentType = "text/html; charset=utf-8";
    if (request.path == "/128voucher/index.html") {
        reply.body = voucherPageHtml();
    } else if (request.path == "/notice.html") {
        static const std::string notice = page("Notice", kNoticeScript);
        reply.body = notice;
    } else {
        return Response::notFound();
    }
    return reply;
}

}  // namespace

const std::string& voucherPageHtml() {
    static const std::string html = page("Vouchers", kVoucherScript);
    return html;
}

ActivityPageServer::ActivityPageServer(int port) : http_(serve, port) {}

}  // namespace sandbox
