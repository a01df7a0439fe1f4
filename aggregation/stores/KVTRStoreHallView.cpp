#include "aggregation/stores/KVTRStoreHallView.h"

#include <cmath>
#include <tuple>

#include "aggregation/core/KVTRNetworkManager.h"
#include "aggregation/stores/KVTRStoreSupport.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/AttributedTextStyles.h"
#include "platform/uikit/Font.h"
#include "ui/hud/KVTRProgressHUD.h"

RT_DEFINE_CLASS(KVTRStoreHallView, KVTRGMShopView, "KVTRStoreHallView")
RT_DEFINE_CLASS(KVTRVerticalStoreHallView, KVTRVerticalGMShopView, "KVTRVerticalStoreHallView")

using namespace kvtr_stores;

namespace {

struct TabImages {
    const char* id;
    const char* normal;
    const char* selected;
};
constexpr TabImages Tabs[] = {{"1", "gmbtn", "gmbtnsel"},
                              {"2", "vipgiftbtn", "vipgiftbtnsel"},
                              {"3", "xianshibtn", "xianshibtnsel"},
                              {"4", "128btn", "128btnsel"}};

ns::Ref<ns::MutableArray> mutableCopyOf(const ns::Ref<ns::Array>& array) {
    return array ? ns::cast<ns::MutableArray>(array->mutableCopy()) : nullptr;
}

}  // namespace

// ---- Building ----

template <class Base, bool Portrait>
StoreHall<Base, Portrait>::StoreHall() {
    const cg::Size screen = screenBounds().size;
    const double P = screen.width - 60;
    const double hallHeight = screen.height - (Portrait ? 90 : 30);

    backbg = ui::ImageView::make({0, 0, P, hallHeight});
    backbg->setBackgroundColor(ui::whiteColor());
    backbg->layer()->setCornerRadius(4);
    backbg->setClipsToBounds(true);
    backbg->setUserInteractionEnabled(true);
    this->addSubview(backbg);

    categoryMenuVC = std::make_shared<KVTRGMMenuController>();
    categoryDetailVC = std::make_shared<KVTRGMDetailViewController>();
    vipcategoryMenuVC = std::make_shared<KVTRVIPMenuController>();
    vipcategoryDetailVC = std::make_shared<KVTRVIPDetailViewController>();

    Column gm;
    gmShopView = addGoodsPage(false, categoryMenuVC->tableView(), categoryDetailVC->view(), gm);
    std::tie(descBgView, nameLabel, descTextView, gmdescLabel, gmGetBtn, gmtotalMoney) = gm.parts();

    voucherView = std::make_shared<KVTRVoucherView>();
    backbg->addSubview(voucherView);
    voucherView->setFrame(pageFrame(false));
    voucherView->setHidden(true);
    if (!Portrait) voucherView->addSubview(closeButton({P - 45, 5, 32, 32}));

    Column vip;
    vipView = addGoodsPage(true, vipcategoryMenuVC->tableView(), vipcategoryDetailVC->view(), vip);
    std::tie(vipdescBgView, vipnameLabel, vipdescTextView, vipgmdescLabel, vipGetBtn, viptotalMoney) = vip.parts();

    if (Portrait) {
        timeStoreView = std::make_shared<KVTRVerticalTimeStoreView>();
    } else {
        timeStoreView = std::make_shared<KVTRTimeStoreView>();
    }
    backbg->addSubview(timeStoreView);
    timeStoreView->setHidden(true);
    timeStoreView->setFrame(pageFrame(true));
    if (!Portrait) timeStoreView->addSubview(closeButton({P - 40, 5, 32, 32}));

    bundlename = makeLabel({2, hallHeight - 10, 50, 8}, ui::Font::systemFontOfSize(8), ui::blackColor(),
                           ui::TextAlignment::Left);
    bundlename->setText("V2.1.0");
    this->addSubview(bundlename);
}

template <class Base, bool Portrait>
StoreHall<Base, Portrait>::~StoreHall() {
    ns::NotificationCenter::defaultCenter()->removeObserver(this);
}

template <class Base, bool Portrait>
cg::Rect StoreHall<Base, Portrait>::pageFrame(bool timeStore) const {
    const cg::Size screen = screenBounds().size;
    const double P = screen.width - 60;
    if (!Portrait) return {0, 30, P, screen.height - 60};
    return {0, 15, P, screen.height - (timeStore ? 135 : 105)};
}

template <class Base, bool Portrait>
ns::Ref<ui::Button> StoreHall<Base, Portrait>::closeButton(const cg::Rect& frame) {
    auto button = imageButton(frame, "close");
    button->addTarget(ns::Id(), "closeClick", [this](ui::Control&, ui::Event*) { closeClick(); },
                      ui::ControlEventTouchUpInside);
    return button;
}

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::changeWordSpaceForLabel(const ns::Ref<ui::Label>& label, double space) {
    ui::TextAttributes attributes;
    attributes[ui::KernAttributeName] = ns::Number::withDouble(space);
    attributes[ui::ParagraphStyleAttributeName] = ui::ParagraphStyle::make();
    label->setAttributedText(ui::AttributedText::make(label->text(), attributes));
    label->sizeToFit();
}

template <class Base, bool Portrait>
ns::Ref<ui::View> StoreHall<Base, Portrait>::addGoodsPage(bool vip, const ns::Ref<ui::View>& menu,
                                                          const ns::Ref<ui::View>& grid, Column& column) {
    auto page = ui::View::make();
    page->setHidden(true);
    page->setFrame(pageFrame(false));
    backbg->addSubview(page);
    buildPage(page, vip, menu, grid, column);
    return page;
}

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::buildPage(const ns::Ref<ui::View>& page, bool vip, const ns::Ref<ui::View>& menu,
                                          const ns::Ref<ui::View>& grid, Column& column) {
    const cg::Size screen = screenBounds().size;
    const double W = screen.width;
    const double H = screen.height;
    const double P = W - 60;
    const double sx = W / (Portrait ? 375 : 667);
    const double sy = H / (Portrait ? 667 : 375);
    const double Q = H - (Portrait ? 120 : 60);

    // Footnotes.
    struct Note {
        const char* text;
        double y;
        double fontSize;
        bool teal;
        double spacing;
    };
    std::vector<Note> notes;
    if (vip) {
        notes.push_back({"到达VIP后可领礼包，每种礼包只可领取1次", Q - 28, 11, true, Portrait ? 2.0 : 6.0});
    } else {
        notes.push_back({"每日只能领取一次", Q - 28, 10, false, 6});
        notes.push_back({"·每日六点更新·", Q - 48, 10, false, 8});
    }
    for (const Note& note : notes) {
        cg::Rect frame;
        ui::TextAlignment alignment = ui::TextAlignment::Left;
        if (!Portrait) {
            const double width = sx * (vip ? 320 : 200);
            frame = {(P - width) / 2, note.y, width, 13};
        } else if (vip) {
            frame = {P / 2 - 120, note.y, sx * 320, 13};
        } else {
            frame = {P / 2 - sx * 60, note.y, sx * 200, 13};
            alignment = ui::TextAlignment::Center;
        }
        auto label = makeLabel(frame, ui::Font::systemFontOfSize(note.fontSize),
                               note.teal ? std::optional<ui::Color>(teal()) : std::nullopt, alignment);
        label->setText(note.text);
        changeWordSpaceForLabel(label, note.spacing);
        page->addSubview(label);
    }

    // Menu and grid.
    const cg::Rect menuFrame = Portrait ? cg::Rect{5, 15, P / 4, Q / 2 - 50} : cg::Rect{sx * 25, 15, P / 4 - sx * 45, Q - 65};
    const double m = menuFrame.size.width;
    const double mh = menuFrame.size.height;
    auto menuPanel = ui::ImageView::make(menuFrame);
    menuPanel->setUserInteractionEnabled(true);
    menu->setFrame({2, 2, m - 4, mh - 4});
    menuPanel->addSubview(menu);
    page->addSubview(menuPanel);

    const cg::Rect gridFrame = Portrait ? cg::Rect{m + 5, 15, P - m - 5, mh} : cg::Rect{m + sx * 32, 15, P / 2 - sx * 20, mh};
    auto gridPanel = ui::ImageView::make(gridFrame);
    gridPanel->setUserInteractionEnabled(true);
    grid->setFrame(Portrait ? cg::Rect{0, 0, gridFrame.size.width, mh}
                            : cg::Rect{2, 2, gridFrame.size.width - 4, mh - 4});
    gridPanel->addSubview(grid);
    page->addSubview(gridPanel);

    // Description column.
    const cg::Rect descFrame = Portrait ? cg::Rect{30, menuFrame.origin.y + mh + 10, P - 60, mh * 0.3}
                                        : cg::Rect{P / 2 + m + sx * 20, 15, m + sx * 40, mh * 0.3};
    column.panel = ui::ImageView::make(descFrame);
    column.panel->setImage(storeImage("desc"));
    column.panel->setUserInteractionEnabled(true);
    column.name = makeLabel({4, 4, descFrame.size.width - 8, 30}, ui::Font::boldSystemFontOfSize(12), ui::blackColor(),
                            ui::TextAlignment::Left);
    column.name->setNumberOfLines(0);
    column.panel->addSubview(column.name);
    const double textTop = 4 + 30;
    column.text = ui::TextView::make({0, textTop, descFrame.size.width, descFrame.size.height - textTop});
    column.text->setFont(ui::Font::systemFontOfSize(10));
    column.text->setTextColor(ui::blackColor());
    column.text->setBackgroundColor(rgb(241, 241, 241));
    column.text->setEditable(false);
    column.text->setScrollEnabled(true);
    column.text->setTextContainerInset({5, 0, 0, 0});
    column.panel->addSubview(column.text);
    page->addSubview(column.panel);
    auto center = ns::NotificationCenter::defaultCenter();
    center->addObserver(this, vip ? "VIPDescCategoryDataWillLoad" : "DescCategoryDataWillLoad", nullptr,
                        [this, vip](const ns::Ref<ns::Notification>& note) {
                            if (vip) {
                                viploadDescData(note->object());
                            } else {
                                loadDescData(note->object());
                            }
                        });

    const double secondHeight = Portrait ? 60 : 70;
    auto second = ui::ImageView::make({descFrame.origin.x, descFrame.origin.y + descFrame.size.height + 4,
                                       descFrame.size.width, secondHeight});
    second->setImage(storeImage("desc"));
    second->setUserInteractionEnabled(true);
    column.level = makeLabel({4, 4, descFrame.size.width - 8, secondHeight - 8}, ui::Font::systemFontOfSize(10),
                             ui::blackColor(), ui::TextAlignment::Left);
    column.level->setNumberOfLines(0);
    second->addSubview(column.level);
    page->addSubview(second);

    const double claimY = second->frame().origin.y + secondHeight + sx * 10;
    const double claimX = Portrait ? (P - sx * 70) / 2 : descFrame.origin.x + sx * 35;
    column.claim = imageButton({claimX, claimY, sx * 70, sy * 27}, "getbtn");
    column.claim->addTarget(ns::Id(), vip ? "toVIPGetClick" : "toGetClick",
                            [this, vip](ui::Control&, ui::Event*) {
                                if (vip) {
                                    toVIPGetClick();
                                } else {
                                    toGetClick();
                                }
                            },
                            ui::ControlEventTouchUpInside);
    page->addSubview(column.claim);

    const double totalX = Portrait ? (P - sx * 140) / 2 : descFrame.origin.x;
    column.total = imageButton({totalX, claimY + sy * 27 + 5, sx * 140 + 5, sy * 27}, "totalmoneybg");
    column.total->setUserInteractionEnabled(false);
    column.total->setTitleColor(ui::whiteColor(), ui::ControlStateNormal);
    column.total->titleLabel()->setFont(ui::Font::systemFontOfSize(13));
    page->addSubview(column.total);

    if (!Portrait) page->addSubview(closeButton({P - 48, 5, 32, 32}));
}

// ---- Feeding and showing ----

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::setUserInfo(const ns::Ref<ns::String>& userInfo) {
    this->userInfo = userInfo;
    voucherView->userInfo = userInfo;
    timeStoreView->setUserInfo(userInfo);
}

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::setRoleid(const ns::Ref<ns::String>& roleid) {
    // The facade sets userInfo as a field just before: the pages get it
    // here, ahead of the role, which starts the time store's fetch.
    setUserInfo(this->userInfo);
    Base::setRoleid(roleid);
    timeStoreView->setRoleid(roleid);
}

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::show() {
    auto window = keyWindow();
    if (!window) return;
    const cg::Size screen = screenBounds().size;
    const double W = screen.width;
    const double H = screen.height;
    window->makeKeyAndVisible();
    coverView = makeCover(window->bounds(), 0.4);
    window->addSubview(coverView);
    this->setFrame(Portrait ? cg::Rect{30, 45, W - 60, H - 90} : cg::Rect{30, 15, W - 60, H - 30});
    this->layer()->setCornerRadius(12);
    window->addSubview(this->template ref<ui::View>());
    if (Portrait) {
        closeBtn = closeButton({W - 45, 45, 32, 32});
        window->addSubview(closeBtn);
    }
    voucherView->userInfo = this->userInfo;
    categoryMenuVC->setMenuArray(mutableCopyOf(this->responseArray));
    categoryDetailVC->setSecondMArr(mutableCopyOf(this->responseArray));
    vipcategoryMenuVC->setMenuArray(mutableCopyOf(this->VIPArray));
    vipcategoryDetailVC->setSecondMArr(mutableCopyOf(this->VIPArray));
    gmtotalMoney->setTitle(ns::format("已充值金额: %@", this->gmtotal_money), ui::ControlStateNormal);
    viptotalMoney->setTitle(ns::format("已充值金额: %@", this->viptotal_money), ui::ControlStateNormal);
    setSegmentView();
    // Gift rows post from the network's queue: a late reply may come while
    // the main queue is freeing the hall, so the observer holds it weakly.
    ns::Weak<StoreHall> weak = this->template ref<StoreHall>();
    ns::NotificationCenter::defaultCenter()->addObserver(this, "KVTRGIFTPAYNotification", nullptr,
                                                         [weak](const ns::Ref<ns::Notification>&) {
                                                             if (auto hall = weak.lock()) hall->closeClick();
                                                         });
}

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::setSegmentView() {
    std::vector<std::string> ids;
    if (this->menuBtnArray) {
        for (const ns::Id& value : *this->menuBtnArray) {
            const std::string id = ns::textOf(value);
            for (const TabImages& tab : Tabs) {
                if (id == tab.id) {
                    ids.push_back(id);
                    btnImage.push_back(tab.normal);
                    btnselImage.push_back(tab.selected);
                }
            }
        }
    }
    const double W = screenBounds().size.width;
    const double P = W - 60;
    if (ids.empty()) {
        // With no page to show, a landscape hall would have no close control
        // in sight: the player gets one on the hall itself.
        if (!Portrait) backbg->addSubview(closeButton({P - 48, 5, 32, 32}));
        return;
    }
    const double n = double(ids.size());
    const double b = Portrait ? W / 375 * 65 : W / 667 * 120;
    const double g = Portrait ? 10 : 20;
    const double height = Portrait ? 25 : 30;
    const double x0 = (P - (n * b + (n - 1) * g)) / 2;
    ns::Ref<ui::Button> first;
    ns::Ref<ui::Button> timeStoreTab;
    for (size_t i = 0; i < ids.size(); ++i) {
        auto button = imageButton({x0 + double(i) * (b + g), 0, b, height}, btnImage[i]);
        button->setTag(std::stoi(ids[i]));
        button->addTarget(ns::Id(), "ClickSegmentView:", [this](ui::Control& sender, ui::Event*) {
            ClickSegmentView(sender);
        }, ui::ControlEventTouchUpInside);
        backbg->addSubview(button);
        btnArray.push_back(button);
        if (!first) first = button;
        if (ids[i] == "3" && !timeStoreTab) timeStoreTab = button;
    }
    auto initial = timeStoreTab ? timeStoreTab : first;
    ClickSegmentView(*initial);
}

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::ClickSegmentView(ui::Control& tab) {
    for (size_t i = 0; i < btnArray.size(); ++i) {
        const bool chosen = btnArray[i]->tag() == tab.tag();
        btnArray[i]->setBackgroundImage(storeImage(chosen ? btnselImage[i] : btnImage[i]), ui::ControlStateNormal);
    }
    const int64_t id = tab.tag();
    if (id >= 1 && id <= 4) {
        static constexpr const char* Pages[] = {"GM store", "VIP gifts", "time store", "vouchers"};
        ns::logScreen("store hall", Pages[id - 1]);
    }
    gmShopView->setHidden(id != 1);
    vipView->setHidden(id != 2);
    timeStoreView->setHidden(id != 3);
    voucherView->setHidden(id != 4);
}

// ---- Closing ----

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::closeClick() {
    auto self = std::static_pointer_cast<StoreHall>(this->shared_from_this());
    // The facade's block belongs to the main queue; a gift payment closes
    // the hall from its network reply's queue.
    if (dispatch::isMainThread()) {
        if (this->closeBlock) this->closeBlock();
    } else {
        dispatch::async(dispatch::mainQueue(), [self] {
            if (self->closeBlock) self->closeBlock();
        });
    }
    dispatch::async(dispatch::mainQueue(), [self] {
        ns::NotificationCenter::defaultCenter()->removeObserver(self.get());
        if (self->coverView) self->coverView->removeFromSuperview();
        if (self->closeBtn) self->closeBtn->removeFromSuperview();
        self->removeFromSuperview();
    });
}

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::toChargeBtnClick() {
    closeClick();
    auto event = ns::Dictionary::make({{"event", ns::str("open_shop")}, {"ext1", ns::str("")}, {"ext2", ns::str("")}});
    auto data = ns::JSONSerialization::dataWithJSONObject(event, ns::JSONWritingPrettyPrinted);
    if (this->rechargeBlock) this->rechargeBlock(ns::String::withData(data, ns::StringEncoding::UTF8));
}

// ---- Description column and claims ----

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::describe(const Column& column, const ns::Ref<ns::String>& name,
                                         const ns::Ref<ns::String>& desc, const ns::Ref<ns::String>& levelDesc) {
    const double w = column.panel->frame().size.width;
    // The panel is laid out for the name's "%@" text, so a goods record
    // without one keeps the usual one-line panel; the label itself shows
    // only a name there is.
    const double h = textHeight(ns::str(ns::textOf(name)), ui::Font::systemFontOfSize(12), w - 8, 2) + 1;
    column.name->setText(name ? name : ns::str(""));
    column.level->setText(levelDesc);
    column.name->setFrame({4, 4, w - 8, h});
    column.text->setText(desc);
    const double b = 4 + h;
    column.text->setFrame({0, b, w, column.panel->frame().size.height - b - 2});
}

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::loadDescData(const ns::Id& model) {
    gmModel = ns::cast<KVTRGMModel>(model);
    if (!gmModel) return;
    describe({descBgView, nameLabel, descTextView, gmdescLabel, gmGetBtn, gmtotalMoney}, gmModel->gift_name,
             gmModel->gift_desc, gmModel->gm_desc);
}

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::viploadDescData(const ns::Id& model) {
    vipModel = ns::cast<KVTRVIPModel>(model);
    if (!vipModel) return;
    describe({vipdescBgView, vipnameLabel, vipdescTextView, vipgmdescLabel, vipGetBtn, viptotalMoney},
             vipModel->gift_name, vipModel->gift_desc, vipModel->vip_desc);
}

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::toGetClick() {
    if (gmModel) claim(gmModel, gmModel->gm_id, "gm_id", "gmstore/index", "SuccessGetNotification");
}

template <class Base, bool Portrait>
void StoreHall<Base, Portrait>::toVIPGetClick() {
    if (vipModel) claim(vipModel, vipModel->vip_id, "vip_id", "vipstore/index", "VIPSuccessGetNotification");
}

template <class Base, bool Portrait>
template <class Model>
void StoreHall<Base, Portrait>::claim(const ns::Ref<Model>& model, const ns::Ref<ns::String>& level,
                                      const char* levelKey, const char* path, const char* success) {
    if (!level || !model->gift_id) return;
    auto orEmpty = [](const ns::Ref<ns::String>& v) { return v ? v : ns::str(""); };
    auto form = ns::MutableDictionary::make();
    form->setObjectForKey(orEmpty(this->token), "token");
    form->setObjectForKey(orEmpty(this->super_user_id), "super_user_id");
    form->setObjectForKey(orEmpty(this->roleid()), "role_id");
    form->setObjectForKey(level, levelKey);
    form->setObjectForKey(model->gift_id, "gift_id");
    if (Portrait) ns::log("%@", form);
    const std::string notification = success;
    KVTRNetworkManager::PostWithURL(
        gameServerURL(path), form,
        [model, notification](const ns::Id& reply) {
            dispatch::async(dispatch::mainQueue(), [model, notification, reply] {
                if (Portrait) ns::log("领取:%@", reply);
                const std::string status = replyStatus(reply);
                KVTRProgressHUD::dismiss();
                if (status == "200") {
                    KVTRProgressHUD::showSuccessWithStatus(ns::str("领取成功"));
                    ns::NotificationCenter::defaultCenter()->postNotificationName(notification, model);
                } else if (status == "500") {
                    KVTRProgressHUD::showSuccessWithStatus(ns::str("还未达到开启要求"));
                } else {
                    KVTRProgressHUD::showErrorWithStatus(replyMessage(reply));
                }
            });
        },
        [](const ns::Ref<ns::String>&) {});
}

template class StoreHall<KVTRGMShopView, false>;
template class StoreHall<KVTRVerticalGMShopView, true>;
