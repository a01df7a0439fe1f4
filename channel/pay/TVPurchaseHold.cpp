#include "channel/pay/TVPurchaseHold.h"

#include "channel/ShareVale.h"
#include "channel/VRQMessage.h"
#include "channel/VRQTopPresenter.h"
#include "channel/VRQWindowManager.h"
#include "channel/pay/TVPayNav.h"
#include "channel/screens/TVScreenResources.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Storyboard.h"
#include "platform/uikit/Window.h"
#include "ui/hud/sd_KXProgressHUD.h"

namespace {

struct State {
    bool held = false;
    // Moves on with every hold, so a late release of an old one is ignored.
    uint64_t hold = 0;
    std::deque<TVPurchaseHold::Call> waiting;
    // The account the holding purchase's entry call was made for.
    ns::Ref<ns::String> holdingAccount;
    // While entry calls wait on a purchase whose screens have gone, the
    // player is told a payment is still being confirmed.
    ns::Ref<sd_KXProgressHUD> confirmingHUD;
};

State& state() {
    static State shared;
    return shared;
}

// Each test starts with no purchase holding, nothing waiting and no HUD.
[[maybe_unused]] const bool resetHooked = (ui::addSharedStateResetHook([] {
                                               State& s = state();
                                               s.held = false;
                                               ++s.hold;
                                               s.waiting.clear();
                                               s.holdingAccount = nullptr;
                                               s.confirmingHUD = nullptr;
                                           }),
                                           true);

// What the first waiting call waits for: the purchase that holds, or an
// earlier purchase of its player still polling.
std::shared_ptr<TVPurchase> waitedFor() {
    State& s = state();
    if (s.held) return TVPurchase::holding();
    return s.waiting.empty() ? nullptr : TVPurchase::keepingWaiting(s.waiting.front().player);
}

// Shows the HUD "支付中..." while calls wait on a purchase with no screen,
// and hides it otherwise.
void updateConfirmingHUD() {
    auto& hud = state().confirmingHUD;
    auto blocking = waitedFor();
    bool waiting = TVPurchaseHold::hasWaiting() && blocking && blocking->isUnseen();
    if (waiting == (hud != nullptr)) return;
    if (!waiting) {
        hud->hideAnimated(true);
        hud = nullptr;
        return;
    }
    auto window = VRQWindowManager::topWindow();
    if (!window) return;
    hud = sd_KXProgressHUD::showHUDAddedTo(window, true);
    hud->setRemoveFromSuperViewOnHide(true);
    hud->setLabelText(ns::str("支付中..."));
}

}  // namespace

bool TVPurchaseHold::busy() { return state().held || !state().waiting.empty(); }

bool TVPurchaseHold::hasWaiting() { return !state().waiting.empty(); }

uint64_t TVPurchaseHold::take() {
    State& s = state();
    s.held = true;
    return ++s.hold;
}

bool TVPurchaseHold::isCurrent(uint64_t hold) { return state().held && state().hold == hold; }

void TVPurchaseHold::release(uint64_t hold) {
    if (!isCurrent(hold)) return;
    state().held = false;
    updateConfirmingHUD();
    if (busy()) openNextSoon();
}

// Whether an earlier purchase of the call's player keeps it waiting, judged
// now, as the call is about to open: that one may have begun to poll since
// the call came.
bool TVPurchaseHold::keptByItsPlayer(const Call& call) {
    if (!TVPurchase::earlierKeeps(call.player)) return false;
    ns::log("payment centre: a payment of the same player is still being confirmed; the payment of %@ yuan (%@) "
            "waits for it",
            call.money, call.cpExtend);
    return true;
}

// The next waiting call opens on a later turn, once nothing keeps it
// waiting.
void TVPurchaseHold::openNextSoon() {
    dispatch::async(dispatch::mainQueue(), [] {
        State& s = state();
        if (s.held || s.waiting.empty()) return;
        if (keptByItsPlayer(s.waiting.front())) return updateConfirmingHUD();
        Call call = std::move(s.waiting.front());
        s.waiting.pop_front();
        open(std::move(call));
    });
}

void TVPurchaseHold::enter(Call call) {
    if (!call.player) call.player = ShareVale::sharedInstance()->userName();
    if (!call.account) call.account = ShareVale::sharedInstance()->subUserName();
    if (busy()) {
        // The centre on screen keeps its purchase; this one opens after it.
        ns::log("payment centre: busy; the payment of %@ yuan (%@) waits its turn", call.money, call.cpExtend);
    } else if (!keptByItsPlayer(call)) {
        return open(std::move(call));
    }
    state().waiting.push_back(std::move(call));
    updateConfirmingHUD();
}

void TVPurchaseHold::dropWaiting(std::string_view why) {
    std::deque<Call> dropped;
    dropped.swap(state().waiting);
    for (const auto& call : dropped)
        ns::log("payment centre: %s; the waiting payment of %@ yuan (%@) is dropped", std::string(why), call.money,
                call.cpExtend);
    if (auto holding = TVPurchase::holding()) holding->on(TVPurchase::Event::AccountEnded, {.why = why});
    updateConfirmingHUD();
}

void TVPurchaseHold::loggedIn(const TVNewPayVC::Text& account) {
    bool changed = false;
    for (const auto& call : state().waiting) changed = changed || !TVPurchase::sameName(call.account, account);
    changed = changed || (state().held && !TVPurchase::sameName(state().holdingAccount, account));
    if (changed) dropWaiting("login as another account");
}

// Nothing could be opened for the purchase: the ball comes back, and the
// purchase reports its failure and lets the next call go.
void TVPurchaseHold::refuse(const std::shared_ptr<TVPurchase>& purchase, const char* why) {
    ns::log("payment centre: %s; the payment of %@ yuan (%@) fails", why, purchase->report().fullAmount,
            TVNewPayVC::orderState().cpExtend);
    VRQHelperBtn::setPaymentCentreOnScreen(false);
    purchase->on(TVPurchase::Event::Refused);
}

void TVPurchaseHold::open(Call call) {
    uint64_t hold = take();
    state().holdingAccount = call.account;
    TVNewPayVC::OrderState& state = TVNewPayVC::orderState();
    state = {};
    state.roleId = call.roleid;
    state.serverId = call.serviceID;
    state.fullAmount = call.money;
    state.currentAmount = call.money;
    state.cpExtend = call.cpExtend;
    state.productName = call.productName;
    state.productDesc = call.productDesc;
    if (!TVNewPayVC::isAmount(call.money.get())) {
        VRQMessage::showMessage("金额格式异常");
        release(hold);
        return;
    }
    VRQHelperBtn::setPaymentCentreOnScreen(true);
    // The purchase from here on: it alone reports, a centre that cannot be
    // opened included.
    auto purchase = TVPurchase::make({std::move(call.success), std::move(call.failure), state.fullAmount},
                                     [hold] { release(hold); }, [] {
                                         updateConfirmingHUD();
                                         openNextSoon();
                                     });
    purchase->setPlayer(call.player);
    auto storyboard = ui::Storyboard::storyboardWithName("TVNewPayVC", TVScreenResources::sdkBundle());
    auto centre = ns::cast<TVNewPayVC>(storyboard ? storyboard->instantiateViewControllerWithIdentifier("TVNewPayVC")
                                                  : nullptr);
    if (!centre) return refuse(purchase, "not in this app");
    // Over whatever the game shows: its root presents one screen at a time.
    auto presenter = VRQTopPresenter::presenterOverTopWindow();
    if (!presenter) return refuse(purchase, "no screen to open it from");

    centre->setPurchase(purchase);
    auto navigation = std::make_shared<TVPayNav>(centre);
    navigation->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
    ns::Weak<TVNewPayVC> weakCentre = centre;
    ns::Weak<TVPayNav> weakNavigation = navigation;
    navigation->setWhenGone([weakCentre, weakNavigation, purchase] {
        // A navigation controller being destroyed takes its screens with it;
        // the card on the top window goes too.
        auto centre = weakCentre.lock();
        if (centre && weakNavigation.lock()) {
            centre->navigationGone();
        } else {
            if (centre) centre->removeCard();
            VRQHelperBtn::setPaymentCentreOnScreen(false);
        }
        purchase->on(TVPurchase::Event::ScreensGone);
        updateConfirmingHUD();
    });
    presenter->presentViewController(navigation, true);
    // A presentation still waits when another is under way, and the platform
    // may refuse it then; the presenter's next idle moment tells.
    auto host = presenter;
    while (auto parent = host->parentViewController()) host = parent;
    host->whenIdle([navigation, hold, purchase] {
        if (!isCurrent(hold) || navigation->wasShown()) return;
        // Never shown, it has no screens to wait for.
        navigation->setWhenGone(nullptr);
        purchase->setCentre(nullptr);
        refuse(purchase, "its presentation was refused");
    });
}
