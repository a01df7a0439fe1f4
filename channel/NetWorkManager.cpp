#include "channel/NetWorkManager.h"

#include "channel/TVSingleton.h"
#include "channel/TVAPIStrings.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/String.h"

RT_DEFINE_CLASS(NetWorkManager, TVCodecTransport, "NetWorkManager")

ns::Ref<NetWorkManager> NetWorkManager::sharedInstance() {
    return TVSingleton<NetWorkManager>::shared();
}

void NetWorkManager::distroyInstance() {
    TVSingleton<NetWorkManager>::destroy();
}

void NetWorkManager::PostCouponURL(std::string_view path, const ns::Ref<ns::Dictionary>& parameters, Success success,
                                   Failure failure) {
    POST(TVAPIStrings::endpoint(path), parameters, std::move(success), std::move(failure));
}

std::string NetWorkManager::relaceurlString(std::string_view text) {
    std::string identifier;
    if (auto value = ns::cast<ns::String>(ns::Bundle::mainBundle()->objectForInfoDictionaryKey("CFBundleIdentifier")))
        identifier = value->stringByReplacingOccurrencesOfString(".", "")->utf8();
    return ns::String(std::string(text)).stringByReplacingOccurrencesOfString("btsdk", identifier)->utf8();
}
