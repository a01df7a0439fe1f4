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
// The user centre's pages: the player's page (with the real-name link that
// ends in "identifySuccess"), the feedback page, the activity and news
// pages, and the customer-service chat (with a gift code behind "tovcopy://").
inline constexpr const char* kUserPath = "/appview/User/sdkuser";
inline constexpr const char* kIdentifiedPath = "/appview/User/identifySuccess";
inline constexpr const char* kFeedbackPath = "/sdkapicoupon/Servicesdk/feedback";
inline constexpr const char* kActivityPath = "/appview/Activity/index";
inline constexpr const char* kNewsPath = "/appview/News/detail";
inline constexpr const char* kChatPath = "/robot/h5chat.html";
inline constexpr const char* kChatGiftCode = "SANDBOX-GIFT-2024";
// Pictures of the user centre's lists and the avatar: any name below it is
// the same small orange PNG.
inline constexpr const char* kPicturePath = "/appview/pic/";

// The page for a GET of `path`, or nothing when it is not one of them.
std::optional<Response> page(const std::string& path);

}  // namespace sandbox::channel_pages
