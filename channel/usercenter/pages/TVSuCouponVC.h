#pragma once
// The voucher page: usable vouchers ("home/getCoupons") or all voucher
// records ("home/getCouponsLog") under a two-button filter bar with an
// orange underline. Built in code; no tab opens it. Its row model and cell
// (nib "TVSuCouponCell") show the game, the value, the minimum payment, the
// validity and a state picture ("TV_suCouponState_end.png" for an ended
// voucher, else "TV_suCouponState_<use>.png").

#include "channel/usercenter/TVSuRow.h"
#include "channel/usercenter/pages/TVSuListSource.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableViewCell.h"
#include "platform/uikit/ViewController.h"

class TVSuCouponModel : public TVSuRow {
    RT_DECLARE_CLASS(TVSuCouponModel)
public:
    Text status() const { return text("status"); }
    Text gamename() const { return text("gamename"); }
    Text av_time() const { return text("av_time"); }
    Text use() const { return text("use"); }
    Text coupon_money() const { return text("coupon_money"); }
    Text pay_money() const { return text("pay_money"); }
    // The state picture's name.
    std::string stateImageName() const;
};

class TVSuCouponCell : public ui::TableViewCell {
    RT_DECLARE_CLASS(TVSuCouponCell)
public:
    static constexpr const char* kIdentifier = "TVSuCouponCell";
    TVSuCouponCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, kIdentifier) {}

    const ns::Ref<TVSuCouponModel>& model() const { return model_; }
    void setModel(const ns::Ref<TVSuCouponModel>& model);

    ns::Weak<ui::Label> nameL, couponL, moneyL, timeL;
    ns::Weak<ui::ImageView> stateImageView;

private:
    ns::Ref<TVSuCouponModel> model_;
};

class TVSuCouponVC : public ui::ViewController, public TVSuListSource {
    RT_DECLARE_CLASS(TVSuCouponVC)
public:
    static constexpr int64_t kFirstFilterTag = 100;
    static constexpr double kBarHeight = 40;
    static constexpr double kTopAllowance = 104;
    static constexpr double kRowHeight = 93;
    static constexpr double kUnderlineSeconds = 0.25;

    void viewDidLoad() override;
    const ns::Ref<ui::View>& midView();
    const ns::Ref<ui::TableView>& tableView();
    ns::Ref<ui::View> indicator() const { return indicator_.lock(); }
    ns::Ref<ui::Button> chooseBtn() const { return chooseBtn_.lock(); }

    // The filter action.
    void btnClick(ui::Button& button);

    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;

private:
    ns::Ref<ui::View> midView_;
    ns::Ref<ui::TableView> tableView_;
    ns::Weak<ui::View> indicator_;   // the bar holds it
    ns::Weak<ui::Button> chooseBtn_;  // the bar holds it
};
