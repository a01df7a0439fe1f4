#pragma once
// A row of the voucher picker: name, amount off, minimum order, validity,
// whether it is tied to this game, and a choose button enabled only for a
// voucher usable now. Nib "TVCouponsCell" of the SDK bundle.

#include <functional>

#include "channel/pay/TVCouponsModel.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableViewCell.h"

class TVCouponsCell : public ui::TableViewCell {
    RT_DECLARE_CLASS(TVCouponsCell)
public:
    static constexpr const char* kIdentifier = "TVCouponsCell";

    const ns::Ref<TVCouponsModel>& model() const { return model_; }
    void setModel(const ns::Ref<TVCouponsModel>& model);
    // The button's action: the block hears the row's voucher.
    void btnClick();

    std::function<void(const ns::Ref<TVCouponsModel>& model)> couponsBlock;
    // Outlets: the row holds them.
    ns::Weak<ui::Label> nameL, couponsL, moneyL, timeL, showL;
    ns::Weak<ui::Button> btn;
    ns::Weak<ui::View> bgView;

private:
    ns::Ref<TVCouponsModel> model_;
};
