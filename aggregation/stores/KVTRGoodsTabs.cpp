#include "aggregation/stores/KVTRGoodsTabs.h"

#include <algorithm>

#include "aggregation/stores/KVTRStoreSupport.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Font.h"

RT_DEFINE_CLASS(KVTRGMMenuCell, ui::TableViewCell, "KVTRGMMenuCell")
RT_DEFINE_CLASS(KVTRVIPMenuCell, KVTRGMMenuCell, "KVTRVIPMenuCell")
RT_DEFINE_CLASS(KVTRGMDetailCell, ui::CollectionViewCell, "KVTRGMDetailCell")
RT_DEFINE_CLASS(KVTRVIPDetailCell, KVTRGMDetailCell, "KVTRVIPDetailCell")
RT_DEFINE_CLASS(KVTRGMMenuController, ui::TableViewController, "KVTRGMMenuController")
RT_DEFINE_CLASS(KVTRVIPMenuController, ui::TableViewController, "KVTRVIPMenuController")
RT_DEFINE_CLASS(KVTRGMDetailViewController, ui::CollectionViewController, "KVTRGMDetailViewController")
RT_DEFINE_CLASS(KVTRVIPDetailViewController, ui::CollectionViewController, "KVTRVIPDetailViewController")

using namespace kvtr_stores;

namespace {

constexpr double MenuRowHeight = 32;
constexpr double MenuFontSize = 11.5;

// The shorter and the longer side of the screen, over the reference phone's.
double shortScale() {
    const cg::Size size = screenBounds().size;
    return std::min(size.width, size.height) / 375;
}
double longScale() {
    const cg::Size size = screenBounds().size;
    return std::max(size.width, size.height) / 667;
}

template <class Model>
ns::Ref<Model> recordOf(const ns::Id& goods) {
    auto model = std::make_shared<Model>();
    if (auto values = ns::cast<ns::Dictionary>(goods)) model->setValuesForKeysWithDictionary(*values);
    return model;
}

bool sameText(const ns::Ref<ns::String>& a, const ns::Ref<ns::String>& b) { return a && b && a->utf8() == b->utf8(); }

}  // namespace

// ---- Menu cell ----

KVTRGMMenuCell::KVTRGMMenuCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : ui::TableViewCell(style, std::move(reuseIdentifier)) {
    setSelectionStyle(ui::TableViewCellSelectionStyle::None);
    setBackgroundColor(ui::clearColor());
    bgView = ui::ImageView::make();
    categoryTitleLabel = makeLabel({}, ui::Font::systemFontOfSize(MenuFontSize), rgb(56, 80, 106), ui::TextAlignment::Center);
    arrowLabel = makeLabel({}, ui::Font::systemFontOfSize(MenuFontSize), rgb(56, 80, 106), ui::TextAlignment::Center);
    arrowLabel->setText(">");
    contentView()->addSubview(bgView);
    contentView()->addSubview(categoryTitleLabel);
    contentView()->addSubview(arrowLabel);
    bgView->setBackgroundColor(rgb(241, 241, 241));
}

void KVTRGMMenuCell::setFirstTitle(const ns::Ref<ns::String>& title) { categoryTitleLabel->setText(title); }

void KVTRGMMenuCell::setSelected(bool selected, bool animated) {
    ui::TableViewCell::setSelected(selected, animated);
    applyColours();
}

void KVTRGMMenuCell::applyColours() {
    const bool on = isSelected();
    bgView->setBackgroundColor(on ? rgb(222, 222, 222) : rgb(241, 241, 241));
    categoryTitleLabel->setTextColor(on ? teal() : rgb(181, 181, 181));
    arrowLabel->setTextColor(categoryTitleLabel->textColor());
}

void KVTRGMMenuCell::layoutSubviews() {
    ui::TableViewCell::layoutSubviews();
    const cg::Size size = contentView()->bounds().size;
    bgView->setFrame({0, 3, size.width, size.height - 3});
    categoryTitleLabel->setFrame(bgView->frame());
    arrowLabel->setFrame({size.width - 15, 3 + (size.height - 3 - 10) / 2, 10, 10});
    applyColours();
}

// ---- Goods cell ----

KVTRGMDetailCell::KVTRGMDetailCell(const cg::Rect& frame) : ui::CollectionViewCell(frame) {
    bgView = ui::ImageView::make();
    bgView->setBackgroundColor(rgb(241, 241, 241));
    icon = ui::ImageView::make();
    name = makeLabel({}, ui::Font::systemFontOfSize(10), ui::blackColor(), ui::TextAlignment::Left);
    num = makeLabel({}, ui::Font::systemFontOfSize(8), ui::whiteColor(), ui::TextAlignment::Center);
    num->setBackgroundColor(teal());
    num->layer()->setCornerRadius(5);
    num->setClipsToBounds(true);
    albuy = ui::ImageView::make();
    albuy->setImage(storeImage("albuy"));
    for (const auto& view : std::initializer_list<ns::Ref<ui::View>>{bgView, icon, name, num, albuy}) {
        contentView()->addSubview(view);
    }
}

void KVTRGMDetailCell::layoutSubviews() {
    ui::CollectionViewCell::layoutSubviews();
    const double s = shortScale();
    const double l = longScale();
    const cg::Size size = bounds().size;
    bgView->setFrame(bounds());
    const double side = size.height - 8;
    icon->setFrame({4, 4, side, side});
    const double x = 4 + side + 4;
    name->setFrame({x, 4 + 4 * s, size.width - 45 * s, 16 * s});
    num->setFrame({x, name->frame().origin.y + 16 * s + 2, 40 * l, 14 * s});
    albuy->setFrame({size.width - 2 - 45 * l, size.height - 28 * l - 2, 45 * l, 28 * s});
}

void KVTRGMDetailCell::setIconUrl(const ns::Ref<ns::String>& address) {
    iconAddress_ = ns::textOf(address);
    ns::Weak<KVTRGMDetailCell> weak = ref<KVTRGMDetailCell>();
    const std::string wanted = iconAddress_;
    loadRemoteImage(address, [weak, wanted](const ns::Ref<ui::Image>& image) {
        auto cell = weak.lock();
        if (cell && cell->iconAddress_ == wanted) cell->icon->setImage(image);
    });
}

void KVTRGMDetailCell::setGiftName(const ns::Ref<ns::String>& giftName) { name->setText(giftName); }

void KVTRGMDetailCell::setGiftNum(const ns::Ref<ns::String>& giftNum) { num->setText(giftNum); }

void KVTRGMDetailCell::setSelected(bool selected) {
    ui::CollectionViewCell::setSelected(selected);
    bgView->setBackgroundColor(selected ? rgb(222, 222, 222) : rgb(241, 241, 241));
}

// ---- Menu ----

template <class Goods>
const ns::Ref<ns::MutableArray>& KVTRGoodsMenuController<Goods>::catelogyList() {
    if (!list_) list_ = ns::MutableArray::make();
    return list_;
}

template <class Goods>
void KVTRGoodsMenuController<Goods>::setMenuArray(const ns::Ref<ns::Array>& categories) {
    menuArray = categories;
    if (!categories || categories->count() == 0) return;
    auto list = catelogyList();
    list->removeAllObjects();
    for (const ns::Id& entry : *categories) {
        // A category without goods gets a row without a title.
        auto category = ns::cast<ns::Array>(entry);
        list->addObject(recordOf<typename Goods::Model>(category && category->count() > 0 ? category->objectAtIndex(0)
                                                                                           : nullptr));
    }
    ns::Weak<KVTRGoodsMenuController> weak = std::static_pointer_cast<KVTRGoodsMenuController>(shared_from_this());
    dispatch::async(dispatch::mainQueue(), [weak] {
        auto self = weak.lock();
        if (!self) return;
        auto table = self->tableView();
        table->reloadData();
        if (table->numberOfRowsInSection(0) > 0) {
            table->selectRowAtIndexPath(ui::IndexPath{0, 0}, false, ui::TableViewScrollPosition::None);
        }
    });
}

template <class Goods>
void KVTRGoodsMenuController<Goods>::viewDidLoad() {
    ui::TableViewController::viewDidLoad();
    auto table = tableView();
    applyPlainListLook(*table, MenuRowHeight);
    table->registerClass(Goods::MenuCell::staticClass(), Goods::MenuCellName);
}

template <class Goods>
int64_t KVTRGoodsMenuController<Goods>::numberOfRowsInSection(ui::TableView&, int64_t) {
    return int64_t(catelogyList()->count());
}

template <class Goods>
ns::Ref<ui::TableViewCell> KVTRGoodsMenuController<Goods>::cellForRowAtIndexPath(ui::TableView& view,
                                                                                 const ui::IndexPath& path) {
    auto cell = std::dynamic_pointer_cast<typename Goods::MenuCell>(
        view.dequeueReusableCellWithIdentifier(Goods::MenuCellName, path));
    auto record = ns::cast<typename Goods::Model>(catelogyList()->objectAtIndex(uint64_t(path.row)));
    if (cell && record) cell->setFirstTitle(Goods::title(*record));
    return cell;
}

template <class Goods>
std::optional<double> KVTRGoodsMenuController<Goods>::heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) {
    return MenuRowHeight;
}
template <class Goods>
std::optional<double> KVTRGoodsMenuController<Goods>::heightForHeaderInSection(ui::TableView&, int64_t) {
    return 0.1;
}
template <class Goods>
std::optional<double> KVTRGoodsMenuController<Goods>::heightForFooterInSection(ui::TableView&, int64_t) {
    return 0.1;
}
template <class Goods>
ns::Ref<ui::View> KVTRGoodsMenuController<Goods>::viewForHeaderInSection(ui::TableView&, int64_t) {
    return ui::View::make();
}
template <class Goods>
ns::Ref<ui::View> KVTRGoodsMenuController<Goods>::viewForFooterInSection(ui::TableView&, int64_t) {
    return ui::View::make();
}

template <class Goods>
void KVTRGoodsMenuController<Goods>::didSelectRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) {
    selectedIndexPath = path;
    if (auto cell = view.cellForRowAtIndexPath(path)) cell->setSelected(true);
    view.scrollToRowAtIndexPath(path, ui::TableViewScrollPosition::Top, true);
    ns::NotificationCenter::defaultCenter()->postNotificationName(Goods::ColumnNotification,
                                                                  ns::str(std::to_string(path.row)));
}

template <class Goods>
void KVTRGoodsMenuController<Goods>::didDeselectRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) {
    view.reloadRowsAtIndexPaths({path}, ui::TableViewRowAnimation::None);
}

// ---- Grid ----

template <class Goods>
KVTRGoodsDetailViewController<Goods>::KVTRGoodsDetailViewController() : ui::CollectionViewController(flowLayout()) {}

template <class Goods>
KVTRGoodsDetailViewController<Goods>::~KVTRGoodsDetailViewController() {
    ns::NotificationCenter::defaultCenter()->removeObserver(this);
}

template <class Goods>
ns::Ref<ui::CollectionViewFlowLayout> KVTRGoodsDetailViewController<Goods>::flowLayout() {
    const cg::Rect screen = screenBounds();
    const double W = screen.size.width;
    const bool portrait = screen.size.height > screen.size.width;
    const double width = portrait ? (0.75 * (W - 60) - 30) / 2 : ((W - 60) / 2 - 40 * longScale()) / 2;
    auto layout = std::make_shared<ui::CollectionViewFlowLayout>();
    layout->setItemSize({width, 46 * shortScale()});
    layout->setMinimumLineSpacing(5);
    layout->setMinimumInteritemSpacing(0);
    layout->setSectionInset({5, 5, 0, 5});
    return layout;
}

template <class Goods>
const ns::Ref<ns::MutableArray>& KVTRGoodsDetailViewController<Goods>::detailCategoryList() {
    if (!list_) list_ = ns::MutableArray::make();
    return list_;
}

template <class Goods>
void KVTRGoodsDetailViewController<Goods>::fillFromCategory(int64_t category) {
    auto list = detailCategoryList();
    list->removeAllObjects();
    if (!secondMArr_ || category < 0 || uint64_t(category) >= secondMArr_->count()) return;
    auto goods = ns::cast<ns::Array>(secondMArr_->objectAtIndex(uint64_t(category)));
    if (!goods) return;
    for (const ns::Id& entry : *goods) list->addObject(recordOf<Model>(entry));
}

template <class Goods>
void KVTRGoodsDetailViewController<Goods>::selectFirstAndAnnounce() {
    auto grid = collectionView();
    grid->reloadData();
    // An empty category has no first goods: nothing is selected or announced.
    if (detailCategoryList()->count() == 0) return;
    grid->selectItemAtIndexPath(ui::IndexPath{0, 0}, false, ui::CollectionViewScrollPositionNone);
    didSelectItemAtIndexPath(*grid, {0, 0});
}

template <class Goods>
void KVTRGoodsDetailViewController<Goods>::setSecondMArr(const ns::Ref<ns::Array>& categories) {
    secondMArr_ = categories;
    if (!categories || categories->count() == 0) return;
    fillFromCategory(0);
    ns::Weak<KVTRGoodsDetailViewController> weak =
        std::static_pointer_cast<KVTRGoodsDetailViewController>(shared_from_this());
    dispatch::async(dispatch::mainQueue(), [weak] {
        if (auto self = weak.lock()) self->selectFirstAndAnnounce();
    });
}

template <class Goods>
void KVTRGoodsDetailViewController<Goods>::loadHeaderCategoryData(const ns::Id& row) {
    index = ns::str(ns::textOf(row));
    fillFromCategory(index->intValue());
    selectFirstAndAnnounce();
}

template <class Goods>
void KVTRGoodsDetailViewController<Goods>::successGetData(const ns::Id& claimedObject) {
    auto claimed = ns::cast<Model>(claimedObject);
    if (!claimed || !secondMArr_) return;
    auto marked = ns::MutableArray::make();
    for (const ns::Id& categoryValue : *secondMArr_) {
        auto category = ns::cast<ns::Array>(categoryValue);
        auto goods = ns::MutableArray::make();
        if (category) {
            for (const ns::Id& entry : *category) {
                auto dictionary = ns::cast<ns::Dictionary>(entry);
                if (!dictionary) {
                    goods->addObject(entry);
                    continue;
                }
                auto copy = ns::cast<ns::MutableDictionary>(dictionary->mutableCopy());
                auto record = recordOf<Model>(dictionary);
                if (sameText(record->gift_id, claimed->gift_id) && sameText(Goods::level(*record), Goods::level(*claimed))) {
                    copy->setObjectForKey(ns::str("1"), "status");
                }
                goods->addObject(copy);
            }
        }
        marked->addObject(goods);
    }
    setSecondMArr(marked);
    fillFromCategory(index ? index->intValue() : 0);
    ns::Weak<KVTRGoodsDetailViewController> weak =
        std::static_pointer_cast<KVTRGoodsDetailViewController>(shared_from_this());
    dispatch::async(dispatch::mainQueue(), [weak] {
        if (auto self = weak.lock()) self->collectionView()->reloadData();
    });
}

template <class Goods>
void KVTRGoodsDetailViewController<Goods>::viewDidLoad() {
    ui::CollectionViewController::viewDidLoad();
    auto grid = collectionView();
    grid->setBackgroundColor(ui::clearColor());
    grid->setAlwaysBounceVertical(true);
    grid->setShowsVerticalScrollIndicator(false);
    grid->registerClass(Goods::DetailCell::staticClass(), Goods::DetailCellName);
    ns::Weak<KVTRGoodsDetailViewController> weak =
        std::static_pointer_cast<KVTRGoodsDetailViewController>(shared_from_this());
    auto center = ns::NotificationCenter::defaultCenter();
    center->addObserver(this, Goods::ColumnNotification, nullptr, [weak](const ns::Ref<ns::Notification>& note) {
        if (auto self = weak.lock()) self->loadHeaderCategoryData(note->object());
    });
    center->addObserver(this, Goods::SuccessNotification, nullptr, [weak](const ns::Ref<ns::Notification>& note) {
        if (auto self = weak.lock()) self->successGetData(note->object());
    });
}

template <class Goods>
int64_t KVTRGoodsDetailViewController<Goods>::numberOfItemsInSection(ui::CollectionView&, int64_t) {
    return int64_t(detailCategoryList()->count());
}

template <class Goods>
ns::Ref<ui::CollectionViewCell> KVTRGoodsDetailViewController<Goods>::cellForItemAtIndexPath(
    ui::CollectionView& view, const ui::IndexPath& path) {
    auto cell = std::dynamic_pointer_cast<typename Goods::DetailCell>(
        view.dequeueReusableCellWithReuseIdentifier(Goods::DetailCellName, path));
    auto record = ns::cast<Model>(detailCategoryList()->objectAtIndex(uint64_t(path.item())));
    if (cell && record) {
        cell->setGiftName(record->gift_name);
        cell->setIconUrl(record->gift_icon);
        cell->setGiftNum(record->gift_num);
        cell->albuy->setHidden(!Goods::claimed(ns::textOf(record->status)));
    }
    return cell;
}

template <class Goods>
void KVTRGoodsDetailViewController<Goods>::didSelectItemAtIndexPath(ui::CollectionView& view,
                                                                    const ui::IndexPath& path) {
    selectIndexPath = path;
    if (auto cell = view.cellForItemAtIndexPath(path)) cell->setSelected(true);
    if (uint64_t(path.item()) >= detailCategoryList()->count()) return;
    ns::NotificationCenter::defaultCenter()->postNotificationName(
        Goods::DescNotification, detailCategoryList()->objectAtIndex(uint64_t(path.item())));
}

template class KVTRGoodsMenuController<GMGoods>;
template class KVTRGoodsMenuController<VIPGoods>;
template class KVTRGoodsDetailViewController<GMGoods>;
template class KVTRGoodsDetailViewController<VIPGoods>;
