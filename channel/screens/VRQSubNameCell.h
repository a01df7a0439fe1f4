#pragma once
// One row of the sub-account list: the sub-account's nickname. Nib
// "VRQSubNameCell" of the SDK bundle, reuse identifier "VRQSubNameCell".

#include "channel/VRQSubNameModel.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableViewCell.h"

class VRQSubNameCell : public ui::TableViewCell {
    RT_DECLARE_CLASS(VRQSubNameCell)
public:
    static constexpr const char* kIdentifier = "VRQSubNameCell";

    VRQSubNameCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, kIdentifier) {}

    const ns::Ref<VRQSubNameModel>& model() const { return model_; }
    // Shows the model's nickname.
    void setModel(const ns::Ref<VRQSubNameModel>& model);

    // Outlet: the content view holds it.
    ns::Weak<ui::Label> nickNameL;

private:
    ns::Ref<VRQSubNameModel> model_;
};
