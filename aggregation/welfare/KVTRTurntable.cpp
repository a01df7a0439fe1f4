#include "aggregation/welfare/KVTRTurntable.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>

#include "aggregation/core/KVTRDataFormat.h"
#include "aggregation/core/KVTRNetworkManager.h"
#include "aggregation/core/UIImage+KVTRSizeImage.h"
#include "aggregation/stores/KVTRStoreSupport.h"
#include "aggregation/welfare/KVTRTurnGiftPopViews.h"
#include "aggregation/welfare/KVTRWelfareSupport.h"
#include "platform/dispatch/PerformRequest.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GestureRecognizer.h"
#include "ui/hud/KVTRProgressHUD.h"

RT_DEFINE_CLASS(KVTRTurntable, ns::Object, "KVTRTurntable")

using namespace kvtr_stores;

namespace {

constexpr double DrawWaitSeconds = 1.0;
constexpr double BarLength = 206;

// A reply's "data" when it is a dictionary with keys; nil otherwise.
ns::Ref<ns::Dictionary> dataOf(const ns::Id& reply) {
    auto data = ns::cast<ns::Dictionary>(
        ns::cast<ns::Dictionary>(reply) ? ns::cast<ns::Dictionary>(reply)->objectForKey("data") : nullptr);
    return KVTRDataFormat::isBlankDictionary(data) ? nullptr : data;
}

// A mutable copy of the array under `key`; empty for anything else.
ns::Ref<ns::MutableArray> arrayCopy(const ns::Ref<ns::Dictionary>& data, std::string_view key) {
    auto array = ns::cast<ns::Array>(data ? data->objectForKey(key) : nullptr);
    return array ? ns::cast<ns::MutableArray>(array->mutableCopy()) : ns::MutableArray::make();
}

// The value as a number: a number, or a text that is one decimal number
// from end to end; nothing for anything else.
std::optional<double> numberOf(const ns::Ref<ns::String>& text) {
    if (!text) return std::nullopt;
    const std::string s = text->utf8();
    if (s.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// The bar's picture cut to the bar's own rectangle, so a short bar shows
// the start of the picture rather than all of it squeezed.
ns::Ref<ui::Image> barPicture(bool portrait, const cg::Rect& bar) {
    return interceptionWithRect(storeImage(portrait ? "veturnprocess" : "turnprocess"), bar);
}

}  // namespace

KVTRTurntable::KVTRTurntable(Kind kind, bool portrait) : kind_(kind), portrait_(portrait) {}

KVTRTurntable::~KVTRTurntable() { dispatch::cancelPreviousPerformRequests(this); }

const ns::Ref<ns::MutableArray>& KVTRTurntable::itemsArray() {
    if (!items_) items_ = ns::MutableArray::make();
    return items_;
}

const ns::Ref<ns::MutableArray>& KVTRTurntable::prop_listArray() {
    if (!prop_list_) prop_list_ = ns::MutableArray::make();
    return prop_list_;
}

// ---- The page ----

void KVTRTurntable::setPage(const ns::Ref<ui::View>& view) {
    page = view;
    const double W = view->bounds().width(), H = view->bounds().height();
    const bool super = kind_ == Kind::Super;

    auto counter = ui::ImageView::make(portrait_ ? cg::Rect{W - 78 - 15, 290, 78, 32} : cg::Rect{5, 10, 78, 32});
    counter->setImage(storeImage("turntablenum"));
    numLabel =
        makeLabel({0, 0, 67, 32}, ui::Font::boldSystemFontOfSize(18), ui::blackColor(), ui::TextAlignment::Right);
    counter->addSubview(numLabel);
    view->addSubview(counter);

    const double wheelX = portrait_ ? (W - 266) / 2 + (super ? 10 : 0) : 76;
    turnTableImg = ui::ImageView::make({wheelX, portrait_ ? 30.0 : 10.0, 266, 266});
    turnTableImg->setImage(storeImage("turntable"));
    turnTableImg->setUserInteractionEnabled(true);
    view->addSubview(turnTableImg);

    ns::Weak<KVTRTurntable> weak = ref<KVTRTurntable>();
    clickFiveBtn = imageButton({}, "turnclickten");
    clickFiveBtn->addTarget(
        ns::Id(), super ? "superclickFive:" : "clickFive:",
        [weak](ui::Control&, ui::Event*) {
            if (auto self = weak.lock()) self->clickFive();
        },
        ui::ControlEventTouchUpInside);
    clickOneBtn = imageButton({}, "turnclickone");
    clickOneBtn->addTarget(
        ns::Id(), super ? "superclickOne:" : "clickOne:",
        [weak](ui::Control&, ui::Event*) {
            if (auto self = weak.lock()) self->clickOne();
        },
        ui::ControlEventTouchUpInside);
    if (portrait_) {
        const double y = counter->frame().maxY() + 15;
        clickOneBtn->setFrame({(W / 2 - 56) / 2, y, 112, 34});
        clickFiveBtn->setFrame({clickOneBtn->frame().maxX() + 30, y, 112, 34});
        view->addSubview(clickOneBtn);
        view->addSubview(clickFiveBtn);
    } else {
        clickFiveBtn->setFrame({W - 82 - 112, H - 16 - 34, 112, 34});
        clickOneBtn->setFrame({W - 82 - 112, H - 16 - 34 - 45, 112, 34});
        view->addSubview(clickFiveBtn);
        view->addSubview(clickOneBtn);
    }
    if (!super) return;

    view->setUserInteractionEnabled(true);
    processBg = ui::ImageView::make(portrait_ ? cg::Rect{10, 50, 40, 206} : cg::Rect{W - 25 - 206, 60, 206, 40});
    processBg->setImage(storeImage(portrait_ ? "veturnprocessbg" : "turnprocessbg"));
    processBg->setUserInteractionEnabled(true);
    view->addSubview(processBg);
    processView = ui::ImageView::make(portrait_ ? cg::Rect{0, 0, 40, 190} : cg::Rect{0, 0, 190, 40});
    processView->setImage(barPicture(portrait_, processView->frame()));
    processView->setUserInteractionEnabled(true);
    processBg->addSubview(processView);
    const cg::Size bg = processBg->bounds().size;
    processIcon =
        ui::ImageView::make(portrait_ ? cg::Rect{2, bg.height - 38, 35, 35} : cg::Rect{bg.width - 38, 2, 35, 35});
    processIcon->setUserInteractionEnabled(true);
    processIcon->addGestureRecognizer(std::make_shared<ui::TapGestureRecognizer>([weak](ui::GestureRecognizer&) {
        if (auto self = weak.lock()) self->tapProcessIcon();
    }));
    processBg->addSubview(processIcon);
}

// ---- Loading ----

std::string KVTRTurntable::query(const char* path) const {
    return gameServerURL(ns::format("%s?game_id=%s&role_id=%s&server_id=%s", path, game_id_, role_id_, service_id_));
}

void KVTRTurntable::load(const ns::Ref<ns::String>& userInfo) {
    game_id_ = plistGameId()->utf8();
    auto identity = identityOf(userInfo);
    service_id_ = printedValue(identity, "service_id")->utf8();
    role_id_ = printedValue(identity, "super_role_id")->utf8();
    reload();
}

void KVTRTurntable::reload() {
    auto self = ref<KVTRTurntable>();
    KVTRNetworkManager::getWithURL(
        query(kind_ == Kind::Super ? "infiniteres/superwelfareturntable" : "infiniteres/welfareturntable"), nullptr,
        [self](const ns::Id& reply) {
            auto data = dataOf(reply);
            if (!isSuccess(reply) || !data) return;  // the wheel keeps what it shows
            self->applyLoad(data);
        },
        [](const ns::Ref<ns::String>&) {});
}

void KVTRTurntable::applyLoad(const ns::Ref<ns::Dictionary>& data) {
    const bool super = kind_ == Kind::Super;
    items_ = arrayCopy(data, "items");
    rule =
        ns::String::make(ns::format("%@\n%@", data->objectForKey("active_title"), data->objectForKey("active_rule")));
    user_nums =
        ns::String::make(ns::textOf(data->objectForKey(super ? "user_superwelfare_nums" : "user_welfare_nums")));
    numLabel->setText(user_nums);
    if (super) use_superwelfare_nums = ns::String::make(ns::textOf(data->objectForKey("use_superwelfare_nums")));

    // A copy: removing a subview changes the list.
    auto subviews = turnTableImg->subviews();
    for (auto& subview : subviews) subview->removeFromSuperview();
    cells_.clear();

    bool centreFound = super;
    if (super) centerObj = KVTRTurnTableModel::withDictionary(data->objectForKey("select_extra_items"));
    std::vector<ns::Ref<KVTRTurnTableModel>> sectors;
    for (const ns::Id& entry : *items_) {
        auto prize = KVTRTurnTableModel::withDictionary(entry);
        if (super || ns::textOf(prize->is_super) == "0") {
            sectors.push_back(prize);
        } else {
            centerObj = prize;
            centreFound = true;
        }
    }
    cells_.reserve(8);
    for (size_t i = 0; i < sectors.size(); ++i) addSector(i, sectors[i]);
    addCentre(centerObj, centreFound);
    if (!super) return;

    // The bar fills as the super draws reach the centre prize's count; a
    // ratio that is not a number counts as none.
    const auto used = numberOf(use_superwelfare_nums);
    const auto needed = numberOf(centerObj->nums);
    double ratio = 0;
    if (used && needed) {
        ratio = *used / *needed;
        if (std::isnan(ratio) || ratio < 0) ratio = 0;
    }
    showProgress(ratio);
}

void KVTRTurntable::addSector(size_t index, const ns::Ref<KVTRTurnTableModel>& prize) {
    auto sector = std::make_shared<KVTRTurnCellView>(cg::Rect{0, 0, 80, 133});
    sector->setModel(prize);
    if (index == 0) sector->selectBtn->setSelected(true);
    sector->layer()->setAnchorPoint({0.5, 1.0});
    sector->layer()->setPosition({133, 133});
    sector->setTransform(
        cg::AffineTransform::makeRotation(double(index) * std::numbers::pi / 4 + std::numbers::pi / 8));
    sector->setUserInteractionEnabled(true);
    turnTableImg->addSubview(sector);
    cells_.push_back(sector);
}

void KVTRTurntable::addCentre(const ns::Ref<KVTRTurnTableModel>& prize, bool withPicture) {
    centerImg = ui::ImageView::make({103, 103, 60, 60});
    centerImg->setUserInteractionEnabled(true);
    centerImg->setTag(kind_ == Kind::Super ? 101 : 102);
    turnTableImg->addSubview(centerImg);
    if (withPicture && prize) {
        ns::Weak<ui::ImageView> weakCentre = centerImg;
        ns::Weak<ui::ImageView> weakIcon = kind_ == Kind::Super ? processIcon : nullptr;
        loadRemoteImage(prize->icon, [weakCentre, weakIcon](const ns::Ref<ui::Image>& image) {
            if (auto centre = weakCentre.lock()) centre->setImage(image);
            if (auto icon = weakIcon.lock()) icon->setImage(image);
        });
    }
    ns::Weak<KVTRTurntable> weak = ref<KVTRTurntable>();
    centerImg->addGestureRecognizer(std::make_shared<ui::TapGestureRecognizer>([weak](ui::GestureRecognizer& tap) {
        auto self = weak.lock();
        if (self && self->centreTapped && tap.view()) self->centreTapped(*tap.view());
    }));
}

void KVTRTurntable::showProgress(double ratio) {
    const bool full = ratio >= 1;
    const double length = full ? BarLength : double(float(BarLength) * float(ratio));
    processView->setFrame(portrait_ ? cg::Rect{0, 0, 40, length} : cg::Rect{0, 0, length, 40});
    processView->setImage(barPicture(portrait_, processView->frame()));
    processIcon->setUserInteractionEnabled(full);
    processIcon->layer()->removeAllAnimations();
    if (full) processIcon->layer()->addAnimation(opacityForever_Animation(0.5), "");
}

ns::Ref<ui::BasicAnimation> KVTRTurntable::opacityForever_Animation(float duration) {
    auto animation = ui::BasicAnimation::animationWithKeyPath("opacity");
    animation->setFromValue(ns::Number::withDouble(1.0));
    animation->setToValue(ns::Number::withDouble(0.0));
    animation->setAutoreverses(true);
    animation->setDuration(duration);
    animation->setRepeatCount(std::numeric_limits<float>::max());
    animation->setRemovedOnCompletion(false);
    animation->setFillMode(ui::FillModeForwards);
    animation->setTimingFunction(ui::MediaTimingFunction::functionWithName(ui::MediaTimingFunctionEaseIn));
    return animation;
}

// ---- Drawing ----

void KVTRTurntable::scheduleDraw(const char* selector, int nums) {
    // A burst of taps sends one request, a second after the last tap.
    dispatch::cancelPreviousPerformRequests(this, selector);
    ns::Weak<KVTRTurntable> weak = ref<KVTRTurntable>();
    dispatch::performAfterDelay(this, selector, DrawWaitSeconds, [weak, nums] {
        if (auto self = weak.lock()) self->draw(nums);
    });
}

void KVTRTurntable::clickOne() {
    scheduleDraw(kind_ == Kind::Super ? "superbuttonClickedOneAction" : "buttonClickedOneAction", 1);
}

void KVTRTurntable::clickFive() {
    scheduleDraw(kind_ == Kind::Super ? "superbuttonClickedFiveAction" : "buttonClickedFiveAction", 5);
}

void KVTRTurntable::draw(int nums) {
    const char* path =
        kind_ == Kind::Super ? "infiniteres/getsuperwelfareturntable" : "infiniteres/getwelfareturntable";
    auto self = ref<KVTRTurntable>();
    KVTRNetworkManager::getWithURL(
        query(path) + (nums == 1 ? "&nums=1" : "&nums=5"), nullptr,
        [self, nums](const ns::Id& reply) {
            if (!isSuccess(reply)) {
                KVTRProgressHUD::showErrorWithStatus(replyMessage(reply));
                return;
            }
            self->currentTime = 0;
            self->stopTime = nums == 1 ? 7 : 15;
            self->type = nums == 1 ? 1 : 0;
            // A draw without prizes shows none: never the previous draw's.
            self->prop_list_ = arrayCopy(dataOf(reply), "prop_list");
            self->setDrawButtonsEnabled(false);
            // A reply that lands while this wheel still spins takes over the
            // highlight: one timer per wheel.
            if (self->startTimer_) self->startTimer_->invalidate();
            ns::Weak<KVTRTurntable> weak = self;
            auto keep = self;  // the timer holds its wheel while it runs
            self->startTimer_ = dispatch::RunLoopTimer::create(nums == 1 ? 0.08 : 0.05, true,
                                                               [keep](dispatch::RunLoopTimer&) { keep->start(); });
            dispatch::RunLoop::main().addTimer(self->startTimer_, dispatch::RunLoopMode::Default);
        },
        [](const ns::Ref<ns::String>&) {});
}

void KVTRTurntable::start() {
    const size_t count = cells_.size();
    // A wheel without sectors steps without a highlight.
    if (count > 0) cells_[size_t(currentTime) % count]->selectBtn->setSelected(false);
    ++currentTime;
    if (count > 0) cells_[size_t(currentTime) % count]->selectBtn->setSelected(true);
    if (currentTime > stopTime) endSpin();
}

void KVTRTurntable::endSpin() {
    if (startTimer_) startTimer_->invalidate();
    startTimer_ = nullptr;
    setDrawButtonsEnabled(true);
    reload();
    auto prizes = prop_listArray();
    if (prizes->count() == 0) return;
    if (type == 1) {
        auto prize = KVTRTurnTableModel::withDictionary(prizes->objectAtIndex(0));
        auto popup = std::make_shared<KVTRTurnOneGiftPopView>();
        popup->setName(kvtr_welfare::prizeText(prize->name, prize->amount));
        popup->setIconUrl(prize->icon);
        popup->show();
    } else if (type == 0) {
        ns::Ref<KVTRTurnFiveGiftPopView> popup;
        if (portrait_)
            popup = std::make_shared<KVTRVETurnFiveGiftPopView>();
        else
            popup = std::make_shared<KVTRTurnFiveGiftPopView>();
        popup->setProp_listArray(prizes);
        popup->show();
    }
}

void KVTRTurntable::setDrawButtonsEnabled(bool enabled) {
    clickOneBtn->setEnabled(enabled);
    clickFiveBtn->setEnabled(enabled);
}

// ---- The super centre prize ----

void KVTRTurntable::tapProcessIcon() {
    auto self = ref<KVTRTurntable>();
    KVTRNetworkManager::getWithURL(
        query("infiniteres/getsuperprop"), nullptr,
        [self](const ns::Id& reply) {
            if (!isSuccess(reply)) {
                KVTRProgressHUD::showErrorWithStatus(replyMessage(reply));
                return;
            }
            KVTRProgressHUD::showSuccessWithStatus(ns::String::make("领取成功"));
            self->reload();
        },
        [](const ns::Ref<ns::String>&) {});
}
