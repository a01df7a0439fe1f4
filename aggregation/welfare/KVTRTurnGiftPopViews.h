#pragma once
// What a turntable draw gave, over a dimmed and blurred window: one prize
// with its picture and text, or a row (landscape) or two rows (portrait) of
// prizes. Both buttons only close the pop-up: the draw already granted the
// prizes. Main thread only.

#include <functional>

#include "platform/foundation/Array.h"
#include "platform/foundation/String.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/View.h"

// What the three pop-ups share: the cover, showing and closing.
class KVTRTurnGiftPopBase : public ui::View {
    RT_DECLARE_CLASS(KVTRTurnGiftPopBase)
public:
    // Run first when the pop-up closes, if set.
    std::function<void()> closeBlock;
    ns::Ref<ui::Button> coverView;
    // The close button and the claim button; both close the pop-up.
    ns::Ref<ui::Button> closeBtn;
    ns::Ref<ui::Button> getBtn;

    // Cover and pop-up on the key window, the pop-up at its centre.
    void show();
    // Runs closeBlock, then on a later turn takes cover and pop-up away.
    void closeClick();

protected:
    explicit KVTRTurnGiftPopBase(cg::Size size);
    // Background picture, close button at (background width - 4, 18) and a
    // claim button of `claimWidth` centred near the bottom.
    void buildFrame(const char* background, cg::Size backgroundSize, double claimWidth, double claimX);

    cg::Size size_;
};

// One prize.
class KVTRTurnOneGiftPopView : public KVTRTurnGiftPopBase {
    RT_DECLARE_CLASS(KVTRTurnOneGiftPopView)
public:
    KVTRTurnOneGiftPopView();

    const ns::Ref<ns::String>& name() const { return name_; }
    // Shows the text under the picture, centred, wrapping at 200 points.
    void setName(const ns::Ref<ns::String>& name);
    const ns::Ref<ns::String>& iconUrl() const { return iconUrl_; }
    // Loads the prize picture in place of the placeholder.
    void setIconUrl(const ns::Ref<ns::String>& iconUrl);
    void giftgetBtnClick() { closeClick(); }

    const ns::Ref<ui::ImageView>& iconImg();
    const ns::Ref<ui::Label>& nameLabel();

private:
    ns::Ref<ns::String> name_;
    ns::Ref<ns::String> iconUrl_;
    ns::Ref<ui::ImageView> iconImg_;
    ns::Ref<ui::Label> nameLabel_;
};

// Several prizes (landscape): one row.
class KVTRTurnFiveGiftPopView : public KVTRTurnGiftPopBase {
    RT_DECLARE_CLASS(KVTRTurnFiveGiftPopView)
public:
    KVTRTurnFiveGiftPopView();

    const ns::Ref<ns::Array>& prop_listArray() const { return prop_list_; }
    // Keeps the prize dictionaries and makes one cell per prize; anything
    // but an array makes none.
    void setProp_listArray(const ns::Ref<ns::Array>& list);

protected:
    KVTRTurnFiveGiftPopView(cg::Size size, const char* background, cg::Size backgroundSize, double claimX);
    virtual cg::Rect cellFrame(size_t index) const;

private:
    ns::Ref<ns::Array> prop_list_;
};

// Several prizes (portrait): two above, the rest below.
class KVTRVETurnFiveGiftPopView : public KVTRTurnFiveGiftPopView {
    RT_DECLARE_CLASS(KVTRVETurnFiveGiftPopView)
public:
    KVTRVETurnFiveGiftPopView();

protected:
    cg::Rect cellFrame(size_t index) const override;
};
