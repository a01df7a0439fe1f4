#pragma once
// The login card the channel's login window shows over the game. One view,
// five modes: 0 the login form, 1 account registration, 2 phone
// registration, 3 logging in, 4 registering. It checks the form, sends the
// account requests, keeps the saved login state up to date and, after a
// login, runs the hand-off: 1.5 s of welcome, the real-name prompt when the
// server asks for it, the notice, the sub-account choice; the chosen
// sub-account is what its host hears of. Failures go to the host too.
//
// Built in code as the login scene of "TVUserShow" holds it (TVLoginScene.cpp):
// the outlets are subviews the card owns. Main thread only; request
// callbacks keep the card alive until they have run.

#include <memory>
#include <utility>

#include "channel/TVAccountResults.h"
#include "channel/screens/AccountTableView.h"
#include "channel/screens/JKCountDownButton.h"
#include "channel/screens/TVProgressDP.h"
#include "channel/screens/VRQRealNameView.h"
#include "channel/screens/VRQSubNameVC.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/LayoutConstraint.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/View.h"
#include "platform/uikit/ViewController.h"
#include "ui/hud/sd_KXProgressHUD.h"

class TVLoginViewDelegate {
public:
    virtual ~TVLoginViewDelegate() = default;
    virtual void tvLoginViewLoginSuccessLogintime(const ns::Ref<ns::String>& logintime,
                                                  const ns::Ref<ns::String>& userName, const ns::Ref<ns::String>& sign,
                                                  const ns::Ref<LoginResult>& loginData) = 0;
    virtual void tvLoginViewLoginFaildeMessage(const ns::Ref<ns::String>& message, const ns::Ref<ns::String>& code) = 0;
};

// One login the card sent. Its reply counts once, and only while the card
// still waits for it: the change button, or a newer login, leaves it behind,
// and then its reply is dropped (not saved, not handed off, not reported).
class TVLoginAttempt {
public:
    // True once, for a reply the card still waits for.
    bool claim() { return !std::exchange(over_, true); }
    void abandon() { over_ = true; }

private:
    bool over_ = false;
};

class TVLoginView : public ui::View,
                    public ui::TextFieldDelegate,
                    public ui::TableViewDelegate,
                    public VRQRealNameDelegate,
                    public VRQSubNameVCDelegate {
    RT_DECLARE_CLASS(TVLoginView)
public:
    using Text = ns::Ref<ns::String>;

    static constexpr double kCardWidth = 300;
    static constexpr double kFormHeight = 310;
    // The progress view of modes 3 and 4 fills its container, which sits
    // centred on the card, so the ring shows in the card's middle.
    static constexpr double kProgressWidth = 144;
    static constexpr double kProgressHeight = 85;
    static constexpr double kWelcomeSeconds = 1.5;
    static constexpr double kLoginAfterRegisterSeconds = 1.0;
    static constexpr int kSMSSeconds = 30;
    static constexpr int64_t kRealNameTag = 1000;

    TVLoginView() = default;
    // The card with its fields and buttons, in mode 0.
    static ns::Ref<TVLoginView> make();

    int UsingStyle() const { return usingStyle_; }
    // Stores the mode and lays the card out for it; a running SMS
    // count-down stops first.
    void setUsingStyle(int mode);
    // Logs in with currentUserName and currenPwd; a login still in flight
    // is left behind.
    void postLogin();
    // The form check of the current mode; a failing test shows its toast.
    bool check();
    // The first view controller above the card.
    ns::Ref<ui::ViewController> viewController() const;

    // ---- Actions ----
    void gotoLoginAndQuickRegister();
    void sendCode();
    void changeBtn();
    void regist();
    void backLogin();
    void accountRegister();
    void phoneRegister();
    void btnUpOrDown();
    void btnShowOrHidden();
    void btnSelectedOrUnselected();

    // ---- The hand-off after a login (TVLoginView+HandOff.cpp) ----
    void initGameView(const ns::Ref<LoginResult>& reply);
    void goNoticeViewWithResponse(const ns::Ref<LoginResult>& reply);
    void initSubNameVC();
    void loginFailedMessage(const Text& message, const Text& code);
    void setUpAccountsSelectedUI();

    void VRQRealNameViewResponse(VRQRealNameView& view, const ns::Ref<LoginResult>& response) override;
    void didSelectedVRQSubNameVCTableViewWithResponse(const ns::Ref<VRQSubNameModel>& model) override;
    void VRQSubNameVCLoginOut() override;

    void touchesBegan(const ui::TouchSet& touches, ui::Event* event) override;
    bool textFieldShouldReturn(ui::TextField& field) override;
    void didSelectRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    void layoutSubviews() override;

    std::shared_ptr<TVLoginViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TVLoginViewDelegate>& delegate) { delegate_ = delegate; }
    const ns::Ref<LoginResult>& loginData() const { return loginData_; }
    const ns::Ref<sd_KXProgressHUD>& hud() const { return hud_; }

    Text currentUserName, currenPwd;

    // Outlets: the card holds them.
    ns::Weak<TVProgressDP> dp;
    ns::Weak<AccountTableView> tableView;
    ns::Weak<ui::TextField> loginName, loginPwd, registerName, registerpwd, signCode;
    ns::Weak<ui::Label> state, tishiTitle;
    ns::Weak<ui::Button> accuntChange, showOrHiddenBtn, selectBtn, protocalbtn, mainLoginBtn, mainRegisterBtn,
        changeButton;
    // The links to the agreement and the forgotten-password page push their
    // pages on the login window's navigation.
    ns::Weak<ui::Button> forgetPwdBtn;
    ns::Weak<JKCountDownButton> sendCodeBtn;
    ns::Weak<ui::ImageView> registerNameIconView;
    ns::Weak<ui::View> progressView, LoginNameView, LoginPwdView, registerNameView, registerPwdView, iphoneCodeView;
    ns::Weak<ui::View> loginSection, registerSection, welcomeSection, changeSection, accountSection;
    ns::Weak<ui::View> distaceView, accountTipView, phoneTipView;
    ns::Weak<ui::Button> backLoginBtn;
    ns::Weak<ui::LayoutConstraint> loginViewH, registerH, signCodeH, distace, accountViewH, iphoneViewH, progressH,
        changeBtnH, welcomeTitleH;

private:
    friend struct TVLoginScene;
    ns::Ref<TVLoginView> strong() { return ref<TVLoginView>(); }
    void toast(const Text& message);
    void toast(const char* message);
    void registerAccount();
    void dismissProgress();
    void startProgress(const char* title);
    // Attaches the mode's control actions (once each).
    void attach(const ns::Weak<ui::Button>& button, const char* selector, void (TVLoginView::*action)());

    // Leaves the login in flight, if any, behind.
    void abandonLogin();

    int usingStyle_ = 0;
    // The login the card waits for, until its reply or until it is left.
    std::shared_ptr<TVLoginAttempt> attempt_;
    std::weak_ptr<TVLoginViewDelegate> delegate_;
    ns::Ref<LoginResult> loginData_;
    ns::Ref<sd_KXProgressHUD> hud_;
};
