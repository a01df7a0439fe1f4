#include "channel/pay/TVNewPayVC.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "channel/NSMutableDictionary+HTTP.h"
#include "channel/NSString+URLEncode.h"
#include "channel/NSObject+TVPayAPI.h"
#include "channel/NetWorkManager.h"
#include "channel/ShareVale.h"
#include "channel/TVAPIStrings.h"
#include "channel/TVCompanionApp.h"
#include "channel/TVReplyFields.h"
#include "channel/UIView+Extension.h"
#include "channel/VRQMessage.h"
#include "channel/VRQWindowManager.h"
#include "channel/pay/TVCouponsVC.h"
#include "channel/pay/TVPayPlug.h"
#include "channel/pay/TVPurchaseHold.h"
#include "channel/pay/TVWebPayVC.h"
#include "channel/screens/TVScreenResources.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/DecimalNumber.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/Storyboard.h"
#include "platform/uikit/Window.h"
#include "ui/hud/sd_KXBackgroundView.h"

RT_DEFINE_CLASS(TVNewPayVC, TVBaseVC, "TVNewPayVC")

namespace {

using Text = TVNewPayVC::Text;

Text str(std::string text) {
    return ns::str(std::move(text));
}

// "%d" of ceil(amount x 10) in single precision: the coin price.
Text coinsOf(const Text& amount) {
    float value = amount ? amount->floatValue() : 0.0f;
    return str(ns::format("%d", static_cast<int>(std::ceil(value * 10.0f))));
}

Text yuan(const Text& amount) {
    return str(ns::format("%@元", amount));
}

}  // namespace

TVNewPayVC::OrderState& TVNewPayVC::orderState() {
    static OrderState state;
    return state;
}

bool TVNewPayVC::isAmount(const ns::String* text) {
    if (!URLEncode::isNumber(text)) return false;
    // The helper lets "." or "1.2.3" through; neither is an amount.
    std::string value = text->utf8();
    return value.find_first_of("0123456789") != std::string::npos && value.find('.') == value.rfind('.');
}

Text TVNewPayVC::calculateMoney(const Text& money, const Text& money1, std::string_view way) {
    auto first = ns::DecimalNumber::withString(money ? money->utf8() : std::string());
    auto second = ns::DecimalNumber::withString(money1 ? money1->utf8() : std::string());
    // Down to the cent; a failure becomes "not a number" rather than raising.
    auto behavior = ns::DecimalNumberHandler::withRoundingMode(ns::RoundingMode::Down, 2, false, false, false, false);
    ns::Ref<ns::DecimalNumber> result;
    if (way == "-") result = first->decimalNumberBySubtracting(*second, behavior);
    else if (way == "*") result = first->decimalNumberByMultiplyingBy(*second, behavior);
    return str(ns::format("%@", result));
}

void TVNewPayVC::loadToPayVCWithroleid(const Text& roleid, const Text& ServiceID, const Text& quiPayMoney,
                                       const Text& cpExtend, const Text& productName, const Text& productDesc,
                                       PaySuccess success, PayFailure faild) {
    TVPurchaseHold::enter({roleid, ServiceID, quiPayMoney, cpExtend, productName, productDesc, std::move(success),
                           std::move(faild), nullptr, nullptr});
}

void TVNewPayVC::dropWaitingPurchases(std::string_view why) { TVPurchaseHold::dropWaiting(why); }

TVNewPayVC::~TVNewPayVC() = default;

void TVNewPayVC::viewDidLoad() {
    TVBaseVC::viewDidLoad();
    double inset = ViewExtension::isNotchedPhoneOnItsSide() ? 30 : 15;
    for (auto& constraint : {infoLeft.lock(), typeLeft.lock()})
        if (constraint) constraint->setConstant(inset);
    SetBarTitleViewWithTitle(str("充值中心"), TVScreenResources::image("tov_pay_titleIcon"));
    discount_ = 1.0f;
    initUI();
    loadData();
}

void TVNewPayVC::viewDidLayoutSubviews() {
    TVBaseVC::viewDidLayoutSubviews();
    // The content starts below the navigation bar, which lies over the view.
    auto scroll = scrollView.lock();
    auto navigation = navigationController();
    if (!scroll || !navigation || scroll->subviews().empty()) return;
    cg::Rect bar = navigation->navigationBar()->frame();
    double top = bar.origin.y + bar.size.height;
    auto content = scroll->subviews().front();
    ViewExtension::setY(*content, top);
    scroll->setContentSize({ViewExtension::width(*content), top + ViewExtension::height(*content)});
}

void TVNewPayVC::initUI() {
    OrderState& state = orderState();
    if (auto label = productNameL.lock()) label->setText(state.productName);
    auto full = yuan(state.fullAmount);
    auto discounted = calculateMoney(state.fullAmount, str(ns::format("%f", discount_)), "*");
    state.discountedAmount = discounted;
    state.currentAmount = discounted;
    if (auto label = realMoneyL.lock()) label->setText(yuan(discounted));
    if (auto label = discountL.lock()) label->setText(str(ns::format("（%.1f折）", discount_ * 10)));
    if (auto label = moneyL.lock()) {
        label->setText(full);
        auto struck = ui::AttributedText::make(full, {{ui::StrikethroughStyleAttributeName, ns::num(1)}});
        label->setAttributedText(struck);
    }
}

void TVNewPayVC::loadData() {
    hud_ = sd_KXProgressHUD::showHUDAddedTo(VRQWindowManager::topWindow(), true);
    hud_->backgroundView()->setStyle(sd_KXProgressHUDBackgroundStyle::SolidColor);
    hud_->backgroundView()->setColor(cg::Color::fromWhite(0.0, 0.1));

    auto vale = ShareVale::sharedInstance();
    auto parameters = ns::MutableDictionary::make();
    HTTPFields::setObjectForField(*parameters, vale->userName(), "zz");
    HTTPFields::setObjectForField(*parameters, vale->appID(), "z");
    HTTPFields::setObjectForField(*parameters, vale->gameID(), "b");
    HTTPFields::setObjectForField(*parameters, vale->chanelid(), "bb");
    HTTPFields::setObjectForField(*parameters, str("ios"), "os");
    ns::Weak<TVNewPayVC> weak = ref<TVNewPayVC>();
    NetWorkManager::sharedInstance()->POST(
        TVAPIStrings::endpoint(TVAPIStrings::at(TVAPIStrings::PayWays)), parameters,
        [weak](const ns::Id& reply) {
            if (auto centre = weak.lock()) centre->payWaysReplied(reply);
        },
        [weak](const ns::Ref<ns::Error>&) {
            auto centre = weak.lock();
            if (!centre) return;
            centre->setPayStyle(QuipayH5);
            centre->hideHUD();
        });
}

void TVNewPayVC::payWaysReplied(const ns::Id& reply) {
    ns::log("支付方式 = %@", reply);
    if (ns::cast<ns::Null>(TVReply::field(reply, "djq"))) return hideHUD();
    if (!reply) {
        setPayStyle(QuipayH5);
        return hideHUD();
    }
    if (TVReply::textOf(reply, "code") != "1") {
        VRQMessage::showMessage(TVReply::messageOf(reply, "msg"));
        return hideHUD();
    }
    auto rows = ns::cast<ns::Array>(TVReply::field(reply, "data"));
    if (!rows) {
        VRQMessage::showMessage("数据格式错误");
        setPayStyle(QuipayH5);
        return hideHUD();
    }
    int64_t first = rows->count() ? TVReply::integerOf(rows->objectAtIndex(0), "z") : 0;
    firstSelected_ = first == 31 ? GFQuipay : first == 32 ? GFWx : static_cast<uint64_t>(std::max<int64_t>(first, 0));

    auto vale = ShareVale::sharedInstance();
    auto coins = TVReply::messageOf(reply, "ttb");
    auto saved = vale->ptbValue();
    if (!(saved && coins && saved->isEqual(coins.get())) && !(!saved && !coins)) vale->setPtbValue(coins);
    if (auto label = remainPtbL.lock()) label->setText(str(ns::format("（余额:%@平台币）", TVReply::field(reply, "ttb"))));
    if (auto label = remainDjqL.lock()) label->setText(str(ns::format("（余额:%@元）", TVReply::field(reply, "djq"))));
    auto discountText = TVReply::messageOf(reply, "discount");
    discount_ = discountText ? discountText->floatValue() : 0.0f;
    if (discount_ == 0.0f) discount_ = 1.0f;

    bool has[7] = {};
    for (uint64_t i = 0; i < rows->count(); ++i) {
        std::string code = TVReply::textOf(rows->objectAtIndex(i), "z");
        if (code == "1" || code == "2" || code == "3" || code == "4") has[code[0] - '0'] = true;
        if (code == "5" || code == "31") {
            has[GFQuipay] = true;
            isQuipayTwo_ = code == "31";
        }
        if (code == "6" || code == "32") {
            has[GFWx] = true;
            isWxpayTwo_ = code == "32";
        }
    }
    // The rows' heights: code 1 (WeChat H5) is the row under ptbViewH and
    // code 3 (coins) the row under wxViewH, as the layout pairs them.
    const std::pair<uint64_t, ns::Weak<ui::LayoutConstraint>*> collapse[] = {
        {WxH5, &ptbViewH}, {QuipayH5, &quipayViewH}, {Ptb, &wxViewH},
        {Djq, &djqViewH},  {GFQuipay, &GFQuipayViewH}, {GFWx, &GFWxViewH},
    };
    for (const auto& [code, height] : collapse)
        if (!has[code])
            if (auto constraint = height->lock()) constraint->setConstant(0);
    initUI();
    setPayStyle(firstSelected_);
    hideHUD();
}

void TVNewPayVC::hideHUD() {
    if (hud_) hud_->hideAnimated(true);
    hud_ = nullptr;
}

ns::Ref<ui::Button> TVNewPayVC::buttonFor(uint64_t style) const {
    switch (style) {
        case WxH5: return wxIconBtn.lock();
        case QuipayH5: return quipayIconBtn.lock();
        case Ptb: return ptbIconBtn.lock();
        case Djq: return djqIconBtn.lock();
        case GFQuipay: return GFQuipayIconBtn.lock();
        case GFWx: return GFWxIconBtn.lock();
        default: return nullptr;
    }
}

// Each row's action logs the way it chose.
void TVNewPayVC::choose(const char* way, uint64_t style) {
    ns::log("%s", way);
    if (!choosing("the pay way is not changed")) return;
    setPayStyle(style);
}

// The order is changed, or sent, only while nothing is out: a reply would
// meet another way, voucher or screen than those of its order, and a screen
// put over the centre then would outlast the centre's end.
bool TVNewPayVC::choosing(const char* unchanged) {
    if (purchase().isChoosing()) return true;
    ns::log("payment centre: an order of the payment of %@ yuan is still being confirmed; %s",
            purchase().report().fullAmount, unchanged);
    return false;
}

void TVNewPayVC::doWXPay() { choose("微信H5", WxH5); }
void TVNewPayVC::doQuipay() { choose("趣付H5", QuipayH5); }
void TVNewPayVC::doPtbPay() { choose("平台币", Ptb); }
void TVNewPayVC::doDjqPay() { choose("代金券支付", Djq); }
void TVNewPayVC::doGFQuipay() { choose("趣付APP", GFQuipay); }
void TVNewPayVC::doGFWxPay() { choose("官方微信H5", GFWx); }

void TVNewPayVC::setPayStyle(uint64_t style) {
    payStyle_ = style;
    setPayViewWithPayStyle(style, buttonFor(style));
}

void TVNewPayVC::setPayViewWithPayStyle(uint64_t style, const ns::Ref<ui::Button>& currentBtn) {
    auto selected = selectedIconBtn_.lock();
    if (currentBtn == selected) return;
    OrderState& state = orderState();
    auto price = realMoneyL.lock();
    auto rate = discountL.lock();
    auto rateText = str(ns::format("（%.1f折）", discount_ * 10));
    if (style == Ptb) {
        if (price) price->setText(str(coinsOf(state.discountedAmount)->utf8() + "平台币"));
        if (rate) rate->setText(rateText);
    } else if (style == Djq) {
        if (price) price->setText(yuan(state.fullAmount));
        if (rate) rate->setText(str(""));
    } else {
        if (price) price->setText(yuan(state.currentAmount));
        if (rate) rate->setText(rateText);
    }
    if (currentBtn) currentBtn->setSelected(true);
    if (selected) selected->setSelected(false);
    selectedIconBtn_ = currentBtn;
}

void TVNewPayVC::goToCoupons() {
    if (!choosing("no voucher is taken")) return;
    if (payStyle_ == Ptb || payStyle_ == Djq) {
        VRQMessage::showMessage(str("该支付不支持优惠券"), view());
        return;
    }
    auto storyboard = ui::Storyboard::storyboardWithName("TVNewPayVC", TVScreenResources::sdkBundle());
    auto picker = ns::cast<TVCouponsVC>(storyboard ? storyboard->instantiateViewControllerWithIdentifier("TVCouponsVC")
                                                   : nullptr);
    if (!picker) return;
    picker->money = orderState().fullAmount;
    ns::Weak<TVNewPayVC> weak = ref<TVNewPayVC>();
    picker->couponsBlock = [weak](const ns::Ref<TVCouponsModel>& model) {
        auto centre = weak.lock();
        if (!centre || !model || !centre->choosing("the voucher chosen is not taken")) return;
        OrderState& state = orderState();
        state.voucherId = model->cid;
        if (auto button = centre->couponsBtn.lock())
            button->setTitle(str(ns::format("满%@减%@", model->pay_money, model->coupon_money)), ui::ControlStateNormal);
        // The voucher comes off before the discount.
        auto after = calculateMoney(state.fullAmount, model->coupon_money, "-");
        after = calculateMoney(after, str(ns::format("%f", centre->discount_)), "*");
        if (after->floatValue() < 0) after = str("0");
        state.currentAmount = after;
        if (auto label = centre->realMoneyL.lock()) label->setText(yuan(after));
    };
    picker->setModalPresentationStyle(ui::ModalPresentationStyle::Custom);
    picker->setModalTransitionStyle(ui::ModalTransitionStyle::CrossDissolve);
    presentViewController(picker, true);
}

void TVNewPayVC::setPayEnabled(bool enabled) {
    if (auto button = payBtn.lock()) button->setEnabled(enabled);
}

void TVNewPayVC::setPurchase(std::shared_ptr<TVPurchase> purchase) {
    purchase_ = std::move(purchase);
    if (purchase_) purchase_->setCentre(ref<TVNewPayVC>());
}

TVPurchase& TVNewPayVC::purchase() {
    if (!purchase_) setPurchase(TVPurchase::make({nullptr, nullptr, orderState().fullAmount}, nullptr));
    return *purchase_;
}

void TVNewPayVC::doPay() {
    if (payStyle_ < WxH5 || payStyle_ > GFWx) return;
    // One order at a time: a reply nobody awaits would be lost.
    if (!choosing("no other is sent")) return;
    setPayEnabled(false);
    OrderState& state = orderState();
    // The purchase awaits the reply, whether or not the centre is still
    // there, and reports it; the screen's own work waits for the screen.
    purchase();
    auto awaiting = purchase_;
    awaiting->setPlayer(ShareVale::sharedInstance()->userName());
    TVPayAPI::Order order;
    order.roleId = state.roleId;
    order.serverId = state.serverId;
    order.productName = state.productName;
    order.productDesc = state.productDesc;
    order.cpExtend = state.cpExtend;
    ns::Weak<TVNewPayVC> weak = ref<TVNewPayVC>();
    auto balancePaid = [awaiting](const ns::Ref<TVBaseResponse>& reply) {
        awaiting->on(TVPurchase::Event::OrderPaid, {.text = TVReply::messageText(reply ? reply->mesage : nullptr)});
    };
    auto balanceFailed = [weak, awaiting](const Text& message, const Text& code) {
        if (auto centre = weak.lock()) {
            VRQMessage::showMessage(message, centre->view());
            centre->setPayEnabled(true);
        }
        awaiting->on(TVPurchase::Event::OrderFailed, {.text = message, .code = code});
    };
    // The order is made now and goes when the purchase sends it: at once,
    // or, for one a poll confirms, once no earlier purchase of its player
    // is being confirmed.
    std::function<void()> send;
    bool confirmedByPoll = true;

    if (payStyle_ == Djq) {
        order.money = state.fullAmount;
        send = [order, balancePaid, balanceFailed] { TVPayAPI::doDjqPay(order, balancePaid, balanceFailed); };
        confirmedByPoll = false;
    } else {
        order.orderNumber = str(URLEncode::getOrderNumber());
        order.discount = str(ns::format("%.2f", discount_));
    }
    // The web, wallet and WeChat orders' common failure; code 11 is a free
    // payment.
    auto webFailed = [weak, awaiting](const Text& message) {
        auto centre = weak.lock();
        if (centre) centre->setPayEnabled(true);
        if (message && message->utf8() == "11") return awaiting->on(TVPurchase::Event::OrderFree);
        if (centre) VRQMessage::showMessage(message, centre->view());
        awaiting->on(TVPurchase::Event::OrderFailed, {.text = str("无法通知服务器"), .code = str("3")});
    };
    auto pageReady = [awaiting](const ns::Ref<NotifyServer>& reply) {
        awaiting->on(TVPurchase::Event::PayPageReady, {.order = reply ? reply->url : nullptr});
    };
    if (payStyle_ == Ptb) {
        order.money = coinsOf(state.fullAmount);
        order.realMoney = coinsOf(state.discountedAmount);
        order.cid = str("");
        send = [order, balancePaid, balanceFailed] { TVPayAPI::doPtbPay(order, balancePaid, balanceFailed); };
        confirmedByPoll = false;
    } else if (payStyle_ != Djq) {
        order.money = state.fullAmount;
        order.realMoney = state.currentAmount;
        order.cid = state.voucherId;
    }
    if (payStyle_ == WxH5 || payStyle_ == QuipayH5) {
        order.payType = str(payStyle_ == WxH5 ? "wx" : "zfb");
        send = [order, pageReady, webFailed] { TVPayAPI::doH5Pay(order, pageReady, webFailed); };
    } else if (payStyle_ == GFWx) {
        auto url = str(TVAPIStrings::at(isWxpayTwo_ ? TVAPIStrings::WxH5PayOther : TVAPIStrings::WxH5Pay));
        send = [order, url, pageReady, webFailed] { TVPayAPI::doWxPay(order, url, pageReady, webFailed); };
    } else if (payStyle_ == GFQuipay) {
        auto url = str(TVAPIStrings::at(isQuipayTwo_ ? TVAPIStrings::QuipayAppOther : TVAPIStrings::QuipayApp));
        auto walletReady = [awaiting](const ns::Ref<QuipayInfo>& reply) {
            awaiting->on(TVPurchase::Event::WalletOrderReady, {.order = reply});
        };
        send = [order, url, walletReady, webFailed] {
            TVPayAPI::doQuipayAppPay(order, url, walletReady, webFailed);
        };
    }
    awaiting->on(TVPurchase::Event::OrderSent, {.send = std::move(send), .confirmedByPoll = confirmedByPoll});
}

void TVNewPayVC::showOrderWaiting(bool waiting, bool payEnabled) {
    hideHUD();
    if (!waiting) {
        if (payEnabled) setPayEnabled(true);
        return;
    }
    // On the centre's own view: the close in its bar still works.
    hud_ = sd_KXProgressHUD::showHUDAddedTo(view(), true);
    hud_->setLabelText(str("支付中..."));
}

void TVNewPayVC::openPayPage(const ns::Id& url) {
    bool official = payStyle_ == GFWx;
    auto page = std::make_shared<TVWebPayVC>();
    page->url = TVReply::messageText(url);
    page->isGFWXH5 = official;
    ns::Weak<TVNewPayVC> weak = ref<TVNewPayVC>();
    page->webViewCallBack = [weak](TVWebPayVC&) {
        auto centre = weak.lock();
        // Once the centre has left the screen the purchase takes the
        // player's return itself.
        if (centre && !centre->closed_ && centre->purchase_)
            centre->purchase_->on(TVPurchase::Event::PayPageReturned);
    };
    if (auto navigation = navigationController()) navigation->pushViewController(page, true);
    page->setTitle(str(official || payStyle_ == WxH5 ? "微信支付" : "趣付支付"));
}

void TVNewPayVC::showConfirming(const ns::Ref<ns::Error>& error, const Text& status) {
    setPayEnabled(true);
    if (auto navigation = navigationController()) {
        if (ns::cast<TVWebPayVC>(navigation->viewControllers().back())) navigation->popViewController(true);
    }
    noticeView()->payError = error;
    noticeView()->payStatus = status;
    if (auto label = noticeView()->statusL.lock()) label->setText(str("支付中..."));
    showNotice();
}

void TVNewPayVC::payWithFree() {
    showCard(nullptr, str("支付成功"));
}

void TVNewPayVC::showCard(const ns::Ref<ns::Error>& error, const Text& status) {
    // A card put up after the centre has closed would stay over the game.
    if (closed_) return;
    noticeView()->payError = error;
    noticeView()->payStatus = status;
    if (auto label = noticeView()->statusL.lock()) label->setText(status);
    if (noticeView()->window()) logNotice();
    else showNotice();
}

void TVNewPayVC::showNotice() {
    coverView()->addSubview(noticeView());
    if (auto window = VRQWindowManager::topWindow()) window->addSubview(coverView());
    logNotice();
}

// Headless, the card's status is a line of the screen.
void TVNewPayVC::logNotice() {
    auto label = noticeView()->statusL.lock();
    auto status = label ? label->text() : nullptr;
    ns::logScreen("pay notice", status ? status->utf8() : std::string());
}

const ns::Ref<ui::View>& TVNewPayVC::coverView() {
    if (!coverView_) {
        coverView_ = ui::View::make(view()->frame());
        coverView_->setBackgroundColor(cg::Color{0, 0, 0, 0.2});
    }
    return coverView_;
}

const ns::Ref<TVPayNoticeView>& TVNewPayVC::noticeView() {
    if (noticeView_) return noticeView_;
    noticeView_ = ns::cast<TVPayNoticeView>(ViewExtension::ViewFromXib(TVPayNoticeView::kNibName));
    if (!noticeView_) noticeView_ = std::make_shared<TVPayNoticeView>(cg::Rect{0, 0, 270, 160});
    noticeView_->setCenter(view()->center());
    ns::Weak<TVNewPayVC> weak = ref<TVNewPayVC>();
    // Either button leaves the card; the purchase reports what it shows.
    noticeView_->goToGameBlock = [weak](const ns::Ref<ns::Error>&, const Text&) {
        if (auto centre = weak.lock()) centre->finish();
    };
    noticeView_->goToApplyBlock = [weak](const ns::Ref<ns::Error>&, const Text&) {
        auto centre = weak.lock();
        if (!centre) return;
        centre->finish();
        TVCompanionApp::open(TVAPIStrings::at(TVAPIStrings::FanliKey));
    };
    return noticeView_;
}

void TVNewPayVC::finish() {
    auto self = ref<TVNewPayVC>();
    coverView()->removeFromSuperview();
    popAction();
}

void TVNewPayVC::navigationGone() {
    if (closed_) return;
    removeCard();
    leave();
}

void TVNewPayVC::removeCard() {
    // A window being let go takes its subviews with it.
    if (coverView_ && coverView_->superview()) coverView_->removeFromSuperview();
}

void TVNewPayVC::popAction() {
    if (purchase_) purchase_->on(TVPurchase::Event::Close);
    leave();
}

void TVNewPayVC::leave() {
    closed_ = true;
    hiddenLeftBtn();
    hideHUD();
    VRQHelperBtn::setPaymentCentreOnScreen(false);
    OrderState& state = orderState();
    state.currentAmount = nullptr;
    state.discountedAmount = nullptr;
    state.voucherId = nullptr;
    auto navigation = navigationController();
    if (!navigation) return;
    if (auto titleView = navigation->navigationBar()->viewWithTag(kBarTitleViewTag)) titleView->removeFromSuperview();
    // Whatever it opened goes with it: the screens pushed over it (the pay
    // page) and those presented over it (the voucher picker).
    const auto& stack = navigation->viewControllers();
    auto at = std::find(stack.begin(), stack.end(), ref<TVNewPayVC>());
    if (at != stack.begin() && at != stack.end()) {
        navigation->popToViewController(*std::prev(at), true);
        return;
    }
    // The navigation's own dismissal would take only what it presents, and
    // leave the centre over the game: its presenter dismisses it.
    if (auto presenter = navigation->presentingViewController()) presenter->dismissViewController(true);
}

void TVNewPayVC::pause() {
    if (purchase_) purchase_->on(TVPurchase::Event::PollPaused);
}

void TVNewPayVC::resume() {
    loadTimer();
}

void TVNewPayVC::loadTimer() {
    purchase().on(TVPurchase::Event::PollAsked);
}
