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
#include "platform/uikit/Window.h"
#include "sandbox/road/RoadStageList.h"

namespace road {

namespace {

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

// Where the player taps the centre's back cover: the corner beside the panel.
cg::Point backCorner(const ui::View& back) { return {back.bounds().width() - 10, 10}; }

// The centre's tab `tag` tapped, played as the stage whose line is `played`.
Step tab(testing::UIDriver& driver, int64_t tag, const char* played) {
    return {waitingFor(played), [&driver, tag, played] {
                auto shown = centre(driver);
                auto bar = shown ? shown->bottomView.lock() : nullptr;
                auto button = bar ? bar->viewWithTag(tag) : nullptr;
                if (!button || !driver.tap(button)) return false;
                progress().play(played);
                return true;
            }};
}

}  // namespace

std::vector<Step> centreSteps(testing::UIDriver& driver) {
    std::vector<Step> steps;
    // The login window goes a moment after the ball comes; the centre opens
    // over the game's own window only then.
    steps.push_back({waitingFor(line::kTappedTheBall), [&driver] {
                         auto window = ballWindow();
                         if (driver.find([](ui::View& v) { return ns::cast<TVAlterLoginVC>(v.owningController()) != nullptr; }))
                             return false;
                         if (!window || !ui::simulateTap(window->center())) return false;
                         progress().play(line::kTappedTheBall);
                         return true;
                     }});
    steps.push_back({waitingFor(line::kTappedTheBallAgain), [] {
                         auto window = ballWindow();
                         if (!window || VRQHelperBtn::shared()->status() != 1 || !ui::simulateTap(window->center()))
                             return false;
                         progress().play(line::kTappedTheBallAgain);
                         return true;
                     }});
    steps.push_back({waitingFor(line::kCentreOpen), [&driver] {
                         if (!centre(driver)) return false;
                         progress().play(line::kCentreOpen);
                         return true;
                     }});
    steps.push_back(tab(driver, 11, line::kServersTab));
    steps.push_back(tab(driver, 12, line::kWelfareTab));
    steps.push_back({waitingFor(line::kClaimedTheGiftPack), [&driver] {
                         auto row = shownRow<TVGetGiftCell>(driver, [](TVGetGiftCell& cell) {
                             auto button = cell.getBtn.lock();
                             return button && button->isEnabled();
                         });
                         if (!row || !driver.tap(row->getBtn.lock())) return false;
                         progress().play(line::kClaimedTheGiftPack, row->model()->name());
                         return true;
                     }});
    steps.push_back({waitingFor(line::kCopiedTheCode), [&driver] {
                         auto row = shownRow<TVCopyGiftCell>(driver, [](TVCopyGiftCell&) { return true; });
                         if (!row) return false;
                         row->copyBtnClick();
                         auto copied = ui::Pasteboard::generalPasteboard()->string();
                         progress().play(line::kCopiedTheCode, copied ? *copied : std::string("(none)"));
                         return true;
                     }});
    steps.push_back({waitingFor(line::kClosedTheUsageAlert), [&driver] {
                         if (!driver.tap("知道了")) return false;
                         progress().play(line::kClosedTheUsageAlert);
                         return true;
                     }});
    steps.push_back(tab(driver, 13, line::kTradeTab));
    steps.push_back(tab(driver, 14, line::kServiceTab));
    // A pop-up that comes up over the centre (a gift's, with its dim cover)
    // would take a blind tap and leave the centre open: the player taps only
    // once the tap reaches the back cover, and waits for the pop-up to go.
    steps.push_back({waitingFor(line::kBackToTheGame),
                     [&driver] {
                         auto back = driver.findByAccessibilityIdentifier("TVSuspendVC.back");
                         if (!back || !centre(driver) || !testing::UIDriver::reaches(*back, backCorner(*back)) ||
                             !driver.tapAt(ui::screenPoint(*back, backCorner(*back))))
                             return false;
                         progress().play(line::kBackToTheGame);
                         return true;
                     },
                     [&driver] {
                         auto back = driver.findByAccessibilityIdentifier("TVSuspendVC.back");
                         return back && centre(driver) && !testing::UIDriver::reaches(*back, backCorner(*back))
                                    ? "something over the user centre takes the tap"
                                    : kNothingOnTheScreen;
                     }});
    return steps;
}

}  // namespace road
