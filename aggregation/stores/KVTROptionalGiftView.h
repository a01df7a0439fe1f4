#pragma once
// The chooser of an optional gift: a pop-up over a dimmed cover on the key
// window with one tile per offered gift, three to a row. A pick closes it
// and hands the gift's record (the very object offered) to chooseBlock; the
// cover takes taps without acting on them.

#include <functional>

#include "aggregation/stores/KVTRGiftModels.h"
#include "platform/foundation/MutableArray.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/View.h"

class KVTRFixBtn;

class KVTROptionalGiftView : public ui::View {
    RT_DECLARE_CLASS(KVTROptionalGiftView)
public:
    using ChooseBlock = std::function<void(const ns::Ref<KVTRFixedGiftModel>& gift)>;

    KVTROptionalGiftView();

    // Held by the key window while shown; kept here to take it away.
    ns::Ref<ui::Button> coverView;
    ChooseBlock chooseBlock;
    ns::Ref<ns::MutableArray> giftArray;

    void show();
    // Takes cover and chooser off the window; no block is called.
    void dissmiss();
    void layoutSubviews() override;

private:
    void ClickBtn(ui::Control& sender);
    std::vector<ns::Ref<KVTRFixBtn>> tiles_;
};
