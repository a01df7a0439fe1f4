#pragma once
// Stand-in of the activity-page server: the voucher page at
// "/128voucher/index.html" (the app asks with "?os_type=2"), which asks the
// app for the player's identity and logs the answer, and a page for web
// notices at "/notice.html". Both run on ECMAScript 5.1.

#include <string>

#include "sandbox/HttpServer.h"

namespace sandbox {

class ActivityPageServer {
public:
    explicit ActivityPageServer(int port = 0);

    HttpServer& http() { return http_; }
    const HttpServer& http() const { return http_; }
    std::string noticeURL() const { return http_.origin() + "/notice.html"; }

private:
    HttpServer http_;
};

// The voucher page's HTML.
const std::string& voucherPageHtml();

}  // namespace sandbox
