#pragma once
// The channel adapter: turns the facade's requests into calls of the channel
// SDK (KVTRChannelSDK) and the channel's result closures into calls of its
// delegate, the facade. Results reach the delegate on the main queue after a
// turn through a default-priority global queue, whatever queue the channel
// called back on. The platform server knows this channel as platform "256".

#include <cstdint>
#include <memory>

#include "aggregation/core/KVTRChannelOrderInfo.h"
#include "aggregation/core/KVTRChannelRoleInfo.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"

namespace ns {
class Data;
class Error;
class URL;
}  // namespace ns
namespace ui {
class Application;
class Window;
}  // namespace ui

// What the adapter reports; every slot is optional (a no-op unless overridden).
class KVTRLightChannelDelegate {
public:
    virtual ~KVTRLightChannelDelegate() = default;
    // {token, uid, channel_code}.
    virtual void kvtrChannel_LightGetChannelLoginCallBack(const ns::Ref<ns::Dictionary>& result) { (void)result; }
    // The three below get {status: "success"}.
    virtual void kvtrChannel_getUpdateRoleCallBack(const ns::Ref<ns::Dictionary>& status) { (void)status; }
    virtual void kvtrChannel_getPaySuccessCallBack(const ns::Ref<ns::Dictionary>& status) { (void)status; }
    virtual void kvtrChannel_getPayFailCallBack(const ns::Ref<ns::Dictionary>& status) { (void)status; }
    // "success".
    virtual void kvtrChannel_logOutCallBack(const ns::Ref<ns::String>& result) { (void)result; }
};

class libKVTRLightChannel : public ns::Object {
    RT_DECLARE_CLASS(libKVTRLightChannel)
public:
    static ns::Ref<libKVTRLightChannel> sharedInstance();

    std::shared_ptr<KVTRLightChannelDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<KVTRLightChannelDelegate>& delegate) { delegate_ = delegate; }
    // Always "256"; a value set is kept but never read.
    ns::Ref<ns::String> platformId() const;
    void setPlatformId(const ns::Ref<ns::String>& platformId) { platformId_ = platformId; }

    // Sets the shared adapter's delegate.
    static void kvtrChannel_setStartLoginListener(const std::shared_ptr<KVTRLightChannelDelegate>& listener);

    void kvtrChannel_lightLoginStart();
    void kvtrChannel_superRoleUpdate(const ns::Ref<KVTRChannelRoleInfo>& roleInfo);
    // Opens the channel's payment for the order. The answer lives as long as
    // the channel keeps that payment's closures (and until a result they
    // gave has reached the delegate): while it does, the order may still be
    // reported. Expired at once when no channel is installed.
    std::weak_ptr<const void> kvtrChannel_superOrder(const ns::Ref<KVTRChannelOrderInfo>& orderInfo);
    // Ends the channel session and tells the delegate at once, on this queue.
    void kvtrChannel_logout();

    // ---- Application events ----
    bool applicationDidFinishLaunchingWithOptions(ui::Application& app, const ns::Ref<ns::Dictionary>& options);
    uint64_t applicationSupportedInterfaceOrientationsForWindow(ui::Application& app,
                                                                const ns::Ref<ui::Window>& window);
    // The three URL hooks answer YES whether or not the channel took the URL.
    bool applicationHandleOpenURL(ui::Application& app, const ns::Ref<ns::URL>& url);
    bool applicationOpenURLSourceApplicationAnnotation(ui::Application& app, const ns::Ref<ns::URL>& url,
                                                       const ns::Ref<ns::String>& sourceApplication,
                                                       const ns::Id& annotation);
    bool applicationOpenURLOptions(ui::Application& app, const ns::Ref<ns::URL>& url,
                                   const ns::Ref<ns::Dictionary>& options);
    // Ignored by this channel.
    void applicationWillResignActive(ui::Application& app);
    void applicationDidEnterBackground(ui::Application& app);
    void applicationWillEnterForeground(ui::Application& app);
    void applicationDidBecomeActive(ui::Application& app);
    void applicationWillTerminate(ui::Application& app);
    void applicationDidRegisterForRemoteNotificationsWithDeviceToken(ui::Application& app,
                                                                     const ns::Ref<ns::Data>& deviceToken);
    void applicationDidFailToRegisterForRemoteNotificationsWithError(ui::Application& app,
                                                                     const ns::Ref<ns::Error>& error);
    void applicationDidReceiveRemoteNotification(ui::Application& app, const ns::Ref<ns::Dictionary>& userInfo);

private:
    std::weak_ptr<KVTRLightChannelDelegate> delegate_;
    ns::Ref<ns::String> platformId_;
};
