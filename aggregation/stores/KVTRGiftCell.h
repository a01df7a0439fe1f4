#pragma once
// A gift row of the time store: one bundle with its items, the chooser of
// its optional gifts, and the signed charge order of its buy button. An
// accepted order is posted as "KVTRGIFTPAYNotification" with a
// KVTRGiftPayInfo; the hall closes on it and the facade pays it.
//
// KVTRGiftCell is the landscape row, KVTRVerticalGiftCell the portrait one:
// one behaviour, their own frames (RowLayout).

#include <string>

#include "aggregation/stores/KVTRGiftModels.h"
#include "platform/foundation/MutableArray.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableViewCell.h"

class KVTRFixBtn;
class KVTROptionalGiftView;

class KVTRGiftCell : public ui::TableViewCell {
    RT_DECLARE_CLASS(KVTRGiftCell)
public:
    KVTRGiftCell() : KVTRGiftCell(ui::TableViewCellStyle::Default, "") {}
    KVTRGiftCell(ui::TableViewCellStyle style, std::string reuseIdentifier);

    const ns::Ref<KVTRTimeStoreModel>& model() const { return model_; }
    void setModel(const ns::Ref<KVTRTimeStoreModel>& model);
    // The KVTRStoreUserInfo text; set before the record.
    ns::Ref<ns::String> userInfo;

    ns::Ref<ui::Label> nameLabel;
    ns::Ref<ui::ImageView> fixImage;
    ns::Ref<ui::Button> buyBtn;
    ns::Ref<ui::View> fixView;
    bool showPlus = false;
    // The chooser last opened from this row.
    ns::Ref<KVTROptionalGiftView> alert;
    // The pool (optional gifts no slot shows), the chosen list (what the
    // slots show, in the order chosen) and the items of an all-fixed bundle.
    const ns::Ref<ns::MutableArray>& giftModelArray();
    const ns::Ref<ns::MutableArray>& chooseModelArray();
    const ns::Ref<ns::MutableArray>& fixDataArray();
    // The item tiles of the shown bundle, left to right.
    const std::vector<ns::Ref<KVTRFixBtn>>& itemButtons() const { return items_; }

    // Opens the chooser for an optional slot.
    void clickFixBtn(ui::Control& slot);
    // Checks the choice, builds remark and sign, posts the charge order.
    void toCharge();
    // The remark of the shown bundle; nil (after the error HUD) when the
    // optional slots are not all filled.
    ns::Ref<ns::String> chargeRemark();

protected:
    struct RowLayout {
        double nameFontSize;
        cg::Rect nameFrame;  // y for bundles other than all-fixed
        double allFixedNameY;
        cg::Rect badgeFrame;
        double arrowX;
        cg::Rect buyFrame;
        cg::Rect stripFrame;
        double itemGap;       // added to the strip height for the pitch
        double fixedOffset;   // x of item 0 of fixed items
        double slotOffset;    // x of item 0 of optional slots
        double plusSize;
        double plusGap;       // after the last fixed item
        double plusY;
    };
    KVTRGiftCell(ui::TableViewCellStyle style, std::string reuseIdentifier, bool portrait);

private:
    RowLayout rowLayout(bool portrait) const;
    void setupUI();
    void clearItems();
    ns::Ref<KVTRFixBtn> addItem(size_t index, bool slot, const ns::Ref<KVTRFixedGiftModel>& gift);
    void chose(const ns::Weak<KVTRFixBtn>& slot, const ns::Ref<KVTRFixedGiftModel>& gift);

    RowLayout layout_;
    ns::Ref<KVTRTimeStoreModel> model_;
    ns::Ref<ns::MutableArray> pool_;
    ns::Ref<ns::MutableArray> chosen_;
    ns::Ref<ns::MutableArray> fixData_;
    std::vector<ns::Ref<KVTRFixBtn>> items_;
    ns::Ref<ui::ImageView> plus_;
};

class KVTRVerticalGiftCell : public KVTRGiftCell {
    RT_DECLARE_CLASS(KVTRVerticalGiftCell)
public:
    KVTRVerticalGiftCell() : KVTRVerticalGiftCell(ui::TableViewCellStyle::Default, "") {}
    KVTRVerticalGiftCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
        : KVTRGiftCell(style, std::move(reuseIdentifier), true) {}
};
