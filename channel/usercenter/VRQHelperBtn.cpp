#include "channel/usercenter/VRQHelperBtn.h"

#include <cmath>

#include "channel/NSObject+VRQWindow.h"
#include "channel/NSString+URLEncode.h"
#include "channel/TVSingleton.h"
#include "channel/UIView+Extension.h"
#include "channel/VRQTopPresenter.h"
#include "channel/VRQWindowManager.h"
#include "channel/usercenter/TVSuspendVC.h"
#include "channel/usercenter/VRQSuspensionViewController.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Storyboard.h"
#include "platform/foundation/Bundle.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Touch.h"
#include "platform/uikit/ViewController.h"

RT_DEFINE_CLASS(VRQHelperBtn, ui::Button, "VRQHelperBtn")

namespace {

// What the rule weighs besides the screens, kept apart from the ball so that
// telling it makes no ball.
struct BallFacts {
    bool signedIn = false;
    bool paymentCentreOnScreen = false;
};
BallFacts& facts() {
    static BallFacts shared;
    return shared;
}

// Each test starts without a ball and with nothing told; a running
// countdown stops with the ball.
[[maybe_unused]] const bool resetHooked = (ui::addSharedStateResetHook([] {
                                               if (auto ball = TVSingleton<VRQHelperBtn>::ifMade())
                                                   if (auto& timer = ball->timer()) timer->cancel();
                                               TVSingleton<VRQHelperBtn>::destroy();
                                               facts() = {};
                                           }),
                                           true);

cg::Size screenSize() { return ui::Screen::mainScreen()->bounds().size; }

// The centre of the ball's window in screen points.
cg::Point centreOf(const ns::Ref<ui::Window>& window) { return window ? window->center() : cg::Point{}; }

}  // namespace

VRQHelperBtn::VRQHelperBtn() {
    setFrame({screenSize().width - kSide / 2, 100, kSide, kSide});
    setBackgroundImage(ui::Image::imageNamed(URLEncode::getImagePath("TV_HelpBtn_StopIcon")), ui::ControlStateNormal);
    setStatus(0);
    // The ball owns the action, so it never outlives the ball.
    addTarget(nullptr, "endDo", [this](ui::Control&, ui::Event*) { endDo(); }, ui::ControlEventTouchUpInside);
    recordScreenStatus();
}

VRQHelperBtn::~VRQHelperBtn() = default;

ns::Ref<VRQHelperBtn> VRQHelperBtn::shared() { return TVSingleton<VRQHelperBtn>::shared(); }

const std::string& VRQHelperBtn::md5Key() {
    if (md5Key_.empty()) md5Key_ = VRQWindow::md5Key(*this);
    return md5Key_;
}

ns::Ref<ui::Window> VRQHelperBtn::ballWindow() { return VRQWindowManager::windowForKey(md5Key()); }

bool VRQHelperBtn::isCreate() { return !VRQWindowManager::shared()->windowDic().empty(); }

void VRQHelperBtn::create() {
    auto window = ui::Window::make(frame());
    window->setWindowLevel(ui::WindowLevelAlert + ui::WindowLevelAlert);
    window->setRootViewController(std::make_shared<VRQSuspensionViewController>());
    window->setClipsToBounds(true);
    setFrame({0, 0, frame().size.width, frame().size.height});
    auto self = ref<VRQHelperBtn>();
    window->addSubview(self);
    VRQWindowManager::saveWindow(window, md5Key());
    // Whether it shows is the rule's to say.
    window->setHidden(true);
}

void VRQHelperBtn::show() {
    auto ball = shared();
    VRQWindowManager::showWindowForKey(ball->md5Key());
    // A window shown puts its root controller's view back on top: the ball
    // goes above it, or it could not be tapped.
    if (auto window = ball->ballWindow(); window && ball->superview() == window) window->bringSubviewToFront(ball);
}

void VRQHelperBtn::hide() { VRQWindowManager::hideWindowForKey(shared()->md5Key()); }

// ---- When the ball shows ----

void VRQHelperBtn::setSignedIn(bool signedIn) {
    facts().signedIn = signedIn;
    refresh();
}

bool VRQHelperBtn::isSignedIn() { return facts().signedIn; }

void VRQHelperBtn::setPaymentCentreOnScreen(bool onScreen) {
    facts().paymentCentreOnScreen = onScreen;
    refresh();
}

bool VRQHelperBtn::isPaymentCentreOnScreen() { return facts().paymentCentreOnScreen; }

bool VRQHelperBtn::isUserCentreOnScreen() {
    for (const auto& window : ui::Application::sharedApplication()->windows()) {
        if (window->isHidden()) continue;
        auto controller = ns::cast<ui::ViewController>(window->rootViewController());
        for (; controller; controller = controller->presentedViewController())
            if (ns::cast<TVSuspendVC>(controller) && !controller->isBeingDismissed()) return true;
    }
    return false;
}

bool VRQHelperBtn::shows() {
    return facts().signedIn && !facts().paymentCentreOnScreen && !isUserCentreOnScreen();
}

void VRQHelperBtn::refresh() {
    if (!shows()) {
        // No ball is made to be hidden: none may exist yet, or things are
        // going away.
        if (TVSingleton<VRQHelperBtn>::ifMade()) hide();
        return;
    }
    auto ball = shared();
    if (!ball->ballWindow()) ball->create();
    show();
}

// ---- Touches ----

void VRQHelperBtn::touchesMoved(const ui::TouchSet& touches, ui::Event*) {
    // The button's own tracking is left out on purpose: the ball follows the
    // finger instead.
    if (touches.empty()) return;
    const auto& touch = *touches.begin();
    auto window = ballWindow();
    auto top = VRQWindowManager::topWindow();
    cg::Point location = touch->locationInView(top.get());
    if (touchCount_ == 0) {
        touchCount_ = 1;
        return;
    }
    if (touchCount_ == 1) {
        cg::Point c = centreOf(window);
        auto distance = static_cast<float>(std::hypot(location.x - c.x, location.y - c.y));
        if (distance < kDragSlop) return;
        touchCount_ = 2;
    }
    if (touch->view().get() == this) {
        isMoving_ = true;
        btnAnimations_ = None;
        starMoveToCenter(location);
    }
}

void VRQHelperBtn::endDo() {
    touchCount_ = 0;
    recordScreenStatus();
    if (isMoving_) {
        isMoving_ = false;
        btnAnimations_ = checkingDirection();
        startAnimation(btnAnimations_);
    } else if (status_ == 1) {
        doShowHelperVC();
    } else {
        setStatus(1);
    }
}

// Margins as the ball has always used them: exactly 50 pt from a side
// counts as near it, exactly 50 pt from the top or bottom does not.
int VRQHelperBtn::checkingDirection() const {
    cg::Point c = centreOf(VRQWindowManager::windowForKey(const_cast<VRQHelperBtn*>(this)->md5Key()));
    cg::Size screen = screenSize();
    auto x = static_cast<float>(c.x), y = static_cast<float>(c.y);
    auto dR = static_cast<float>(screen.width - c.x);
    auto dB = static_cast<float>(screen.height - c.y);
    if (dR <= kReveal) {
        if (dB < dR) return Bottom;
        if (y < dR) return Top;
        return Right;
    }
    if (x <= kReveal) {
        if (y < x) return Top;
        if (x > dB) return Bottom;
        return Left;
    }
    if (dB < kReveal) return Bottom;
    if (y < kReveal) return Top;
    return None;
}

void VRQHelperBtn::startAnimation(int direction) {
    if (direction == None) {
        setStatus(1);
        return;
    }
    setStatus(0);
    auto window = ballWindow();
    if (!window) return;
    cg::Point c = window->center();
    cg::Size screen = screenSize();
    bool revealAfter = false;
    cg::Point target = c;
    switch (direction) {
        case Left: {
            if (ViewExtension::isNotchedPhone() && screenFlag_ == 0) {
                target = {kReveal, c.y};
                revealAfter = true;
            } else {
                target = {0, c.y};
            }
            break;
        }
        case Top:
            if (screenFlag_ == 0) {
                target = {c.x, 0};
            } else {
                target = {c.x, kReveal};
                btnAnimations_ = None;
                revealAfter = true;
            }
            break;
        case Right: target = {screen.width, c.y}; break;
        case Bottom: target = {c.x, screen.height}; break;
        default: break;
    }
    ui::View::animate(kDockSeconds, [window, target] { window->setCenter(target); });
    if (revealAfter) setStatus(1);
}

void VRQHelperBtn::starMoveToCenter(cg::Point center) {
    auto window = ballWindow();
    if (!window) return;
    cg::Point c = window->center();
    auto distance = static_cast<float>(std::hypot(center.x - c.x, center.y - c.y));
    ui::View::beginAnimations();
    ui::View::setAnimationDuration(distance / kFollowSpeed);
    window->setCenter(center);
    ui::View::commitAnimations();
}

void VRQHelperBtn::setStatus(int status) {
    status_ = status;
    moveWhenTouchToChangesStatus();
}

void VRQHelperBtn::moveWhenTouchToChangesStatus() {
    if (status_ != 1) return;
    auto window = ballWindow();
    if (!window) return;
    cg::Size screen = screenSize();
    // Each step reads the centre anew, so a ball in a corner takes two.
    if (window->center().x == 0) starMoveToCenter({kReveal, window->center().y});
    if (window->center().x == screen.width) starMoveToCenter({screen.width - kReveal, window->center().y});
    if (window->center().y == screen.height) starMoveToCenter({window->center().x, screen.height - kReveal});
    if (window->center().y == 0) starMoveToCenter({window->center().x, kReveal});
}

void VRQHelperBtn::recordScreenStatus() {
    cg::Size screen = screenSize();
    screenFlag_ = screen.height > screen.width ? 1 : 0;
    moveWhenTouchToChangesStatus();
}

void VRQHelperBtn::doShowHelperVC() {
    auto storyboard =
        ui::Storyboard::storyboardWithName("TVSuspendVC", ns::Bundle::bundleWithPath(URLEncode::getBundlePath()));
    auto centre = storyboard ? ns::cast<TVSuspendVC>(storyboard->instantiateViewControllerWithIdentifier("TVSuspendVC"))
                             : nullptr;
    auto top = VRQWindowManager::topWindow();
    // With nothing else on screen the top window is the ball's own: no
    // place for the centre.
    if (top == ballWindow()) top = nullptr;
    auto root = top ? ns::cast<ui::ViewController>(top->rootViewController()) : nullptr;
    auto presenter = VRQTopPresenter::presenterAbove(root);
    if (!centre || !presenter) {
        // The ball stays: nothing came on screen to hide it.
        ns::log("user centre: %@", centre ? "no screen to open it from" : "not in this app");
        return;
    }
    centre->setModalPresentationStyle(ui::ModalPresentationStyle::Custom);
    centre->setModalTransitionStyle(ui::ModalTransitionStyle::CrossDissolve);
    centre->setLoginOutBlock(loginOutBlock());
    ns::log("悬浮topwindow = %@", top->description());
    ns::log("悬浮 topwindow rootvc = %@", root->description());
    // The ball goes when the centre comes on screen (the rule, asked as it
    // appears); a presentation the platform refuses leaves it where it is.
    presenter->presentViewController(centre, true);
}

std::function<void()> VRQHelperBtn::loginOutBlock() {
    ns::Weak<VRQHelperBtn> weak = ref<VRQHelperBtn>();
    return [weak] {
        auto ball = weak.lock();
        if (!ball) return;
        // The session ends here: the ball waits for the next login.
        setSignedIn(false);
        if (ball->FailedBlock()) ball->FailedBlock()(ns::str("注销"), ns::str("-9"));
    };
}
