#pragma once
// The GM store tab and the VIP gifts tab of the store hall: a column of
// goods categories and, beside it, a grid of the chosen category's goods.
// The panes and the hall's description column talk only through the
// default notification centre: the menu announces a category to the grid,
// the grid the chosen goods to the description column, and an accepted
// claim comes back to the grid, which marks the goods claimed.
//
// The two tabs are one template over their names, keys and claimed rule
// (GMGoods, VIPGoods); the classes below are its two instances.

#include <optional>
#include <string>

#include "aggregation/core/KVTRGMModel.h"
#include "aggregation/core/KVTRVIPModel.h"
#include "platform/foundation/MutableArray.h"
#include "platform/uikit/CollectionViewCell.h"
#include "platform/uikit/CollectionViewController.h"
#include "platform/uikit/CollectionViewFlowLayout.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableViewController.h"

// ---- Cells ----

class KVTRGMMenuCell : public ui::TableViewCell {
    RT_DECLARE_CLASS(KVTRGMMenuCell)
public:
    KVTRGMMenuCell() : KVTRGMMenuCell(ui::TableViewCellStyle::Default, "") {}
    KVTRGMMenuCell(ui::TableViewCellStyle style, std::string reuseIdentifier);

    ns::Ref<ui::ImageView> bgView;
    ns::Ref<ui::Label> categoryTitleLabel;
    ns::Ref<ui::Label> arrowLabel;
    void setFirstTitle(const ns::Ref<ns::String>& title);
    void setSelected(bool selected, bool animated = false) override;
    void layoutSubviews() override;

private:
    void applyColours();
};

class KVTRVIPMenuCell : public KVTRGMMenuCell {
    RT_DECLARE_CLASS(KVTRVIPMenuCell)
public:
    using KVTRGMMenuCell::KVTRGMMenuCell;
};

class KVTRGMDetailCell : public ui::CollectionViewCell {
    RT_DECLARE_CLASS(KVTRGMDetailCell)
public:
    KVTRGMDetailCell() : KVTRGMDetailCell(cg::Rect{}) {}
    explicit KVTRGMDetailCell(const cg::Rect& frame);

    ns::Ref<ui::ImageView> bgView;
    ns::Ref<ui::ImageView> icon;
    ns::Ref<ui::Label> name;
    ns::Ref<ui::Label> num;
    ns::Ref<ui::ImageView> albuy;
    void setIconUrl(const ns::Ref<ns::String>& address);
    void setGiftName(const ns::Ref<ns::String>& giftName);
    void setGiftNum(const ns::Ref<ns::String>& giftNum);
    void setSelected(bool selected) override;
    void layoutSubviews() override;

private:
    // The address the icon is for: a picture that lands after the cell
    // moved on to other goods is dropped.
    std::string iconAddress_;
};

class KVTRVIPDetailCell : public KVTRGMDetailCell {
    RT_DECLARE_CLASS(KVTRVIPDetailCell)
public:
    using KVTRGMDetailCell::KVTRGMDetailCell;
};

// ---- What the two tabs differ in ----

struct GMGoods {
    using Model = KVTRGMModel;
    using MenuCell = KVTRGMMenuCell;
    using DetailCell = KVTRGMDetailCell;
    static constexpr const char* MenuCellName = "KVTRGMMenuCell";
    static constexpr const char* DetailCellName = "KVTRGMDetailCell";
    static constexpr const char* ColumnNotification = "CloumnCategoryDataWillLoad";
    static constexpr const char* DescNotification = "DescCategoryDataWillLoad";
    static constexpr const char* SuccessNotification = "SuccessGetNotification";
    static const ns::Ref<ns::String>& title(const Model& m) { return m.gm_name; }
    static const ns::Ref<ns::String>& level(const Model& m) { return m.gm_id; }
    // Marked unless its status reads "0".
    static bool claimed(const std::string& status) { return status != "0"; }
};

struct VIPGoods {
    using Model = KVTRVIPModel;
    using MenuCell = KVTRVIPMenuCell;
    using DetailCell = KVTRVIPDetailCell;
    static constexpr const char* MenuCellName = "KVTRVIPMenuCell";
    static constexpr const char* DetailCellName = "KVTRVIPDetailCell";
    static constexpr const char* ColumnNotification = "VIPCloumnCategoryDataWillLoad";
    static constexpr const char* DescNotification = "VIPDescCategoryDataWillLoad";
    static constexpr const char* SuccessNotification = "VIPSuccessGetNotification";
    static const ns::Ref<ns::String>& title(const Model& m) { return m.vip_name; }
    static const ns::Ref<ns::String>& level(const Model& m) { return m.vip_id; }
    // Marked only when its status reads "1".
    static bool claimed(const std::string& status) { return status == "1"; }
};

// ---- Panes ----

template <class Goods>
class KVTRGoodsMenuController : public ui::TableViewController,
                                public ui::TableViewDataSource,
                                public ui::TableViewDelegate {
public:
    ns::Ref<ns::Array> menuArray;
    std::optional<ui::IndexPath> selectedIndexPath;
    const ns::Ref<ns::MutableArray>& catelogyList();
    void setMenuArray(const ns::Ref<ns::Array>& categories);

    void viewDidLoad() override;
    int64_t numberOfRowsInSection(ui::TableView& view, int64_t section) override;
    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    std::optional<double> heightForRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    std::optional<double> heightForHeaderInSection(ui::TableView& view, int64_t section) override;
    std::optional<double> heightForFooterInSection(ui::TableView& view, int64_t section) override;
    ns::Ref<ui::View> viewForHeaderInSection(ui::TableView& view, int64_t section) override;
    ns::Ref<ui::View> viewForFooterInSection(ui::TableView& view, int64_t section) override;
    void didSelectRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;
    void didDeselectRowAtIndexPath(ui::TableView& view, const ui::IndexPath& path) override;

private:
    ns::Ref<ns::MutableArray> list_;
};

template <class Goods>
class KVTRGoodsDetailViewController : public ui::CollectionViewController,
                                      public ui::CollectionViewDataSource,
                                      public ui::CollectionViewDelegate {
public:
    using Model = typename Goods::Model;

    KVTRGoodsDetailViewController();
    ~KVTRGoodsDetailViewController() override;

    const ns::Ref<ns::Array>& secondMArr() const { return secondMArr_; }
    void setSecondMArr(const ns::Ref<ns::Array>& categories);
    const ns::Ref<ns::MutableArray>& detailCategoryList();
    // The shown category's row as decimal text; category 0 while unset.
    ns::Ref<ns::String> index;
    std::optional<ui::IndexPath> selectIndexPath;
    static ns::Ref<ui::CollectionViewFlowLayout> flowLayout();

    void loadHeaderCategoryData(const ns::Id& row);
    void successGetData(const ns::Id& claimed);

    void viewDidLoad() override;
    int64_t numberOfItemsInSection(ui::CollectionView& view, int64_t section) override;
    ns::Ref<ui::CollectionViewCell> cellForItemAtIndexPath(ui::CollectionView& view, const ui::IndexPath& path) override;
    void didSelectItemAtIndexPath(ui::CollectionView& view, const ui::IndexPath& path) override;

private:
    void fillFromCategory(int64_t category);
    void selectFirstAndAnnounce();

    ns::Ref<ns::Array> secondMArr_;
    ns::Ref<ns::MutableArray> list_;
};

class KVTRGMMenuController : public KVTRGoodsMenuController<GMGoods> {
    RT_DECLARE_CLASS(KVTRGMMenuController)
};
class KVTRVIPMenuController : public KVTRGoodsMenuController<VIPGoods> {
    RT_DECLARE_CLASS(KVTRVIPMenuController)
};
class KVTRGMDetailViewController : public KVTRGoodsDetailViewController<GMGoods> {
    RT_DECLARE_CLASS(KVTRGMDetailViewController)
};
class KVTRVIPDetailViewController : public KVTRGoodsDetailViewController<VIPGoods> {
    RT_DECLARE_CLASS(KVTRVIPDetailViewController)
};
