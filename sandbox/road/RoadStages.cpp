#include "sandbox/road/RoadStages.h"

#include "aggregation/stores/KVTRFixBtn.h"
#include "aggregation/stores/KVTRGiftCell.h"
#include "aggregation/stores/KVTROptionalGiftView.h"
#include "aggregation/stores/KVTRStoreHallView.h"
#include "aggregation/welfare/KVTRLuckyPlayerViews.h"
#include "aggregation/welfare/KVTRResourceHall.h"
#include "aggregation/welfare/KVTRTurnGiftPopViews.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/testing/UIDriver.h"
#include "sandbox/road/RoadStageList.h"

namespace sandbox {

namespace {

// Looks at the screen before giving up on a draw that showed no prize.
constexpr int kDrawPatience = 40;
// Looks without an act between two lines saying what the screens wait for.
constexpr int kLooksBetweenWaitingLines = 40;

enum class HallStage { WelfareDraw, WelfareWait, SuperDraw, SuperWait, BuyCard, Done };

std::shared_ptr<dispatch::RunLoopTimer>& runningTimer() {
    static std::shared_ptr<dispatch::RunLoopTimer> timer;
    return timer;
}

// An act that plays a stage of the road: logged and counted, its text returned.
template <class... A>
std::string played(const char* format, const A&... args) {
    road::progress().play(format, args...);
    return ns::format(format, args...);
}

// An act on the way to a stage: logged, its text returned.
std::string said(std::string act) {
    ns::log("road: %s", act);
    return act;
}

// The stage a gift pop-up of `type` plays; one of an unknown type is a
// format of its own, counted as no stage.
const char* giftLine(const std::string& type) {
    if (type == "luck") return road::line::kLuckGift;
    if (type == "day") return road::line::kDayGift;
    if (type == "active") return road::line::kActiveGift;
    return "%s gift claimed";
}

}  // namespace

struct RoadStages::State {
    testing::UIDriver driver;
    // The halls acted on, so a new one starts afresh.
    const void* storeHall = nullptr;
    const void* resourceHall = nullptr;
    HallStage stage = HallStage::WelfareDraw;
    int prizesClosed = 0;
    int patience = 0;
    int looksWaiting = 0;
    double interval = 0.25;

    template <class Hall>
    std::string driveResourceHall(Hall& hall);
    template <class Hall>
    std::string driveStoreHall(Hall& hall);
    bool choose(const ns::Ref<KVTRFixBtn>& slot, const ns::Ref<KVTRFixedGiftModel>& gift);
};

RoadStages::RoadStages() : state_(std::make_unique<State>()) {}

RoadStages::~RoadStages() = default;

void RoadStages::start(double interval) {
    stop();
    road::progress().reset();
    auto road = std::make_shared<RoadStages>();
    road->state_->interval = interval;
    runningTimer() = dispatch::RunLoopTimer::create(interval, true, [road](dispatch::RunLoopTimer&) { road->step(); });
    dispatch::RunLoop::current().addTimer(runningTimer(), dispatch::RunLoopMode::Default);
}

void RoadStages::stop() {
    if (runningTimer()) runningTimer()->invalidate();
    runningTimer() = nullptr;
}

std::string RoadStages::step() {
    State& s = *state_;
    std::string act;
    // A person buys nothing in the halls while the channel's user centre or
    // payment centre is open: those come first.
    const char* covered = nullptr;
    s.driver.find([&](ui::View& v) {
        auto owner = v.owningController();
        if (owner && owner->isKindOf("TVSuspendVC")) covered = "the user centre is open over the halls";
        if (owner && owner->isKindOf("TVNewPayVC")) covered = "a payment centre is open over the halls";
        return covered != nullptr;
    });
    bool waitsForCentre = false;
    if (auto prizes = s.driver.findOfType<KVTRTurnGiftPopBase>()) {
        std::string shown;
        for (auto& label : s.driver.findAll(
                 [&](ui::View& v) { return dynamic_cast<ui::Label*>(&v) && v.isDescendantOfView(prizes.get()); }))
            shown += (shown.empty() ? "" : ", ") + testing::UIDriver::textOf(*label).value_or("");
        if (s.driver.tap(prizes->getBtn)) {
            ++s.prizesClosed;
            act = played(road::line::kPrizesClosed, shown);
        }
    } else if (auto gift = s.driver.findOfType<KVTRLuckyPlayerView>()) {
        ns::Ref<ui::Button> claim;
        if (auto pop = std::dynamic_pointer_cast<KVTRLuckyPlayerPopView>(gift)) claim = pop->closeBtn;
        if (auto pop = std::dynamic_pointer_cast<KVTRVerticalLuckyPlayerPopView>(gift)) claim = pop->closeBtn;
        const std::string stage = ns::textOf(gift->type);
        if (claim && s.driver.tap(claim)) act = played(giftLine(stage), stage);
    } else if (covered) {
        waitsForCentre = true;
    } else if (auto hall = s.driver.findOfType<KVTRResourceHall>()) {
        act = s.driveResourceHall(*hall);
    } else if (auto hall = s.driver.findOfType<KVTRVerResourceHall>()) {
        act = s.driveResourceHall(*hall);
    } else if (auto store = s.driver.findOfType<KVTRStoreHallView>()) {
        act = s.driveStoreHall(*store);
    } else if (auto store = s.driver.findOfType<KVTRVerticalStoreHallView>()) {
        act = s.driveStoreHall(*store);
    }
    if (!act.empty()) {
        s.looksWaiting = 0;
    } else if (++s.looksWaiting % kLooksBetweenWaitingLines == 0) {
        // A hall under a centre waits for the centre; what else the screens
        // wait for comes with nothing on the screen.
        const bool hallShown =
            waitsForCentre &&
            (s.driver.findOfType<KVTRResourceHall>() || s.driver.findOfType<KVTRVerResourceHall>() ||
             s.driver.findOfType<KVTRStoreHallView>() || s.driver.findOfType<KVTRVerticalStoreHallView>());
        const road::Stage* next = hallShown ? road::progress().next(road::Track::Screens, road::line::kBundleBought)
                                            : road::progress().next(road::Track::Screens);
        if (next)
            road::sayWaiting(next->waitingFor, static_cast<int>(s.looksWaiting * s.interval),
                             hallShown ? covered : road::kNothingOnTheScreen);
    }
    return act;
}

template <class Hall>
std::string RoadStages::State::driveResourceHall(Hall& hall) {
    if (resourceHall != &hall) {
        resourceHall = &hall;
        stage = HallStage::WelfareDraw;
        prizesClosed = 0;
    }
    auto drawOn = [&](const ns::Ref<ui::Button>& tab, const ns::Ref<ui::View>& page, KVTRTurntable& wheel,
                      HallStage next, const char* name, const char* drawn) -> std::string {
        if (page->isHidden()) return driver.tap(tab) ? said(std::string("resource hall: ") + name + " tab") : "";
        if (!wheel.clickOneBtn->isEnabled() || !driver.tap(wheel.clickOneBtn)) return "";
        stage = next;
        patience = kDrawPatience;
        return played(drawn);
    };
    auto waitFor = [&](int prizes, HallStage next) {
        // A draw the server refused shows no prize: the road goes on.
        if (prizesClosed >= prizes || --patience <= 0) stage = next;
        return std::string();
    };
    switch (stage) {
        case HallStage::WelfareDraw:
            return drawOn(hall.rebtn2, hall.welfareView, *hall.welfare, HallStage::WelfareWait, "welfare",
                          road::line::kWelfareDraw);
        case HallStage::WelfareWait:
            return waitFor(1, HallStage::SuperDraw);
        case HallStage::SuperDraw:
            return drawOn(hall.rebtn3, hall.superwelfareView, *hall.superwelfare, HallStage::SuperWait, "super",
                          road::line::kSuperDraw);
        case HallStage::SuperWait:
            return waitFor(2, HallStage::BuyCard);
        case HallStage::BuyCard: {
            if (hall.initerView->isHidden()) return driver.tap(hall.rebtn1) ? said("resource hall: cards tab") : "";
            for (auto& card : hall.cards) {
                if (card->buyBtn->isHidden() || !driver.tap(card->buyBtn)) continue;
                stage = HallStage::Done;
                return played(road::line::kCardBought, ns::textOf(card->model()->title));
            }
            stage = HallStage::Done;
            return said("resource hall: no card to buy");
        }
        case HallStage::Done:
            return "";
    }
    return "";
}

bool RoadStages::State::choose(const ns::Ref<KVTRFixBtn>& slot, const ns::Ref<KVTRFixedGiftModel>& gift) {
    if (!driver.tap(slot)) return false;
    auto chooser = driver.findOfType<KVTROptionalGiftView>();
    if (!chooser) return false;
    chooser->layoutIfNeeded();
    auto tile = driver.find([&](ui::View& v) {
        auto fix = dynamic_cast<KVTRFixBtn*>(&v);
        return fix && fix->superview().get() == chooser.get() && fix->model() &&
               ns::textOf(fix->model()->mid) == ns::textOf(gift->mid);
    });
    return tile && driver.tap(tile);
}

template <class Hall>
std::string RoadStages::State::driveStoreHall(Hall& hall) {
    if (storeHall == &hall) return "";
    auto page = hall.timeStoreView;
    if (!page || page->isHidden() || page->giftVC()->giftModelArray()->count() == 0) return "";
    auto table = page->giftVC()->tableView();
    table->layoutIfNeeded();
    auto row = std::dynamic_pointer_cast<KVTRGiftCell>(table->cellForRowAtIndexPath({0, 0}));
    if (!row) return "";
    storeHall = &hall;
    // Every empty slot gets the first gift the row still offers.
    for (auto& slot : row->itemButtons()) {
        if (slot->model() && slot->model()->mid) continue;
        if (row->giftModelArray()->count() == 0) break;
        auto gift = ns::cast<KVTRFixedGiftModel>(row->giftModelArray()->objectAtIndex(0));
        if (!gift || !choose(slot, gift)) return said("store hall: a gift could not be chosen");
    }
    if (!driver.tap(row->buyBtn)) return said("store hall: the buy button was not reachable");
    return played(road::line::kBundleBought);
}

}  // namespace sandbox
