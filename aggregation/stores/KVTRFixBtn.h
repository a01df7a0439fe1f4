#pragma once
// One gift item as a small tile: its picture, count and name; or, for a
// record without a name, an empty optional slot showing "fixbtnbg". The
// caller sets the frame before the record, since the record places the
// subviews from it, and adds the action it wants.

#include "aggregation/stores/KVTRGiftModels.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"

class KVTRFixBtn : public ui::Button {
    RT_DECLARE_CLASS(KVTRFixBtn)
public:
    KVTRFixBtn() : KVTRFixBtn(cg::Rect{}) {}
    explicit KVTRFixBtn(const cg::Rect& frame);

    const ns::Ref<ui::ImageView>& icon() const { return icon_; }
    const ns::Ref<ui::Label>& name() const { return name_; }
    const ns::Ref<ui::Label>& num() const { return num_; }
    const ns::Ref<KVTRFixedGiftModel>& model() const { return model_; }
    void setModel(const ns::Ref<KVTRFixedGiftModel>& model);

private:
    ns::Ref<ui::ImageView> icon_;
    ns::Ref<ui::Label> name_;
    ns::Ref<ui::Label> num_;
    ns::Ref<KVTRFixedGiftModel> model_;
};
