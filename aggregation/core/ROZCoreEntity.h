#pragma once
// The aggregation SDK's facade: the one object the game shell talks to. It
// starts the SDK (platform-server init and its announcement), signs the
// player in at the platform server after a channel login, reports roles,
// places orders, opens the SDK's own stores and halls, and tells the shell
// through ROZCoreEntityDelegate.
//
// Threading: the shell calls in on the main thread. Platform-server replies
// arrive on the URL session's queue; the facade hops to the main queue before
// it writes any of its fields, so every field below is read and written on
// the main queue only and there are no locks.
//
// The facade's methods are spread over files by concern:
//   ROZCoreEntity.cpp          state, launch, init notice, login, entry check,
//                              logout, the adapter's callbacks
//   ROZCoreEntity+Role.cpp     role report and order, with their signs
//   ROZCoreEntity+Stores.cpp   store and resource-hall openers, menu
//   ROZCoreEntity+Payments.cpp gift and resource payments
//   ROZCoreEntity+Banner.cpp   time-store banner and daily pop-up
//   ROZCoreEntity+Lucky.cpp    lucky-gift chain

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "aggregation/core/ROZCoreEntityDelegate.h"
#include "aggregation/core/libKVTRLightChannel.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/String.h"

namespace ns {
class Data;
class Error;
class Notification;
class URL;
}  // namespace ns
namespace ui {
class Application;
class ImageView;
class View;
class Window;
}  // namespace ui
class KVTRTimePopView;

class ROZCoreEntity : public ns::Object, public KVTRLightChannelDelegate {
    RT_DECLARE_CLASS(ROZCoreEntity)
public:
    using Text = ns::Ref<ns::String>;
    using ReplyBlock = std::function<void(const ns::Ref<ns::Dictionary>& reply)>;

    static ns::Ref<ROZCoreEntity> sharedInstance();
    // Takes the payment observers off the default centre, so a replaced
    // facade leaves no registration behind.
    ~ROZCoreEntity() override;
    // Tests only: forgets the shared instance so that the next sharedInstance()
    // makes a fresh facade (and points the adapter at it once a listener is
    // set). Closures of the old facade hold it weakly and fall silent.
    static void resetSharedInstanceForTesting();

    // ---- Called by the shell ----
    // The listener becomes the facade's delegate; the facade the adapter's.
    void kvtr_setStartLoginListener(const std::shared_ptr<ROZCoreEntityDelegate>& listener);
    void kvtr_lightLoginStart();
    void kvtr_lightLoginWithGameId(const Text& gameId);
    void kvtr_logout();
    // Role report and order: JSON texts of the game's objects.
    void kvtr_superRoleUpdate(const Text& roleJson);
    void kvtr_superOrder(const Text& orderJson);

    // ---- Application events (passed on to the adapter) ----
    bool applicationDidFinishLaunchingWithOptions(ui::Application& app, const ns::Ref<ns::Dictionary>& options);
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
    uint64_t applicationSupportedInterfaceOrientationsForWindow(ui::Application& app,
                                                                const ns::Ref<ui::Window>& window);
    bool applicationHandleOpenURL(ui::Application& app, const ns::Ref<ns::URL>& url);
    bool applicationOpenURLSourceApplicationAnnotation(ui::Application& app, const ns::Ref<ns::URL>& url,
                                                       const Text& sourceApplication, const ns::Id& annotation);
    bool applicationOpenURLOptions(ui::Application& app, const ns::Ref<ns::URL>& url,
                                   const ns::Ref<ns::Dictionary>& options);

    // ---- Offered to the shell, unused by it ----
    // Asks the platform server whether the player may enter the given server;
    // answers through canEnterListenCallBack.
    void kvtr_canEnterGameWithServiceID(const Text& serviceId, const Text& serviceName);

    // ---- Platform login and start-up helpers ----
    void kvtr_superLoginCallBackWithGame_id(const Text& gameId, const Text& token, const Text& platformId,
                                            const Text& uid, const Text& channelCode, const Text& url);
    // The init request and its announcement.
    void kzSetNoticeView();
    // Unix seconds (decimal text) of now shifted by years, then months, then
    // days in the Gregorian calendar.
    Text ddpGetExpectTimestamp(int64_t year, int64_t month, int64_t day);
    // "yyyy-MM-dd" of Unix seconds in the device's time zone.
    Text getTimeFromTimestamp(const Text& timestamp);
    // The parsed value with mutable containers; nil for nil text or bad JSON.
    ns::Id dictionaryWithJsonString(const Text& jsonString);

    // ---- KVTRLightChannelDelegate (the adapter's results, main queue) ----
    void kvtrChannel_LightGetChannelLoginCallBack(const ns::Ref<ns::Dictionary>& result) override;
    void kvtrChannel_getUpdateRoleCallBack(const ns::Ref<ns::Dictionary>& status) override;
    void kvtrChannel_getPaySuccessCallBack(const ns::Ref<ns::Dictionary>& status) override;
    void kvtrChannel_getPayFailCallBack(const ns::Ref<ns::Dictionary>& status) override;
    void kvtrChannel_logOutCallBack(const ns::Ref<ns::String>& result) override;

    // ---- stores, payments, banner, lucky chain ----
    // Store and resource-hall openers. Openings are debounced by 1.0 s on
    // the main run loop; the hall's data join never blocks a thread.
    void kvtr_openGmShop();
    void kvtr_openResourceStore();
    void openActivityHall();
    void getUsefulData();
    void showMenu(ReplyBlock completion);
    void reloadGmDataWithSuccessBlock(ReplyBlock success);
    void reloadVIPDataWithSuccessBlock(ReplyBlock success);
    void reloadGetStatusData(ReplyBlock success);
    void reloadGetVIPStatusData(ReplyBlock success);
    void toGmShop();
    void openResourceStore();
    std::function<void(const Text& event)> gmHallRechargeBlock();
    std::function<void()> gmHallCloseBlock();
    // Gift and resource payments: each posting queues one order of its kind;
    // the senders, 1.0 s after the last posting, place every queued order.
    void giftPayData(const ns::Ref<ns::Notification>& notification);
    void toGiftPay();
    void resourcePayData(const ns::Ref<ns::Notification>& notification);
    void toResourcePay();
    // Time-store banner. popViewPoint replaces a running refresh period.
    ns::Ref<KVTRTimePopView> popView();
    void popViewPoint();
    void popViewanimate();
    void addPopGestureRecognizer();
    bool isBangsScreen();
    Text getNowTimeTimestamp();
    Text getNowTimeWithString();
    std::function<void()> timePopCloseBlock();
    // The daily delay: run by every successful role report (main queue);
    // arms "twoTimer" once a day per platform user when the time store is on.
    void armDailyBanner();
    // Lucky-gift chain.
    void addPlayerGiftLogicWithTime(double time, const Text& timetype);
    void getLuckyPlayerDataWithTime(const Text& timetype, ReplyBlock sucessData);
    void addGestureluckyGiftView();
    std::function<void()> luckyPopCloseBlock(const Text& timetype);
    // ---- end of stores, payments, banner, lucky chain ----

    // ---- State (main queue) ----
    std::shared_ptr<ROZCoreEntityDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<ROZCoreEntityDelegate>& delegate) { delegate_ = delegate; }

    const Text& kvtrgameid() const { return kvtrgameid_; }
    void setKvtrgameid(const Text& v) { kvtrgameid_ = v; }
    const Text& platform_id() const { return platform_id_; }
    void setPlatform_id(const Text& v) { platform_id_ = v; }
    const Text& super_user_id() const { return super_user_id_; }
    void setSuper_user_id(const Text& v) { super_user_id_ = v; }
    const Text& token() const { return token_; }
    void setToken(const Text& v) { token_ = v; }
    const Text& roleid() const { return roleid_; }
    void setRoleid(const Text& v) { roleid_ = v; }
    const Text& cp_role_id() const { return cp_role_id_; }
    void setCp_role_id(const Text& v) { cp_role_id_ = v; }
    const Text& service_id() const { return service_id_; }
    void setService_id(const Text& v) { service_id_ = v; }
    const Text& service_name() const { return service_name_; }
    void setService_name(const Text& v) { service_name_ = v; }
    const Text& role_name() const { return role_name_; }
    void setRole_name(const Text& v) { role_name_ = v; }
    const Text& role_level() const { return role_level_; }
    void setRole_level(const Text& v) { role_level_ = v; }
    const Text& power_value() const { return power_value_; }
    void setPower_value(const Text& v) { power_value_ = v; }
    const ns::Ref<ns::Dictionary>& rolesurperdic() const { return rolesurperdic_; }
    void setRolesurperdic(const ns::Ref<ns::Dictionary>& v) { rolesurperdic_ = v; }
    const Text& order_id() const { return order_id_; }
    void setOrder_id(const Text& v) { order_id_ = v; }
    const Text& cpOrder() const { return cpOrder_; }
    void setCpOrder(const Text& v) { cpOrder_ = v; }

    // Made empty on first read.
    const ns::Ref<ns::MutableArray>& menuArray();
    void setMenuArray(const ns::Ref<ns::MutableArray>& v) { menuArray_ = v; }
    const ns::Ref<ns::MutableArray>& responseArray();
    void setResponseArray(const ns::Ref<ns::MutableArray>& v) { responseArray_ = v; }
    const ns::Ref<ns::MutableArray>& VIPArray();
    void setVIPArray(const ns::Ref<ns::MutableArray>& v) { VIPArray_ = v; }

    const Text& gmtotal_money() const { return gmtotal_money_; }
    void setGmtotal_money(const Text& v) { gmtotal_money_ = v; }
    const Text& viptotal_money() const { return viptotal_money_; }
    void setViptotal_money(const Text& v) { viptotal_money_ = v; }
    const ns::Ref<ns::Dictionary>& responseData() const { return responseData_; }
    void setResponseData(const ns::Ref<ns::Dictionary>& v) { responseData_ = v; }
    const Text& roleData1() const { return roleData1_; }
    void setRoleData1(const Text& v) { roleData1_ = v; }

    bool isRunLogic() const { return isRunLogic_; }
    void setIsRunLogic(bool v) { isRunLogic_ = v; }
    bool isHallOpen() const { return isHallOpen_; }
    void setIsHallOpen(bool v) { isHallOpen_ = v; }
    bool isTimeStore() const { return isTimeStore_; }
    void setIsTimeStore(bool v) { isTimeStore_ = v; }

    void setPopView(const ns::Ref<KVTRTimePopView>& v) { popView_ = v; }
    const ns::Ref<ui::ImageView>& luckyGiftView() const { return luckyGiftView_; }
    void setLuckyGiftView(const ns::Ref<ui::ImageView>& v) { luckyGiftView_ = v; }
    const ns::Ref<ui::View>& coverView() const { return coverView_; }
    void setCoverView(const ns::Ref<ui::View>& v) { coverView_ = v; }

    // Timing values of the menu reply in seconds, as the reply gives them
    // (text or number; nil when missing): read with their double value.
    const ns::Id& time_shop_refresh() const { return time_shop_refresh_; }
    void setTime_shop_refresh(const ns::Id& v) { time_shop_refresh_ = v; }
    const ns::Id& luck_time() const { return luck_time_; }
    void setLuck_time(const ns::Id& v) { luck_time_ = v; }
    const ns::Id& day_time() const { return day_time_; }
    void setDay_time(const ns::Id& v) { day_time_ = v; }
    const ns::Id& active_time() const { return active_time_; }
    void setActive_time(const ns::Id& v) { active_time_ = v; }
    const ns::Id& shop_time() const { return shop_time_; }
    void setShop_time(const ns::Id& v) { shop_time_ = v; }

private:
    // Platform-server replies, handled on the main queue: the fields they
    // carry are written there before the shell hears of them.
    void loginReplyArrived(const ns::Id& reply);
    void roleReplyArrived(const ns::Id& reply, const ns::Ref<ns::Dictionary>& request);
    // `session` is the one the order was placed in: a reply that comes
    // after its logout opens nothing.
    void orderReplyArrived(const ns::Id& reply, const ns::Ref<ns::Dictionary>& request, uint64_t session);
    // Back to the launch/logout flags: isRunLogic YES, isHallOpen and
    // isTimeStore NO; `emptyRole` (a logout) also empties roleid, ends the
    // session and forgets the orders the channel no longer holds.
    void resetSessionFlags(bool emptyRole);
    // Lets go of the pairs of orders the channel can no longer report.
    void forgetClosedOrders();
    // {order_id, cpOrder} of the order a channel payment status names; a
    // paid order's pair is let go.
    ns::Ref<ns::Dictionary> payResult(const ns::Ref<ns::Dictionary>& status, bool paid);

    std::weak_ptr<ROZCoreEntityDelegate> delegate_;
    Text kvtrgameid_;
    Text platform_id_;
    Text super_user_id_;
    Text token_;
    Text roleid_;
    Text cp_role_id_;
    Text service_id_;
    Text service_name_;
    Text role_name_;
    Text role_level_;
    Text power_value_;
    ns::Ref<ns::Dictionary> rolesurperdic_;
    Text order_id_;
    Text cpOrder_;
    // The game's order (cpOrder) of every order open at the channel, by the
    // aggregator's order id, until it is paid or the channel lets go of it
    // (its centre has gone, or it was dropped unopened): each payment result
    // is paired with its own, also one made after a logout in a centre that
    // stayed open.
    struct OpenOrder {
        Text cpOrder;
        // Alive while the channel may still report on the order.
        std::weak_ptr<const void> inChannel;
    };
    std::map<std::string, OpenOrder> openOrders_;
    // Moves on at each logout.
    uint64_t session_ = 0;
    ns::Ref<ns::MutableArray> menuArray_;
    ns::Ref<ns::MutableArray> responseArray_;
    ns::Ref<ns::MutableArray> VIPArray_;
    Text gmtotal_money_;
    Text viptotal_money_;
    ns::Ref<ns::Dictionary> responseData_;
    Text roleData1_;
    bool isRunLogic_ = false;
    bool isHallOpen_ = false;
    bool isTimeStore_ = false;
    ns::Ref<KVTRTimePopView> popView_;
    ns::Ref<ui::ImageView> luckyGiftView_;
    ns::Ref<ui::View> coverView_;
    ns::Id time_shop_refresh_;
    ns::Id luck_time_;
    ns::Id day_time_;
    ns::Id active_time_;
    ns::Id shop_time_;

    // ---- stores, payments, banner, lucky chain (private state) ----
    using Failure = std::function<void()>;
    ns::Weak<ROZCoreEntity> weakSelf() { return ref<ROZCoreEntity>(); }
    // Store openers: shared identity checks, the identity text of the halls,
    // and the loaders with a failure path so that the hall's join can give
    // up instead of waiting for a leg that will never come.
    bool storeIdentityPresent();
    Text storeUserInfo();
    void loadGoods(bool vip, ReplyBlock success, Failure failure);
    void loadClaimStatus(bool vip, ReplyBlock success, Failure failure);
    void mergeClaimStatus(bool vip, const ns::Ref<ns::Dictionary>& statuses);
    void storeLegFinished(uint64_t opening);
    void abandonStoreOpening(uint64_t opening);
    void observeGiftPayments();
    void observeResourcePayments();
    // Payments: one pending list per kind, sent in order when its debounce
    // ends.
    void queueStorePayment(const ns::Ref<ns::Notification>& notification, bool resource);
    void sendPendingPayments(bool resource);
    // Banner.
    void bannerMenuArrived(uint64_t cycle, const ns::Ref<ns::Dictionary>& reply);
    void hideBanner();
    // Lucky chain.
    void showLuckyGift(const Text& timetype, const ns::Ref<ns::Dictionary>& reply);
    void startNextLuckyStage(const Text& timetype);
    void showCustomLuckyPicture(bool portrait);
    void removeCustomLuckyPicture();

    // The store-hall opening in flight: a newer one supersedes it, a failed
    // leg abandons it (the number moves on either way).
    uint64_t storeOpening_ = 0;
    int storeLegsLeft_ = 0;
    bool giftPaymentsObserved_ = false;
    bool resourcePaymentsObserved_ = false;
    struct PendingOrder {
        std::string chargeOrder;
        Text orderText;
    };
    std::vector<PendingOrder> pendingGiftOrders_;
    std::vector<PendingOrder> pendingResourceOrders_;
    // Which refresh cycle may re-arm, and which showing of the banner its
    // 5-second count belongs to.
    uint64_t bannerCycle_ = 0;
    uint64_t bannerShowing_ = 0;
    // ---- end of stores, payments, banner, lucky chain (private state) ----
};
