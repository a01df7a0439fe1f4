#pragma once
// Table views: a scroll view of sections of rows, each section with an
// optional header and footer, between an optional table header view and
// table footer view. The data source gives counts, cells and titles; the
// delegate heights, header and footer views, and hears of display and
// selection.
//
// Geometry: rows are stacked top to bottom at their heights (the
// delegate's, else rowHeight); a section's header and footer take the
// delegate's height, else sectionHeaderHeight / sectionFooterHeight when
// set (>= 0), else the model's default: plain style 28 points when the
// section has a title and 0 without, grouped style 38 with a title and 18
// without. Headers scroll with the content. The content size follows at
// once on reloadData and updates; cells come when next needed: at the next
// layout pass, when the content offset changes, or when visible cells are
// asked for. A row is visible when its frame overlaps the bounds.
//
// Cells are registered by reuse identifier (a class, a factory or a nib)
// and dequeued from the queue of their identifier before new ones are made.
// Row updates (insert, delete, reload, alone or between beginUpdates and
// endUpdates) are checked against the data source's new counts as the
// platform checks them, raising NSInternalInconsistencyException with its
// "Invalid update" text; the animation constants are accepted and not
// played.
//
// Selection set by code (selectRow, deselectRow) tells the delegate
// nothing; a tap on a row, or performUserSelection, goes through the
// delegate's will- and did- calls as a finger's does.
//
// Main thread only.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/String.h"
#include "platform/uikit/IndexPath.h"
#include "platform/uikit/ReusableViewPool.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/TableViewCell.h"
#include "platform/uikit/VisibleCellList.h"

namespace ui {

class Nib;
class TableView;
class TableViewHeaderFooterView;

enum class TableViewStyle { Plain = 0, Grouped = 1, InsetGrouped = 2 };
enum class TableViewScrollPosition { None = 0, Top = 1, Middle = 2, Bottom = 3 };
enum class TableViewRowAnimation { Fade = 0, Right = 1, Left = 2, Top = 3, Bottom = 4, None = 5, Middle = 6, Automatic = 100 };
enum class TableViewCellSeparatorStyle { None = 0, SingleLine = 1, SingleLineEtched = 2 };

// rowHeight's platform default asks cells to size themselves; here it is
// the standard 44 points.
inline constexpr double TableViewAutomaticDimension = -1;

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int64_t numberOfSectionsInTableView(TableView& view) {
        (void)view;
        return 1;
    }
    virtual int64_t numberOfRowsInSection(TableView& view, int64_t section) = 0;
    virtual ns::Ref<TableViewCell> cellForRowAtIndexPath(TableView& view, const IndexPath& path) = 0;
    virtual ns::Ref<ns::String> titleForHeaderInSection(TableView& view, int64_t section) {
        (void)view;
        (void)section;
        return nullptr;
    }
    virtual ns::Ref<ns::String> titleForFooterInSection(TableView& view, int64_t section) {
        (void)view;
        (void)section;
        return nullptr;
    }
};

class TableViewDelegate : public virtual ScrollViewDelegate {
public:
    // Nothing: the table's own height applies.
    virtual std::optional<double> heightForRowAtIndexPath(TableView& view, const IndexPath& path) {
        (void)view;
        (void)path;
        return std::nullopt;
    }
    virtual std::optional<double> heightForHeaderInSection(TableView& view, int64_t section) {
        (void)view;
        (void)section;
        return std::nullopt;
    }
    virtual std::optional<double> heightForFooterInSection(TableView& view, int64_t section) {
        (void)view;
        (void)section;
        return std::nullopt;
    }
    // Nil: a title view when the data source has a title, else nothing.
    virtual ns::Ref<View> viewForHeaderInSection(TableView& view, int64_t section) {
        (void)view;
        (void)section;
        return nullptr;
    }
    virtual ns::Ref<View> viewForFooterInSection(TableView& view, int64_t section) {
        (void)view;
        (void)section;
        return nullptr;
    }
    virtual void willDisplayCell(TableView& view, TableViewCell& cell, const IndexPath& path) {
        (void)view;
        (void)cell;
        (void)path;
    }
    virtual void didEndDisplayingCell(TableView& view, TableViewCell& cell, const IndexPath& path) {
        (void)view;
        (void)cell;
        (void)path;
    }
    virtual bool shouldHighlightRowAtIndexPath(TableView& view, const IndexPath& path) {
        (void)view;
        (void)path;
        return true;
    }
    virtual void didHighlightRowAtIndexPath(TableView& view, const IndexPath& path) {
        (void)view;
        (void)path;
    }
    virtual void didUnhighlightRowAtIndexPath(TableView& view, const IndexPath& path) {
        (void)view;
        (void)path;
    }
    // The row to select instead, or nothing to select none.
    virtual std::optional<IndexPath> willSelectRowAtIndexPath(TableView& view, const IndexPath& path) {
        (void)view;
        return path;
    }
    virtual void didSelectRowAtIndexPath(TableView& view, const IndexPath& path) {
        (void)view;
        (void)path;
    }
    virtual std::optional<IndexPath> willDeselectRowAtIndexPath(TableView& view, const IndexPath& path) {
        (void)view;
        return path;
    }
    virtual void didDeselectRowAtIndexPath(TableView& view, const IndexPath& path) {
        (void)view;
        (void)path;
    }
};

class TableView : public ScrollView {
    RT_DECLARE_CLASS(TableView)
public:
    using CellFactory = std::function<ns::Ref<TableViewCell>(const std::string& reuseIdentifier)>;
    using HeaderFooterFactory = std::function<ns::Ref<TableViewHeaderFooterView>(const std::string& reuseIdentifier)>;

    static constexpr double DefaultRowHeight = 44;

    TableView();
    TableView(const cg::Rect& frame, TableViewStyle style);
    ~TableView() override;
    static ns::Ref<TableView> make(const cg::Rect& frame, TableViewStyle style = TableViewStyle::Plain);

    TableViewStyle style() const { return style_; }
    std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(const std::shared_ptr<TableViewDataSource>& dataSource);
    std::shared_ptr<TableViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TableViewDelegate>& delegate);

    // ---- Sizes and looks ----
    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height);
    double sectionHeaderHeight() const { return sectionHeaderHeight_; }
    void setSectionHeaderHeight(double height);
    double sectionFooterHeight() const { return sectionFooterHeight_; }
    void setSectionFooterHeight(double height);
    // Data only: heights are always exact.
    double estimatedRowHeight() const { return estimatedRowHeight_; }
    void setEstimatedRowHeight(double height) { estimatedRowHeight_ = height; }
    double estimatedSectionHeaderHeight() const { return estimatedSectionHeaderHeight_; }
    void setEstimatedSectionHeaderHeight(double height) { estimatedSectionHeaderHeight_ = height; }
    double estimatedSectionFooterHeight() const { return estimatedSectionFooterHeight_; }
    void setEstimatedSectionFooterHeight(double height) { estimatedSectionFooterHeight_ = height; }
    TableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(TableViewCellSeparatorStyle style) { separatorStyle_ = style; }
    std::optional<cg::Color> separatorColor() const { return separatorColor_; }
    void setSeparatorColor(std::optional<cg::Color> color) { separatorColor_ = color; }
    const cg::EdgeInsets& separatorInset() const { return separatorInset_; }
    void setSeparatorInset(const cg::EdgeInsets& inset) { separatorInset_ = inset; }
    // Above the first section and below the last, at their own heights and
    // the table's width.
    const ns::Ref<View>& tableHeaderView() const { return tableHeaderView_; }
    void setTableHeaderView(const ns::Ref<View>& view);
    const ns::Ref<View>& tableFooterView() const { return tableFooterView_; }
    void setTableFooterView(const ns::Ref<View>& view);
    // Behind the content, the size of the bounds.
    const ns::Ref<View>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(const ns::Ref<View>& view);

    // ---- Registration and dequeuing ----
    void registerClass(const rt::Class* cellClass, const std::string& identifier);
    void registerCellFactory(const std::string& identifier, CellFactory factory);
    // The nib's first top-level cell.
    void registerNib(const ns::Ref<Nib>& nib, const std::string& identifier);
    void registerHeaderFooterClass(const rt::Class* viewClass, const std::string& identifier);
    void registerHeaderFooterFactory(const std::string& identifier, HeaderFooterFactory factory);
    // A queued cell (prepared for reuse), a new registered one, or nil.
    ns::Ref<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    // Never nil: raises NSInternalInconsistencyException for an identifier
    // nothing registered.
    ns::Ref<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier, const IndexPath& path);
    ns::Ref<TableViewHeaderFooterView> dequeueReusableHeaderFooterViewWithIdentifier(const std::string& identifier);

    // ---- Data ----
    void reloadData();
    void beginUpdates();
    void endUpdates();
    void insertRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation);
    void deleteRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation);
    void reloadRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation animation);
    void insertSections(const std::set<int64_t>& sections, TableViewRowAnimation animation);
    void deleteSections(const std::set<int64_t>& sections, TableViewRowAnimation animation);
    void reloadSections(const std::set<int64_t>& sections, TableViewRowAnimation animation);
    int64_t numberOfSections();
    int64_t numberOfRowsInSection(int64_t section);

    // ---- Geometry and visible cells ----
    // Zero rects for paths past the data.
    cg::Rect rectForSection(int64_t section);
    cg::Rect rectForHeaderInSection(int64_t section);
    cg::Rect rectForFooterInSection(int64_t section);
    cg::Rect rectForRowAtIndexPath(const IndexPath& path);
    std::optional<IndexPath> indexPathForRowAtPoint(cg::Point point);
    std::vector<IndexPath> indexPathsForRowsInRect(const cg::Rect& rect);
    std::optional<IndexPath> indexPathForCell(const TableViewCell& cell);
    // Visible only; nil otherwise.
    ns::Ref<TableViewCell> cellForRowAtIndexPath(const IndexPath& path);
    // In index-path order.
    std::vector<ns::Ref<TableViewCell>> visibleCells();
    std::vector<IndexPath> indexPathsForVisibleRows();
    ns::Ref<View> headerViewForSection(int64_t section);
    ns::Ref<View> footerViewForSection(int64_t section);
    // Raises NSRangeException for a row or section past the data.
    void scrollToRowAtIndexPath(const IndexPath& path, TableViewScrollPosition position, bool animated);

    // ---- Selection ----
    bool allowsSelection() const { return cells_.allowsSelection(); }
    void setAllowsSelection(bool on) { cells_.setAllowsSelection(on); }
    bool allowsMultipleSelection() const { return cells_.allowsMultipleSelection(); }
    void setAllowsMultipleSelection(bool on) { cells_.setAllowsMultipleSelection(on); }
    // Silent; nothing deselects every row. ScrollPosition None does not
    // scroll.
    void selectRowAtIndexPath(const std::optional<IndexPath>& path, bool animated, TableViewScrollPosition position);
    void deselectRowAtIndexPath(const IndexPath& path, bool animated);
    std::optional<IndexPath> indexPathForSelectedRow() const;
    std::vector<IndexPath> indexPathsForSelectedRows() const;
    // What a tap on the row does, delegate calls included.
    void performUserSelection(const IndexPath& path);

    void layoutSubviews() override;
    void touchesBegan(const TouchSet& touches, Event* event) override;
    void touchesEnded(const TouchSet& touches, Event* event) override;
    void touchesCancelled(const TouchSet& touches, Event* event) override;

protected:
    void contentOffsetDidChange() override;

private:
    struct Section {
        int64_t rows = 0;
        double top = 0;
        double headerHeight = 0;
        std::vector<double> rowTops;
        std::vector<double> rowHeights;
        double footerTop = 0;
        double footerHeight = 0;
        ns::Ref<ns::String> headerTitle;
        ns::Ref<ns::String> footerTitle;
    };
    struct Update {
        std::vector<IndexPath> insertRows;
        std::vector<IndexPath> deleteRows;
        std::vector<IndexPath> reloadRows;
        std::set<int64_t> insertSections;
        std::set<int64_t> deleteSections;
        std::set<int64_t> reloadSections;
    };
    enum class Supplement { Header, Footer };

    void invalidateGeometry();
    // Heights and titles again, with the counts last asked.
    void relayoutGeometry();
    void ensureGeometry();
    void computeGeometry(const std::vector<int64_t>& counts);
    std::vector<int64_t> askCounts();
    void applyUpdates();
    bool validPath(const IndexPath& path);
    void updateVisibleViews();
    void dropCell(const IndexPath& path, const ns::Ref<TableViewCell>& cell);
    void dropSupplement(const ns::Ref<View>& view);
    void dropAllVisible();
    void placeTableHeaderAndFooter();
    void selectAsUser(IndexPath path);
    ns::Ref<View> makeSupplement(Supplement kind, int64_t section);

    TableViewStyle style_ = TableViewStyle::Plain;
    std::weak_ptr<TableViewDataSource> dataSource_;
    std::weak_ptr<TableViewDelegate> delegate_;

    double rowHeight_ = DefaultRowHeight;
    double sectionHeaderHeight_ = -1;
    double sectionFooterHeight_ = -1;
    double estimatedRowHeight_ = 0;
    double estimatedSectionHeaderHeight_ = 0;
    double estimatedSectionFooterHeight_ = 0;
    TableViewCellSeparatorStyle separatorStyle_ = TableViewCellSeparatorStyle::SingleLine;
    std::optional<cg::Color> separatorColor_;
    cg::EdgeInsets separatorInset_{0, 16, 0, 0};
    ns::Ref<View> tableHeaderView_;
    ns::Ref<View> tableFooterView_;
    ns::Ref<View> backgroundView_;

    detail::ReusableViewPool<TableViewCell> cellPool_;
    detail::ReusableViewPool<TableViewHeaderFooterView> headerFooterPool_;

    bool geometryValid_ = false;
    bool everLoaded_ = false;
    std::vector<Section> sections_;
    double contentHeight_ = 0;
    int updateDepth_ = 0;
    Update pending_;
    bool updating_ = false;

    detail::VisibleCellList<TableViewCell> cells_;
    std::map<std::pair<Supplement, int64_t>, ns::Ref<View>> visibleSupplements_;
};

}  // namespace ui
