#include "aggregation/stores/KVTRGiftCell.h"

#include "aggregation/stores/KVTRChargeOrder.h"
#include "aggregation/stores/KVTRFixBtn.h"
#include "aggregation/stores/KVTROptionalGiftView.h"
#include "aggregation/stores/KVTRStoreSupport.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Font.h"
#include "ui/hud/KVTRProgressHUD.h"

RT_DEFINE_CLASS(KVTRGiftCell, ui::TableViewCell, "KVTRGiftCell")
RT_DEFINE_CLASS(KVTRVerticalGiftCell, KVTRGiftCell, "KVTRVerticalGiftCell")

using namespace kvtr_stores;

namespace {

constexpr size_t RemarkFields = 5;

ns::Ref<ns::String> text(std::string value) { return ns::String::make(std::move(value)); }
std::string printed(const ns::Id& value) { return ns::textOf(value); }

}  // namespace

KVTRGiftCell::KVTRGiftCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : KVTRGiftCell(style, std::move(reuseIdentifier), false) {}

KVTRGiftCell::KVTRGiftCell(ui::TableViewCellStyle style, std::string reuseIdentifier, bool portrait)
    : ui::TableViewCell(style, std::move(reuseIdentifier)), layout_(rowLayout(portrait)) {
    setSelectionStyle(ui::TableViewCellSelectionStyle::None);
    setupUI();
}

KVTRGiftCell::RowLayout KVTRGiftCell::rowLayout(bool portrait) const {
    const cg::Rect screen = screenBounds();
    const double W = screen.size.width;
    const double H = screen.size.height;
    RowLayout l{};
    if (!portrait) {
        const double rowHeight = (H - 170) / 4;
        const double arrowRight = 90 + 8;
        l.nameFontSize = 12;
        l.nameFrame = {5, 2, 80, 30};
        l.allFixedNameY = 10;
        l.badgeFrame = {22, 32, 40, 12};
        l.arrowX = 90;
        l.buyFrame = {W - 200, (rowHeight - 25) / 2, 70, 25};
        l.stripFrame = {arrowRight, 2, W - 180 - arrowRight, rowHeight - 4};
        l.itemGap = 30;
        l.fixedOffset = 30;
        l.slotOffset = 60;
        l.plusSize = 20;
        l.plusGap = 20;
        l.plusY = (l.stripFrame.size.height - 20) / 2;
    } else {
        const double arrowRight = 60 + 8;
        l.nameFontSize = 10;
        l.nameFrame = {0, 5, 60, 30};
        l.allFixedNameY = 10;
        l.badgeFrame = {5, 35, 40, 12};
        l.arrowX = 60;
        l.buyFrame = {contentView()->bounds().size.width / 2 - 70, 50, 70, 25};
        l.stripFrame = {arrowRight, 8, W - 50 - arrowRight, W * 35 / 375};
        l.itemGap = 5;
        l.fixedOffset = 5;
        l.slotOffset = 25;
        l.plusSize = 15;
        l.plusGap = 5;
        l.plusY = (l.stripFrame.size.height - 20) / 2;
    }
    return l;
}

void KVTRGiftCell::setupUI() {
    auto* content = contentView().get();
    nameLabel = makeLabel(layout_.nameFrame, ui::Font::boldSystemFontOfSize(layout_.nameFontSize), ui::blackColor(),
                          ui::TextAlignment::Left);
    nameLabel->setNumberOfLines(0);
    content->addSubview(nameLabel);

    fixImage = ui::ImageView::make(layout_.badgeFrame);
    fixImage->setImage(storeImage("fixbg"));
    auto badgeText = makeLabel(fixImage->bounds(), ui::Font::boldSystemFontOfSize(8), ui::whiteColor(),
                               ui::TextAlignment::Center);
    badgeText->setText("私人定制");
    fixImage->addSubview(badgeText);
    content->addSubview(fixImage);

    auto arrow = ui::ImageView::make({layout_.arrowX, (layout_.stripFrame.size.height - 15) / 2 + 2, 8, 15});
    arrow->setImage(storeImage("arrow"));
    content->addSubview(arrow);

    fixView = ui::View::make(layout_.stripFrame);
    content->addSubview(fixView);

    buyBtn = imageButton(layout_.buyFrame, "tobuy");
    buyBtn->addTarget(ns::Id(), "toCharge", [this](ui::Control&, ui::Event*) { toCharge(); },
                      ui::ControlEventTouchUpInside);
    content->addSubview(buyBtn);
}

const ns::Ref<ns::MutableArray>& KVTRGiftCell::giftModelArray() {
    if (!pool_) pool_ = ns::MutableArray::make();
    return pool_;
}

const ns::Ref<ns::MutableArray>& KVTRGiftCell::chooseModelArray() {
    if (!chosen_) chosen_ = ns::MutableArray::make();
    return chosen_;
}

const ns::Ref<ns::MutableArray>& KVTRGiftCell::fixDataArray() {
    if (!fixData_) fixData_ = ns::MutableArray::make();
    return fixData_;
}

void KVTRGiftCell::clearItems() {
    for (auto& item : items_) item->removeFromSuperview();
    items_.clear();
    if (plus_) plus_->removeFromSuperview();
    plus_ = nullptr;
    if (alert) alert->dissmiss();
    alert = nullptr;
    chooseModelArray()->removeAllObjects();
    fixDataArray()->removeAllObjects();
}

ns::Ref<KVTRFixBtn> KVTRGiftCell::addItem(size_t index, bool slot, const ns::Ref<KVTRFixedGiftModel>& gift) {
    const double side = layout_.stripFrame.size.height;
    const double pitch = side + layout_.itemGap;
    const double x = pitch * double(index) + (slot ? layout_.slotOffset : layout_.fixedOffset);
    auto item = std::make_shared<KVTRFixBtn>(cg::Rect{x, 0, side, side});
    item->setModel(gift);
    fixView->addSubview(item);
    items_.push_back(item);
    return item;
}

void KVTRGiftCell::setModel(const ns::Ref<KVTRTimeStoreModel>& model) {
    clearItems();
    model_ = model;
    if (!model) return;

    const bool bought = printed(model->is_buy) == "1";
    buyBtn->setBackgroundImage(storeImage(bought ? "giftget" : "tobuy"), ui::ControlStateNormal);
    buyBtn->setUserInteractionEnabled(!bought);

    const std::string kind = model->is_all_fixed ? model->is_all_fixed->utf8() : "";
    nameLabel->setText(model->gift_name);
    fixImage->setHidden(kind == "2");
    cg::Rect nameFrame = layout_.nameFrame;
    if (kind == "2") nameFrame.origin.y = layout_.allFixedNameY;
    nameLabel->setFrame(nameFrame);

    auto pool = giftModelArray();
    pool->removeAllObjects();
    if (model->optional_gift) {
        for (const ns::Id& gift : *model->optional_gift) pool->addObject(KVTRFixedGiftModel::withDictionary(gift));
    }
    const size_t fixedCount = model->fixed_gift ? model->fixed_gift->count() : 0;
    const int32_t optionalCount = model->optional_num ? model->optional_num->intValue() : 0;

    if (kind == "1") {
        showPlus = fixedCount > 0;
        const size_t total = fixedCount + size_t(std::max(optionalCount, 0));
        for (size_t i = 0; i < total; ++i) {
            const bool fixed = showPlus && i < fixedCount;
            if (fixed) {
                addItem(i, false, KVTRFixedGiftModel::withDictionary(model->fixed_gift->objectAtIndex(i)));
            } else {
                auto slot = addItem(i, true, std::make_shared<KVTRFixedGiftModel>());
                slot->addTarget(ns::Id(), "clickFixBtn:", [this](ui::Control& sender, ui::Event*) { clickFixBtn(sender); },
                                ui::ControlEventTouchUpInside);
            }
            if (fixed && i + 1 == fixedCount) {
                const cg::Rect last = items_.back()->frame();
                plus_ = ui::ImageView::make({last.origin.x + last.size.width + layout_.plusGap, layout_.plusY,
                                             layout_.plusSize, layout_.plusSize});
                plus_->setImage(storeImage("plusimg"));
                fixView->addSubview(plus_);
            }
        }
    } else if (kind == "2") {
        showPlus = false;
        std::vector<ns::Id> shown;
        if (model->fixed_gift) {
            for (const ns::Id& gift : *model->fixed_gift) shown.push_back(gift);
        }
        if (model->optional_gift) {
            for (uint64_t i = 0; i < model->optional_gift->count() && int64_t(i) + 1 <= optionalCount; ++i) {
                shown.push_back(model->optional_gift->objectAtIndex(i));
            }
        }
        for (size_t i = 0; i < shown.size(); ++i) {
            auto gift = KVTRFixedGiftModel::withDictionary(shown[i]);
            addItem(i, false, gift);
            fixDataArray()->addObject(gift);
        }
    }
}

void KVTRGiftCell::clickFixBtn(ui::Control& slot) {
    // A chooser with nothing to offer would trap the player under its
    // cover, which has no action.
    if (giftModelArray()->count() == 0) return;
    auto* tile = dynamic_cast<KVTRFixBtn*>(&slot);
    if (!tile) return;
    ns::Weak<KVTRFixBtn> weakSlot = tile->ref<KVTRFixBtn>();
    ns::Weak<KVTRGiftCell> weakRow = ref<KVTRGiftCell>();
    alert = std::make_shared<KVTROptionalGiftView>();
    alert->giftArray = ns::cast<ns::MutableArray>(giftModelArray()->mutableCopy());
    alert->chooseBlock = [weakRow, weakSlot](const ns::Ref<KVTRFixedGiftModel>& gift) {
        if (auto row = weakRow.lock()) row->chose(weakSlot, gift);
    };
    alert->show();
}

void KVTRGiftCell::chose(const ns::Weak<KVTRFixBtn>& weakSlot, const ns::Ref<KVTRFixedGiftModel>& gift) {
    auto slot = weakSlot.lock();
    if (!slot || !gift) return;
    auto chosen = chooseModelArray();
    auto pool = giftModelArray();
    chosen->addObject(gift);
    // The first pool entry that is one of the chosen gifts leaves the pool.
    for (uint64_t i = 0; i < pool->count(); ++i) {
        const ns::Id entry = pool->objectAtIndex(i);
        bool isChosen = false;
        for (const ns::Id& picked : *chosen) isChosen = isChosen || picked == entry;
        if (isChosen) {
            pool->removeObjectAtIndex(i);
            break;
        }
    }
    if (auto earlier = slot->model(); earlier && earlier->mid) {
        chosen->removeObject(earlier);
        pool->addObject(earlier);
    }
    slot->setModel(gift);
}

ns::Ref<ns::String> KVTRGiftCell::chargeRemark() {
    std::string remark = printed(model_->good_id);
    const std::string kind = model_->is_all_fixed ? model_->is_all_fixed->utf8() : "";
    if (kind == "1") {
        const int32_t wanted = model_->optional_num ? model_->optional_num->intValue() : 0;
        if (int64_t(chooseModelArray()->count()) != wanted) {
            KVTRProgressHUD::showErrorWithStatus(text("请选择定制礼包"));
            return nullptr;
        }
        if (model_->fixed_gift) {
            for (const ns::Id& gift : *model_->fixed_gift) remark += "|" + printed(textValue(gift, "mid"));
        }
        for (const ns::Id& gift : *chooseModelArray()) {
            remark += "|" + printed(ns::cast<KVTRFixedGiftModel>(gift)->mid);
        }
    } else {
        for (const ns::Id& gift : *fixDataArray()) remark += "|" + printed(ns::cast<KVTRFixedGiftModel>(gift)->mid);
    }
    size_t fields = 1;
    for (char c : remark) fields += c == '|';
    while (fields < RemarkFields) {
        remark += "|0";
        ++fields;
    }
    return text(remark);
}

void KVTRGiftCell::toCharge() {
    if (!model_) return;
    auto remark = chargeRemark();
    if (!remark) return;
    // What was bought is what the player tapped: the row may show another
    // bundle by the time the reply lands.
    placeChargeOrder({"charge/order", userInfo, model_->good_id, remark, model_->gift_name, model_->gift_money,
                      "KVTRGIFTPAYNotification"});
}
