#include "channel/login/ToviraSDK.h"

#include "channel/NSObject+TVLoginAPI.h"
#include "channel/ShareVale.h"
#include "channel/login/TVAlterLoginVC.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URLCache.h"
#include "platform/foundation/UserDefaults.h"

namespace {

constexpr uint64_t kMemoryCapacity = 4 * 1024 * 1024;
constexpr uint64_t kDiskCapacity = 32 * 1024 * 1024;

bool missing(const ns::Ref<ns::String>& text) { return !text || text->length() == 0; }

void quipayReturn(const ns::Ref<ns::URL>& url) {
    if (!ToviraSDK::isQuipayReturn(url)) return;
    // The wallet's result is read by the payment SDK, not part of the app yet.
    ns::log("wallet return not handled: the payment SDK is not built yet");
}

}  // namespace

int64_t ToviraSDK::integerValue(const Text& code) { return code ? code->longLongValue() : 0; }

void ToviraSDK::didFinishLaunching() {
    ns::URLCache::setSharedURLCache(ns::URLCache::make(kMemoryCapacity, kDiskCapacity, "nsurlcache"));
}

void ToviraSDK::loadLoginViewResultSuccess(LoginSuccess success, LoginFailure failed) {
    TVAlterLoginVC::loadAlterLoginVCResultSuccess(
        [success](const Text& logintime, const Text& userName, const Text& sign, const Text& rzStatus) {
            if (success) success(logintime, userName, sign, rzStatus);
        },
        [failed](const Text& message, const Text& code) {
            if (failed) failed(integerValue(code), message);
        });
}

void ToviraSDK::loadToPayVCWithroleid(const Text&, const Text& money, const Text&, const Text&, const Text&,
                                      const Text&, PaySuccess, PayFailure faild) {
    ns::log("payment centre not built yet: the order of %@ fails", money);
    if (faild) faild(ns::str("payment centre not built yet"), 1, money);
}

void ToviraSDK::LoginOut() {
    VRQHelperBtn::hide();
    auto ball = VRQHelperBtn::shared();
    if (ball->timer()) {
        ball->timer()->cancel();
        ball->setTimer(nullptr);
    }
    TVLoginAPI::LonginOutSendToService();
    ShareVale::sharedInstance()->setLoginStyle(2);
}

void ToviraSDK::SetUserInfoDataWithRoleId(const Text& roleId, const Text& roleName, const Text& roleLevel,
                                          const Text& zoneId, const Text& zoneName, const Text& attach,
                                          RoleResult block) {
    if (missing(roleId) || missing(roleName) || missing(roleLevel) || missing(zoneId) || missing(zoneName)) {
        if (block) block(2);
        return;
    }
    auto role = ns::Dictionary::make({{"roleId", roleId},
                                      {"roleName", roleName},
                                      {"roleLevel", roleLevel},
                                      {"zoneId", zoneId},
                                      {"zoneName", zoneName},
                                      {"ext", attach ? attach : ns::str("")}});
    ns::UserDefaults::standardUserDefaults()->setObjectForKey(role, "roleInfo");
    TVLoginAPI::SetRoleInfoWithInfosuccess(
        [block] {
            if (block) block(1);
        },
        [block](const Text&) {
            if (block) block(0);
        });
}

bool ToviraSDK::isQuipayReturn(const ns::Ref<ns::URL>& url) {
    if (!url) return false;
    std::string expected = ns::format("ToviraQuiPayScheme%@", ShareVale::sharedInstance()->gameID());
    auto scheme = url->scheme();
    auto host = url->host();
    return scheme && host && scheme->utf8() == expected && host->utf8() == "safepay";
}

void ToviraSDK::applicationHandleOpenURL(const ns::Ref<ns::URL>& url) { quipayReturn(url); }
void ToviraSDK::applicationOpenURLSourceApplicationAnnotation(const ns::Ref<ns::URL>& url) { quipayReturn(url); }
void ToviraSDK::applicationOpenURLOptions(const ns::Ref<ns::URL>& url) { quipayReturn(url); }

uint64_t ToviraSDK::applicationSupportedInterfaceOrientationsForWindow() {
    auto entries = ns::cast<ns::Array>(ns::Bundle::mainBundle()->objectForInfoDictionaryKey("UISupportedInterfaceOrientations"));
    bool portrait = false, landscape = false;
    for (uint64_t i = 0; entries && i < entries->count(); ++i) {
        std::string entry = ns::textOf(entries->objectAtIndex(i));
        portrait = portrait || entry.find("Portrait") != std::string::npos;
        landscape = landscape || entry.find("Left") != std::string::npos || entry.find("Right") != std::string::npos;
    }
    if (portrait && landscape) return kPortraitAndLandscape;
    return portrait ? kPortrait : kLandscape;
}
