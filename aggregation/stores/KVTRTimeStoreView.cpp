#include "aggregation/stores/KVTRTimeStoreView.h"

#include <algorithm>
#include <cmath>

#include "aggregation/core/KVTRCountdown.h"
#include "aggregation/core/KVTRDataFormat.h"
#include "aggregation/core/KVTRNetworkManager.h"
#include "aggregation/stores/KVTRGiftCell.h"
#include "aggregation/stores/KVTRStoreSupport.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Font.h"

RT_DEFINE_CLASS(KVTRGiftViewController, ui::TableViewController, "KVTRGiftViewController")
RT_DEFINE_CLASS(KVTRVerticalGiftViewController, KVTRGiftViewController, "KVTRVerticalGiftViewController")
RT_DEFINE_CLASS(KVTRTimeStoreView, ui::View, "KVTRTimeStoreView")
RT_DEFINE_CLASS(KVTRVerticalTimeStoreView, KVTRTimeStoreView, "KVTRVerticalTimeStoreView")

using namespace kvtr_stores;

namespace {

constexpr double MinimumRefreshSeconds = 10;

// The page's own size: the screen less the hall's margins.
cg::Size pageSize(bool portrait) {
    const cg::Rect screen = screenBounds();
    return {screen.size.width - 80, screen.size.height - (portrait ? 140 : 80)};
}

double secondsOf(const ns::Id& value) {
    if (auto number = ns::cast<ns::Number>(value)) return number->doubleValue();
    if (auto text = ns::cast<ns::String>(value)) return text->doubleValue();
    return 0;
}

}  // namespace

// ---- List ----

const ns::Ref<ns::MutableArray>& KVTRGiftViewController::giftModelArray() {
    if (!models_) models_ = ns::MutableArray::make();
    return models_;
}

void KVTRGiftViewController::setGiftArray(const ns::Ref<ns::Array>& goods) {
    giftArray_ = goods;
    auto models = giftModelArray();
    models->removeAllObjects();
    if (goods) {
        for (const ns::Id& entry : *goods) models->addObject(KVTRTimeStoreModel::withDictionary(entry));
    }
    ns::Weak<KVTRGiftViewController> weak = ref<KVTRGiftViewController>();
    dispatch::async(dispatch::mainQueue(), [weak] {
        if (auto self = weak.lock()) self->tableView()->reloadData();
    });
}

void KVTRGiftViewController::viewDidLoad() {
    ui::TableViewController::viewDidLoad();
    applyPlainListLook(*tableView(), 45);
}

int64_t KVTRGiftViewController::numberOfSectionsInTableView(ui::TableView&) {
    return int64_t(giftModelArray()->count());
}

int64_t KVTRGiftViewController::numberOfRowsInSection(ui::TableView&, int64_t) { return 1; }

ns::Ref<ui::TableViewCell> KVTRGiftViewController::cellForRowAtIndexPath(ui::TableView& view,
                                                                         const ui::IndexPath& path) {
    // One identifier per position: a row is only ever reused where it was.
    const std::string identifier = "cell" + ui::toString(path);
    auto cell = std::dynamic_pointer_cast<KVTRGiftCell>(view.dequeueReusableCellWithIdentifier(identifier));
    if (!cell) {
        if (portrait_) {
            cell = std::make_shared<KVTRVerticalGiftCell>(ui::TableViewCellStyle::Default, identifier);
        } else {
            cell = std::make_shared<KVTRGiftCell>(ui::TableViewCellStyle::Default, identifier);
        }
    }
    cell->userInfo = userInfo;
    cell->setModel(ns::cast<KVTRTimeStoreModel>(giftModelArray()->objectAtIndex(uint64_t(path.section))));
    return cell;
}

std::optional<double> KVTRGiftViewController::heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) {
    return portrait_ ? 80 : (screenBounds().size.height - 170) * 0.25;
}

std::optional<double> KVTRGiftViewController::heightForHeaderInSection(ui::TableView&, int64_t) { return 0.1; }
std::optional<double> KVTRGiftViewController::heightForFooterInSection(ui::TableView&, int64_t) { return 5; }
ns::Ref<ui::View> KVTRGiftViewController::viewForHeaderInSection(ui::TableView&, int64_t) { return ui::View::make(); }
ns::Ref<ui::View> KVTRGiftViewController::viewForFooterInSection(ui::TableView&, int64_t) { return ui::View::make(); }

// ---- Page ----

KVTRTimeStoreView::KVTRTimeStoreView(bool portrait) : portrait_(portrait) {
    const cg::Size size = pageSize(portrait);
    const double W = size.width;
    const double H = size.height;
    auto background = ui::ImageView::make(portrait ? cg::Rect{10, 10, W, H} : cg::Rect{10, 5, W, H - 5});
    background->setUserInteractionEnabled(true);
    background->setImage(storeImage(portrait ? "timestorebgver" : "timestorebg"));
    addSubview(background);

    giftNameLabel = makeLabel({10, 10, W - 20, 20}, ui::Font::boldSystemFontOfSize(14), teal(), ui::TextAlignment::Center);
    background->addSubview(giftNameLabel);

    auto table = giftVC()->tableView();
    table->setFrame(portrait ? cg::Rect{20, 70, W - 40, H - 105} : cg::Rect{20, 42, W - 40, H - 62});
    background->addSubview(table);

    limitlabel = makeLabel(portrait ? cg::Rect{5, H, W, 30} : cg::Rect{5, H - 10, W, 30},
                           portrait ? ui::Font::systemFontOfSize(9) : ui::Font::boldSystemFontOfSize(10), teal(),
                           ui::TextAlignment::Center);
    limitlabel->setNumberOfLines(0);
    addSubview(limitlabel);

    const double noteFont = portrait ? 9 : 12;
    auto note = makeLabel(portrait ? cg::Rect{W - 150, 40, 145, 12} : cg::Rect{W - 180, 10, 160, 20},
                          ui::Font::boldSystemFontOfSize(noteFont), ui::redColor(), ui::TextAlignment::Right);
    note->setText("每种礼包限购1次");
    addSubview(note);

    countLabel = makeLabel(portrait ? cg::Rect{W - 150, 55, 145, 12} : cg::Rect{W - 180, 30, 160, 20},
                           ui::Font::boldSystemFontOfSize(noteFont), ui::redColor(), ui::TextAlignment::Right);
    addSubview(countLabel);

    // Removed in the destructor, so the raw pointer never outlives the page.
    ns::NotificationCenter::defaultCenter()->addObserver(this, "KVTRGIFTPAYSUCCESSNotification", nullptr,
                                                         [this](const ns::Ref<ns::Notification>&) {
                                                             getTimeStoreData();
                                                         });
}

KVTRTimeStoreView::~KVTRTimeStoreView() { ns::NotificationCenter::defaultCenter()->removeObserver(this); }

const ns::Ref<KVTRGiftViewController>& KVTRTimeStoreView::giftVC() {
    if (!giftVC_) {
        if (portrait_) {
            giftVC_ = std::make_shared<KVTRVerticalGiftViewController>();
        } else {
            giftVC_ = std::make_shared<KVTRGiftViewController>();
        }
    }
    return giftVC_;
}

void KVTRTimeStoreView::setUserInfo(const ns::Ref<ns::String>& userInfo) {
    userInfo_ = userInfo;
    giftVC()->userInfo = userInfo;
}

void KVTRTimeStoreView::setRoleid(const ns::Ref<ns::String>& roleid) {
    roleid_ = roleid;
    getTimeStoreData();
}

void KVTRTimeStoreView::getTimeStoreData() {
    auto gameId = plistGameId();
    if (KVTRDataFormat::isBlankString(gameId)) return;
    auto serviceId = printedValue(identityOf(userInfo_), "service_id");
    auto url = gameServerURL(
        ns::format("timestore/goodsnew?game_id=%@&role_id=%@&server_id=%@", gameId, roleid_, serviceId));
    ns::Weak<KVTRTimeStoreView> weak = ref<KVTRTimeStoreView>();
    KVTRNetworkManager::getWithURL(
        url, nullptr,
        [weak](const ns::Id& reply) {
            auto self = weak.lock();
            if (!self || !isSuccess(reply)) return;
            auto data = ns::cast<ns::Dictionary>(ns::cast<ns::Dictionary>(reply)->objectForKey("data"));
            if (!data || data->count() == 0) return;
            self->limitlabel->setText(textValue(data, "notice_content"));
            self->giftNameLabel->setText(textValue(data, "gift_no_name"));
            auto list = ns::cast<ns::Array>(data->objectForKey("list"));
            self->giftVC()->setGiftArray(list ? ns::cast<ns::Array>(list->mutableCopy()) : ns::MutableArray::make());
        },
        [](const ns::Ref<ns::String>&) {});
}

void KVTRTimeStoreView::layoutSubviews() {
    View::layoutSubviews();
    if (refresh_ == Refresh::Idle) refreshData();
}

void KVTRTimeStoreView::refreshData() {
    refresh_ = Refresh::WaitingForMenu;
    ns::Weak<KVTRTimeStoreView> weak = ref<KVTRTimeStoreView>();
    KVTRNetworkManager::getWithURL(
        gameServerURL(ns::format("menu/index?game_id=%@", plistGameId())), nullptr,
        [weak](const ns::Id& reply) {
            if (auto self = weak.lock()) self->menuArrived(reply);
        },
        [weak](const ns::Ref<ns::String>&) {
            if (auto self = weak.lock()) self->refresh_ = Refresh::Idle;
        });
}

void KVTRTimeStoreView::menuArrived(const ns::Id& reply) {
    auto timing = isSuccess(reply) ? ns::cast<ns::Dictionary>(ns::cast<ns::Dictionary>(reply)->objectForKey("time"))
                                   : nullptr;
    if (KVTRDataFormat::isBlankDictionary(timing)) {
        refresh_ = Refresh::Idle;
        return;
    }
    double period = secondsOf(timing->objectForKey("time_shop_refresh"));
    // A period of 0 or less ends the first countdown at once; without a
    // floor the cycle would then ask for the menu as fast as it answers.
    if (!firstCountdown_) period = std::max(period, MinimumRefreshSeconds);
    firstCountdown_ = false;
    refresh_ = Refresh::CountingDown;
    ns::Weak<KVTRTimeStoreView> weak = ref<KVTRTimeStoreView>();
    KVTRCountdown::shareInstance()->time(
        period,
        [weak](double remaining) {
            auto self = weak.lock();
            if (!self) return;
            const int seconds = int(remaining);
            self->countLabel->setText(ns::format("倒计时%d分钟%d秒", (seconds / 60) % 60, seconds % 60));
        },
        [weak] {
            auto self = weak.lock();
            if (!self) return;
            self->getTimeStoreData();
            self->refreshData();
        });
}
