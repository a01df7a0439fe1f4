#include "channel/login/ToviraSDK.h"

#include "channel/NSObject+TVLoginAPI.h"
#include "channel/ShareVale.h"
#include "channel/login/TVAlterLoginVC.h"
#include "channel/pay/TVNewPayVC.h"
#include "channel/pay/TVPayPlug.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URLCache.h"
#include "platform/foundation/UserDefaults.h"
#include "quipay/QuipaySDK.h"

namespace {

constexpr uint64_t kMemoryCapacity = 4 * 1024 * 1024;
constexpr uint64_t kDiskCapacity = 32 * 1024 * 1024;

bool missing(const ns::Ref<ns::String>& text) { return !text || text->length() == 0; }

void quipayReturn(const ns::Ref<ns::URL>& url) {
    if (!ToviraSDK::isQuipayReturn(url)) return;
    QuipaySDK::defaultService()->processOrderWithPaymentResult(url, [](const ns::Ref<ns::Dictionary>& result) {
        TVPayPlug::sharedInstance()->setQuipayResultDic(result);
    });
}

}  // namespace

int64_t ToviraSDK::integerValue(const Text& code) { return code ? code->longLongValue() : 0; }

void ToviraSDK::didFinishLaunching() {
    ns::URLCache::setSharedURLCache(ns::URLCache::make(kMemoryCapacity, kDiskCapacity, "nsurlcache"));
    // The channel's ids come from "TV.plist": without it every request goes
    // with empty ids, so the launch names what is wrong once.
    auto path = ns::Bundle::mainBundle()->pathForResource("TV.plist", "");
    if (!path) {
        ns::log("TV.plist is missing from the app's resources (%@): the channel has no app id, game id, key or "
                "channel",
                ns::Bundle::mainBundle()->resourcePath());
    } else if (!ns::dictionaryWithContentsOfFile(path->utf8())) {
        ns::log("%@ cannot be read as a property list: the channel has no app id, game id, key or channel", path);
    }
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

void ToviraSDK::loadToPayVCWithroleid(const Text& roleid, const Text& money, const Text& serverid,
                                      const Text& productName, const Text& productDesc, const Text& attach,
                                      PaySuccess success, PayFailure faild) {
    TVNewPayVC::loadToPayVCWithroleid(
        roleid, serverid, money, attach, productName, productDesc,
        [success](const Text& text, const Text& amount) {
            if (success) success(text, amount);
        },
        // The centre's codes are texts, or the server's own code object.
        [faild](const Text& text, const ns::Id& code, const Text& amount) {
            auto codeText = ns::cast<ns::String>(code);
            if (!codeText && code) codeText = ns::str(ns::textOf(code));
            if (faild) faild(text, integerValue(codeText), amount);
        });
}

void ToviraSDK::LoginOut() {
    TVNewPayVC::dropWaitingPurchases("logout");
    VRQHelperBtn::setSignedIn(false);
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
    std::string expected = TVPayPlug::returnScheme();
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
