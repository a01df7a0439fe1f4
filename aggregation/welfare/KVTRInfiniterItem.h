#pragma once
// One card of the resource hall: an infinite-resource goods record with its
// coins, icon, title and description, and either a buy button with the
// price or up to three claim buttons (coins, welfare draws, super draws).
// A buy places a signed "charge/resorder" and, once accepted, posts
// "KVTRResourcePAYNotification"; a claim marks its button claimed, and a
// claim of draws asks the hall to reload that turntable. The portrait twin
// differs in sizes and its background only. Main thread only.

#include <functional>
#include <string>

#include "aggregation/welfare/KVTRWelfareModels.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/View.h"

class KVTRInfiniterItem : public ui::View {
    RT_DECLARE_CLASS(KVTRInfiniterItem)
public:
    // Sizes and places of one orientation.
    struct Layout {
        cg::Size size;
        const char* background;
        cg::Rect coin;
        cg::Rect icon;
        double textX;
        double textWidth;
        cg::Rect buy;
        cg::Rect coinClaim;
        cg::Rect welfareClaim;
        cg::Rect superClaim;
    };

    KVTRInfiniterItem();

    // The KVTRStoreUserInfo text, read at every tap.
    ns::Ref<ns::String> userInfo;
    // Run after welfare draws, or super draws, were claimed.
    std::function<void()> welfareBlock;
    std::function<void()> superwelfareBlock;

    ns::Ref<ui::ImageView> backbg;
    ns::Ref<ui::Label> gameCoin;
    ns::Ref<ui::ImageView> prop_img;
    ns::Ref<ui::Label> title;
    ns::Ref<ui::Label> contentLabel;
    ns::Ref<ui::Button> buyBtn;
    ns::Ref<ui::Button> coinBtn;
    ns::Ref<ui::Button> welfareBtn;
    ns::Ref<ui::Button> superwelfareBtn;

    const ns::Ref<KVTRInfiniterModel>& model() const { return model_; }
    // Keeps the record and fills the card from it.
    void setModel(const ns::Ref<KVTRInfiniterModel>& model);

    void buyBtnClick();
    void coinBtnClick();
    void welfareBtnClick();
    void superwelfareBtnClick();
    // `type` is "coin", "welfare" or "super"; `sucessData` gets the "200" reply.
    void getInfiniteresWithType(const std::string& type, std::function<void(const ns::Id& reply)> sucessData);

protected:
    explicit KVTRInfiniterItem(const Layout& layout);

private:
    void p_setUI();
    ns::Ref<ui::Button> makeButton(const char* selector, void (KVTRInfiniterItem::*action)());
    // Marks a claim button claimed: greyed and deaf to taps.
    static void markClaimed(const ns::Ref<ui::Button>& button);

    Layout layout_;
    ns::Ref<KVTRInfiniterModel> model_;
};

class KVTRVerInfiniterItem : public KVTRInfiniterItem {
    RT_DECLARE_CLASS(KVTRVerInfiniterItem)
public:
    KVTRVerInfiniterItem();
};
