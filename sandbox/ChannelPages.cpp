#include "sandbox/ChannelPages.h"

namespace sandbox::channel_pages {

namespace {

Response html(const std::string& title, const std::string& body) {
    Response response;
    response.contentType = "text/html; charset=utf-8";
    response.body = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
                    "</title></head>\n<body>\n<h1>" + title + "</h1>\n" + body + "</body></html>\n";
    return response;
}

}  // namespace

std::optional<Response> page(const std::string& path) {
    if (path == kAgreementPath)
        return html("用户协议",
                    "<p>欢迎使用本平台的游戏服务。注册或登录即表示您同意本协议。</p>\n"
                    "<p>一、账号由您本人保管，请勿转借他人。</p>\n"
                    "<p>二、未成年人每日游戏时间受相关规定限制。</p>\n"
                    "<p><a href=\"" + std::string(kForgotPasswordPath) + "\">忘记密码</a></p>\n");
    if (path == kForgotPasswordPath)
        return html("忘记密码",
                    "<form action=\"" + std::string(kForgotPasswordPath) + "\" method=\"get\">\n"
                    "<p>请输入注册时绑定的手机号码，我们将发送验证码帮助您重设密码。</p>\n"
                    "<input name=\"phone\" type=\"tel\"> <button type=\"submit\">发送验证码</button>\n"
                    "</form>\n");
    if (path == kBoxPath)
        return html("游戏盒子", "<p>下载游戏盒子，领取活动福利与充值返利。</p>\n");
    return std::nullopt;
}

}  // namespace sandbox::channel_pages
