#pragma once
// The user centre: a 300-point panel over the game with a tab bar of five
// buttons (tags 10 to 14: home, server openings, gift packs, trade,
// service) and a page area. Its five pages are child controllers made from
// the storyboard "TVSuspendVC"; one shows at a time, the home page stays
// below. Red dots mark the home and welfare tabs when "Home/number" reports
// more posts, gift packs or vouchers than the player has acknowledged (the
// counters stored when the tab is chosen). Four constraints follow the
// orientation and notched screens. The switch-account action of the home
// page runs the ball's loginOutBlock and closes the centre.
//
// Scene "TVSuspendVC" of the storyboard "TVSuspendVC". Main thread only;
// the "Home/number" reply holds the container weakly.

#include <functional>

#include "channel/TVFormManager.h"
#include "net/SDPHTTPSessionManager.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/LayoutConstraint.h"
#include "platform/uikit/ViewController.h"

// What the home page offers the container: the switch-account chain, and
// taking down what it put over the game when the centre leaves.
class TVSuSwitchAccountPage {
public:
    virtual ~TVSuSwitchAccountPage() = default;
    virtual void setLoginOutBlock(std::function<void()> block) = 0;
    virtual void centreLeft() = 0;
};

class TVSuspendVC : public ui::ViewController {
    RT_DECLARE_CLASS(TVSuspendVC)
public:
    static constexpr int64_t kFirstTab = 10;
    static constexpr int64_t kTabCount = 5;
    static constexpr double kPanelWidth = 300;

    // A centre taken down while a screen of its own covered it hears
    // nothing of its leaving: the ball asks its rule again as it goes.
    ~TVSuspendVC() override;
    void viewDidLoad() override;
    // On screen now: the ball's rule hides the ball.
    void viewWillAppear(bool animated) override;
    bool shouldAutorotate() const override { return false; }
    void viewWillTransitionToSize(cg::Size size) override;
    // However the centre is dismissed (its back path, or with the screen it
    // was presented over), it leaves: the ball's rule is asked again (the
    // ball shows unless the player has switched account or logged out) and
    // the home page's real-name card goes. A screen the centre presents
    // over itself is no leaving.
    void viewDidDisappear(bool animated) override;

    void addChildVcs();
    void btnClick(ui::Button& button);
    void showRedCount();
    void recordScreenStatus();
    void setScreenFlag(int flag);
    void goBackGameVC();
    void hiddenHelperVC();

    const std::function<void()>& loginOutBlock() const { return loginOutBlock_; }
    void setLoginOutBlock(std::function<void()> block);

    bool isX() const { return isX_; }
    int screenFlag() const { return screenFlag_; }
    int64_t suHomeCount() const { return suHomeCount_; }
    int64_t suGiftCount() const { return suGiftCount_; }
    int64_t suCouponCount() const { return suCouponCount_; }
    ns::Ref<ui::Button> chooseBtn() const { return chooseBtn_; }
    ns::Ref<ui::View> addView() const { return addView_; }
    // Made on first use, as created (JSON replies only); its session is
    // invalidated when the container goes.
    const ns::Ref<SDPHTTPSessionManager>& manager();

    // Outlets: the scene's view holds them.
    ns::Weak<ui::LayoutConstraint> top, width, left, bottomH;
    // The page area's foot above the panel's, kept at -bottomH.
    ns::Weak<ui::LayoutConstraint> areaBottom;
    ns::Weak<ui::View> tempView, bottomView;
    ns::Weak<ui::Button> homeBtn;
    ns::Weak<ui::ImageView> homeRed, welfareRed;

private:
    void countsArrived(const ns::Id& reply);

    bool isX_ = false;
    int screenFlag_ = 0;
    int64_t suHomeCount_ = 0, suGiftCount_ = 0, suCouponCount_ = 0;
    ns::Ref<ui::Button> chooseBtn_;
    ns::Ref<ui::View> addView_;
    TVFormManager::Owned manager_{[] { return SDPHTTPSessionManager::manager(); }};
    std::function<void()> loginOutBlock_;
};
