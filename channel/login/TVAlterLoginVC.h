#pragma once
// The channel's login window: a window of its own over the game, dimmed
// behind the login card, which drops in from above. At opening it logs in
// by itself when the saved state says the player is logged in. A finished
// login goes to the game, brings out the floating ball with the game's
// failure closure and the reply (its play-time countdown starts), and the
// window goes; a failure goes to the game and the window stays. Scene
// "TVAlterLoginVC" of "TVUserShow". Main thread only.

#include <functional>

#include "channel/login/TVLoginView.h"
#include "channel/screens/TVBaseVC.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Window.h"

class TVAlterLoginVC : public TVBaseVC, public TVLoginViewDelegate {
    RT_DECLARE_CLASS(TVAlterLoginVC)
public:
    using Text = ns::Ref<ns::String>;
    // (logintime, userName, sign, rzStatus)
    using SuccessBlockType = std::function<void(const Text&, const Text&, const Text&, const Text&)>;
    // (message, code)
    using FailedBlockType = std::function<void(const Text&, const Text&)>;

    static constexpr double kDimSeconds = 0.5;
    static constexpr double kDropDistance = 600;

    ~TVAlterLoginVC() override;

    // Opens a login window; the controller lives until it closes. While one
    // is up (until it begins to close), a call opens nothing and is logged:
    // the game hears of the login in the window up, once.
    static void loadAlterLoginVCResultSuccess(SuccessBlockType success, FailedBlockType failed);
    static bool isUp();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void touchesBegan(const ui::TouchSet& touches, ui::Event* event) override;

    void tvLoginViewLoginSuccessLogintime(const Text& logintime, const Text& userName, const Text& sign,
                                          const ns::Ref<LoginResult>& loginData) override;
    void tvLoginViewLoginFaildeMessage(const Text& message, const Text& code) override;
    void goBackToPreviousWindow();

    const ns::Ref<ui::Window>& keyWindow() const { return keyWindow_; }
    // The card: the scene's view holds it.
    ns::Weak<TVLoginView> loginView;
    SuccessBlockType SuccessBlock;
    FailedBlockType FailedBlock;

private:
    // Owning the window keeps window, navigation and controller alive until
    // the window closes.
    ns::Ref<ui::Window> keyWindow_;
};
