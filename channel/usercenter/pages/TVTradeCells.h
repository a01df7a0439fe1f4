#pragma once
// The trade page's rows: the listing model, the listing cell (nib
// "TVTradeCell": picture, platform marks, time, price, game, server, title)
// and the head cell (nib "TVSuTradeHeadCell") whose button leads to
// sub-account recycling in the companion app.

#include "channel/usercenter/TVSuRow.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/LayoutConstraint.h"
#include "platform/uikit/TableViewCell.h"

class TVSuTradeModel : public TVSuRow {
    RT_DECLARE_CLASS(TVSuTradeModel)
public:
    Text prices() const { return text("prices"); }
    Text server() const { return text("server"); }
    Text time() const { return text("time"); }
    // "0" Android, "1" iOS, "2" both.
    Text devicetype() const { return text("devicetype"); }
    Text gamename() const { return text("gamename"); }
    Text title() const { return text("title"); }
    Text pic1() const { return text("pic1"); }
};

class TVTradeCell : public ui::TableViewCell {
    RT_DECLARE_CLASS(TVTradeCell)
public:
    static constexpr const char* kIdentifier = "TVTradeCell";
    TVTradeCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, kIdentifier) {}

    const ns::Ref<TVSuTradeModel>& model() const { return model_; }
    // A model without a picture or with another platform code leaves the
    // previous row's picture and marks as they were.
    void setModel(const ns::Ref<TVSuTradeModel>& model);
    // The iOS mark takes the Android mark's place (10) when it stands alone.
    void layoutSubviews() override;

    ns::Weak<ui::ImageView> gameIcon, anIcon, iosIcon;
    ns::Weak<ui::Label> timeL, moneyL, nameL, serverL, titleL;
    ns::Weak<ui::LayoutConstraint> iosIconLeft;

private:
    ns::Ref<TVSuTradeModel> model_;
};

class TVSuTradeHeadCell : public ui::TableViewCell {
    RT_DECLARE_CLASS(TVSuTradeHeadCell)
public:
    static constexpr const char* kIdentifier = "TVSuTradeHeadCell";
    TVSuTradeHeadCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, kIdentifier) {}
    // The recycling entry.
    void btnClick();
};
