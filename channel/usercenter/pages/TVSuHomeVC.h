#pragma once
// The home tab: the player's profile (nickname, avatar, platform coins,
// vouchers), the real-name button, the game's activity line, the rebate
// text that folds at 47 pt, and the three newest messages. It opens the
// user page, the activity page and message details as child web pages, the
// full message list, the companion app at three places, and runs the
// switch-account chain the container gives it.

#include <functional>
#include <vector>

#include "channel/screens/VRQRealNameView.h"
#include "channel/usercenter/TVSuspendVC.h"
#include "channel/usercenter/pages/TVSuHomeMsgModel.h"
#include "channel/TVFormManager.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/LayoutConstraint.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/ViewController.h"

class TVSuHomeVC : public ui::ViewController,
                   public TVSuSwitchAccountPage,
                   public ui::TableViewDataSource,
                   public ui::TableViewDelegate,
                   public VRQRealNameDelegate {
    RT_DECLARE_CLASS(TVSuHomeVC)
public:
    static constexpr double kFoldedHeight = 47;
    static constexpr double kMiddleHeight = 160;
    static constexpr double kContentHeight = 597;
    static constexpr double kRebateWidth = 270;

    ~TVSuHomeVC() override;
    void viewDidLoad() override;

    void setLoginOutBlock(std::function<void()> block) override { loginOutBlock_ = std::move(block); }
    // The real-name card stands on the game's window, not in the centre: it
    // goes with the centre.
    void centreLeft() override;
    const std::function<void()>& loginOutBlock() const { return loginOutBlock_; }

    void loadData();
    void initUIWithData(const ns::Id& data);
    void loadMsgData();
    const ns::Ref<ui::TableView>& tableView();
    const std::vector<ns::Ref<TVSuHomeMsgModel>>& msgData() const { return msgData_; }
    const ns::Id& data() const { return data_; }
    float realHeight() const { return realHeight_; }
    // The page's own form transport, made on first use; its session is
    // invalidated when the page goes.
    const ns::Ref<SDPHTTPSessionManager>& manager() { return manager_.get(); }

    // Actions.
    void goToUserVC();
    void goToActivityVC();
    void doMore();
    void goToGoldStore();
    void goToFanli();
    void getGoldCoin();
    void doRzBtnClick();
    void checkFanli(ui::Button& button);
    void changeUser();
    void RzUpdated();
    void loadMsgVC();
    ns::Ref<ui::View> coverView() const { return coverView_; }

    int64_t numberOfRowsInSection(ui::TableView& view, int64_t section) override;
    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    void didSelectRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    void VRQRealNameViewResponse(VRQRealNameView& view, const ns::Ref<LoginResult>& response) override;

    // Outlets: the scene's view holds them.
    ns::Weak<ui::ScrollView> scrollView;
    ns::Weak<ui::View> bottomView;
    ns::Weak<ui::Label> nameL, ptbL, djqL, activityL, fanliL;
    ns::Weak<ui::Button> userBtn, rzBtn, checkBtn, moreBtn;
    ns::Weak<ui::LayoutConstraint> fanH, midViewH;

private:
    void setRebate(double height, double middle, double content);

    ns::Ref<ui::TableView> tableView_;
    TVFormManager::Owned manager_;
    ns::Id data_;
    std::vector<ns::Ref<TVSuHomeMsgModel>> msgData_;
    float realHeight_ = 0;
    ns::Ref<ui::View> coverView_;
    ns::Ref<VRQRealNameView> rzView_;
    std::function<void()> loginOutBlock_;
};
