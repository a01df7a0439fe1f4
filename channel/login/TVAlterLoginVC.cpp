#include "channel/login/TVAlterLoginVC.h"

#include "channel/NSString+URLEncode.h"
#include "channel/ShareVale.h"
#include "channel/TVReplyFields.h"
#include "channel/VRQMessage.h"
#include "channel/screens/TVBaseNav.h"
#include "channel/screens/TVScreenResources.h"
#include "channel/pay/TVNewPayVC.h"
#include "channel/pay/TVPurchaseHold.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/dispatch/PerformRequest.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Storyboard.h"

RT_DEFINE_CLASS(TVAlterLoginVC, TVBaseVC, "TVAlterLoginVC")

TVAlterLoginVC::~TVAlterLoginVC() { ns::log("loginVC已销毁"); }

namespace {

// The login window up now, from its opening until it begins to close. The
// window owns its controller; this only tells whether there is one.
ns::Weak<TVAlterLoginVC>& windowUp() {
    static ns::Weak<TVAlterLoginVC> shown;
    return shown;
}

[[maybe_unused]] const bool resetHooked = (ui::addSharedStateResetHook([] { windowUp().reset(); }), true);

}  // namespace

bool TVAlterLoginVC::isUp() { return windowUp().lock() != nullptr; }

void TVAlterLoginVC::loadAlterLoginVCResultSuccess(SuccessBlockType success, FailedBlockType failed) {
    // One login window at a time: a second call (a double tap on a slow
    // network) would give the game two logins, or leave a form on screen
    // after the login. The second call is only logged: the game hears
    // nothing of it, and the window up answers the first.
    if (isUp()) {
        ns::log("login: a login window is already up; this call opens none");
        return;
    }
    // The player logs in anew: the ball waits for this login.
    VRQHelperBtn::setSignedIn(false);
    auto board = ui::Storyboard::storyboardWithName("TVUserShow", TVScreenResources::sdkBundle());
    auto controller = ns::cast<TVAlterLoginVC>(board->instantiateViewControllerWithIdentifier("TVAlterLoginVC"));
    controller->SuccessBlock = std::move(success);
    controller->FailedBlock = std::move(failed);

    auto window = ui::Window::make(ui::Screen::mainScreen()->bounds());
    window->setRootViewController(TVBaseNav::make(controller));
    controller->keyWindow_ = window;
    windowUp() = controller;
    window->setHidden(false);
    window->setBackgroundColor(cg::Color::black().withAlpha(0));
    ui::View::animate(kDimSeconds, [window] { window->setBackgroundColor(cg::Color::black().withAlpha(0.5)); });
}

void TVAlterLoginVC::viewDidLoad() {
    TVBaseVC::viewDidLoad();
    view()->setBackgroundColor(cg::Color::clear());
    auto card = loginView.lock();
    if (!card) return;
    card->setDelegate(std::shared_ptr<TVLoginViewDelegate>(ref<TVAlterLoginVC>(), this));
    card->setTransform(cg::AffineTransform::makeTranslation(0, -kDropDistance));
    card->layer()->setCornerRadius(8);
    card->setClipsToBounds(true);
    card->setUsingStyle(0);

    // Headless, the card's form is told as a person would see it: a field's
    // text, or its placeholder while it is empty.
    auto logCard = [&card] {
        auto shown = [](const ns::Weak<ui::TextField>& weak) {
            auto field = weak.lock();
            if (!field) return std::string();
            if (field->text() && !field->text()->utf8().empty()) return field->text()->utf8();
            return field->placeholder() ? field->placeholder()->utf8() : std::string();
        };
        auto login = card->mainLoginBtn.lock();
        auto title = login ? login->titleForState(ui::ControlStateNormal) : nullptr;
        ns::logScreen("login card", TVScreenResources::text("login.title")->utf8() + " | {" + shown(card->loginName) +
                                        "} {" + shown(card->loginPwd) + "} [" +
                                        (title ? title->utf8() : std::string()) + "]");
    };
    auto vale = ShareVale::sharedInstance();
    switch (vale->loginStyle()) {
        case 0:
            card->setUsingStyle(0);
            logCard();
            break;
        case 1: {
            auto name = vale->userName(), password = vale->passWord();
            if (auto field = card->loginName.lock()) field->setText(name);
            if (auto field = card->loginPwd.lock()) field->setText(password);
            card->currentUserName = name;
            card->currenPwd = password;
            card->postLogin();
            break;
        }
        case 2: {
            card->setUsingStyle(0);
            auto name = vale->userName();
            std::string text = name ? name->utf8() : "";
            bool thirdParty = text.find("weixin") != std::string::npos || text.find("qq") != std::string::npos;
            if (auto field = card->loginName.lock()) field->setText(name && !thirdParty ? name : ns::str(""));
            logCard();
            break;
        }
        default: break;
    }
}

void TVAlterLoginVC::viewWillAppear(bool animated) {
    TVBaseVC::viewWillAppear(animated);
    hiddenNavBar(true);
}

void TVAlterLoginVC::viewDidAppear(bool animated) {
    TVBaseVC::viewDidAppear(animated);
    auto card = loginView.lock();
    if (!card) return;
    ui::View::animateWithSpring(0.5, 0, 0.6, 0.8, 0,
                                [card] { card->setTransform(cg::AffineTransform::identity()); });
}

void TVAlterLoginVC::touchesBegan(const ui::TouchSet&, ui::Event*) {
    view()->endEditing(true);
    if (auto card = loginView.lock()) dispatch::cancelPreviousPerformRequests(card.get());
}

void TVAlterLoginVC::tvLoginViewLoginSuccessLogintime(const Text& logintime, const Text& userName, const Text& sign,
                                                      const ns::Ref<LoginResult>& loginData) {
    VRQMessage::showMessage("登录成功");
    // Another account (another sub-account too: it is what the game is
    // told of) ends the session of the one before, as a logout does: its
    // purchases waiting for the payment centre go with it.
    TVPurchaseHold::loggedIn(userName);
    auto rzStatus = loginData ? TVReply::messageText(loginData->rzStatus) : nullptr;
    ShareVale::sharedInstance()->setIsRz(rzStatus);
    if (SuccessBlock) SuccessBlock(logintime, userName, sign, rzStatus);

    VRQHelperBtn::setSignedIn(true);
    auto ball = VRQHelperBtn::shared();
    // Switching account in the user centre ends the session: purchases still
    // waiting for the payment centre go with it.
    ball->setFailedBlock([failed = FailedBlock](const Text& message, const Text& code) {
        TVNewPayVC::dropWaitingPurchases("switch account");
        if (failed) failed(message, code);
    });
    ball->setLoginData(loginData);
    ball->startTimer();
    goBackToPreviousWindow();
}

void TVAlterLoginVC::tvLoginViewLoginFaildeMessage(const Text& message, const Text& code) {
    if (FailedBlock) FailedBlock(message, code);
}

void TVAlterLoginVC::goBackToPreviousWindow() {
    auto window = keyWindow_;
    if (!window) return;
    // Its login is over: the game may open the next window.
    if (windowUp().lock().get() == this) windowUp().reset();
    // Fading out, it is no longer the window the channel's pages and toasts
    // go on: a payment centre opened meanwhile must not leave with it.
    window->setOpaque(false);
    ns::Weak<TVAlterLoginVC> weak = ref<TVAlterLoginVC>();
    ui::View::animate(
        kDimSeconds, [window] { window->setBackgroundColor(cg::Color::clear()); },
        [weak](bool) {
            auto controller = weak.lock();
            if (!controller || !controller->keyWindow_) return;
            controller->keyWindow_->setHidden(true);
            controller->keyWindow_.reset();
        });
}
