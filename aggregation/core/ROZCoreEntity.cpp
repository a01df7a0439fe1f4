#include "aggregation/core/ROZCoreEntity.h"

#include <mutex>
#include <string>

#include "aggregation/core/KVTRDataFormat.h"
#include "aggregation/core/KVTRJSONFields.h"
#include "aggregation/core/KVTRNetworkManager.h"
#include "aggregation/core/KVTRServerConfig.h"
#include "aggregation/core/KVTRViewFactory.h"
#include "aggregation/core/KVTRQueueHops.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Calendar.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Text.h"
#include "ui/hud/KVTRProgressHUD.h"

RT_DEFINE_CLASS(ROZCoreEntity, ns::Object, "ROZCoreEntity")

using kvtr::text;

namespace {

std::mutex sharedLock;
ns::Ref<ROZCoreEntity> sharedFacade;

// What the platform server is told the device runs.
constexpr std::string_view kOsType = "2";

std::string platformURL(std::string_view path) { return KVTRServerConfig::platformServerOrigin() + std::string(path); }

bool isSuccessCode(const ns::Id& reply) { return kvtr::textField(reply, "code")->isEqualToString("200"); }

}  // namespace

ROZCoreEntity::~ROZCoreEntity() { ns::NotificationCenter::defaultCenter()->removeObserver(this); }

ns::Ref<ROZCoreEntity> ROZCoreEntity::sharedInstance() {
    std::lock_guard<std::mutex> guard(sharedLock);
    if (!sharedFacade) sharedFacade = std::make_shared<ROZCoreEntity>();
    return sharedFacade;
}

void ROZCoreEntity::resetSharedInstanceForTesting() {
    std::lock_guard<std::mutex> guard(sharedLock);
    sharedFacade.reset();
}

// ---- State ----

const ns::Ref<ns::MutableArray>& ROZCoreEntity::menuArray() {
    if (!menuArray_) menuArray_ = ns::MutableArray::make();
    return menuArray_;
}

const ns::Ref<ns::MutableArray>& ROZCoreEntity::responseArray() {
    if (!responseArray_) responseArray_ = ns::MutableArray::make();
    return responseArray_;
}

const ns::Ref<ns::MutableArray>& ROZCoreEntity::VIPArray() {
    if (!VIPArray_) VIPArray_ = ns::MutableArray::make();
    return VIPArray_;
}

void ROZCoreEntity::resetSessionFlags(bool emptyRole) {
    if (emptyRole) {
        roleid_ = text("");
        ++session_;
        // The session's orders end with it, but for one whose centre is
        // still open: a payment made there is still that order's.
        forgetClosedOrders();
    }
    isRunLogic_ = true;
    isHallOpen_ = false;
    isTimeStore_ = false;
}

void ROZCoreEntity::forgetClosedOrders() {
    std::erase_if(openOrders_, [](const auto& entry) { return entry.second.inChannel.expired(); });
}

// ---- Shell entry points ----

void ROZCoreEntity::kvtr_setStartLoginListener(const std::shared_ptr<ROZCoreEntityDelegate>& listener) {
    delegate_ = listener;
    libKVTRLightChannel::sharedInstance()->setDelegate(ref<ROZCoreEntity>());
}

void ROZCoreEntity::kvtr_lightLoginStart() { kvtr_lightLoginWithGameId(kvtrgameid_); }

void ROZCoreEntity::kvtr_lightLoginWithGameId(const Text& gameId) {
    kvtrgameid_ = gameId;
    libKVTRLightChannel::sharedInstance()->kvtrChannel_lightLoginStart();
    // Fresh arrays rather than emptied ones: an open hall keeps what it shows.
    menuArray_ = ns::MutableArray::make();
    responseArray_ = ns::MutableArray::make();
    VIPArray_ = ns::MutableArray::make();
    ns::Weak<ROZCoreEntity> weak = ref<ROZCoreEntity>();
    showMenu([weak](const ns::Ref<ns::Dictionary>&) {
        auto self = weak.lock();
        if (!self) return;
        for (const ns::Id& tab : *self->menuArray()) {
            // Once offered in this session the time store stays on until logout.
            if (ns::textOf(tab) == "3") self->isTimeStore_ = true;
        }
    });
}

void ROZCoreEntity::kvtr_logout() {
    resetSessionFlags(true);
    libKVTRLightChannel::sharedInstance()->kvtrChannel_logout();
}

// ---- Launch and application events ----

bool ROZCoreEntity::applicationDidFinishLaunchingWithOptions(ui::Application& app,
                                                             const ns::Ref<ns::Dictionary>& options) {
    ns::Ref<ns::String> path = ns::Bundle::mainBundle()->pathForResource("KVTRPLIST", "plist");
    ns::Ref<ns::Dictionary> plist = path ? ns::dictionaryWithContentsOfFile(path->utf8()) : nullptr;
    ns::Id gameId = kvtr::scalarField(plist, "game_id");
    auto gameIdText = ns::String::make(ns::textOf(gameId));
    if (gameId && !KVTRDataFormat::isBlankString(gameIdText)) {
        kvtrgameid_ = gameIdText;
    } else if (!path) {
        ns::log("KVTRPLIST.plist is missing from the app's resources (%@): the platform server cannot be reached",
                ns::Bundle::mainBundle()->resourcePath());
    } else if (!plist) {
        ns::log("%@ cannot be read as a property list: the platform server cannot be reached", path);
    } else {
        ns::log("KVTRPLIST.plist has no game_id: the platform server cannot be reached");
    }
    auto channel = libKVTRLightChannel::sharedInstance();
    platform_id_ = channel->platformId();
    kzSetNoticeView();
    resetSessionFlags(false);
    channel->applicationDidFinishLaunchingWithOptions(app, options);
    return true;
}

void ROZCoreEntity::applicationWillResignActive(ui::Application& app) {
    libKVTRLightChannel::sharedInstance()->applicationWillResignActive(app);
}

void ROZCoreEntity::applicationDidEnterBackground(ui::Application& app) {
    libKVTRLightChannel::sharedInstance()->applicationDidEnterBackground(app);
}

void ROZCoreEntity::applicationWillEnterForeground(ui::Application& app) {
    libKVTRLightChannel::sharedInstance()->applicationWillEnterForeground(app);
}

void ROZCoreEntity::applicationDidBecomeActive(ui::Application& app) {
    libKVTRLightChannel::sharedInstance()->applicationDidBecomeActive(app);
}

void ROZCoreEntity::applicationWillTerminate(ui::Application& app) {
    libKVTRLightChannel::sharedInstance()->applicationWillTerminate(app);
}

void ROZCoreEntity::applicationDidRegisterForRemoteNotificationsWithDeviceToken(
    ui::Application& app, const ns::Ref<ns::Data>& deviceToken) {
    libKVTRLightChannel::sharedInstance()->applicationDidRegisterForRemoteNotificationsWithDeviceToken(app,
                                                                                                       deviceToken);
}

void ROZCoreEntity::applicationDidFailToRegisterForRemoteNotificationsWithError(ui::Application& app,
                                                                                const ns::Ref<ns::Error>& error) {
    libKVTRLightChannel::sharedInstance()->applicationDidFailToRegisterForRemoteNotificationsWithError(app, error);
}

void ROZCoreEntity::applicationDidReceiveRemoteNotification(ui::Application& app,
                                                            const ns::Ref<ns::Dictionary>& userInfo) {
    libKVTRLightChannel::sharedInstance()->applicationDidReceiveRemoteNotification(app, userInfo);
}

uint64_t ROZCoreEntity::applicationSupportedInterfaceOrientationsForWindow(ui::Application& app,
                                                                           const ns::Ref<ui::Window>& window) {
    return libKVTRLightChannel::sharedInstance()->applicationSupportedInterfaceOrientationsForWindow(app, window);
}

bool ROZCoreEntity::applicationHandleOpenURL(ui::Application& app, const ns::Ref<ns::URL>& url) {
    return libKVTRLightChannel::sharedInstance()->applicationHandleOpenURL(app, url);
}

bool ROZCoreEntity::applicationOpenURLSourceApplicationAnnotation(ui::Application& app, const ns::Ref<ns::URL>& url,
                                                                  const Text& sourceApplication,
                                                                  const ns::Id& annotation) {
    return libKVTRLightChannel::sharedInstance()->applicationOpenURLSourceApplicationAnnotation(
        app, url, sourceApplication, annotation);
}

bool ROZCoreEntity::applicationOpenURLOptions(ui::Application& app, const ns::Ref<ns::URL>& url,
                                              const ns::Ref<ns::Dictionary>& options) {
    return libKVTRLightChannel::sharedInstance()->applicationOpenURLOptions(app, url, options);
}

// ---- Init request and announcement ----

void ROZCoreEntity::kzSetNoticeView() {
    if (kvtr::isMissing(kvtrgameid_)) {
        ns::log("init request not sent: no game id");
        return;
    }
    auto params = ns::MutableDictionary::make();
    params->setObjectForKey(platform_id_ ? platform_id_ : text(""), "platform_id");
    params->setObjectForKey(kvtrgameid_, "game_id");
    params->setObjectForKey(text(kOsType), "os_type");
    KVTRNetworkManager::PostWithURL(
        platformURL("/init"), params,
        [](const ns::Id& reply) {
            ns::Ref<ns::Dictionary> notice = kvtr::dictionaryField(kvtr::dictionaryField(reply, "data"), "notice_data");
            if (!isSuccessCode(reply) || !notice || notice->count() == 0) return;
            ns::Id title = kvtr::scalarField(notice, "notice_title");
            if (kvtr::isMissing(title)) return;
            auto url = kvtr::textField(notice, "notice_url");
            auto type = kvtr::textField(notice, "notice_type");
            auto content = kvtr::textField(notice, "notice_content");
            auto titleText = ns::String::make(ns::textOf(title));
            dispatch::async(dispatch::mainQueue(), [url, type, content, titleText] {
                auto view = KVTRViewFactory::shared().makeNoticeView();
                if (!view) {
                    ns::log("TRKVNoticeView is not available");
                    return;
                }
                view->notice_url = url;
                view->notice_type = type;
                view->notice_content = content;
                view->notice_title = titleText;
                view->show();
            });
        },
        [](const ns::Ref<ns::String>&) {});
}

// ---- Platform login ----

void ROZCoreEntity::kvtrChannel_LightGetChannelLoginCallBack(const ns::Ref<ns::Dictionary>& result) {
    auto token = kvtr::textField(result, "token");
    auto uid = kvtr::textField(result, "uid");
    auto channelCode = kvtr::textField(result, "channel_code");
    if (KVTRDataFormat::isBlankString(channelCode)) channelCode = text("");
    // The special path is reserved for channels that hand over a page address.
    ns::Id specialURL = kvtr::scalarField(result, "special_url");
    auto specialText = ns::cast<ns::String>(specialURL);
    std::string_view path = specialText && specialText->length() >= 9 ? "/login/special" : "/login/index";
    kvtr_superLoginCallBackWithGame_id(kvtrgameid_, token, platform_id_, uid, channelCode, text(path));
}

void ROZCoreEntity::kvtr_superLoginCallBackWithGame_id(const Text& gameId, const Text& token, const Text& platformId,
                                                       const Text& uid, const Text& channelCode, const Text& url) {
    // The fields in order, up to the first one missing.
    auto params = ns::MutableDictionary::make();
    const std::pair<const char*, Text> fields[] = {{"game_id", gameId},         {"token", token},
                                                   {"platform_id", platformId}, {"uid", uid},
                                                   {"channel_code", channelCode}, {"os_type", text(kOsType)}};
    for (const auto& [key, value] : fields) {
        if (!value) break;
        params->setObjectForKey(value, key);
    }
    std::string address = platformURL(url ? url->utf8() : "/login/index");
    ns::log("platform login %s: %@", address, params);
    ns::Weak<ROZCoreEntity> weak = ref<ROZCoreEntity>();
    KVTRNetworkManager::PostWithURL(
        address, params,
        [weak](const ns::Id& reply) {
            kvtr::throughGlobalToMain([weak, reply] {
                auto self = weak.lock();
                if (self) self->loginReplyArrived(reply);
            });
        },
        [](const ns::Ref<ns::String>&) {});
}

void ROZCoreEntity::loginReplyArrived(const ns::Id& reply) {
    ns::Ref<ns::Dictionary> data = kvtr::dictionaryField(reply, "data");
    super_user_id_ = kvtr::textField(data, "super_user_id");
    token_ = kvtr::textField(data, "token");
    ns::Id token = kvtr::scalarField(data, "token");
    if (!token || ns::cast<ns::Null>(token) || token_->length() < 6) return;

    ns::Ref<ns::String> birthday = getTimeFromTimestamp(ddpGetExpectTimestamp(-19, -2, -1));
    auto result = ns::Dictionary::make({{"super_user_id", super_user_id_},
                                        {"token", token_},
                                        {"auth", text("1")},
                                        {"birthday", birthday}});
    if (auto listener = delegate()) listener->kvtr_LightGetChannelLoginCallBack(result);
    if (isTimeStore_) {
        roleid_ = text("");
        popViewPoint();
    }
}

ROZCoreEntity::Text ROZCoreEntity::ddpGetExpectTimestamp(int64_t year, int64_t month, int64_t day) {
    auto calendar = ns::Calendar::currentCalendar();
    ns::Ref<ns::Date> date = ns::Date::now();
    // One unit at a time, largest first, so month ends clamp as a person
    // counting back would.
    date = calendar->dateByAddingUnit(ns::CalendarUnitYear, year, *date);
    date = calendar->dateByAddingUnit(ns::CalendarUnitMonth, month, *date);
    date = calendar->dateByAddingUnit(ns::CalendarUnitDay, day, *date);
    return ns::String::withFormat("%ld", static_cast<long>(date->timeIntervalSince1970()));
}

ROZCoreEntity::Text ROZCoreEntity::getTimeFromTimestamp(const Text& timestamp) {
    auto date = ns::Date::withTimeIntervalSince1970(timestamp ? static_cast<double>(timestamp->longLongValue()) : 0);
    ns::DateFormatter formatter;
    formatter.setDateFormat("yyyy-MM-dd");
    return ns::String::make(formatter.stringFromDate(*date));
}

ns::Id ROZCoreEntity::dictionaryWithJsonString(const Text& jsonString) {
    return KVTRDataFormat::dictionaryWithJsonString(jsonString);
}

// ---- Entry check ----

void ROZCoreEntity::kvtr_canEnterGameWithServiceID(const Text& serviceId, const Text& serviceName) {
    Text service = kvtr::removingSpaces(serviceId);
    Text name = kvtr::removingSpaces(serviceName);
    const std::pair<const Text*, const char*> checks[] = {
        {&super_user_id_, "请先获取登录回调的super_user_id"},
        {&kvtrgameid_, "请先登录"},
        {&service, "service_id值有误"},
        {&name, "service_name值有误"},
    };
    for (const auto& [value, message] : checks) {
        if (kvtr::isMissing(*value)) {
            KVTRProgressHUD::showErrorWithStatus(text(message));
            return;
        }
    }
    auto params = ns::MutableDictionary::make();
    params->setObjectForKey(kvtrgameid_, "game_id");
    params->setObjectForKey(super_user_id_, "super_user_id");
    params->setObjectForKey(service, "service_id");
    params->setObjectForKey(name, "service_name");
    ns::Weak<ROZCoreEntity> weak = ref<ROZCoreEntity>();
    // The answer goes to the shell on the main queue like every other callback.
    auto answer = [weak](const char* canEnter, ns::Ref<ns::String> refusal) {
        dispatch::async(dispatch::mainQueue(), [weak, canEnter, refusal] {
            auto self = weak.lock();
            if (!self) return;
            if (auto listener = self->delegate()) listener->canEnterListenCallBack(text(canEnter));
            if (refusal) KVTRProgressHUD::showErrorWithStatus(refusal);
        });
    };
    KVTRNetworkManager::PostWithURL(
        platformURL("/login/enter"), params,
        [answer](const ns::Id& reply) {
            if (isSuccessCode(reply)) {
                answer("1", nullptr);
            } else {
                answer("0", kvtr::refusalMessage(reply));
            }
        },
        [answer](const ns::Ref<ns::String>&) { answer("0", nullptr); });
}

// ---- Adapter callbacks ----

void ROZCoreEntity::kvtrChannel_logOutCallBack(const ns::Ref<ns::String>&) {
    resetSessionFlags(true);
    if (auto listener = delegate()) listener->logOutCallBack(text("success"));
}

void ROZCoreEntity::kvtrChannel_getUpdateRoleCallBack(const ns::Ref<ns::Dictionary>&) {
    ns::Weak<ROZCoreEntity> weak = ref<ROZCoreEntity>();
    kvtr::throughGlobalToMain([weak] {
        auto self = weak.lock();
        if (!self) return;
        if (auto listener = self->delegate()) listener->getUpdateRoleCallBack(self->rolesurperdic_);
    });
}

ns::Ref<ns::Dictionary> ROZCoreEntity::payResult(const ns::Ref<ns::Dictionary>& status, bool paid) {
    // The pair of the order the payment is for; the last order's when the
    // channel does not say which.
    Text orderId = order_id_;
    Text cpOrder = cpOrder_;
    if (auto named = ns::cast<ns::String>(status ? status->objectForKey("order_id") : nullptr)) {
        orderId = named;
        auto pair = openOrders_.find(named->utf8());
        cpOrder = pair != openOrders_.end() ? pair->second.cpOrder : nullptr;
        // A failed order may still be paid on a retry in its centre, so its
        // pair stays until it is paid (or the channel lets go of it).
        if (paid && pair != openOrders_.end()) openOrders_.erase(pair);
    }
    auto result = ns::MutableDictionary::make();
    if (orderId) result->setObjectForKey(orderId, "order_id");
    if (cpOrder) result->setObjectForKey(cpOrder, "cpOrder");
    return result;
}

void ROZCoreEntity::kvtrChannel_getPaySuccessCallBack(const ns::Ref<ns::Dictionary>& status) {
    ns::Weak<ROZCoreEntity> weak = ref<ROZCoreEntity>();
    ns::Ref<ns::Dictionary> result = payResult(status, true);
    kvtr::throughGlobalToMain([weak, result] {
        auto self = weak.lock();
        if (!self) return;
        if (auto listener = self->delegate()) listener->getPaySuccessCallBack(result);
        ns::NotificationCenter::defaultCenter()->postNotificationName("KVTRGIFTPAYSUCCESSNotification");
    });
}

void ROZCoreEntity::kvtrChannel_getPayFailCallBack(const ns::Ref<ns::Dictionary>& status) {
    ns::Weak<ROZCoreEntity> weak = ref<ROZCoreEntity>();
    ns::Ref<ns::Dictionary> result = payResult(status, false);
    dispatch::async(dispatch::mainQueue(), [weak, result] {
        kvtr::throughGlobalToMain([weak, result] {
            auto self = weak.lock();
            if (!self) return;
            if (auto listener = self->delegate()) listener->getPayFailCallBack(result);
        });
    });
}
