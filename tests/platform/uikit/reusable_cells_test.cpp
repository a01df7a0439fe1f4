// What table and collection views share: the reuse queues, a finger's
// highlight before the selection, and the cells' selected backgrounds.
#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/CollectionView.h"
#include "platform/uikit/CollectionViewFlowLayout.h"
#include "platform/uikit/ReusableViewPool.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TouchSimulation.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using Log = std::vector<std::string>;
using ui::IndexPath;

class CountingView : public ui::CollectionReusableView {
public:
    void prepareForReuse() override { ++prepared; }
    int prepared = 0;
};

using ReusableViewPoolTest = UIKitTest;

TEST_F(ReusableViewPoolTest, QueuedViewsComeBackLastFirstAndPreparedBeforeNewOnesAreMade) {
    ui::detail::ReusableViewPool<ui::CollectionReusableView> pool;
    int made = 0;
    pool.registerFactory("cell\nA", [&](const std::string&) {
        ++made;
        return std::make_shared<CountingView>();
    });

    auto first = std::static_pointer_cast<CountingView>(pool.dequeue("cell\nA", "A"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->reuseIdentifier(), "A");
    EXPECT_EQ(first->prepared, 0);
    auto second = std::static_pointer_cast<CountingView>(pool.dequeue("cell\nA", "A"));
    EXPECT_EQ(made, 2);

    pool.enqueue("cell\nA", first);
    pool.enqueue("cell\nA", second);
    EXPECT_EQ(pool.dequeue("cell\nA", "A"), second);
    EXPECT_EQ(pool.dequeue("cell\nA", "A"), first);
    EXPECT_EQ(first->prepared, 1);
    EXPECT_EQ(second->prepared, 1);
    EXPECT_EQ(made, 2);

    // A view nobody dequeued has no identifier and is not kept.
    pool.enqueue("cell\nA", std::make_shared<CountingView>());
    pool.dequeue("cell\nA", "A");
    EXPECT_EQ(made, 3);

    // Queues and registrations are per key; an empty factory unregisters.
    pool.enqueue("cell\nA", first);
    EXPECT_EQ(pool.dequeue("header\nA", "A"), nullptr);
    pool.registerFactory("cell\nA", {});
    EXPECT_EQ(pool.dequeue("cell\nA", "A"), first);
    EXPECT_EQ(pool.dequeue("cell\nA", "A"), nullptr);

    pool.registerFactory("nil", [](const std::string&) { return nullptr; });
    EXPECT_EQ(pool.dequeue("nil", "X"), nullptr);
}

TEST_F(ReusableViewPoolTest, ClassFactoriesMakeInstancesOfTheViewType) {
    using Pool = ui::detail::ReusableViewPool<ui::CollectionReusableView>;
    EXPECT_FALSE(Pool::classFactory(nullptr));
    EXPECT_FALSE(Pool::nibFactory(nullptr));
    auto make = Pool::classFactory(ui::CollectionViewCell::staticClass());
    ASSERT_TRUE(make);
    EXPECT_NE(ns::cast<ui::CollectionViewCell>(make("C")), nullptr);
    // Not a view of the pool's type: nothing.
    auto wrong = ui::detail::ReusableViewPool<ui::TableViewCell>::classFactory(ui::CollectionViewCell::staticClass());
    EXPECT_EQ(wrong("C"), nullptr);
}

// ---- A finger on the rows and items ----

class Rows : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    int64_t refusedRow = -1;
    Log log;

    int64_t numberOfRowsInSection(ui::TableView&, int64_t) override { return 5; }
    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const IndexPath& path) override {
        return table.dequeueReusableCellWithIdentifier("Row", path);
    }
    bool shouldHighlightRowAtIndexPath(ui::TableView&, const IndexPath& path) override {
        return path.row != refusedRow;
    }
    void didHighlightRowAtIndexPath(ui::TableView& table, const IndexPath& path) override {
        // The cell is lit before the delegate hears of it.
        bool lit = table.cellForRowAtIndexPath(path)->isHighlighted();
        log.push_back("highlight " + std::to_string(path.row) + (lit ? " lit" : " dark"));
    }
    void didUnhighlightRowAtIndexPath(ui::TableView&, const IndexPath& path) override {
        log.push_back("unhighlight " + std::to_string(path.row));
    }
    void didSelectRowAtIndexPath(ui::TableView&, const IndexPath& path) override {
        log.push_back("select " + std::to_string(path.row));
    }
};

class TouchedListsTest : public UIKitTest {
protected:
    TouchedListsTest() {
        window = ui::Window::makeFullScreen();
        window->makeKeyAndVisible();
    }

    cg::Point centreOf(const ns::Ref<ui::View>& view) {
        cg::Rect b = view->bounds();
        return ui::screenPoint(*view, {b.midX(), b.midY()});
    }

    ns::Ref<ui::Window> window;
};

TEST_F(TouchedListsTest, ATableRowLightsUnderTheFingerAndIsSelectedWhenItLifts) {
    auto rows = std::make_shared<Rows>();
    auto table = ui::TableView::make({0, 100, 320, 400});
    table->registerCellFactory("Row", [](const std::string& identifier) {
        return ui::TableViewCell::make(ui::TableViewCellStyle::Default, identifier);
    });
    table->setDataSource(rows);
    table->setDelegate(rows);
    window->addSubview(table);
    table->layoutIfNeeded();
    auto cell1 = table->cellForRowAtIndexPath(IndexPath::forRow(1, 0));

    ui::TouchSequence finger(centreOf(cell1));
    EXPECT_TRUE(cell1->isHighlighted());
    finger.cancel();
    EXPECT_FALSE(cell1->isHighlighted());
    EXPECT_EQ(rows->log, (Log{"highlight 1 lit", "unhighlight 1"}));
    EXPECT_TRUE(table->indexPathsForSelectedRows().empty());

    rows->log.clear();
    ASSERT_TRUE(ui::simulateTap(centreOf(cell1)));
    EXPECT_EQ(rows->log, (Log{"highlight 1 lit", "unhighlight 1", "select 1"}));
    EXPECT_FALSE(cell1->isHighlighted());
    EXPECT_TRUE(cell1->isSelected());

    // A row the delegate will not light is not selected by a finger or by
    // the user path either.
    rows->refusedRow = 3;
    rows->log.clear();
    ui::simulateTap(centreOf(table->cellForRowAtIndexPath(IndexPath::forRow(3, 0))));
    table->performUserSelection(IndexPath::forRow(3, 0));
    EXPECT_TRUE(rows->log.empty());
    EXPECT_EQ(table->indexPathForSelectedRow(), IndexPath::forRow(1, 0));

    // Nor does anything light while selection is off.
    table->setAllowsSelection(false);
    ui::TouchSequence off(centreOf(table->cellForRowAtIndexPath(IndexPath::forRow(2, 0))));
    EXPECT_FALSE(table->cellForRowAtIndexPath(IndexPath::forRow(2, 0))->isHighlighted());
    off.end();
    EXPECT_TRUE(rows->log.empty());
}

class Items : public ui::CollectionViewDataSource, public ui::CollectionViewDelegate {
public:
    bool refuseDeselection = false;
    Log log;

    int64_t numberOfItemsInSection(ui::CollectionView&, int64_t) override { return 4; }
    ns::Ref<ui::CollectionViewCell> cellForItemAtIndexPath(ui::CollectionView& view, const IndexPath& path) override {
        return view.dequeueReusableCellWithReuseIdentifier("Item", path);
    }
    void didHighlightItemAtIndexPath(ui::CollectionView&, const IndexPath& path) override {
        log.push_back("highlight " + std::to_string(path.item()));
    }
    void didUnhighlightItemAtIndexPath(ui::CollectionView&, const IndexPath& path) override {
        log.push_back("unhighlight " + std::to_string(path.item()));
    }
    bool shouldDeselectItemAtIndexPath(ui::CollectionView&, const IndexPath&) override { return !refuseDeselection; }
    void didSelectItemAtIndexPath(ui::CollectionView&, const IndexPath& path) override {
        log.push_back("select " + std::to_string(path.item()));
    }
    void didDeselectItemAtIndexPath(ui::CollectionView&, const IndexPath& path) override {
        log.push_back("deselect " + std::to_string(path.item()));
    }
};

TEST_F(TouchedListsTest, ACollectionItemTappedTwiceWithMultipleSelectionToggles) {
    auto items = std::make_shared<Items>();
    auto layout = std::make_shared<ui::CollectionViewFlowLayout>();
    layout->setItemSize({100, 100});
    auto view = ui::CollectionView::make({0, 100, 320, 400}, layout);
    view->registerClass(ui::CollectionViewCell::staticClass(), "Item");
    view->setDataSource(items);
    view->setDelegate(items);
    view->setAllowsMultipleSelection(true);
    window->addSubview(view);
    view->layoutIfNeeded();
    auto cell = view->cellForItemAtIndexPath(IndexPath::forItem(2, 0));
    ASSERT_NE(cell, nullptr);

    ASSERT_TRUE(ui::simulateTap(centreOf(cell)));
    view->selectItemAtIndexPath(IndexPath::forItem(0, 0), false, ui::CollectionViewScrollPositionNone);
    EXPECT_TRUE(cell->isSelected());
    EXPECT_EQ(view->indexPathsForSelectedItems(),
              (std::vector<IndexPath>{IndexPath::forItem(0, 0), IndexPath::forItem(2, 0)}));

    items->refuseDeselection = true;
    ui::simulateTap(centreOf(cell));
    EXPECT_TRUE(cell->isSelected());
    items->refuseDeselection = false;
    ui::simulateTap(centreOf(cell));
    EXPECT_FALSE(cell->isSelected());
    EXPECT_EQ(items->log, (Log{"highlight 2", "unhighlight 2", "select 2", "highlight 2", "unhighlight 2",
                               "highlight 2", "unhighlight 2", "deselect 2"}));
    EXPECT_EQ(view->indexPathsForSelectedItems(), (std::vector<IndexPath>{IndexPath::forItem(0, 0)}));

    // Nothing deselects every item, the visible cells included.
    view->selectItemAtIndexPath(std::nullopt, false, ui::CollectionViewScrollPositionNone);
    EXPECT_TRUE(view->indexPathsForSelectedItems().empty());
    EXPECT_FALSE(view->cellForItemAtIndexPath(IndexPath::forItem(0, 0))->isSelected());
}

// ---- The cells' backgrounds ----

size_t indexIn(const ns::Ref<ui::View>& view, const ns::Ref<ui::View>& parent) {
    const auto& subviews = parent->subviews();
    for (size_t i = 0; i < subviews.size(); ++i) {
        if (subviews[i] == view) return i;
    }
    return subviews.size();
}

using CellBackgroundsTest = UIKitTest;

TEST_F(CellBackgroundsTest, TheSelectedBackgroundShowsAboveThePlainOneWhileSelectedOrHighlighted) {
    auto cell = ui::TableViewCell::make(ui::TableViewCellStyle::Default, "R");
    auto plain = ui::View::make({});
    auto lit = ui::View::make({});
    cell->setBackgroundView(plain);
    cell->setSelectedBackgroundView(lit);
    EXPECT_EQ(indexIn(plain, cell), 0u);
    EXPECT_EQ(lit->superview(), nullptr);

    cell->setHighlighted(true);
    EXPECT_EQ(indexIn(lit, cell), 1u);
    EXPECT_LT(indexIn(lit, cell), indexIn(cell->contentView(), cell));
    cell->setSelected(true);
    cell->setHighlighted(false);
    EXPECT_EQ(lit->superview().get(), cell.get());
    cell->prepareForReuse();
    EXPECT_EQ(lit->superview(), nullptr);

    // A cell that shows no selection keeps the selected background out.
    cell->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
    cell->setSelected(true);
    EXPECT_EQ(lit->superview(), nullptr);

    // Without a plain background it goes to the back; both follow the size.
    auto item = std::make_shared<ui::CollectionViewCell>(cg::Rect{0, 0, 50, 50});
    auto itemLit = ui::View::make({});
    item->setSelected(true);
    item->setSelectedBackgroundView(itemLit);
    EXPECT_EQ(indexIn(itemLit, item), 0u);
    item->setFrame({0, 0, 80, 40});
    item->layoutIfNeeded();
    EXPECT_TRUE(near(itemLit->frame(), {0, 0, 80, 40}));
    item->setSelected(false);
    EXPECT_EQ(itemLit->superview(), nullptr);
}

}  // namespace
