#include "sandbox/road/CentreSteps.h"

#include "channel/VRQWindowManager.h"
#include "channel/login/TVAlterLoginVC.h"
#include "channel/usercenter/TVSuspendVC.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "channel/usercenter/pages/TVGiftCells.h"
#include "channel/usercenter/pages/TVSuWelfareVC.h"
#include "channel/usercenter/pages/TVWelfareBaseVC.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/Pasteboard.h"
#include "platform/uikit/TouchSimulation.h"

namespace road {

namespace {

constexpr const char* kTabNames[] = {"首页", "开服", "福利", "交易", "客服"};

ns::Ref<TVSuspendVC> centre(const testing::UIDriver& driver) {
    auto view = driver.find([](ui::View& v) { return ns::cast<TVSuspendVC>(v.owningController()) != nullptr; });
    auto found = view ? ns::cast<TVSuspendVC>(view->owningController()) : nullptr;
    return found && !found->isBeingPresented() ? found : nullptr;
}

ns::Ref<ui::Window> ballWindow() {
    if (!VRQHelperBtn::isCreate()) return nullptr;
    auto window = VRQWindowManager::windowForKey(VRQHelperBtn::shared()->md5Key());
    return window && !window->isHidden() ? window : nullptr;
}

ns::Ref<TVWelfareBaseVC> gifts(const testing::UIDriver& driver) {
    auto list = centre(driver);
    if (!list || list->childViewControllers().size() < 3) return nullptr;
    auto welfare = ns::cast<TVSuWelfareVC>(list->childViewControllers()[2]);
    return welfare && !welfare->childViewControllers().empty()
               ? ns::cast<TVWelfareBaseVC>(welfare->childViewControllers()[0])
               : nullptr;
}

// The first shown row of type T that `pick` accepts.
template <class T>
ns::Ref<T> shownRow(const testing::UIDriver& driver, const std::function<bool(T&)>& pick) {
    auto list = gifts(driver);
    if (!list || list->dataSource().empty()) return nullptr;
    for (const auto& cell : list->tableView()->visibleCells())
        if (auto row = ns::cast<T>(cell); row && testing::UIDriver::isOnScreen(*row) && pick(*row)) return row;
    return nullptr;
}

Step tab(testing::UIDriver& driver, int64_t tag) {
    return {std::string("the tab ") + kTabNames[tag - 10], [&driver, tag] {
                auto shown = centre(driver);
                auto bar = shown ? shown->bottomView.lock() : nullptr;
                auto button = bar ? bar->viewWithTag(tag) : nullptr;
                if (!button || !driver.tap(button)) return false;
                ns::log("road: visited the user centre's tab %s", kTabNames[tag - 10]);
                return true;
            }};
}

}  // namespace

std::vector<Step> centreSteps(testing::UIDriver& driver) {
    std::vector<Step> steps;
    // The login window goes a moment after the ball comes; the centre opens
    // over the game's own window only then.
    steps.push_back({"the ball", [&driver] {
                         auto window = ballWindow();
                         if (driver.find([](ui::View& v) { return ns::cast<TVAlterLoginVC>(v.owningController()) != nullptr; }))
                             return false;
                         if (!window || !ui::simulateTap(window->center())) return false;
                         ns::log("road: tapped the ball");
                         return true;
                     }});
    steps.push_back({"the ball in view", [] {
                         auto window = ballWindow();
                         if (!window || VRQHelperBtn::shared()->status() != 1 || !ui::simulateTap(window->center()))
                             return false;
                         ns::log("road: tapped the ball again");
                         return true;
                     }});
    steps.push_back({"the user centre", [&driver] {
                         if (!centre(driver)) return false;
                         ns::log("road: the user centre is open on its tab %s", kTabNames[0]);
                         return true;
                     }});
    steps.push_back(tab(driver, 11));
    steps.push_back(tab(driver, 12));
    steps.push_back({"a gift pack to claim", [&driver] {
                         auto row = shownRow<TVGetGiftCell>(driver, [](TVGetGiftCell& cell) {
                             auto button = cell.getBtn.lock();
                             return button && button->isEnabled();
                         });
                         if (!row || !driver.tap(row->getBtn.lock())) return false;
                         ns::log("road: claimed the gift pack %@", row->model()->name());
                         return true;
                     }});
    steps.push_back({"the pack's code", [&driver] {
                         auto row = shownRow<TVCopyGiftCell>(driver, [](TVCopyGiftCell&) { return true; });
                         if (!row) return false;
                         row->copyBtnClick();
                         auto copied = ui::Pasteboard::generalPasteboard()->string();
                         ns::log("road: copied the code %s", copied ? *copied : std::string("(none)"));
                         return true;
                     }});
    steps.push_back({"the copy alert", [&driver] {
                         if (!driver.tap("知道了")) return false;
                         ns::log("road: closed the usage alert");
                         return true;
                     }});
    steps.push_back(tab(driver, 13));
    steps.push_back(tab(driver, 14));
    steps.push_back({"the way back", [&driver] {
                         auto back = driver.findByAccessibilityIdentifier("TVSuspendVC.back");
                         if (!back || !centre(driver) || !driver.tapAt({back->frame().size.width - 10, 10}))
                             return false;
                         ns::log("road: back to the game");
                         return true;
                     }});
    return steps;
}

}  // namespace road
