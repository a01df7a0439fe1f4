#include "sandbox/road/RoadPlayer.h"

#include "channel/login/TVLoginView.h"
#include "channel/pay/TVNewPayVC.h"
#include "channel/pay/TVPayNoticeView.h"
#include "channel/pay/TVWebPayVC.h"
#include "channel/screens/VRQSubNameVC.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/NavigationItem.h"
#include "sandbox/road/RoadStageList.h"

namespace road {

namespace {

// Quick enough to visit the user centre before the page logs out.
constexpr double kLookSeconds = 0.1;
// A step that finds nothing to act on says what it waits for every 10 s.
constexpr int kLooksBetweenWaitingLines = 100;

ns::Ref<VRQSubNameVC> subAccountScreen(const testing::UIDriver& driver) {
    auto view = driver.find([](ui::View& v) { return ns::cast<VRQSubNameVC>(v.owningController()) != nullptr; });
    return view ? ns::cast<VRQSubNameVC>(view->owningController()) : nullptr;
}

// The payment centre on screen with its pay ways loaded, ready for an order.
ns::Ref<TVNewPayVC> readyPaymentCentre(const testing::UIDriver& driver) {
    auto view = driver.find([](ui::View& v) {
        auto centre = ns::cast<TVNewPayVC>(v.owningController());
        auto navigation = centre ? centre->navigationController() : nullptr;
        // Not one that has closed and is still leaving.
        return navigation && !navigation->isBeingDismissed();
    });
    auto centre = view ? ns::cast<TVNewPayVC>(view->owningController()) : nullptr;
    if (!centre || centre->hud() || centre->payStyle() == 0 || centre->isBeingPresented() ||
        centre->isBeingDismissed()) {
        return nullptr;
    }
    auto pay = centre->payBtn.lock();
    return pay && pay->isEnabled() && testing::UIDriver::isOnScreen(*pay) ? centre : nullptr;
}

}  // namespace

RoadPlayer::RoadPlayer(std::string user, std::string password)
    : user_(std::move(user)), password_(std::move(password)) {
    steps_.push_back({waitingFor(line::kTypedTheAccount), [this] {
                          auto card = driver_.findOfType<TVLoginView>();
                          if (!card || card->UsingStyle() != 0 || !testing::UIDriver::isOnScreen(*card)) return false;
                          auto name = card->loginName.lock();
                          auto password = card->loginPwd.lock();
                          auto button = card->mainLoginBtn.lock();
                          if (!name || !password || !button) return false;
                          name->setText("");
                          driver_.typeText(name, user_);
                          driver_.typeText(password, password_);
                          password->resignFirstResponder();
                          progress().play(line::kTypedTheAccount, user_);
                          if (!driver_.tap(button)) {
                              ns::log("road: tapped 登录, and the tap missed");
                              return false;
                          }
                          progress().play(line::kTappedLogin);
                          return true;
                      }});
    steps_.push_back({waitingFor(line::kClosedTheNotice), [this] {
                          auto close = driver_.findByText("关闭");
                          if (!close || !driver_.tap(close)) return false;
                          progress().play(line::kClosedTheNotice);
                          return true;
                      }});
    steps_.push_back({waitingFor(line::kPickedTheSubAccount), [this] {
                          auto screen = subAccountScreen(driver_);
                          auto table = screen ? screen->tableView.lock() : nullptr;
                          if (!table || table->numberOfRowsInSection(0) == 0 || screen->isBeingPresented()) return false;
                          auto first = screen->dataSource().front();
                          if (!driver_.selectRow(table, ui::IndexPath::forRow(0, 0))) return false;
                          progress().play(line::kPickedTheSubAccount, first->nickname, first->username);
                          return true;
                      }});
    // The page pauses before its first order: the player visits the user centre.
    for (auto& step : centreSteps(driver_)) steps_.push_back(std::move(step));
    payWith(line::kPaidByCoins, &TVNewPayVC::ptbIconBtn);
    payWith(line::kPaidByQuipay, &TVNewPayVC::quipayIconBtn);
    steps_.push_back({waitingFor(line::kPaidOnThePayPage), [this] {
                          auto view = driver_.find([](ui::View& v) {
                              return ns::cast<TVWebPayVC>(v.owningController()) != nullptr;
                          });
                          auto page = view ? ns::cast<TVWebPayVC>(view->owningController()) : nullptr;
                          // Loaded: the page has paid the order at the stand-in.
                          if (!page || page->avi()->isAnimating() || page->isMovingToParentViewController()) return false;
                          auto item = page->navigationItem()->leftBarButtonItem();
                          auto bar = item ? item->customView() : nullptr;
                          if (!bar || bar->subviews().empty() || !driver_.tap(bar->subviews().front())) return false;
                          progress().play(line::kPaidOnThePayPage);
                          return true;
                      }});
    steps_.push_back({waitingFor(line::kPaymentWentThrough), [this] {
                          auto card = driver_.findOfType<TVPayNoticeView>();
                          auto status = card ? card->statusL.lock() : nullptr;
                          if (!status || !status->text() || status->text()->utf8() != "支付成功") return false;
                          if (!driver_.tap(card->cancelBtn.lock())) return false;
                          progress().play(line::kPaymentWentThrough);
                          return true;
                      }});
    laterPurchasesFrom_ = steps_.size();
}

void RoadPlayer::payLaterPurchase() {
    auto centre = readyPaymentCentre(driver_);
    if (!centre || centre == paid_.lock()) return;
    auto coins = centre->ptbIconBtn.lock();
    if (coins && driver_.tap(coins) && driver_.tap(centre->payBtn.lock())) {
        paid_ = centre;
        progress().play(line::kPaidForAPurchase, centre->realMoneyL.lock()->text());
    }
}

void RoadPlayer::payWith(const char* played, ns::Weak<ui::Button> TVNewPayVC::*row) {
    steps_.push_back({waitingFor(played), [this, played, row] {
                          auto centre = readyPaymentCentre(driver_);
                          if (!centre || centre == paid_.lock()) return false;
                          auto rowButton = ((*centre).*row).lock();
                          if (!rowButton || !driver_.tap(rowButton) || !driver_.tap(centre->payBtn.lock())) return false;
                          paid_ = centre;
                          progress().play(played, centre->realMoneyL.lock()->text());
                          return true;
                      }});
}

void RoadPlayer::start() {
    dispatch::after(kLookSeconds, dispatch::mainQueue(), [this] { look(); });
}

void RoadPlayer::look() {
    // After the page's own payments a purchase may come during any step, or
    // after the last one, so it keeps looking.
    if (next_ >= laterPurchasesFrom_) payLaterPurchase();
    if (next_ < steps_.size()) {
        if (steps_[next_].act()) {
            ++next_;
            looksWaiting_ = 0;
        } else if (++looksWaiting_ % kLooksBetweenWaitingLines == 0) {
            const Step& step = steps_[next_];
            sayWaiting(step.waitingFor, static_cast<int>(looksWaiting_ * kLookSeconds),
                       step.obstacle ? step.obstacle() : kNothingOnTheScreen);
        }
    }
    start();
}

}  // namespace road
