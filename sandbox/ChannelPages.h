#pragma once
// The channel operator's web pages as the stand-in serves them: the user
// agreement (under the API base), the forgotten-password page and the
// companion app's download page (at the server's root). Plain HTML without
// scripts that need a layout engine.

#include <optional>
#include <string>

#include "sandbox/HttpServer.h"

namespace sandbox::channel_pages {

inline constexpr const char* kAgreementPath = "/sdkapicoupon/Agreement/xieyi";
inline constexpr const char* kForgotPasswordPath = "/appview/User/forgetpwd";
inline constexpr const char* kBoxPath = "/cdcloud/welcome/box";

// The page for a GET of `path`, or nothing when it is not one of them.
std::optional<Response> page(const std::string& path);

}  // namespace sandbox::channel_pages
