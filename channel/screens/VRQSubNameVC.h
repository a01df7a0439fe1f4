#pragma once
// The sub-account choice after login: the logged-in account's sub-accounts
// from the server, an add dialog (1 to 8 characters; the add button hides
// once the list holds ten), log-out back to the login form, and two links
// into the operator's companion app (its web page when the app is not
// installed). The delegate hears of a choice or a log-out only after the
// screen has been dismissed. Scene "VRQSubNameVC" of the storyboard
// "TVUserShow". Main thread only; request callbacks hold the screen weakly.

#include <memory>
#include <string_view>
#include <vector>

#include "channel/VRQSubNameModel.h"
#include "channel/screens/TVBaseVC.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/LayoutConstraint.h"
#include "platform/uikit/TableView.h"
#include "ui/sd_KXProgressHUD.h"

class VRQSubNameVCDelegate {
public:
    virtual ~VRQSubNameVCDelegate() = default;
    virtual void didSelectedVRQSubNameVCTableViewWithResponse(const ns::Ref<VRQSubNameModel>& model) = 0;
    virtual void VRQSubNameVCLoginOut() = 0;
};

class VRQSubNameVC : public TVBaseVC, public ui::TableViewDataSource, public ui::TableViewDelegate {
    RT_DECLARE_CLASS(VRQSubNameVC)
public:
    static constexpr size_t kMaxSubAccounts = 10;
    static constexpr size_t kMaxNicknameLength = 8;

    // Builds the screen and asks for the list.
    void viewDidLoad() override;
    bool shouldAutorotate() const override { return false; }

    int64_t numberOfRowsInSection(ui::TableView& view, int64_t section) override;
    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    void didSelectRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;

    // The add dialog.
    void addSubName();
    // The add request, under the HUD.
    void addSubNameWithNickName(const ns::Ref<ns::String>& nickname);
    void loginOut();
    void goToBoxActivity();
    void goToFanli();

    std::shared_ptr<VRQSubNameVCDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<VRQSubNameVCDelegate>& delegate) { delegate_ = delegate; }
    const std::vector<ns::Ref<VRQSubNameModel>>& dataSource() const { return dataSource_; }
    const ns::Ref<sd_KXProgressHUD>& hud() const { return hud_; }

    // Outlets: the scene's view holds them.
    ns::Weak<ui::Label> nameL;
    ns::Weak<ui::TableView> tableView;
    ns::Weak<ui::Button> addBtn;
    ns::Weak<ui::View> viewTop, viewMid;
    ns::Weak<ui::LayoutConstraint> midLeft;

private:
    // The rows as the server gave them; the add button hides at ten.
    void showList(std::vector<ns::Ref<VRQSubNameModel>> list);
    void addReplied(const ns::Id& reply);
    void hideHUD();
    void openBoxPage(std::string_view key);

    std::weak_ptr<VRQSubNameVCDelegate> delegate_;
    std::vector<ns::Ref<VRQSubNameModel>> dataSource_;
    ns::Ref<sd_KXProgressHUD> hud_;
};
