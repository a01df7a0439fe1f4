// The store hall and resource hall openers: the game server's menu, the GM and
// VIP goods with their claim statuses, and the identity text every hall gets.
//
// Everything that writes facade state runs on the main queue: GET replies
// arrive there, and the two status POSTs hop there before they merge.

#include "aggregation/core/KVTRDataFormat.h"
#include "aggregation/core/KVTRGMModel.h"
#include "aggregation/core/KVTRNetworkManager.h"
#include "aggregation/core/KVTRVIPModel.h"
#include "aggregation/core/KVTRViewFactory.h"
#include "aggregation/core/KVTRViews.h"
#include "aggregation/core/ROZCoreEntity+GameServer.h"
#include "aggregation/core/ROZCoreEntity.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/PerformRequest.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "ui/hud/KVTRProgressHUD.h"

using rozcore::gameServerURL;
using rozcore::isMissing;
using rozcore::isSuccessReply;

namespace {

constexpr const char* OpenActivityHallSelector = "openActivityHall";
constexpr const char* OpenResourceStoreSelector = "openResourceStore";
constexpr double HallDebounceSeconds = 1.0;

ns::Ref<ns::String> text(std::string value) { return ns::String::make(std::move(value)); }

// A field for a form or the identity text: nil has no JSON or form value, so
// an unset field goes as the empty text.
ns::Ref<ns::String> orEmpty(const ns::Ref<ns::String>& value) { return value ? value : text(""); }

// Fills a goods model and applies the status the server reports for its id.
template <class Model>
ns::Ref<ns::String> mergedStatus(const ns::Dictionary& goods, const ns::Ref<ns::Dictionary>& statuses) {
    auto model = std::make_shared<Model>();
    model->setValuesForKeysWithDictionary(goods);
    if (statuses && model->categoryid) {
        for (const ns::Id& key : *statuses) {
            if (ns::textOf(key) == model->categoryid->utf8()) {
                model->setValuesForKeysWithDictionary(*ns::Dictionary::make({{"status", statuses->objectForKey(key)}}));
            }
        }
    }
    return model->status;
}

}  // namespace

// ---- Identity ----

bool ROZCoreEntity::storeIdentityPresent() {
    if (isMissing(kvtrgameid_)) {
        KVTRProgressHUD::showErrorWithStatus(text("请先登录"));
        return false;
    }
    if (isMissing(roleid_)) {
        KVTRProgressHUD::showErrorWithStatus(text("请先调用上报角色方法"));
        return false;
    }
    return true;
}

ROZCoreEntity::Text ROZCoreEntity::storeUserInfo() {
    auto info = ns::MutableDictionary::make();
    info->setObjectForKey(orEmpty(super_user_id_), "super_user_id");
    info->setObjectForKey(orEmpty(roleid_), "super_role_id");
    info->setObjectForKey(orEmpty(token_), "super_token");
    info->setObjectForKey(orEmpty(cp_role_id_), "cp_role_id");
    info->setObjectForKey(orEmpty(kvtrgameid_), "game_id");
    info->setObjectForKey(orEmpty(service_id_), "service_id");
    info->setObjectForKey(orEmpty(platform_id_), "channel_id");
    info->setObjectForKey(orEmpty(service_name_), "service_name");
    info->setObjectForKey(orEmpty(role_name_), "role_name");
    info->setObjectForKey(orEmpty(role_level_), "role_level");
    auto data = ns::JSONSerialization::dataWithJSONObject(info, ns::JSONWritingPrettyPrinted);
    return ns::String::withData(data, ns::StringEncoding::UTF8);
}

// ---- Store hall ----

void ROZCoreEntity::kvtr_openGmShop() {
    auto weak = weakSelf();
    dispatch::async(dispatch::mainQueue(), [weak] {
        auto self = weak.lock();
        if (!self) return;
        dispatch::cancelPreviousPerformRequests(self.get(), OpenActivityHallSelector);
        dispatch::performAfterDelay(self.get(), OpenActivityHallSelector, HallDebounceSeconds, [weak] {
            if (auto entity = weak.lock()) entity->openActivityHall();
        });
    });
}

void ROZCoreEntity::openActivityHall() {
    if (!storeIdentityPresent()) return;
    if (menuArray()->count() == 0) {
        auto weak = weakSelf();
        showMenu([weak](const ns::Ref<ns::Dictionary>&) {
            if (auto self = weak.lock()) self->getUsefulData();
        });
    } else {
        getUsefulData();
    }
}

void ROZCoreEntity::showMenu(ReplyBlock completion) {
    auto weak = weakSelf();
    auto url = gameServerURL(ns::format("menu/index?game_id=%@", kvtrgameid_));
    KVTRNetworkManager::getWithURL(
        url, nullptr,
        [weak, completion = std::move(completion)](const ns::Id& response) {
            auto self = weak.lock();
            auto reply = ns::cast<ns::Dictionary>(response);
            if (!self || !isSuccessReply(reply)) return;
            auto tabs = ns::cast<ns::Array>(reply->objectForKey("data"));
            self->setMenuArray(tabs ? ns::cast<ns::MutableArray>(tabs->mutableCopy()) : ns::MutableArray::make());
            ns::Id time = reply->objectForKey("time");
            if (!KVTRDataFormat::isBlankDictionary(time)) {
                auto timing = ns::cast<ns::Dictionary>(time);
                self->setTime_shop_refresh(timing->objectForKey("time_shop_refresh"));
                self->setLuck_time(timing->objectForKey("luck_time"));
                self->setDay_time(timing->objectForKey("day_time"));
                self->setActive_time(timing->objectForKey("active_time"));
                self->setShop_time(timing->objectForKey("shop_time"));
            }
            if (completion) completion(reply);
        },
        [](const ns::Ref<ns::String>&) {});
}

void ROZCoreEntity::getUsefulData() {
    // The hall waits for both goods-and-status legs. Nothing blocks: each leg
    // reports back on the main queue, and only the newest opening may finish.
    const uint64_t opening = ++storeOpening_;
    storeLegsLeft_ = 2;
    auto weak = weakSelf();
    auto legDone = [weak, opening](const ns::Ref<ns::Dictionary>&) {
        if (auto self = weak.lock()) self->storeLegFinished(opening);
    };
    auto legFailed = [weak, opening] {
        if (auto self = weak.lock()) self->abandonStoreOpening(opening);
    };
    for (bool vip : {false, true}) {
        loadGoods(
            vip,
            [weak, opening, vip, legDone, legFailed](const ns::Ref<ns::Dictionary>&) {
                auto self = weak.lock();
                // A superseded opening asks for nothing more.
                if (!self || self->storeOpening_ != opening) return;
                self->loadClaimStatus(vip, legDone, legFailed);
            },
            legFailed);
    }
}

void ROZCoreEntity::storeLegFinished(uint64_t opening) {
    if (opening != storeOpening_ || storeLegsLeft_ <= 0) return;
    if (--storeLegsLeft_ == 0) toGmShop();
}

void ROZCoreEntity::abandonStoreOpening(uint64_t opening) {
    if (opening != storeOpening_ || storeLegsLeft_ <= 0) return;
    storeLegsLeft_ = 0;
    ++storeOpening_;
    ns::log("store hall not opened: its data did not arrive");
}

void ROZCoreEntity::reloadGmDataWithSuccessBlock(ReplyBlock success) { loadGoods(false, std::move(success), {}); }

void ROZCoreEntity::reloadVIPDataWithSuccessBlock(ReplyBlock success) { loadGoods(true, std::move(success), {}); }

void ROZCoreEntity::loadGoods(bool vip, ReplyBlock success, Failure failure) {
    auto weak = weakSelf();
    auto url = gameServerURL(ns::format(vip ? "vipstore/goodsnew?game_id=%@&role_id=%@"
                                            : "gmstore/goodsnew?game_id=%@&role_id=%@",
                                        kvtrgameid_, roleid_));
    KVTRNetworkManager::getWithURL(
        url, nullptr,
        [weak, vip, success, failure](const ns::Id& response) {
            auto self = weak.lock();
            if (!self) return;
            auto reply = ns::cast<ns::Dictionary>(response);
            if (!isSuccessReply(reply)) {
                if (failure) failure();
                return;
            }
            auto data = ns::cast<ns::Dictionary>(reply->objectForKey("data"));
            if (data && data->count() > 0) {
                auto total = text(ns::textOf(data->objectForKey("total_money")));
                auto list = ns::cast<ns::Array>(data->objectForKey("list"));
                auto goods = list ? ns::cast<ns::MutableArray>(list->mutableCopy()) : ns::MutableArray::make();
                if (vip) {
                    self->setViptotal_money(total);
                    self->setVIPArray(goods);
                } else {
                    self->setGmtotal_money(total);
                    self->setResponseArray(goods);
                }
            }
            if (success) success(reply);
        },
        [failure](const ns::Ref<ns::String>&) {
            if (failure) failure();
        });
}

void ROZCoreEntity::reloadGetStatusData(ReplyBlock success) { loadClaimStatus(false, std::move(success), {}); }

void ROZCoreEntity::reloadGetVIPStatusData(ReplyBlock success) { loadClaimStatus(true, std::move(success), {}); }

void ROZCoreEntity::loadClaimStatus(bool vip, ReplyBlock success, Failure failure) {
    if (!vip) observeGiftPayments();
    auto form = ns::MutableDictionary::make();
    form->setObjectForKey(orEmpty(kvtrgameid_), "game_id");
    form->setObjectForKey(orEmpty(token_), "token");
    form->setObjectForKey(orEmpty(super_user_id_), "super_user_id");
    form->setObjectForKey(orEmpty(roleid_), "role_id");
    auto weak = weakSelf();
    // The reply comes on the session's queue; the merge writes the goods
    // arrays, so it waits for the main queue.
    KVTRNetworkManager::PostWithURL(
        gameServerURL(vip ? "vipstore/status" : "gmstore/status"), form,
        [weak, vip, success](const ns::Id& response) {
            dispatch::async(dispatch::mainQueue(), [weak, vip, success, response] {
                auto self = weak.lock();
                if (!self) return;
                auto statuses = ns::cast<ns::Dictionary>(response);
                self->mergeClaimStatus(vip, statuses);
                if (success) success(statuses);
            });
        },
        [weak, failure](const ns::Ref<ns::String>&) {
            dispatch::async(dispatch::mainQueue(), [weak, failure] {
                if (weak.lock() && failure) failure();
            });
        });
}

void ROZCoreEntity::mergeClaimStatus(bool vip, const ns::Ref<ns::Dictionary>& statuses) {
    const ns::Ref<ns::MutableArray>& goods = vip ? VIPArray() : responseArray();
    if (goods->count() == 0) return;
    auto merged = ns::MutableArray::arrayWithCapacity(goods->count());
    for (const ns::Id& categoryValue : *goods) {
        auto category = ns::cast<ns::Array>(categoryValue);
        if (!category) {
            merged->addObject(categoryValue);
            continue;
        }
        auto items = ns::MutableArray::arrayWithCapacity(category->count());
        for (const ns::Id& itemValue : *category) {
            auto item = ns::cast<ns::Dictionary>(itemValue);
            if (!item) {
                items->addObject(itemValue);
                continue;
            }
            auto status = vip ? mergedStatus<KVTRVIPModel>(*item, statuses) : mergedStatus<KVTRGMModel>(*item, statuses);
            auto copy = ns::cast<ns::MutableDictionary>(item->mutableCopy());
            if (status) {
                copy->setObjectForKey(status, "status");
            } else {
                copy->removeObjectForKey("status");
            }
            items->addObject(copy);
        }
        merged->addObject(items);
    }
    if (vip) {
        setVIPArray(merged);
    } else {
        setResponseArray(merged);
    }
}

void ROZCoreEntity::toGmShop() {
    if (!dispatch::isMainThread()) {
        auto weak = weakSelf();
        dispatch::async(dispatch::mainQueue(), [weak] {
            if (auto self = weak.lock()) self->toGmShop();
        });
        return;
    }
    const bool portrait = rozcore::isPortraitInterface();
    ns::Ref<KVTRGMShopView> hall;
    if (portrait) {
        hall = KVTRViewFactory::shared().makeVerticalGMShopView();
    } else {
        hall = KVTRViewFactory::shared().makeGMShopView();
    }
    if (!hall) {
        ns::log("%s is not available", portrait ? "KVTRVerticalGMShopView" : "KVTRGMShopView");
        return;
    }
    isHallOpen_ = true;
    hall->responseArray = responseArray();
    hall->VIPArray = VIPArray();
    hall->menuBtnArray = menuArray();
    hall->token = token_;
    hall->super_user_id = super_user_id_;
    hall->gmtotal_money = gmtotal_money_;
    hall->viptotal_money = viptotal_money_;
    hall->userInfo = storeUserInfo();
    // After userInfo: the time store fetches its goods with it.
    hall->setRoleid(roleid_);
    hall->rechargeBlock = gmHallRechargeBlock();
    hall->closeBlock = gmHallCloseBlock();
    hall->show();
}

std::function<void(const ROZCoreEntity::Text& event)> ROZCoreEntity::gmHallRechargeBlock() {
    auto weak = weakSelf();
    return [weak](const Text& event) {
        auto self = weak.lock();
        if (!self) return;
        if (auto listener = self->delegate()) listener->rechargeCallBack(event);
    };
}

std::function<void()> ROZCoreEntity::gmHallCloseBlock() {
    auto weak = weakSelf();
    return [weak] {
        if (auto self = weak.lock()) self->setIsHallOpen(false);
    };
}

// ---- Resource hall ----

void ROZCoreEntity::kvtr_openResourceStore() {
    if (!storeIdentityPresent()) return;
    auto weak = weakSelf();
    auto url = gameServerURL(ns::format("infiniteres/goods?game_id=%@&role_id=%@&server_id=%@", kvtrgameid_,
                                        roleid_, service_id_));
    KVTRNetworkManager::getWithURL(
        url, nullptr,
        [weak](const ns::Id& response) {
            ns::log("%@", response);
            auto self = weak.lock();
            auto reply = ns::cast<ns::Dictionary>(response);
            if (!self || !isSuccessReply(reply)) return;
            self->setResponseData(reply);
            self->observeResourcePayments();
            dispatch::cancelPreviousPerformRequests(self.get(), OpenResourceStoreSelector);
            dispatch::performAfterDelay(self.get(), OpenResourceStoreSelector, HallDebounceSeconds, [weak] {
                if (auto entity = weak.lock()) entity->openResourceStore();
            });
        },
        [](const ns::Ref<ns::String>&) {});
}

void ROZCoreEntity::openResourceStore() {
    const bool portrait = rozcore::isPortraitInterface();
    ns::Ref<KVTRResourceHallView> hall;
    if (portrait) {
        hall = KVTRViewFactory::shared().makeVerResourceHallView();
    } else {
        hall = KVTRViewFactory::shared().makeResourceHallView();
    }
    if (!hall) {
        ns::log("%s is not available", portrait ? "KVTRVerResourceHallView" : "KVTRResourceHallView");
        return;
    }
    hall->userInfo = storeUserInfo();
    hall->setResponseData(responseData_);
    hall->show();
}

// ---- Payment observers ----
// One registration each for the facade's life: every posting then reaches
// its handler exactly once.

void ROZCoreEntity::observeGiftPayments() {
    if (giftPaymentsObserved_) return;
    giftPaymentsObserved_ = true;
    auto weak = weakSelf();
    ns::NotificationCenter::defaultCenter()->addObserver(
        this, "KVTRGIFTPAYNotification", nullptr, [weak](const ns::Ref<ns::Notification>& notification) {
            if (auto self = weak.lock()) self->giftPayData(notification);
        });
}

void ROZCoreEntity::observeResourcePayments() {
    if (resourcePaymentsObserved_) return;
    resourcePaymentsObserved_ = true;
    auto weak = weakSelf();
    ns::NotificationCenter::defaultCenter()->addObserver(
        this, "KVTRResourcePAYNotification", nullptr, [weak](const ns::Ref<ns::Notification>& notification) {
            if (auto self = weak.lock()) self->resourcePayData(notification);
        });
}
