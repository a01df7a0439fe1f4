// The lucky-gift chain: after the first role report of a session, three
// timed stages ("luck", "day", "active") each wait their delay, ask the game
// server for a gift and show it; closing it claims the gift and starts the
// next stage. The "luck" stage may ask for a full-screen picture instead,
// drawn here. All steps run on the main queue.

#include "aggregation/core/KVTRCountdown.h"
#include "aggregation/core/KVTRNetworkManager.h"
#include "aggregation/core/KVTRViewFactory.h"
#include "aggregation/core/KVTRViews.h"
#include "aggregation/core/ROZCoreEntity+GameServer.h"
#include "aggregation/core/ROZCoreEntity.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/VisualEffectView.h"
#include "platform/uikit/Window.h"

using rozcore::gameServerURL;
using rozcore::isSuccessReply;

namespace {

struct PictureLayout {
    const char* picture;
    cg::Size size;
    const char* button;
    cg::Rect buttonFrame;
};

const PictureLayout PortraitPicture{"luckygifttwver", {330, 540}, "luckygiftverbtn", {77, 455, 175, 75}};
const PictureLayout LandscapePicture{"luckygifttw", {575, 310}, "luckygifttwbtn", {241, 265, 92, 32}};

// A picture of the SDK's resource bundle; nil when the bundle lacks it.
ns::Ref<ui::Image> luckyImage(const char* name) {
    auto bundlePath = ns::Bundle::mainBundle()->pathForResource("KVTRLight", "bundle");
    auto bundle = bundlePath ? ns::Bundle::bundleWithPath(bundlePath->utf8()) : nullptr;
    auto path = bundle ? bundle->pathForResource(name, "png") : nullptr;
    return path ? ui::Image::imageWithContentsOfFile(path->utf8()) : nullptr;
}

std::string stageQuery(const char* path, const ns::Ref<ns::String>& gameId, const ns::Ref<ns::String>& roleId,
                       const ns::Ref<ns::String>& serviceId, const ns::Ref<ns::String>& stage) {
    return gameServerURL(ns::format("%s?game_id=%@&role_id=%@&server_id=%@&time=%@", path, gameId, roleId,
                                    serviceId, stage));
}

}  // namespace

void ROZCoreEntity::addPlayerGiftLogicWithTime(double time, const Text& timetype) {
    auto weak = weakSelf();
    const std::string key = ns::textOf(timetype);
    KVTRCountdown::shareInstance()->countdown(
        time, [](double) {},
        [weak, timetype] {
            auto self = weak.lock();
            if (!self) return;
            self->getLuckyPlayerDataWithTime(timetype, [weak, timetype](const ns::Ref<ns::Dictionary>& reply) {
                if (auto entity = weak.lock()) entity->showLuckyGift(timetype, reply);
            });
        },
        key);
}

void ROZCoreEntity::getLuckyPlayerDataWithTime(const Text& timetype, ReplyBlock sucessData) {
    auto weak = weakSelf();
    KVTRNetworkManager::getWithURL(
        stageQuery("luck/index", kvtrgameid_, roleid_, service_id_, timetype), nullptr,
        [weak, timetype, sucessData](const ns::Id& response) {
            auto self = weak.lock();
            if (!self) return;
            auto reply = ns::cast<ns::Dictionary>(response);
            if (isSuccessReply(reply)) {
                if (sucessData) sucessData(reply);
            } else {
                // No gift in this stage: straight on to the next one.
                self->startNextLuckyStage(timetype);
            }
        },
        [timetype](const ns::Ref<ns::String>&) { ns::log("lucky gift chain ended at %@", timetype); });
}

void ROZCoreEntity::startNextLuckyStage(const Text& timetype) {
    const std::string stage = ns::textOf(timetype);
    if (stage == "luck") {
        addPlayerGiftLogicWithTime(rozcore::secondsOf(day_time_), ns::String::make("day"));
    } else if (stage == "day") {
        addPlayerGiftLogicWithTime(rozcore::secondsOf(active_time_), ns::String::make("active"));
    }
}

void ROZCoreEntity::showLuckyGift(const Text& timetype, const ns::Ref<ns::Dictionary>& reply) {
    auto data = reply ? ns::cast<ns::Dictionary>(reply->objectForKey("data")) : nullptr;
    auto items = data ? ns::cast<ns::Array>(data->objectForKey("items")) : nullptr;
    if (!items || items->count() == 0) return;  // nothing to give: the chain ends here
    const bool portrait = rozcore::isPortraitInterface();
    if (ns::textOf(timetype) == "luck" && ns::textOf(data->objectForKey("is_custom")) == "2") {
        showCustomLuckyPicture(portrait);
        return;
    }
    ns::Ref<KVTRLuckyPlayerView> popup;
    if (portrait) {
        popup = KVTRViewFactory::shared().makeVerticalLuckyPlayerView();
    } else {
        popup = KVTRViewFactory::shared().makeLuckyPlayerView();
    }
    if (!popup) {
        ns::log("%s is not available", portrait ? "KVTRVerticalLuckyPlayerView" : "KVTRLuckyPlayerView");
        startNextLuckyStage(timetype);
        return;
    }
    popup->playerDic = data;
    popup->setType(timetype);
    popup->closeBlock = luckyPopCloseBlock(timetype);
    popup->show();
}

std::function<void()> ROZCoreEntity::luckyPopCloseBlock(const Text& timetype) {
    auto weak = weakSelf();
    // A close control tapped twice must not claim twice nor fork the chain.
    auto claimed = std::make_shared<bool>(false);
    return [weak, timetype, claimed] {
        auto self = weak.lock();
        if (!self || *claimed) return;
        *claimed = true;
        KVTRNetworkManager::getWithURL(
            stageQuery("luck/get", self->kvtrgameid_, self->roleid_, self->service_id_, timetype), nullptr,
            [weak, timetype](const ns::Id& response) {
                auto entity = weak.lock();
                if (!entity) return;
                if (isSuccessReply(ns::cast<ns::Dictionary>(response))) ns::log("领取成功");
                entity->startNextLuckyStage(timetype);
            },
            [timetype](const ns::Ref<ns::String>&) { ns::log("lucky gift chain ended at %@", timetype); });
    };
}

void ROZCoreEntity::showCustomLuckyPicture(bool portrait) {
    auto window = ui::Application::sharedApplication()->keyWindow();
    if (!window) {
        ns::log("lucky gift picture has nowhere to show");
        return;
    }
    const PictureLayout& layout = portrait ? PortraitPicture : LandscapePicture;
    const cg::Rect screen = ui::Screen::mainScreen()->bounds();

    auto cover = ui::View::make(screen);
    auto blur = ui::VisualEffectView::make(ui::BlurEffect::effectWithStyle(ui::BlurEffectStyle::Dark));
    blur->setFrame(cover->bounds());
    blur->setAlpha(0.4);
    cover->addSubview(blur);
    window->addSubview(cover);
    coverView_ = cover;

    auto picture = ui::ImageView::make();
    picture->setImage(luckyImage(layout.picture));
    picture->setFrame({(screen.width() - layout.size.width) / 2, (screen.height() - layout.size.height) / 2,
                       layout.size.width, layout.size.height});
    picture->setUserInteractionEnabled(true);
    window->addSubview(picture);
    luckyGiftView_ = picture;

    auto button = ui::ImageView::make();
    button->setImage(luckyImage(layout.button));
    button->setFrame(layout.buttonFrame);
    button->setUserInteractionEnabled(true);
    auto weak = weakSelf();
    button->addGestureRecognizer(std::make_shared<ui::TapGestureRecognizer>([weak](ui::GestureRecognizer&) {
        if (auto self = weak.lock()) self->addGestureluckyGiftView();
    }));
    picture->addSubview(button);
}

void ROZCoreEntity::addGestureluckyGiftView() {
    // One claim per picture: a second tap while the first is on its way
    // would claim twice and start the next stage twice.
    if (!luckyGiftView_ || !luckyGiftView_->isUserInteractionEnabled()) return;
    luckyGiftView_->setUserInteractionEnabled(false);
    auto weak = weakSelf();
    KVTRNetworkManager::getWithURL(
        gameServerURL(ns::format("luck/get?game_id=%@&role_id=%@&server_id=%@&time=luck", kvtrgameid_, roleid_,
                                 service_id_)),
        nullptr,
        [weak](const ns::Id& response) {
            if (isSuccessReply(ns::cast<ns::Dictionary>(response))) ns::log("领取成功");
            dispatch::async(dispatch::mainQueue(), [weak] {
                auto self = weak.lock();
                if (!self) return;
                self->removeCustomLuckyPicture();
                self->startNextLuckyStage(ns::String::make("luck"));
            });
        },
        [weak](const ns::Ref<ns::String>&) {
            dispatch::async(dispatch::mainQueue(), [weak] {
                if (auto self = weak.lock()) self->removeCustomLuckyPicture();
                ns::log("lucky gift chain ended at luck");
            });
        });
}

void ROZCoreEntity::removeCustomLuckyPicture() {
    for (const auto& owner : {ns::Ref<ui::View>(luckyGiftView_), coverView_}) {
        if (!owner) continue;
        // A copy: removing a subview changes the list.
        auto subviews = owner->subviews();
        for (const auto& subview : subviews) subview->removeFromSuperview();
        owner->removeFromSuperview();
    }
    luckyGiftView_ = nullptr;
    coverView_ = nullptr;
}
