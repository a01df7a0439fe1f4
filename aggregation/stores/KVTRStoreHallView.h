#pragma once
// The store hall: the window in which the game's "openStore" ends. It
// covers the key window and shows one of four pages chosen by a tab bar -
// GM store ("1"), VIP gifts ("2"), time store ("3"), voucher page ("4") -
// and closes through its close control or when a gift purchase is ordered
// ("KVTRGIFTPAYNotification"). The GM and VIP pages carry a description
// column whose claim button claims the chosen gift from the game server.
//
// The facade knows the hall as KVTRGMShopView (landscape) and
// KVTRVerticalGMShopView (portrait); KVTRStoreHallView and
// KVTRVerticalStoreHallView are their screens, one template (StoreHall)
// with the two frames.

#include <functional>
#include <string>
#include <tuple>

#include "aggregation/core/KVTRGMModel.h"
#include "aggregation/core/KVTRVIPModel.h"
#include "aggregation/core/KVTRViews.h"
#include "aggregation/stores/KVTRGoodsTabs.h"
#include "aggregation/stores/KVTRTimeStoreView.h"
#include "aggregation/stores/KVTRVoucherView.h"
#include "platform/foundation/MutableArray.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TextView.h"

template <class Base, bool Portrait>
class StoreHall : public Base {
public:
    StoreHall();
    ~StoreHall() override;

    ns::Ref<ui::Button> coverView;
    ns::Ref<ui::Button> closeBtn;  // portrait only, on the key window
    ns::Ref<ui::ImageView> backbg;
    ns::Ref<ui::View> gmShopView;
    ns::Ref<ui::View> vipView;
    ns::Ref<KVTRVoucherView> voucherView;
    ns::Ref<KVTRTimeStoreView> timeStoreView;
    std::vector<ns::Ref<ui::Button>> btnArray;
    std::vector<std::string> btnImage;
    std::vector<std::string> btnselImage;
    ns::Ref<KVTRGMMenuController> categoryMenuVC;
    ns::Ref<KVTRGMDetailViewController> categoryDetailVC;
    ns::Ref<KVTRVIPMenuController> vipcategoryMenuVC;
    ns::Ref<KVTRVIPDetailViewController> vipcategoryDetailVC;
    ns::Ref<ui::ImageView> descBgView, vipdescBgView;
    ns::Ref<ui::Label> nameLabel, vipnameLabel;
    ns::Ref<ui::TextView> descTextView, vipdescTextView;
    ns::Ref<ui::Label> gmdescLabel, vipgmdescLabel;
    ns::Ref<ui::Button> gmtotalMoney, viptotalMoney;
    ns::Ref<ui::Button> gmGetBtn, vipGetBtn;
    ns::Ref<KVTRGMModel> gmModel;
    ns::Ref<KVTRVIPModel> vipModel;
    ns::Ref<ui::Label> bundlename;

    void setRoleid(const ns::Ref<ns::String>& roleid) override;
    void setUserInfo(const ns::Ref<ns::String>& userInfo);
    void show() override;
    void ClickSegmentView(ui::Control& tab);
    // Runs the close block at once; takes the hall off the window on a later
    // turn of the main queue.
    void closeClick();
    void toChargeBtnClick();
    static void changeWordSpaceForLabel(const ns::Ref<ui::Label>& label, double space);
    void loadDescData(const ns::Id& model);
    void viploadDescData(const ns::Id& model);
    void toGetClick();
    void toVIPGetClick();

private:
    struct Column {
        ns::Ref<ui::ImageView> panel;
        ns::Ref<ui::Label> name;
        ns::Ref<ui::TextView> text;
        ns::Ref<ui::Label> level;
        ns::Ref<ui::Button> claim;
        ns::Ref<ui::Button> total;
        auto parts() const { return std::make_tuple(panel, name, text, level, claim, total); }
    };
    // A hidden GM or VIP page on backbg, built.
    ns::Ref<ui::View> addGoodsPage(bool vip, const ns::Ref<ui::View>& menu, const ns::Ref<ui::View>& grid,
                                   Column& column);
    void buildPage(const ns::Ref<ui::View>& page, bool vip, const ns::Ref<ui::View>& menu,
                   const ns::Ref<ui::View>& grid, Column& column);
    void setSegmentView();
    void describe(const Column& column, const ns::Ref<ns::String>& name, const ns::Ref<ns::String>& desc,
                  const ns::Ref<ns::String>& levelDesc);
    template <class Model>
    void claim(const ns::Ref<Model>& model, const ns::Ref<ns::String>& level, const char* levelKey, const char* path,
               const char* success);
    ns::Ref<ui::Button> closeButton(const cg::Rect& frame);
    cg::Rect pageFrame(bool timeStore) const;

    bool closing_ = false;
};

class KVTRStoreHallView : public StoreHall<KVTRGMShopView, false> {
    RT_DECLARE_CLASS(KVTRStoreHallView)
};

class KVTRVerticalStoreHallView : public StoreHall<KVTRVerticalGMShopView, true> {
    RT_DECLARE_CLASS(KVTRVerticalStoreHallView)
};
