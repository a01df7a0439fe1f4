#include <memory>
#include <string>
#include <vector>

#include "platform/runtime/Exception.h"
#include "platform/testing/UIDriver.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/Window.h"
#include "ui_test_support.h"

namespace {

using Log = std::vector<std::string>;

class Rows : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    std::vector<std::string> rows;
    std::optional<double> firstRowHeight;
    Log log;

    int64_t numberOfRowsInSection(ui::TableView&, int64_t) override { return int64_t(rows.size()); }
    ns::Ref<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("Row", path);
        cell->textLabel()->setText(rows[size_t(path.row)]);
        return cell;
    }
    std::optional<double> heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath& path) override {
        if (path.row == 0) return firstRowHeight;
        return std::nullopt;
    }
    std::optional<ui::IndexPath> willSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& path) override {
        log.push_back("willSelect " + std::to_string(path.row));
        return path;
    }
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& path) override {
        log.push_back("didSelect " + std::to_string(path.row));
    }
    void didDeselectRowAtIndexPath(ui::TableView&, const ui::IndexPath& path) override {
        log.push_back("didDeselect " + std::to_string(path.row));
    }
};

class TableViewTest : public UIKitTest {
protected:
    TableViewTest() {
        for (int i = 0; i < 50; ++i) source->rows.push_back("Row " + std::to_string(i));
        table = ui::TableView::make({0, 0, 320, 440});
        table->registerCellFactory("Row", [this](const std::string& identifier) {
            ++made;
            return ui::TableViewCell::make(ui::TableViewCellStyle::Default, identifier);
        });
        table->setDataSource(source);
        table->setDelegate(source);
    }

    std::vector<std::string> visibleTexts() {
        std::vector<std::string> out;
        for (const auto& cell : table->visibleCells()) out.push_back(cell->textLabel()->text()->utf8());
        return out;
    }

    std::shared_ptr<Rows> source = std::make_shared<Rows>();
    ns::Ref<ui::TableView> table;
    int made = 0;
};

TEST_F(TableViewTest, CellsAreDequeuedForTheVisibleRowsAndReusedWhenScrolling) {
    EXPECT_EQ(table->indexPathsForVisibleRows().size(), 10u);
    EXPECT_EQ(table->contentSize(), (cg::Size{320, 50 * 44}));
    EXPECT_EQ(made, 10);

    table->setContentOffset({0, 880});
    auto rows = table->indexPathsForVisibleRows();
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows.front(), ui::IndexPath::forRow(20, 0));
    EXPECT_EQ(rows.back(), ui::IndexPath::forRow(29, 0));
    EXPECT_EQ(made, 10) << "the rows scrolled away gave their cells";
    EXPECT_EQ(visibleTexts().front(), "Row 20");
    EXPECT_EQ(table->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 0)), nullptr);
    EXPECT_TRUE(near(table->cellForRowAtIndexPath(ui::IndexPath::forRow(21, 0))->frame(), {0, 924, 320, 44}));

    // Half a row in: the row cut by the bottom edge shows too.
    table->setContentOffset({0, 22});
    EXPECT_EQ(table->indexPathsForVisibleRows().size(), 11u);
    EXPECT_EQ(made, 11);
}

TEST_F(TableViewTest, GeometryComesFromHeightsHeadersAndTheTableViews) {
    source->firstRowHeight = 80;
    source->rows.resize(3);
    auto header = ui::View::make({0, 0, 1, 100});
    auto footer = ui::View::make({0, 0, 1, 30});
    table->setTableHeaderView(header);
    table->setTableFooterView(footer);
    table->reloadData();
    EXPECT_DOUBLE_EQ(table->contentSize().height, 100 + 80 + 44 + 44 + 30);
    EXPECT_TRUE(near(table->rectForRowAtIndexPath(ui::IndexPath::forRow(1, 0)), {0, 180, 320, 44}));
    EXPECT_EQ(table->indexPathForRowAtPoint({5, 200}), ui::IndexPath::forRow(1, 0));
    table->layoutIfNeeded();
    EXPECT_TRUE(near(header->frame(), {0, 0, 320, 100}));
    EXPECT_TRUE(near(footer->frame(), {0, 268, 320, 30}));

    table->setRowHeight(50);
    EXPECT_DOUBLE_EQ(table->contentSize().height, 100 + 80 + 50 + 50 + 30);
}

TEST_F(TableViewTest, SelectionByCodeIsSilentAndByTapTellsTheDelegate) {
    table->selectRowAtIndexPath(ui::IndexPath::forRow(2, 0), false, ui::TableViewScrollPosition::None);
    EXPECT_TRUE(source->log.empty());
    EXPECT_TRUE(table->cellForRowAtIndexPath(ui::IndexPath::forRow(2, 0))->isSelected());

    auto window = ui::Window::makeFullScreen();
    window->makeKeyAndVisible();
    table->setFrame({0, 100, 320, 440});
    window->addSubview(table);
    testing::UIDriver driver;
    ASSERT_TRUE(driver.selectRow(table, ui::IndexPath::forRow(4, 0)));
    EXPECT_EQ(source->log, (Log{"willSelect 4", "didDeselect 2", "didSelect 4"}));
    EXPECT_EQ(table->indexPathsForSelectedRows(), (std::vector<ui::IndexPath>{ui::IndexPath::forRow(4, 0)}));
    EXPECT_FALSE(table->cellForRowAtIndexPath(ui::IndexPath::forRow(2, 0))->isSelected());

    // A row below the fold is scrolled to first.
    source->log.clear();
    ASSERT_TRUE(driver.selectRow(table, ui::IndexPath::forRow(30, 0)));
    EXPECT_EQ(source->log.back(), "didSelect 30");
    EXPECT_GT(table->contentOffset().y, 0);
    EXPECT_FALSE(driver.selectRow(table, ui::IndexPath::forRow(50, 0)));

    // With multiple selection a second tap deselects.
    table->setAllowsMultipleSelection(true);
    source->log.clear();
    table->performUserSelection(ui::IndexPath::forRow(31, 0));
    table->performUserSelection(ui::IndexPath::forRow(31, 0));
    EXPECT_EQ(source->log, (Log{"willSelect 31", "didSelect 31", "didDeselect 31"}));
    EXPECT_EQ(table->indexPathsForSelectedRows().size(), 1u);

    table->reloadData();
    EXPECT_TRUE(table->indexPathsForSelectedRows().empty());
}

TEST_F(TableViewTest, UpdatesAreCheckedAgainstTheNewCounts) {
    table->visibleCells();
    try {
        table->insertRowsAtIndexPaths({ui::IndexPath::forRow(0, 0)}, ui::TableViewRowAnimation::Automatic);
        FAIL() << "an insertion without a new row must raise";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), ns::InternalInconsistencyException);
        EXPECT_NE(e.reason().find("Invalid update: invalid number of rows in section 0. The number of rows contained "
                                  "in an existing section after the update (50) must be equal to the number of rows "
                                  "contained in that section before the update (50), plus or minus the number of rows "
                                  "inserted or deleted from that section (1 inserted, 0 deleted)"),
                  std::string::npos)
            << e.reason();
    }

    // A row inserted at the top moves the cells and the selection down.
    table->selectRowAtIndexPath(ui::IndexPath::forRow(1, 0), false, ui::TableViewScrollPosition::None);
    auto second = table->cellForRowAtIndexPath(ui::IndexPath::forRow(1, 0));
    source->rows.insert(source->rows.begin(), "New");
    table->beginUpdates();
    table->insertRowsAtIndexPaths({ui::IndexPath::forRow(0, 0)}, ui::TableViewRowAnimation::Top);
    table->endUpdates();
    EXPECT_EQ(table->cellForRowAtIndexPath(ui::IndexPath::forRow(2, 0)), second);
    EXPECT_EQ(table->indexPathForSelectedRow(), ui::IndexPath::forRow(2, 0));
    EXPECT_EQ(visibleTexts().front(), "New");
    EXPECT_DOUBLE_EQ(table->contentSize().height, 51 * 44);

    source->rows.erase(source->rows.begin() + 2);
    table->deleteRowsAtIndexPaths({ui::IndexPath::forRow(2, 0)}, ui::TableViewRowAnimation::Fade);
    EXPECT_FALSE(table->indexPathForSelectedRow().has_value());
    EXPECT_EQ(visibleTexts()[2], "Row 2");
}

TEST_F(TableViewTest, DequeuingAnUnregisteredIdentifier) {
    EXPECT_EQ(table->dequeueReusableCellWithIdentifier("Other"), nullptr);
    EXPECT_THROW(table->dequeueReusableCellWithIdentifier("Other", ui::IndexPath::forRow(0, 0)), ns::Exception);
    EXPECT_THROW(table->scrollToRowAtIndexPath(ui::IndexPath::forRow(60, 0), ui::TableViewScrollPosition::Top, false),
                 ns::Exception);
}

TEST_F(TableViewTest, ScrollToRowPositionsTheRowWithinTheContent) {
    table->scrollToRowAtIndexPath(ui::IndexPath::forRow(10, 0), ui::TableViewScrollPosition::Top, false);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 440);
    table->scrollToRowAtIndexPath(ui::IndexPath::forRow(10, 0), ui::TableViewScrollPosition::Bottom, false);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 44);
    table->scrollToRowAtIndexPath(ui::IndexPath::forRow(49, 0), ui::TableViewScrollPosition::Top, false);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 50 * 44 - 440);
}

}  // namespace
