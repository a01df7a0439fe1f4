#include "channel/TVAPIStrings.h"

#include "channel/TVChannelConfig.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/URL.h"

namespace {

// Entries 10 to 45: the endpoint paths and the agreement page.
constexpr const char* kPaths[] = {
    "login/dologin",       "login/register",      "login/phoneRegister", "login/yzm",
    "login/idcheck",       "Sdkmsg/indexios",     "User/setRole",        "login/iosxiaohao",
    "login/iosaddxiaohao", "login/logout",        "login/setTime",       "Home/number",
    "Home/index",          "News/lists",          "Server/lists",        "Transaction/lists",
    "Card/lists",          "Card/receive",        "home/getCoupons",     "home/getCouponsLog",
    "Servicesdk/feedback", "pay/getcoupons",      "pay/getPayWayios",    "Ttbpay/getDJQ",
    "Ttbpay/djqpay",       "Ttbpay/ttbnew",       "Ttbpay/getTTB",       "Service/getkefu",
    "pay/payRecords",      "H5pay/pay",           "wxh5/h5pay",          "Wxh5other/h5pay",
    "Quipayapp/apppayios", "Quipayappother/apppayios", "Pay/getUserSuccess", "Agreement/xieyi",
};
static_assert(sizeof(kPaths) / sizeof(kPaths[0]) == 36);

constexpr const char* kKeys[] = {"zuroBox://",   "fanliURL",        "tradeURL_",  "recycleURL",
                                 "goldStoreURL", "scoreMissionURL", "activityURL"};

// "scheme://host[:port]" of the base address, "" when it has none.
std::string baseOrigin() {
    auto url = ns::URL::make(TVChannelConfig::apiBaseURL());
    if (!url || !url->scheme() || !url->host()) return {};
    std::string origin = url->scheme()->utf8() + "://" + url->host()->utf8();
    if (auto port = url->port()) origin += ":" + std::to_string(port->longLongValue());
    return origin;
}

std::string baseHost() {
    auto url = ns::URL::make(TVChannelConfig::apiBaseURL());
    return url && url->host() ? url->host()->utf8() : std::string();
}

}  // namespace

std::string TVAPIStrings::at(size_t index) {
    switch (index) {
        case APIBase: return TVChannelConfig::apiBaseURL();
        case OperatorScheme: return baseHost() + "://";
        case BoxDownloadPage: return baseOrigin() + "/cdcloud/welcome/box";
        case UserPage: return baseOrigin() + "/appview/User/sdkuser";
        case ForgotPasswordPage: return baseOrigin() + "/appview/User/forgetpwd";
        default: break;
    }
    if (index >= BoxScheme && index <= ActivityKey) return kKeys[index - BoxScheme];
    if (index >= Login && index <= Agreement) return kPaths[index - Login];
    return {};
}

std::string TVAPIStrings::endpoint(std::string_view path) {
    return TVChannelConfig::apiBaseURL() + std::string(path);
}
