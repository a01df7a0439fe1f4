#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/runtime/Exception.h"
#include "platform/uikit/CollectionView.h"
#include "platform/uikit/CollectionViewFlowLayout.h"
#include "ui_test_support.h"

namespace {

using Log = std::vector<std::string>;
using ui::IndexPath;

class Grid : public ui::CollectionViewDataSource, public ui::CollectionViewDelegateFlowLayout {
public:
    std::vector<int64_t> counts{7, 1};
    std::map<IndexPath, cg::Size> sizes;
    bool refuseSelection = false;
    Log log;

    int64_t numberOfSectionsInCollectionView(ui::CollectionView&) override { return int64_t(counts.size()); }
    int64_t numberOfItemsInSection(ui::CollectionView&, int64_t section) override { return counts[size_t(section)]; }
    ns::Ref<ui::CollectionViewCell> cellForItemAtIndexPath(ui::CollectionView& view, const IndexPath& path) override {
        auto cell = view.dequeueReusableCellWithReuseIdentifier("Cell", path);
        cell->setTag(path.section * 100 + path.item());
        return cell;
    }
    std::optional<cg::Size> sizeForItemAtIndexPath(ui::CollectionView&, ui::CollectionViewLayout&,
                                                   const IndexPath& path) override {
        auto it = sizes.find(path);
        if (it == sizes.end()) return std::nullopt;
        return it->second;
    }
    bool shouldSelectItemAtIndexPath(ui::CollectionView&, const IndexPath&) override { return !refuseSelection; }
    void didSelectItemAtIndexPath(ui::CollectionView&, const IndexPath& path) override {
        log.push_back("didSelect " + std::to_string(path.item()));
    }
    void didDeselectItemAtIndexPath(ui::CollectionView&, const IndexPath& path) override {
        log.push_back("didDeselect " + std::to_string(path.item()));
    }
};

class CollectionViewTest : public UIKitTest {
protected:
    CollectionViewTest() {
        layout->setItemSize({100, 50});
        layout->setMinimumInteritemSpacing(10);
        layout->setMinimumLineSpacing(10);
        layout->setSectionInset({5, 5, 0, 5});
        layout->setHeaderReferenceSize({0, 30});
        view = ui::CollectionView::make({0, 0, 320, 480}, layout);
        view->registerClass(ui::CollectionViewCell::staticClass(), "Cell");
        view->setDataSource(grid);
        view->setDelegate(grid);
    }

    cg::Rect frameOf(int64_t item, int64_t section = 0) {
        return view->layoutAttributesForItemAtIndexPath(IndexPath::forItem(item, section))->frame;
    }

    std::shared_ptr<Grid> grid = std::make_shared<Grid>();
    ns::Ref<ui::CollectionViewFlowLayout> layout = std::make_shared<ui::CollectionViewFlowLayout>();
    ns::Ref<ui::CollectionView> view;
};

TEST_F(CollectionViewTest, VerticalFlowJustifiesLinesAndCentresALoneItem) {
    // Two items of 100 fit in the 310 points between the insets; the spare
    // width goes between them. Item 1 is taller: its line grows, item 0 is
    // centred in it.
    grid->sizes[IndexPath::forItem(1, 0)] = {100, 70};
    view->reloadData();
    EXPECT_TRUE(near(frameOf(0), {5, 45, 100, 50}));
    EXPECT_TRUE(near(frameOf(1), {215, 35, 100, 70}));
    EXPECT_TRUE(near(frameOf(2), {5, 115, 100, 50}));
    EXPECT_TRUE(near(frameOf(6), {110, 235, 100, 50}));
    auto header = layout->layoutAttributesForSupplementaryViewOfKind(ui::CollectionElementKindSectionHeader,
                                                                     IndexPath::forItem(0, 1));
    ASSERT_TRUE(header.has_value());
    EXPECT_TRUE(near(header->frame, {0, 285, 320, 30}));
    EXPECT_TRUE(near(frameOf(0, 1), {110, 320, 100, 50}));
    EXPECT_EQ(view->contentSize(), (cg::Size{320, 370}));
}

TEST_F(CollectionViewTest, HorizontalFlowFillsColumns) {
    layout->setScrollDirection(ui::CollectionViewScrollDirection::Horizontal);
    layout->setItemSize({80, 80});
    layout->setSectionInset({});
    layout->setHeaderReferenceSize({});
    view->setFrame({0, 0, 300, 200});
    grid->counts = {5};
    view->reloadData();
    EXPECT_TRUE(near(frameOf(0), {0, 0, 80, 80}));
    EXPECT_TRUE(near(frameOf(1), {0, 120, 80, 80}));
    EXPECT_TRUE(near(frameOf(2), {90, 0, 80, 80}));
    EXPECT_TRUE(near(frameOf(4), {180, 60, 80, 80}));
    EXPECT_EQ(view->contentSize(), (cg::Size{260, 200}));
}

TEST_F(CollectionViewTest, VisibleCellsFollowTheOffsetAndAreReused) {
    view->setFrame({0, 0, 320, 100});
    grid->counts = {40};
    view->reloadData();
    // Lines 35-85 and 95-145 meet the first 100 points.
    EXPECT_EQ(view->indexPathsForVisibleItems().size(), 4u);
    auto first = view->cellForItemAtIndexPath(IndexPath::forItem(0, 0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->reuseIdentifier(), "Cell");
    EXPECT_EQ(first->tag(), 0);

    view->setContentOffset({0, 600});
    auto paths = view->indexPathsForVisibleItems();
    ASSERT_FALSE(paths.empty());
    EXPECT_EQ(paths.front(), IndexPath::forItem(18, 0));
    EXPECT_EQ(view->cellForItemAtIndexPath(IndexPath::forItem(0, 0)), nullptr);
    bool reused = false;
    for (const auto& cell : view->visibleCells()) reused = reused || cell == first;
    EXPECT_TRUE(reused);

    view->scrollToItemAtIndexPath(IndexPath::forItem(39, 0), ui::CollectionViewScrollPositionTop, false);
    EXPECT_EQ(view->contentOffset().y, view->maximumContentOffset().y);
    EXPECT_THROW(view->scrollToItemAtIndexPath(IndexPath::forItem(40, 0), ui::CollectionViewScrollPositionTop, false),
                 ns::Exception);
}

TEST_F(CollectionViewTest, SelectionSilentByCodeAndThroughTheDelegateByTap) {
    view->selectItemAtIndexPath(IndexPath::forItem(1, 0), false, ui::CollectionViewScrollPositionNone);
    EXPECT_TRUE(grid->log.empty());
    EXPECT_TRUE(view->cellForItemAtIndexPath(IndexPath::forItem(1, 0))->isSelected());

    view->performUserSelection(IndexPath::forItem(3, 0));
    EXPECT_EQ(grid->log, (Log{"didDeselect 1", "didSelect 3"}));
    EXPECT_FALSE(view->cellForItemAtIndexPath(IndexPath::forItem(1, 0))->isSelected());
    EXPECT_TRUE(view->cellForItemAtIndexPath(IndexPath::forItem(3, 0))->isSelected());

    grid->refuseSelection = true;
    view->performUserSelection(IndexPath::forItem(4, 0));
    EXPECT_EQ(view->indexPathsForSelectedItems(), (std::vector<IndexPath>{IndexPath::forItem(3, 0)}));

    view->reloadData();
    EXPECT_TRUE(view->indexPathsForSelectedItems().empty());
}

TEST_F(CollectionViewTest, DequeuingNeedsARegistration) {
    EXPECT_THROW(view->dequeueReusableCellWithReuseIdentifier("Missing", IndexPath::forItem(0, 0)), ns::Exception);
    int made = 0;
    view->registerCellFactory("Made", [&] {
        ++made;
        return std::make_shared<ui::CollectionViewCell>();
    });
    auto cell = view->dequeueReusableCellWithReuseIdentifier("Made", IndexPath::forItem(0, 0));
    EXPECT_EQ(made, 1);
    EXPECT_EQ(cell->reuseIdentifier(), "Made");
}

}  // namespace

namespace {

class Headed : public Grid {
public:
    ns::Ref<ui::CollectionReusableView> viewForSupplementaryElementOfKind(ui::CollectionView& view,
                                                                         const std::string& kind,
                                                                         const IndexPath& path) override {
        auto header = view.dequeueReusableSupplementaryViewOfKind(kind, "Header", path);
        header->setTag(1000 + path.section);
        return header;
    }
    ns::Ref<ui::CollectionViewCell> cellForItemAtIndexPath(ui::CollectionView& view, const IndexPath& path) override {
        ++asked;
        return Grid::cellForItemAtIndexPath(view, path);
    }
    int asked = 0;
};

TEST_F(CollectionViewTest, HeadersAreDequeuedAndReloadedItemsAskedAgain) {
    auto headed = std::make_shared<Headed>();
    view->setDataSource(headed);
    view->setDelegate(headed);
    view->registerSupplementaryClass(ui::CollectionReusableView::staticClass(), ui::CollectionElementKindSectionHeader,
                                     "Header");
    auto header = view->supplementaryViewForElementKind(ui::CollectionElementKindSectionHeader, IndexPath::forItem(0, 1));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->tag(), 1001);
    EXPECT_TRUE(near(header->frame(), {0, 265, 320, 30}));
    EXPECT_EQ(header->superview(), view);

    int before = headed->asked;
    auto cell = view->cellForItemAtIndexPath(IndexPath::forItem(2, 0));
    headed->sizes[IndexPath::forItem(2, 0)] = {100, 80};
    view->reloadItemsAtIndexPaths({IndexPath::forItem(2, 0)});
    EXPECT_EQ(headed->asked, before + 1);
    EXPECT_DOUBLE_EQ(view->cellForItemAtIndexPath(IndexPath::forItem(2, 0))->frame().height(), 80);
    EXPECT_THROW(view->reloadItemsAtIndexPaths({IndexPath::forItem(9, 0)}), ns::Exception);
}

}  // namespace
