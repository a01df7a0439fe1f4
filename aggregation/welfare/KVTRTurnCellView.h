#pragma once
// One sector of a turntable (80 x 133): the prize's icon and amount, the
// highlight the spin moves from sector to sector (the selected state of
// `selectBtn`), and a tip with the prize's name for a second after a tap.
// Main thread only.

#include <vector>

#include "aggregation/welfare/KVTRWelfareModels.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/View.h"

class KVTRTurnCellView : public ui::View {
    RT_DECLARE_CLASS(KVTRTurnCellView)
public:
    explicit KVTRTurnCellView(const cg::Rect& frame);

    // Covers the prize; selected while the spin's highlight is here.
    ns::Ref<ui::Button> selectBtn;

    const ns::Ref<KVTRTurnTableModel>& model() const { return model_; }
    // Keeps the record, loads its icon and shows "×<amount>".
    void setModel(const ns::Ref<KVTRTurnTableModel>& model);

    const ns::Ref<ui::Label>& num();
    const ns::Ref<ui::ImageView>& icon();
    const std::vector<ns::Ref<ui::Label>>& tipsArray() const { return tips_; }

    // Shows the prize's name above the wheel for a second.
    void tapCellView(ui::Control& sender);
    void removeTips();

private:
    void commonInit();

    ns::Ref<KVTRTurnTableModel> model_;
    ns::Ref<ui::Label> num_;
    ns::Ref<ui::ImageView> icon_;
    std::vector<ns::Ref<ui::Label>> tips_;
};
