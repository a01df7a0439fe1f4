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
    if (path.rfind(kPicturePath, 0) == 0 && path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0) {
        // 4 x 4 pixels of orange, RGBA.
        static const char kPNG[] =
            "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x04\x00\x00\x00"
            "\x04\x08\x06\x00\x00\x00\xa9\xf1\x9e\x7e\x00\x00\x00\x12\x49\x44\x41\x54\x78\xda\x63\xf8\xdf"
            "\xc0\xf0\x1f\x19\x33\x90\x2e\x00\x00\x50\x4f\x27\xe1\x11\x72\x2a\x59\x00\x00\x00\x00\x49\x45"
            "\x4e\x44\xae\x42\x60\x82";
        Response response;
        response.contentType = "image/png";
        response.body.assign(kPNG, sizeof(kPNG) - 1);
        return response;
    }
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
    if (path == kUserPath)
        return html("个人中心", "<p>账号资料与安全设置。</p>\n<p><a href=\"" + std::string(kIdentifiedPath) +
                                    "\">实名认证</a></p>\n");
    if (path == kIdentifiedPath) return html("认证成功", "<p>实名认证已完成。</p>\n");
    if (path == kFeedbackPath)
        return html("问题反馈", "<form action=\"" + std::string(kFeedbackPath) +
                                    "\" method=\"get\">\n<textarea name=\"content\"></textarea>\n"
                                    "<button type=\"submit\">提交</button>\n</form>\n");
    if (path == kActivityPath) return html("开服七天乐", "<p>登录七天，每天领取好礼。</p>\n");
    if (path == kNewsPath) return html("公告详情", "<p>沙盒服务器维护公告。</p>\n");
    if (path == kChatPath)
        return html("在线客服", "<p>您好，请问有什么可以帮您？</p>\n<p><a href=\"tovcopy://copy?" +
                                    std::string(kChatGiftCode) + "\">复制礼包码</a></p>\n"
                                    "<p><a href=\"mqq://im/chat?uin=10000\">QQ客服</a></p>\n");
    return std::nullopt;
}

}  // namespace sandbox::channel_pages
