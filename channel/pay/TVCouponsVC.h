#pragma once
// The voucher picker, presented over the payment centre: the vouchers the
// server offers for the purchase's full amount, one row each; choosing one
// hands it to couponsBlock and closes the picker. A link opens the
// companion app (or its page). Scene "TVCouponsVC" of the storyboard
// "TVNewPayVC". Main thread only; the list reply holds the picker weakly.

#include <functional>
#include <vector>

#include "channel/NetWorkManager.h"
#include "channel/pay/TVCouponsModel.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/LayoutConstraint.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/ViewController.h"

class TVCouponsVC : public ui::ViewController, public ui::TableViewDataSource, public ui::TableViewDelegate {
    RT_DECLARE_CLASS(TVCouponsVC)
public:
    ~TVCouponsVC() override;

    void viewDidLoad() override;
    bool shouldAutorotate() const override { return false; }

    // Asks for the vouchers and appends them to those already listed.
    void loadData();
    void doCancel();
    void goToGameBox();

    int64_t numberOfRowsInSection(ui::TableView& view, int64_t section) override;
    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;

    const ns::Ref<ui::TableView>& tableView();
    const std::vector<ns::Ref<TVCouponsModel>>& dataSource() const { return dataSource_; }

    ns::Ref<ns::String> money;
    std::function<void(const ns::Ref<TVCouponsModel>& model)> couponsBlock;
    // Outlets: the scene's view holds them.
    ns::Weak<ui::View> couponsView;
    ns::Weak<ui::LayoutConstraint> left;

private:
    void showList(const ns::Id& reply);

    std::vector<ns::Ref<TVCouponsModel>> dataSource_;
    ns::Ref<ui::TableView> tableView_;
};
