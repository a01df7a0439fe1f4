#pragma once
// The floating ball: a 60 x 60 button in a window of its own above the game
// and every alert. It can be dragged anywhere; let go near an edge it docks
// there half tucked out of sight. A tap on a tucked ball pulls it 50 pt back
// into view, a tap on a ball in view opens the user centre. It carries the
// last login reply and the game's login-failure closure, and runs the
// play-time countdown of players under the daily limit.
//
// A process-wide singleton. Coordinates are screen points; W and H are the
// main screen's size when used. Main thread only, except the countdown's
// handler (a global queue).

#include <functional>
#include <memory>
#include <string>

#include "channel/TVAccountResults.h"
#include "platform/dispatch/TimerSource.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"

class VRQHelperBtn : public ui::Button {
    RT_DECLARE_CLASS(VRQHelperBtn)
public:
    using Text = ns::Ref<ns::String>;
    // (message, code): the game's login failure as the login flow wraps it.
    using FailedBlockType = std::function<void(const Text& message, const Text& code)>;

    enum Direction { Left = 0, Top = 1, Right = 2, Bottom = 3, None = 4 };
    static constexpr double kSide = 60;
    // How far a tucked ball comes back into view, and the docking margin.
    static constexpr double kReveal = 50;
    // A finger must move this far from the centre before a drag begins.
    static constexpr double kDragSlop = 30;
    // Points per second the ball follows the finger.
    static constexpr double kFollowSpeed = 600;
    static constexpr double kDockSeconds = 0.1;

    // Framed (W - 30, 100, 60, 60): docked on the right edge. Use shared().
    VRQHelperBtn();
    ~VRQHelperBtn() override;
    static ns::Ref<VRQHelperBtn> shared();

    // True once any window is registered with the window manager.
    static bool isCreate();

    // ---- When the ball shows ----
    // One rule, and it alone shows or hides the ball's window: the ball
    // shows only to a logged-in player, and never while a user centre or the
    // payment centre is on screen (a centre on its way out no longer
    // counts). The paths tell it their facts (the user centre, as it
    // appears and leaves, asks it again); none shows or hides the window on
    // its own. The facts live apart from the ball, so telling them makes no
    // ball.
    // A login made, or ended by a logout, a switch of account or a new login.
    // Signed in, the ball gets its window if it has none yet.
    static void setSignedIn(bool signedIn);
    static bool isSignedIn();
    // From the payment centre's opening until it has begun to leave.
    static void setPaymentCentreOnScreen(bool onScreen);
    static bool isPaymentCentreOnScreen();
    // A user centre presented and not on its way out, over any window.
    static bool isUserCentreOnScreen();
    // What the rule says now.
    static bool shows();

    const FailedBlockType& FailedBlock() const { return failedBlock_; }
    void setFailedBlock(FailedBlockType block) { failedBlock_ = std::move(block); }
    const ns::Ref<LoginResult>& loginData() const { return loginData_; }
    void setLoginData(const ns::Ref<LoginResult>& data) { loginData_ = data; }

    // ---- Play-time countdown (VRQHelperBtn+Timer.cpp) ----
    // For a reply under the limit ("frz" true, "nrz" 2): counts down to
    // "lmit", reporting play time every 15 minutes and at the end, then
    // covers the game. A countdown still running is cancelled first,
    // whatever the new reply says.
    void startTimer();
    void loadTimerWithTotal(double remainingSeconds);
    const std::shared_ptr<dispatch::TimerSource>& timer() const { return timer_; }
    void setTimer(std::shared_ptr<dispatch::TimerSource> timer) { timer_ = std::move(timer); }
    static constexpr double kTickSeconds = 10;
    // Ticks between two reports: 15 minutes.
    static constexpr int kReportTicks = 90;

    // ---- Touches and docking ----
    void touchesMoved(const ui::TouchSet& touches, ui::Event* event) override;
    void endDo();
    int checkingDirection() const;
    void startAnimation(int direction);
    void starMoveToCenter(cg::Point center);
    void setStatus(int status);
    void moveWhenTouchToChangesStatus();
    void recordScreenStatus();
    // Opens the user centre over whatever the top window's root presents
    // last; with nothing on screen to present from, the ball stays.
    void doShowHelperVC();
    // What the user centre's switch-account runs: ends the ball's session,
    // then the game's failure closure with "注销" and "-9"; holds the ball
    // weakly.
    std::function<void()> loginOutBlock();

    int status() const { return status_; }
    int btnAnimations() const { return btnAnimations_; }
    int screenFlag() const { return screenFlag_; }
    bool isMoving() const { return isMoving_; }
    int touchCount() const { return touchCount_; }
    // The ball's key in the window registry; never changes.
    const std::string& md5Key();

private:
    // A user centre that appears or leaves asks the rule again.
    friend class TVSuspendVC;
    // Shows or hides the ball's window by the rule.
    static void refresh();
    ns::Ref<ui::Window> ballWindow();
    // Builds the ball's window, hidden, and registers it under md5Key().
    void create();
    // The window itself: only the rule calls these.
    static void show();
    static void hide();

    int status_ = 0;
    int btnAnimations_ = None;
    int screenFlag_ = 0;
    bool isMoving_ = false;
    int touchCount_ = 0;
    std::string md5Key_;
    std::shared_ptr<dispatch::TimerSource> timer_;
    FailedBlockType failedBlock_;
    ns::Ref<LoginResult> loginData_;
};
