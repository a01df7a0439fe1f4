#include "aggregation/welfare/KVTRInfiniterItem.h"

#include "aggregation/core/KVTRNetworkManager.h"
#include "aggregation/stores/KVTRChargeOrder.h"
#include "aggregation/stores/KVTRStoreSupport.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Font.h"
#include "ui/hud/KVTRProgressHUD.h"

RT_DEFINE_CLASS(KVTRInfiniterItem, ui::View, "KVTRInfiniterItem")
RT_DEFINE_CLASS(KVTRVerInfiniterItem, KVTRInfiniterItem, "KVTRVerInfiniterItem")

using namespace kvtr_stores;

namespace {

const KVTRInfiniterItem::Layout Landscape{.size = {140, 290},
                                          .background = "rehallitembg",
                                          .coin = {33, 52, 75, 12},
                                          .icon = {53, 89, 32, 32},
                                          .textX = 20,
                                          .textWidth = 98,
                                          .buy = {12, 226, 105, 22},
                                          .coinClaim = {12, 203, 105, 22},
                                          .welfareClaim = {12, 229, 105, 22},
                                          .superClaim = {12, 255, 105, 22}};
const KVTRInfiniterItem::Layout Portrait{.size = {162, 260},
                                         .background = "verrehallitembg",
                                         .coin = {0, 52, 162, 12},
                                         .icon = {66, 89, 32, 32},
                                         .textX = 25,
                                         .textWidth = 120,
                                         .buy = {25, 216, 105, 22},
                                         .coinClaim = {5, 205, 75, 22},
                                         .welfareClaim = {80, 205, 75, 22},
                                         .superClaim = {30, 228, 100, 22}};

std::string printed(const ns::Id& value) { return ns::textOf(value); }

// A claim button's state from its flag: "0" active, "1" claimed, anything
// else hidden.
void applyClaimFlag(const ns::Ref<ui::Button>& button, const ns::Ref<ns::String>& flag) {
    const std::string value = printed(flag);
    button->setHidden(value != "0" && value != "1");
    button->setBackgroundImage(storeImage(value == "1" ? "rehallbtnalget" : "rehallbtn"), ui::ControlStateNormal);
    button->setUserInteractionEnabled(value == "0");
}

}  // namespace

KVTRInfiniterItem::KVTRInfiniterItem() : KVTRInfiniterItem(Landscape) {}

KVTRInfiniterItem::KVTRInfiniterItem(const Layout& layout) : View(cg::Rect{}), layout_(layout) { p_setUI(); }

KVTRVerInfiniterItem::KVTRVerInfiniterItem() : KVTRInfiniterItem(Portrait) {}

ns::Ref<ui::Button> KVTRInfiniterItem::makeButton(const char* selector, void (KVTRInfiniterItem::*action)()) {
    auto button = ui::Button::buttonWithType(ui::ButtonType::Custom);
    button->setTitleColor(ui::blackColor(), ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::boldSystemFontOfSize(8));
    // The card owns its buttons: a raw back-pointer is enough.
    button->addTarget(
        ns::Id(), selector, [this, action](ui::Control&, ui::Event*) { (this->*action)(); },
        ui::ControlEventTouchUpInside);
    return button;
}

void KVTRInfiniterItem::p_setUI() {
    const Layout& l = layout_;
    backbg = ui::ImageView::make({0, 0, l.size.width, l.size.height});
    backbg->setImage(storeImage(l.background));
    backbg->layer()->setCornerRadius(4);
    backbg->layer()->setMasksToBounds(true);
    addSubview(backbg);
    gameCoin = makeLabel(l.coin, ui::Font::systemFontOfSize(8), ui::whiteColor(), ui::TextAlignment::Center);
    addSubview(gameCoin);
    prop_img = ui::ImageView::make(l.icon);
    prop_img->setContentMode(ui::ViewContentMode::ScaleAspectFit);
    addSubview(prop_img);
    title = makeLabel({l.textX, 150, l.textWidth, 0}, ui::Font::boldSystemFontOfSize(8), ui::whiteColor(),
                      ui::TextAlignment::Center);
    title->setNumberOfLines(0);
    addSubview(title);
    contentLabel = makeLabel({l.textX, 152, l.textWidth, 0}, ui::Font::systemFontOfSize(8), ui::whiteColor(),
                             ui::TextAlignment::Left);
    contentLabel->setNumberOfLines(0);
    addSubview(contentLabel);
    buyBtn = makeButton("buyBtnClick", &KVTRInfiniterItem::buyBtnClick);
    buyBtn->setFrame(l.buy);
    addSubview(buyBtn);
    superwelfareBtn = makeButton("superwelfareBtnClick", &KVTRInfiniterItem::superwelfareBtnClick);
    superwelfareBtn->setFrame(l.superClaim);
    addSubview(superwelfareBtn);
    welfareBtn = makeButton("welfareBtnClick", &KVTRInfiniterItem::welfareBtnClick);
    welfareBtn->setFrame(l.welfareClaim);
    addSubview(welfareBtn);
    coinBtn = makeButton("coinBtnClick", &KVTRInfiniterItem::coinBtnClick);
    coinBtn->setFrame(l.coinClaim);
    addSubview(coinBtn);
    for (auto& claim : {superwelfareBtn, welfareBtn, coinBtn}) claim->setHidden(true);
}

void KVTRInfiniterItem::setModel(const ns::Ref<KVTRInfiniterModel>& model) {
    model_ = model;
    if (!model) return;
    ns::Weak<ui::ImageView> weakIcon = prop_img;
    loadRemoteImage(model->prop_img, [weakIcon](const ns::Ref<ui::Image>& image) {
        if (auto view = weakIcon.lock()) view->setImage(image);
    });
    gameCoin->setText(model->game_coin);
    title->setText(model->title);
    contentLabel->setText(model->content);
    const Layout& l = layout_;
    const double titleHeight = textHeight(model->title, ui::Font::boldSystemFontOfSize(8), l.textWidth) + 1;
    const double contentHeight = textHeight(model->content, ui::Font::systemFontOfSize(8), l.textWidth) + 1;
    title->setFrame({l.textX, 150, l.textWidth, titleHeight});
    contentLabel->setFrame({l.textX, 152 + titleHeight, l.textWidth, contentHeight});

    const std::string bought = printed(model->is_buy);
    buyBtn->setHidden(bought != "0");
    for (auto& claim : {coinBtn, welfareBtn, superwelfareBtn}) claim->setHidden(bought != "1");
    if (bought == "0") {
        buyBtn->setTitle(ns::format("%@元购买", model->money), ui::ControlStateNormal);
        buyBtn->setBackgroundImage(storeImage("rehallbtn"), ui::ControlStateNormal);
    } else if (bought == "1") {
        coinBtn->setTitle(ns::format("领取%@", model->game_coin), ui::ControlStateNormal);
        welfareBtn->setTitle(ns::format("领取福利转盘×%@", model->welfare_nums), ui::ControlStateNormal);
        superwelfareBtn->setTitle(ns::format("领取超级转盘×%@", model->super_welfare_nums), ui::ControlStateNormal);
        applyClaimFlag(coinBtn, model->is_coin);
        applyClaimFlag(welfareBtn, model->is_welfare);
        applyClaimFlag(superwelfareBtn, model->is_superwelfare);
    }
}

void KVTRInfiniterItem::buyBtnClick() {
    if (!model_) return;
    // No remark: the resource order signs seven values.
    placeChargeOrder({"charge/resorder", userInfo, model_->listid, nullptr, model_->title, model_->money,
                      "KVTRResourcePAYNotification"});
}

void KVTRInfiniterItem::markClaimed(const ns::Ref<ui::Button>& button) {
    button->setBackgroundImage(storeImage("rehallbtnalget"), ui::ControlStateNormal);
    button->setUserInteractionEnabled(false);
}

void KVTRInfiniterItem::coinBtnClick() {
    ns::Weak<ui::Button> weak = coinBtn;
    getInfiniteresWithType("coin", [weak](const ns::Id&) {
        if (auto button = weak.lock()) markClaimed(button);
    });
}

void KVTRInfiniterItem::welfareBtnClick() {
    auto self = ref<KVTRInfiniterItem>();
    getInfiniteresWithType("welfare", [self](const ns::Id&) {
        markClaimed(self->welfareBtn);
        if (self->welfareBlock) self->welfareBlock();
    });
}

void KVTRInfiniterItem::superwelfareBtnClick() {
    auto self = ref<KVTRInfiniterItem>();
    getInfiniteresWithType("super", [self](const ns::Id&) {
        markClaimed(self->superwelfareBtn);
        if (self->superwelfareBlock) self->superwelfareBlock();
    });
}

void KVTRInfiniterItem::getInfiniteresWithType(const std::string& type,
                                               std::function<void(const ns::Id& reply)> sucessData) {
    if (!model_) return;
    const char* path = type == "coin"      ? "infiniteres/getcoin"
                       : type == "welfare" ? "infiniteres/getwelfare"
                       : type == "super"   ? "infiniteres/getsuperwelfare"
                                           : nullptr;
    if (!path) return;
    auto identity = identityOf(userInfo);
    auto gameId = printedValue(identity, "game_id");
    auto roleId = printedValue(identity, "super_role_id");
    auto serviceId = printedValue(identity, "service_id");
    ns::log("game_id=%@ service_id=%@ role_id=%@ good_id=%@", gameId, serviceId, roleId, model_->listid);
    // The reply keeps the card alive until it has been handled.
    auto self = ref<KVTRInfiniterItem>();
    KVTRNetworkManager::getWithURL(
        gameServerURL(ns::format("%s?game_id=%@&role_id=%@&server_id=%@&good_id=%@", path, gameId, roleId, serviceId,
                                 model_->listid)),
        nullptr,
        [self, sucessData = std::move(sucessData)](const ns::Id& reply) {
            KVTRProgressHUD::dismiss();
            if (!isSuccess(reply)) {
                KVTRProgressHUD::showErrorWithStatus(replyMessage(reply));
                return;
            }
            KVTRProgressHUD::showSuccessWithStatus(ns::String::make("领取成功"));
            if (sucessData) sucessData(reply);
        },
        [](const ns::Ref<ns::String>&) {});
}
