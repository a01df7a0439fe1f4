#pragma once
// The store, welfare and notice views the facade shows, as the facade sees
// them: the properties it fills and `show`. Their screens belong to other
// SDK modules; until one is linked, KVTRViewFactory makes nil and the
// facade goes on without the view. The portrait variants share their
// landscape twin's interface, so one code path fills either.
//
// The time-store banner is the exception: the facade lays it out, slides it
// and taps it itself, so KVTRTimePopView is a plain concrete view with its
// label that a richer banner may subclass.
//
// Main thread only, like every view.

#include <functional>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/String.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/View.h"

// The announcement pop-up. notice_type "1" shows notice_content as text,
// "2" reads it as JSON with link text, anything else shows notice_url.
// `show` puts a cover and the pop-up on the key window; the view then owns
// its own dismissal.
class TRKVNoticeView : public ui::View {
    RT_DECLARE_CLASS(TRKVNoticeView)
public:
    ns::Ref<ns::String> notice_url;
    ns::Ref<ns::String> notice_type;
    ns::Ref<ns::String> notice_content;
    ns::Ref<ns::String> notice_title;

    virtual void show() = 0;
};

// The store hall (landscape).
class KVTRGMShopView : public ui::View {
    RT_DECLARE_CLASS(KVTRGMShopView)
public:
    // Category arrays of goods dictionaries, claim `status` already merged.
    ns::Ref<ns::MutableArray> responseArray;
    ns::Ref<ns::MutableArray> VIPArray;
    // Tab ids offered by the menu: "1" GM, "2" VIP, "3" time store, "4" voucher.
    ns::Ref<ns::Array> menuBtnArray;
    ns::Ref<ns::String> token;
    ns::Ref<ns::String> super_user_id;
    ns::Ref<ns::String> gmtotal_money;
    ns::Ref<ns::String> viptotal_money;
    // The KVTRStoreUserInfo text; set before roleid.
    ns::Ref<ns::String> userInfo;
    // Called with the recharge event, a pretty-printed JSON text
    // {"event": "open_shop", "ext1": "", "ext2": ""}.
    std::function<void(const ns::Ref<ns::String>& event)> rechargeBlock;
    // Called when the hall is closed with its close control.
    std::function<void()> closeBlock;

    const ns::Ref<ns::String>& roleid() const { return roleid_; }
    // Setting the role makes the time store fetch its goods, which needs
    // userInfo: subclasses start that fetch here.
    virtual void setRoleid(const ns::Ref<ns::String>& roleid) { roleid_ = roleid; }

    virtual void show() = 0;

private:
    ns::Ref<ns::String> roleid_;
};

// The store hall (portrait).
class KVTRVerticalGMShopView : public KVTRGMShopView {
    RT_DECLARE_CLASS(KVTRVerticalGMShopView)
};

// The time-store banner: a plain view with its remaining-time label.
class KVTRTimePopView : public ui::View {
    RT_DECLARE_CLASS(KVTRTimePopView)
public:
    KVTRTimePopView();
    explicit KVTRTimePopView(const cg::Rect& frame);

    // The facade writes the remaining time here every second.
    ns::Ref<ui::Label> lastTimeLabel;
    // Called when the banner's close image is tapped.
    std::function<void()> closeBlock;
};

// The resource hall (landscape).
class KVTRResourceHallView : public ui::View {
    RT_DECLARE_CLASS(KVTRResourceHallView)
public:
    // The KVTRStoreUserInfo text.
    ns::Ref<ns::String> userInfo;
    // The whole "200" reply of the resource goods request; set through
    // setResponseData, which also reads the goods and their rule.
    ns::Ref<ns::Dictionary> responseData;
    virtual void setResponseData(const ns::Ref<ns::Dictionary>& reply) { responseData = reply; }

    virtual void show() = 0;
};

// The resource hall (portrait).
class KVTRVerResourceHallView : public KVTRResourceHallView {
    RT_DECLARE_CLASS(KVTRVerResourceHallView)
};

// The gift pop-up (landscape).
class KVTRLuckyPlayerView : public ui::View {
    RT_DECLARE_CLASS(KVTRLuckyPlayerView)
public:
    // The `data` object of a lucky-draw reply (title, items, ...).
    ns::Ref<ns::Dictionary> playerDic;
    // "luck", "day" or "active"; set through setType, which also picks the
    // stage's pictures.
    ns::Ref<ns::String> type;
    virtual void setType(const ns::Ref<ns::String>& stage) { type = stage; }
    // Called by the close control before the pop-up leaves the screen.
    std::function<void()> closeBlock;

    virtual void show() = 0;
};

// The gift pop-up (portrait).
class KVTRVerticalLuckyPlayerView : public KVTRLuckyPlayerView {
    RT_DECLARE_CLASS(KVTRVerticalLuckyPlayerView)
};
