#include "sandbox/road/RoadPlayer.h"

#include "channel/login/TVLoginView.h"
#include "channel/screens/VRQSubNameVC.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"

namespace road {

namespace {

// Quick enough to visit the user centre before the page logs out.
constexpr double kLookSeconds = 0.1;

ns::Ref<VRQSubNameVC> subAccountScreen(const testing::UIDriver& driver) {
    auto view = driver.find([](ui::View& v) { return ns::cast<VRQSubNameVC>(v.owningController()) != nullptr; });
    return view ? ns::cast<VRQSubNameVC>(view->owningController()) : nullptr;
}

}  // namespace

RoadPlayer::RoadPlayer(std::string user, std::string password)
    : user_(std::move(user)), password_(std::move(password)) {
    steps_.push_back({"the login window", [this] {
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
                          ns::log("road: typed the account %s and its password", user_);
                          bool tapped = driver_.tap(button);
                          ns::log("road: tapped %s", tapped ? "登录" : "登录, and the tap missed");
                          return tapped;
                      }});
    steps_.push_back({"the notice", [this] {
                          auto close = driver_.findByText("关闭");
                          if (!close || !driver_.tap(close)) return false;
                          ns::log("road: closed the notice");
                          return true;
                      }});
    steps_.push_back({"the sub-accounts", [this] {
                          auto screen = subAccountScreen(driver_);
                          auto table = screen ? screen->tableView.lock() : nullptr;
                          if (!table || table->numberOfRowsInSection(0) == 0 || screen->isBeingPresented()) return false;
                          auto first = screen->dataSource().front();
                          if (!driver_.selectRow(table, ui::IndexPath::forRow(0, 0))) return false;
                          ns::log("road: picked the sub-account %@ (%@)", first->nickname, first->username);
                          return true;
                      }});
    for (auto& step : centreSteps(driver_)) steps_.push_back(std::move(step));
}

void RoadPlayer::start() {
    dispatch::after(kLookSeconds, dispatch::mainQueue(), [this] { look(); });
}

void RoadPlayer::look() {
    if (next_ >= steps_.size()) return;
    if (steps_[next_].act()) ++next_;
    if (next_ < steps_.size()) start();
}

}  // namespace road
