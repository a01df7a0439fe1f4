#include "aggregation/core/libKVTRLightChannel.h"

#include "aggregation/core/KVTRChannelSDK.h"
#include "aggregation/core/KVTRJSONFields.h"
#include "aggregation/core/KVTRQueueHops.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

RT_DEFINE_CLASS(libKVTRLightChannel, ns::Object, "libKVTRLightChannel")

using kvtr::text;

namespace {

// The channel's code for a logout or account switch made in its own screens.
constexpr int64_t kChannelLogoutCode = -9;

// Portrait and both landscapes: what the app allows while no channel decides.
constexpr uint64_t kAllButUpsideDown = 26;

std::shared_ptr<KVTRChannelSDK> channel(const char* call) {
    auto sdk = KVTRChannelSDK::shared();
    if (!sdk) ns::log("channel SDK not available: %s", call);
    return sdk;
}

ns::Ref<ns::Dictionary> successStatus() { return ns::Dictionary::make({{"status", text("success")}}); }

// A payment's status also names the order it is for, so a facade with two
// payments open tells each result its own order.
ns::Ref<ns::Dictionary> paymentStatus(const ns::Ref<ns::String>& gameOrderSn) {
    if (!gameOrderSn) return successStatus();
    return ns::Dictionary::make({{"status", text("success")}, {"order_id", gameOrderSn}});
}

// Runs `deliver` with the adapter's delegate on the main queue, after a turn
// on a global queue; the delegate is looked up when the result arrives.
template <class Deliver>
void toDelegate(Deliver deliver) {
    kvtr::throughGlobalToMain([deliver = std::move(deliver)] {
        if (auto delegate = libKVTRLightChannel::sharedInstance()->delegate()) deliver(*delegate);
    });
}

}  // namespace

ns::Ref<libKVTRLightChannel> libKVTRLightChannel::sharedInstance() {
    static const ns::Ref<libKVTRLightChannel> adapter = std::make_shared<libKVTRLightChannel>();
    return adapter;
}

ns::Ref<ns::String> libKVTRLightChannel::platformId() const { return text("256"); }

void libKVTRLightChannel::kvtrChannel_setStartLoginListener(const std::shared_ptr<KVTRLightChannelDelegate>& listener) {
    sharedInstance()->setDelegate(listener);
}

void libKVTRLightChannel::kvtrChannel_lightLoginStart() {
    auto sdk = channel("loadLoginViewResultSuccess");
    if (!sdk) return;
    sdk->loadLoginViewResultSuccess(
        [](const ns::Ref<ns::String>& logintime, const ns::Ref<ns::String>& userName, const ns::Ref<ns::String>& sign,
           const ns::Ref<ns::String>&) {
            auto result = ns::Dictionary::make({{"token", ns::String::make(ns::textOf(sign))},
                                                {"uid", ns::String::make(ns::textOf(userName))},
                                                {"channel_code", ns::String::make(ns::textOf(logintime))}});
            toDelegate([result](KVTRLightChannelDelegate& delegate) {
                delegate.kvtrChannel_LightGetChannelLoginCallBack(result);
            });
        },
        [](int64_t code, const ns::Ref<ns::String>& message) {
            // A failed or cancelled login leaves the page waiting: only a
            // logout made inside the channel's screens is passed on.
            if (code != kChannelLogoutCode) {
                ns::log("channel login failed: %lld %@", static_cast<long long>(code), message);
                return;
            }
            toDelegate([](KVTRLightChannelDelegate& delegate) { delegate.kvtrChannel_logOutCallBack(text("success")); });
        });
}

void libKVTRLightChannel::kvtrChannel_superRoleUpdate(const ns::Ref<KVTRChannelRoleInfo>& roleInfo) {
    kvtr::throughGlobalToMain([roleInfo] {
        // The game hears at once, whatever the channel answers later.
        if (auto delegate = sharedInstance()->delegate()) delegate->kvtrChannel_getUpdateRoleCallBack(successStatus());
        auto sdk = channel("SetUserInfoDataWithRoleId");
        if (!sdk || !roleInfo) return;
        sdk->SetUserInfoDataWithRoleId(roleInfo->roleId, roleInfo->roleName, roleInfo->roleLevel, roleInfo->serviceId,
                                       roleInfo->serviceName, text(""), [](int64_t code) {
                                           ns::log("上报角色code:%ld", static_cast<long>(code));
                                       });
    });
}

std::weak_ptr<const void> libKVTRLightChannel::kvtrChannel_superOrder(const ns::Ref<KVTRChannelOrderInfo>& orderInfo) {
    auto sdk = channel("loadToPayVCWithroleid");
    if (!sdk || !orderInfo) return {};
    // Held by both closures and by the results on their way to the delegate.
    std::shared_ptr<const void> held = std::make_shared<char>(0);
    sdk->loadToPayVCWithroleid(
        orderInfo->roleId, orderInfo->payMoney, orderInfo->serviceId, orderInfo->goodName, orderInfo->goodName,
        orderInfo->gameOrderSn,
        [order = orderInfo->gameOrderSn, held](const ns::Ref<ns::String>&, const ns::Ref<ns::String>&) {
            toDelegate([order, held](KVTRLightChannelDelegate& delegate) {
                (void)held;
                delegate.kvtrChannel_getPaySuccessCallBack(paymentStatus(order));
            });
        },
        [order = orderInfo->gameOrderSn, held](const ns::Ref<ns::String>&, int64_t, const ns::Ref<ns::String>&) {
            toDelegate([order, held](KVTRLightChannelDelegate& delegate) {
                (void)held;
                delegate.kvtrChannel_getPayFailCallBack(paymentStatus(order));
            });
        });
    return held;
}

void libKVTRLightChannel::kvtrChannel_logout() {
    if (auto sdk = channel("LoginOut")) sdk->LoginOut();
    if (auto listener = delegate()) listener->kvtrChannel_logOutCallBack(text("success"));
}

// ---- Application events ----

bool libKVTRLightChannel::applicationDidFinishLaunchingWithOptions(ui::Application&, const ns::Ref<ns::Dictionary>&) {
    if (auto sdk = channel("didFinishLaunching")) sdk->didFinishLaunching();
    return true;
}

uint64_t libKVTRLightChannel::applicationSupportedInterfaceOrientationsForWindow(ui::Application& app,
                                                                                 const ns::Ref<ui::Window>& window) {
    auto sdk = channel("application:supportedInterfaceOrientationsForWindow:");
    return sdk ? sdk->applicationSupportedInterfaceOrientationsForWindow(app, window) : kAllButUpsideDown;
}

bool libKVTRLightChannel::applicationHandleOpenURL(ui::Application& app, const ns::Ref<ns::URL>& url) {
    if (auto sdk = channel("application:handleOpenURL:")) sdk->applicationHandleOpenURL(app, url);
    return true;
}

bool libKVTRLightChannel::applicationOpenURLSourceApplicationAnnotation(ui::Application& app,
                                                                        const ns::Ref<ns::URL>& url,
                                                                        const ns::Ref<ns::String>& sourceApplication,
                                                                        const ns::Id& annotation) {
    if (auto sdk = channel("application:openURL:sourceApplication:annotation:")) {
        sdk->applicationOpenURLSourceApplicationAnnotation(app, url, sourceApplication, annotation);
    }
    return true;
}

bool libKVTRLightChannel::applicationOpenURLOptions(ui::Application& app, const ns::Ref<ns::URL>& url,
                                                    const ns::Ref<ns::Dictionary>& options) {
    if (auto sdk = channel("application:openURL:options:")) sdk->applicationOpenURLOptions(app, url, options);
    return true;
}

void libKVTRLightChannel::applicationWillResignActive(ui::Application&) {}
void libKVTRLightChannel::applicationDidEnterBackground(ui::Application&) {}
void libKVTRLightChannel::applicationWillEnterForeground(ui::Application&) {}
void libKVTRLightChannel::applicationDidBecomeActive(ui::Application&) {}
void libKVTRLightChannel::applicationWillTerminate(ui::Application&) {}
void libKVTRLightChannel::applicationDidRegisterForRemoteNotificationsWithDeviceToken(ui::Application&,
                                                                                      const ns::Ref<ns::Data>&) {}
void libKVTRLightChannel::applicationDidFailToRegisterForRemoteNotificationsWithError(ui::Application&,
                                                                                      const ns::Ref<ns::Error>&) {}
void libKVTRLightChannel::applicationDidReceiveRemoteNotification(ui::Application&, const ns::Ref<ns::Dictionary>&) {}
