// The time-store banner: it slides in from the top, counts down five seconds
// and hides; a tap opens the store hall. It is shown once a day per player a
// while after the first role report, and every refresh period of the menu
// while the time store is offered. All of it runs on the main queue.

#include <cmath>

#include "aggregation/core/KVTRCountdown.h"
#include "aggregation/core/KVTRDataFormat.h"
#include "aggregation/core/KVTRViewFactory.h"
#include "aggregation/core/KVTRViews.h"
#include "aggregation/core/ROZCoreEntity+GameServer.h"
#include "aggregation/core/ROZCoreEntity.h"
#include "platform/dispatch/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/TimeZone.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Window.h"

namespace {

constexpr const char* RefreshKey = "upDown";
constexpr const char* DailyKey = "twoTimer";
constexpr const char* DailyMarkerKey = "nowDate";
constexpr double BannerWidth = 300;
constexpr double BannerHeight = 75;
constexpr double SlideSeconds = 2.0;
constexpr double ShownSeconds = 5;

void noProgress(double) {}

}  // namespace

ns::Ref<KVTRTimePopView> ROZCoreEntity::popView() {
    if (!popView_) {
        popView_ = KVTRViewFactory::shared().makeTimePopView();
        if (popView_) {
            auto weak = weakSelf();
            popView_->addGestureRecognizer(std::make_shared<ui::TapGestureRecognizer>([weak](ui::GestureRecognizer&) {
                if (auto self = weak.lock()) self->addPopGestureRecognizer();
            }));
        }
    }
    return popView_;
}

// ---- Refresh cycle ----

void ROZCoreEntity::popViewPoint() {
    auto countdown = KVTRCountdown::shareInstance();
    // One cycle at a time: a new arming replaces the running period, and a
    // menu reply of an older cycle may no longer re-arm.
    countdown->cancelTimer(RefreshKey);
    const uint64_t cycle = ++bannerCycle_;
    const double period = rozcore::secondsOf(time_shop_refresh_);
    if (period <= 0) {
        // Without a period the cycle would ask for the menu without pause.
        ns::log("time store refresh period missing: banner cycle stopped");
        return;
    }
    auto weak = weakSelf();
    countdown->countdown(
        period, noProgress,
        [weak, cycle] {
            auto self = weak.lock();
            if (!self) return;
            self->showMenu([weak, cycle](const ns::Ref<ns::Dictionary>& reply) {
                if (auto entity = weak.lock()) entity->bannerMenuArrived(cycle, reply);
            });
            if (!KVTRDataFormat::isBlankString(self->roleid_)) self->popViewanimate();
        },
        RefreshKey);
}

void ROZCoreEntity::bannerMenuArrived(uint64_t cycle, const ns::Ref<ns::Dictionary>&) {
    if (cycle != bannerCycle_) return;
    bool offersTimeStore = false;
    for (const ns::Id& tab : *menuArray()) {
        if (ns::textOf(tab) == "3") offersTimeStore = true;
    }
    if (!offersTimeStore) return;
    isTimeStore_ = true;
    popViewPoint();
}

// ---- Daily banner ----

void ROZCoreEntity::armDailyBanner() {
    auto formatter = std::make_shared<ns::DateFormatter>();
    formatter->setDateFormat("yyyy-MM-dd");
    const std::string today = formatter->stringFromDate(*ns::Date::now()) + ns::textOf(super_user_id_);
    auto defaults = ns::UserDefaults::standardUserDefaults();
    auto stored = defaults->stringForKey(DailyMarkerKey);
    ns::log("日期比较：之前：%@ 现在：%@", stored, today);
    if (stored && stored->utf8() == today) {
        ns::log("一天就显示一次");
        return;
    }
    // Without the time store nothing is kept, so a later report of the same
    // day may still arm the banner.
    if (!isTimeStore_) return;
    defaults->setObjectForKey(ns::String::make(today), DailyMarkerKey);
    defaults->synchronize();
    auto weak = weakSelf();
    KVTRCountdown::shareInstance()->countdown(
        rozcore::secondsOf(shop_time_), noProgress,
        [weak] {
            if (auto self = weak.lock()) self->popViewanimate();
        },
        DailyKey);
}

// ---- Showing ----

void ROZCoreEntity::popViewanimate() {
    if (isHallOpen_ || !isTimeStore_) return;
    auto banner = popView();
    auto window = ui::Application::sharedApplication()->keyWindow();
    if (!banner || !window) {
        ns::log("time store banner has nowhere to show");
        return;
    }
    if (banner->superview().get() == window.get()) {
        window->bringSubviewToFront(banner);
    } else {
        window->addSubview(banner);
    }
    banner->closeBlock = timePopCloseBlock();

    const double targetY = rozcore::isPortraitInterface() && isBangsScreen() ? 32 : 0;
    const double x = (ui::Screen::mainScreen()->bounds().width() - BannerWidth) / 2;
    const cg::Rect shown{x, targetY, BannerWidth, BannerHeight};
    banner->setFrame({x, -BannerHeight, BannerWidth, BannerHeight});
    banner->setHidden(false);
    // Held weakly: the banner's layer keeps the animation and its closures.
    ns::Weak<KVTRTimePopView> slid = banner;
    auto slideIn = [slid, shown] {
        if (auto view = slid.lock()) view->setFrame(shown);
    };
    ui::View::animate(SlideSeconds, slideIn, [slideIn](bool) { slideIn(); });

    // A later showing (or a tap) takes the banner over; this count then
    // leaves it alone.
    const uint64_t showing = ++bannerShowing_;
    auto weak = weakSelf();
    KVTRCountdown::shareInstance()->countdown(
        ShownSeconds,
        [weak, showing](double remaining) {
            auto self = weak.lock();
            if (!self || showing != self->bannerShowing_ || !self->popView_->lastTimeLabel) return;
            self->popView_->lastTimeLabel->setText(ns::String::make(ns::format("%d秒后自动关闭", int(remaining))));
        },
        [weak, showing] {
            auto self = weak.lock();
            if (self && showing == self->bannerShowing_) self->hideBanner();
        });
}

void ROZCoreEntity::hideBanner() {
    ++bannerShowing_;
    if (popView_) popView_->setHidden(true);
}

void ROZCoreEntity::addPopGestureRecognizer() {
    hideBanner();
    kvtr_openGmShop();
}

std::function<void()> ROZCoreEntity::timePopCloseBlock() {
    auto weak = weakSelf();
    return [weak] {
        if (auto self = weak.lock()) self->hideBanner();
    };
}

bool ROZCoreEntity::isBangsScreen() { return KVTRDataFormat::isBangsScreen(); }

// ---- Time helpers ----

ROZCoreEntity::Text ROZCoreEntity::getNowTimeTimestamp() {
    return ns::String::make(ns::format("%ld", long(dispatch::wallTime())));
}

ROZCoreEntity::Text ROZCoreEntity::getNowTimeWithString() {
    const long now = getNowTimeTimestamp()->longLongValue();
    const long offset = long(ns::TimeZone::localTimeZone()->secondsFromGMTForUnixTime(now));
    const long local = now + offset;
    // The local hour began at local - (local mod 3600), also before 1970.
    const long hourStart = local - (((local % 3600) + 3600) % 3600) - offset;
    return ns::String::make(ns::format("%ld", hourStart + 3600 - now));
}
