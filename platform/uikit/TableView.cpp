#include "platform/uikit/TableView.h"

#include <algorithm>

#include "platform/runtime/Exception.h"
#include "platform/uikit/CellBackgrounds.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Nib.h"
#include "platform/uikit/TableViewHeaderFooterView.h"
#include "platform/uikit/Touch.h"

namespace ui {

RT_DEFINE_CLASS(TableView, ScrollView, "UITableView")

namespace {

// The queue of the views the table makes for section titles.
constexpr const char* TitleViewIdentifier = "UITableViewHeaderFooterView";

std::string str(int64_t v) { return std::to_string(v); }

}  // namespace

TableView::TableView() : TableView(cg::Rect{}, TableViewStyle::Plain) {}

TableView::TableView(const cg::Rect& frame, TableViewStyle style) : ScrollView(frame), style_(style) {
    cells_.setHooks({
        .isValid = [this](const IndexPath& path) { return validPath(path); },
        .indexPathAtPoint = [this](cg::Point point) { return indexPathForRowAtPoint(point); },
        .shouldHighlight =
            [this](const IndexPath& path) {
                auto d = delegate();
                return !d || d->shouldHighlightRowAtIndexPath(*this, path);
            },
        .highlightChanged =
            [this](const IndexPath& path, bool highlighted) {
                auto d = delegate();
                if (d && highlighted) d->didHighlightRowAtIndexPath(*this, path);
                if (d && !highlighted) d->didUnhighlightRowAtIndexPath(*this, path);
            },
        .selectAsUser = [this](const IndexPath& path) { selectAsUser(path); },
    });
}

TableView::~TableView() = default;

ns::Ref<TableView> TableView::make(const cg::Rect& frame, TableViewStyle style) {
    return std::make_shared<TableView>(frame, style);
}

void TableView::setDataSource(const std::shared_ptr<TableViewDataSource>& dataSource) {
    dataSource_ = dataSource;
    dropAllVisible();
    cells_.resetSelection();
    invalidateGeometry();
}

void TableView::setDelegate(const std::shared_ptr<TableViewDelegate>& delegate) {
    delegate_ = delegate;
    ScrollView::setDelegate(delegate);
    relayoutGeometry();
}

// ---- Sizes and looks ----

void TableView::setRowHeight(double height) {
    rowHeight_ = height;
    relayoutGeometry();
}

void TableView::setSectionHeaderHeight(double height) {
    sectionHeaderHeight_ = height;
    relayoutGeometry();
}

void TableView::setSectionFooterHeight(double height) {
    sectionFooterHeight_ = height;
    relayoutGeometry();
}

void TableView::setTableHeaderView(const ns::Ref<View>& view) {
    if (tableHeaderView_ && tableHeaderView_->superview().get() == this) tableHeaderView_->removeFromSuperview();
    tableHeaderView_ = view;
    if (view) addSubview(view);
    relayoutGeometry();
}

void TableView::setTableFooterView(const ns::Ref<View>& view) {
    if (tableFooterView_ && tableFooterView_->superview().get() == this) tableFooterView_->removeFromSuperview();
    tableFooterView_ = view;
    if (view) addSubview(view);
    relayoutGeometry();
}

void TableView::setBackgroundView(const ns::Ref<View>& view) {
    detail::setBackgroundSubview(*this, backgroundView_, view);
}

// ---- Registration and dequeuing ----

void TableView::registerCellFactory(const std::string& identifier, CellFactory factory) {
    cellPool_.registerFactory(identifier, std::move(factory));
}

void TableView::registerClass(const rt::Class* cellClass, const std::string& identifier) {
    registerCellFactory(identifier, detail::ReusableViewPool<TableViewCell>::classFactory(cellClass));
}

void TableView::registerNib(const ns::Ref<Nib>& nib, const std::string& identifier) {
    registerCellFactory(identifier, detail::ReusableViewPool<TableViewCell>::nibFactory(nib));
}

void TableView::registerHeaderFooterFactory(const std::string& identifier, HeaderFooterFactory factory) {
    headerFooterPool_.registerFactory(identifier, std::move(factory));
}

void TableView::registerHeaderFooterClass(const rt::Class* viewClass, const std::string& identifier) {
    registerHeaderFooterFactory(identifier,
                                detail::ReusableViewPool<TableViewHeaderFooterView>::classFactory(viewClass));
}

ns::Ref<TableViewCell> TableView::dequeueReusableCellWithIdentifier(const std::string& identifier) {
    return cellPool_.dequeue(identifier, identifier);
}

ns::Ref<TableViewCell> TableView::dequeueReusableCellWithIdentifier(const std::string& identifier,
                                                                    const IndexPath&) {
    auto cell = dequeueReusableCellWithIdentifier(identifier);
    if (!cell) {
        ns::Exception::raise(ns::InternalInconsistencyException,
                             "unable to dequeue a cell with identifier " + identifier +
                                 " - must register a nib or a class for the identifier or connect a prototype cell "
                                 "in a storyboard");
    }
    return cell;
}

ns::Ref<TableViewHeaderFooterView> TableView::dequeueReusableHeaderFooterViewWithIdentifier(
    const std::string& identifier) {
    return headerFooterPool_.dequeue(identifier, identifier);
}

// ---- Geometry ----

void TableView::invalidateGeometry() {
    geometryValid_ = false;
    setNeedsLayout();
}

void TableView::relayoutGeometry() {
    if (!everLoaded_) {
        invalidateGeometry();
        return;
    }
    std::vector<int64_t> counts;
    for (const auto& section : sections_) counts.push_back(section.rows);
    computeGeometry(counts);
    setNeedsLayout();
}

std::vector<int64_t> TableView::askCounts() {
    std::vector<int64_t> counts;
    auto source = dataSource();
    if (!source) return counts;
    int64_t sections = std::max<int64_t>(0, source->numberOfSectionsInTableView(*this));
    for (int64_t s = 0; s < sections; ++s) {
        counts.push_back(std::max<int64_t>(0, source->numberOfRowsInSection(*this, s)));
    }
    return counts;
}

void TableView::ensureGeometry() {
    if (geometryValid_) return;
    computeGeometry(askCounts());
}

void TableView::computeGeometry(const std::vector<int64_t>& counts) {
    geometryValid_ = true;
    everLoaded_ = true;
    auto source = dataSource();
    auto d = delegate();
    bool grouped = style_ != TableViewStyle::Plain;
    auto defaultHeight = [&](double set, const ns::Ref<ns::String>& title) {
        if (set >= 0) return set;
        if (grouped) return title ? 38.0 : 18.0;
        return title ? 28.0 : 0.0;
    };

    sections_.clear();
    double y = tableHeaderView_ ? tableHeaderView_->frame().height() : 0;
    for (int64_t s = 0; s < int64_t(counts.size()); ++s) {
        Section section;
        section.rows = counts[size_t(s)];
        section.top = y;
        if (source) {
            section.headerTitle = source->titleForHeaderInSection(*this, s);
            section.footerTitle = source->titleForFooterInSection(*this, s);
        }
        std::optional<double> header = d ? d->heightForHeaderInSection(*this, s) : std::nullopt;
        section.headerHeight = header ? *header : defaultHeight(sectionHeaderHeight_, section.headerTitle);
        y += section.headerHeight;
        for (int64_t r = 0; r < section.rows; ++r) {
            std::optional<double> row = d ? d->heightForRowAtIndexPath(*this, IndexPath::forRow(r, s)) : std::nullopt;
            double height = row ? *row : (rowHeight_ < 0 ? DefaultRowHeight : rowHeight_);
            section.rowTops.push_back(y);
            section.rowHeights.push_back(height);
            y += height;
        }
        section.footerTop = y;
        std::optional<double> footer = d ? d->heightForFooterInSection(*this, s) : std::nullopt;
        section.footerHeight = footer ? *footer : defaultHeight(sectionFooterHeight_, section.footerTitle);
        y += section.footerHeight;
        sections_.push_back(std::move(section));
    }
    contentHeight_ = y + (tableFooterView_ ? tableFooterView_->frame().height() : 0);
    setContentSize({bounds().width(), contentHeight_});
}

int64_t TableView::numberOfSections() {
    ensureGeometry();
    return int64_t(sections_.size());
}

int64_t TableView::numberOfRowsInSection(int64_t section) {
    ensureGeometry();
    if (section < 0 || size_t(section) >= sections_.size()) return 0;
    return sections_[size_t(section)].rows;
}

bool TableView::validPath(const IndexPath& path) {
    return path.section >= 0 && path.row >= 0 && path.row < numberOfRowsInSection(path.section);
}

cg::Rect TableView::rectForSection(int64_t section) {
    ensureGeometry();
    if (section < 0 || size_t(section) >= sections_.size()) return {};
    const Section& s = sections_[size_t(section)];
    return {0, s.top, bounds().width(), s.footerTop + s.footerHeight - s.top};
}

cg::Rect TableView::rectForHeaderInSection(int64_t section) {
    ensureGeometry();
    if (section < 0 || size_t(section) >= sections_.size()) return {};
    const Section& s = sections_[size_t(section)];
    return {0, s.top, bounds().width(), s.headerHeight};
}

cg::Rect TableView::rectForFooterInSection(int64_t section) {
    ensureGeometry();
    if (section < 0 || size_t(section) >= sections_.size()) return {};
    const Section& s = sections_[size_t(section)];
    return {0, s.footerTop, bounds().width(), s.footerHeight};
}

cg::Rect TableView::rectForRowAtIndexPath(const IndexPath& path) {
    if (!validPath(path)) return {};
    const Section& s = sections_[size_t(path.section)];
    return {0, s.rowTops[size_t(path.row)], bounds().width(), s.rowHeights[size_t(path.row)]};
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(cg::Point point) {
    ensureGeometry();
    for (size_t s = 0; s < sections_.size(); ++s) {
        const Section& section = sections_[s];
        for (size_t r = 0; r < section.rowTops.size(); ++r) {
            if (point.y >= section.rowTops[r] && point.y < section.rowTops[r] + section.rowHeights[r]) {
                return IndexPath::forRow(int64_t(r), int64_t(s));
            }
        }
    }
    return std::nullopt;
}

std::vector<IndexPath> TableView::indexPathsForRowsInRect(const cg::Rect& rect) {
    ensureGeometry();
    std::vector<IndexPath> out;
    double width = bounds().width();
    for (size_t s = 0; s < sections_.size(); ++s) {
        const Section& section = sections_[s];
        for (size_t r = 0; r < section.rowTops.size(); ++r) {
            if (cg::Rect{0, section.rowTops[r], width, section.rowHeights[r]}.intersects(rect)) {
                out.push_back(IndexPath::forRow(int64_t(r), int64_t(s)));
            }
        }
    }
    return out;
}

// ---- Visible views ----

void TableView::dropCell(const IndexPath& path, const ns::Ref<TableViewCell>& cell) {
    cell->removeFromSuperview();
    if (auto d = delegate()) d->didEndDisplayingCell(*this, *cell, path);
    cellPool_.enqueue(cell->reuseIdentifier(), cell);
}

void TableView::dropSupplement(const ns::Ref<View>& view) {
    view->removeFromSuperview();
    auto titled = ns::cast<TableViewHeaderFooterView>(view);
    if (titled) headerFooterPool_.enqueue(titled->reuseIdentifier(), titled);
}

void TableView::dropAllVisible() {
    auto keep = weak_from_this().lock();
    auto cells = std::move(cells_.visible());
    cells_.visible().clear();
    for (const auto& [path, cell] : cells) dropCell(path, cell);
    auto supplements = std::move(visibleSupplements_);
    visibleSupplements_.clear();
    for (const auto& [key, view] : supplements) dropSupplement(view);
}

ns::Ref<View> TableView::makeSupplement(Supplement kind, int64_t section) {
    auto d = delegate();
    ns::Ref<View> view;
    if (d) {
        view = kind == Supplement::Header ? d->viewForHeaderInSection(*this, section)
                                          : d->viewForFooterInSection(*this, section);
    }
    if (view) return view;
    const Section& s = sections_[size_t(section)];
    const ns::Ref<ns::String>& title = kind == Supplement::Header ? s.headerTitle : s.footerTitle;
    if (!title) return nullptr;
    auto titled = dequeueReusableHeaderFooterViewWithIdentifier(TitleViewIdentifier);
    if (!titled) titled = std::make_shared<TableViewHeaderFooterView>(TitleViewIdentifier);
    titled->textLabel()->setText(title);
    return titled;
}

void TableView::placeTableHeaderAndFooter() {
    double width = bounds().width();
    if (tableHeaderView_) tableHeaderView_->setFrame({0, 0, width, tableHeaderView_->frame().height()});
    if (tableFooterView_) {
        double height = tableFooterView_->frame().height();
        tableFooterView_->setFrame({0, contentHeight_ - height, width, height});
    }
    if (backgroundView_) backgroundView_->setFrame(bounds());
}

void TableView::updateVisibleViews() {
    if (updating_) return;
    updating_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{updating_};
    auto keep = std::static_pointer_cast<TableView>(weak_from_this().lock());
    ensureGeometry();
    cg::Rect visible = bounds();
    double width = visible.width();
    if (contentSize().width != width) setContentSize({width, contentHeight_});
    placeTableHeaderAndFooter();

    std::map<IndexPath, cg::Rect> rows;
    std::map<std::pair<Supplement, int64_t>, cg::Rect> supplements;
    for (size_t s = 0; s < sections_.size(); ++s) {
        const Section& section = sections_[s];
        cg::Rect header{0, section.top, width, section.headerHeight};
        if (section.headerHeight > 0 && header.intersects(visible)) supplements[{Supplement::Header, int64_t(s)}] = header;
        for (size_t r = 0; r < section.rowTops.size(); ++r) {
            cg::Rect frame{0, section.rowTops[r], width, section.rowHeights[r]};
            if (frame.intersects(visible)) rows[IndexPath::forRow(int64_t(r), int64_t(s))] = frame;
        }
        cg::Rect footer{0, section.footerTop, width, section.footerHeight};
        if (section.footerHeight > 0 && footer.intersects(visible)) supplements[{Supplement::Footer, int64_t(s)}] = footer;
    }

    auto& visibleCells = cells_.visible();
    detail::dropUnwanted(visibleCells, rows, [this](const IndexPath& path, const ns::Ref<TableViewCell>& cell) {
        dropCell(path, cell);
    });
    detail::dropUnwanted(visibleSupplements_, supplements,
                         [this](const auto&, const ns::Ref<View>& view) { dropSupplement(view); });

    auto source = dataSource();
    auto d = delegate();
    for (const auto& [path, frame] : rows) {
        auto existing = visibleCells.find(path);
        if (existing != visibleCells.end()) {
            existing->second->setFrame(frame);
            continue;
        }
        if (!source) continue;
        auto cell = source->cellForRowAtIndexPath(*this, path);
        if (!cell) {
            ns::Exception::raise(ns::InternalInconsistencyException,
                                 "UITableView (" + description() + ") failed to obtain a cell from its dataSource");
        }
        cell->setFrame(frame);
        cells_.show(*this, path, cell);
        if (d) d->willDisplayCell(*this, *cell, path);
    }
    for (const auto& [key, frame] : supplements) {
        auto existing = visibleSupplements_.find(key);
        if (existing != visibleSupplements_.end()) {
            existing->second->setFrame(frame);
            continue;
        }
        auto view = makeSupplement(key.first, key.second);
        if (!view) continue;
        view->setFrame(frame);
        visibleSupplements_[key] = view;
        addSubview(view);
    }
}

void TableView::layoutSubviews() {
    ScrollView::layoutSubviews();
    updateVisibleViews();
}

void TableView::contentOffsetDidChange() { updateVisibleViews(); }

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell& cell) { return cells_.indexPathOf(cell); }

ns::Ref<TableViewCell> TableView::cellForRowAtIndexPath(const IndexPath& path) {
    updateVisibleViews();
    return cells_.find(path);
}

std::vector<ns::Ref<TableViewCell>> TableView::visibleCells() {
    updateVisibleViews();
    return cells_.cells();
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() {
    updateVisibleViews();
    return cells_.indexPaths();
}

ns::Ref<View> TableView::headerViewForSection(int64_t section) {
    updateVisibleViews();
    auto it = visibleSupplements_.find({Supplement::Header, section});
    return it == visibleSupplements_.end() ? nullptr : it->second;
}

ns::Ref<View> TableView::footerViewForSection(int64_t section) {
    updateVisibleViews();
    auto it = visibleSupplements_.find({Supplement::Footer, section});
    return it == visibleSupplements_.end() ? nullptr : it->second;
}

void TableView::scrollToRowAtIndexPath(const IndexPath& path, TableViewScrollPosition position, bool animated) {
    ensureGeometry();
    const std::string where =
        "-[UITableView _contentOffsetForScrollingToRowAtIndexPath:atScrollPosition:usingPresentationValues:]: ";
    if (path.section < 0 || size_t(path.section) >= sections_.size()) {
        ns::Exception::raise(ns::RangeException, where + "section (" + str(path.section) + ") beyond bounds (" +
                                                     str(int64_t(sections_.size())) + ").");
    }
    int64_t rows = sections_[size_t(path.section)].rows;
    if (path.row < 0 || path.row >= rows) {
        ns::Exception::raise(ns::RangeException, where + "row (" + str(path.row) + ") beyond bounds (" + str(rows) +
                                                     ") for section (" + str(path.section) + ").");
    }
    cg::Rect rect = rectForRowAtIndexPath(path);
    if (position == TableViewScrollPosition::None) {
        scrollRectToVisible(rect, animated);
        return;
    }
    cg::EdgeInsets in = adjustedContentInset();
    double visibleHeight = bounds().height() - in.top - in.bottom;
    cg::Point offset = contentOffset();
    switch (position) {
        case TableViewScrollPosition::Top: offset.y = rect.minY() - in.top; break;
        case TableViewScrollPosition::Middle: offset.y = rect.midY() - visibleHeight / 2 - in.top; break;
        case TableViewScrollPosition::Bottom: offset.y = rect.maxY() - visibleHeight - in.top; break;
        case TableViewScrollPosition::None: break;
    }
    offset.y = std::clamp(offset.y, minimumContentOffset().y, maximumContentOffset().y);
    setContentOffset(offset, animated);
}

// ---- Updates ----

void TableView::reloadData() {
    auto keep = weak_from_this().lock();
    dropAllVisible();
    cells_.resetSelection();
    pending_ = {};
    geometryValid_ = false;
    ensureGeometry();
    setNeedsLayout();
}

void TableView::beginUpdates() { ++updateDepth_; }

void TableView::endUpdates() {
    if (updateDepth_ == 0) return;
    if (--updateDepth_ == 0) applyUpdates();
}

void TableView::insertRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation) {
    pending_.insertRows.insert(pending_.insertRows.end(), paths.begin(), paths.end());
    if (updateDepth_ == 0) applyUpdates();
}

void TableView::deleteRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation) {
    pending_.deleteRows.insert(pending_.deleteRows.end(), paths.begin(), paths.end());
    if (updateDepth_ == 0) applyUpdates();
}

void TableView::reloadRowsAtIndexPaths(const std::vector<IndexPath>& paths, TableViewRowAnimation) {
    pending_.reloadRows.insert(pending_.reloadRows.end(), paths.begin(), paths.end());
    if (updateDepth_ == 0) applyUpdates();
}

void TableView::insertSections(const std::set<int64_t>& sections, TableViewRowAnimation) {
    pending_.insertSections.insert(sections.begin(), sections.end());
    if (updateDepth_ == 0) applyUpdates();
}

void TableView::deleteSections(const std::set<int64_t>& sections, TableViewRowAnimation) {
    pending_.deleteSections.insert(sections.begin(), sections.end());
    if (updateDepth_ == 0) applyUpdates();
}

void TableView::reloadSections(const std::set<int64_t>& sections, TableViewRowAnimation) {
    pending_.reloadSections.insert(sections.begin(), sections.end());
    if (updateDepth_ == 0) applyUpdates();
}

void TableView::applyUpdates() {
    Update u = std::move(pending_);
    pending_ = {};
    auto keep = weak_from_this().lock();
    if (!everLoaded_) {
        // Nothing was shown yet: the new data simply loads.
        ensureGeometry();
        setNeedsLayout();
        return;
    }
    std::vector<int64_t> before;
    for (const auto& section : sections_) before.push_back(section.rows);
    std::vector<int64_t> after = askCounts();
    auto fail = [](const std::string& reason) {
        ns::Exception::raise(ns::InternalInconsistencyException, "Invalid update: " + reason);
    };

    int64_t oldSections = int64_t(before.size());
    int64_t newSections = int64_t(after.size());
    if (newSections != oldSections + int64_t(u.insertSections.size()) - int64_t(u.deleteSections.size())) {
        fail("invalid number of sections. The number of sections contained in the table view after the update (" +
             str(newSections) +
             ") must be equal to the number of sections contained in the table view before the update (" +
             str(oldSections) + "), plus or minus the number of sections inserted or deleted (" +
             str(int64_t(u.insertSections.size())) + " inserted, " + str(int64_t(u.deleteSections.size())) +
             " deleted).");
    }
    for (int64_t s : u.deleteSections) {
        if (s < 0 || s >= oldSections) {
            ns::Exception::raise(ns::InternalInconsistencyException,
                                 "attempt to delete section " + str(s) + ", but there are only " + str(oldSections) +
                                     " sections before the update");
        }
    }
    for (int64_t s : u.insertSections) {
        if (s < 0 || s >= newSections) {
            ns::Exception::raise(ns::InternalInconsistencyException,
                                 "attempt to insert section " + str(s) + " but there are only " + str(newSections) +
                                     " sections after the update");
        }
    }

    auto mapSection = [&](int64_t old) -> std::optional<int64_t> {
        if (u.deleteSections.count(old)) return std::nullopt;
        int64_t s = old - int64_t(std::count_if(u.deleteSections.begin(), u.deleteSections.end(),
                                                [&](int64_t d) { return d < old; }));
        for (int64_t inserted : u.insertSections) {
            if (inserted <= s) ++s;
        }
        return s;
    };

    for (const auto& p : u.deleteRows) {
        if (p.section < 0 || p.section >= oldSections || p.row < 0 || p.row >= before[size_t(p.section)]) {
            ns::Exception::raise(ns::InternalInconsistencyException,
                                 "attempt to delete row " + str(p.row) + " from section " + str(p.section) +
                                     " which only contains " +
                                     str(p.section >= 0 && p.section < oldSections ? before[size_t(p.section)] : 0) +
                                     " rows before the update");
        }
    }
    for (const auto& p : u.insertRows) {
        if (p.section < 0 || p.section >= newSections || p.row < 0 || p.row >= after[size_t(p.section)]) {
            ns::Exception::raise(ns::InternalInconsistencyException,
                                 "attempt to insert row " + str(p.row) + " into section " + str(p.section) +
                                     ", but there are only " +
                                     str(p.section >= 0 && p.section < newSections ? after[size_t(p.section)] : 0) +
                                     " rows in section " + str(p.section) + " after the update");
        }
    }
    for (int64_t old = 0; old < oldSections; ++old) {
        auto mapped = mapSection(old);
        if (!mapped || u.reloadSections.count(old)) continue;
        int64_t inserted = int64_t(
            std::count_if(u.insertRows.begin(), u.insertRows.end(), [&](const IndexPath& p) { return p.section == *mapped; }));
        int64_t deleted = int64_t(
            std::count_if(u.deleteRows.begin(), u.deleteRows.end(), [&](const IndexPath& p) { return p.section == old; }));
        if (after[size_t(*mapped)] != before[size_t(old)] + inserted - deleted) {
            fail("invalid number of rows in section " + str(*mapped) +
                 ". The number of rows contained in an existing section after the update (" +
                 str(after[size_t(*mapped)]) +
                 ") must be equal to the number of rows contained in that section before the update (" +
                 str(before[size_t(old)]) +
                 "), plus or minus the number of rows inserted or deleted from that section (" + str(inserted) +
                 " inserted, " + str(deleted) +
                 " deleted) and plus or minus the number of rows moved into or out of that section (0 moved in, 0 "
                 "moved out).");
        }
    }

    // Where each old row ends up, or nothing for rows that go or reload.
    auto mapRow = [&](const IndexPath& old) -> std::optional<IndexPath> {
        auto section = mapSection(old.section);
        if (!section || u.reloadSections.count(old.section)) return std::nullopt;
        auto matches = [&](const IndexPath& p) { return p == old; };
        if (std::any_of(u.deleteRows.begin(), u.deleteRows.end(), matches)) return std::nullopt;
        if (std::any_of(u.reloadRows.begin(), u.reloadRows.end(), matches)) return std::nullopt;
        int64_t row = old.row - int64_t(std::count_if(u.deleteRows.begin(), u.deleteRows.end(), [&](const IndexPath& p) {
                          return p.section == old.section && p.row < old.row;
                      }));
        std::vector<int64_t> inserted;
        for (const auto& p : u.insertRows) {
            if (p.section == *section) inserted.push_back(p.row);
        }
        std::sort(inserted.begin(), inserted.end());
        for (int64_t r : inserted) {
            if (r <= row) ++row;
        }
        return IndexPath::forRow(row, *section);
    };

    auto cells = std::move(cells_.visible());
    cells_.visible().clear();
    for (const auto& [path, cell] : cells) {
        if (auto moved = mapRow(path)) {
            cells_.visible()[*moved] = cell;
        } else {
            dropCell(path, cell);
        }
    }
    auto supplements = std::move(visibleSupplements_);
    visibleSupplements_.clear();
    for (const auto& [key, view] : supplements) dropSupplement(view);
    std::set<IndexPath> selected;
    for (const auto& path : cells_.selected()) {
        if (auto moved = mapRow(path)) selected.insert(*moved);
    }
    cells_.resetSelection(std::move(selected));

    computeGeometry(after);
    setNeedsLayout();
    updateVisibleViews();
}

// ---- Selection ----

void TableView::selectRowAtIndexPath(const std::optional<IndexPath>& path, bool animated,
                                     TableViewScrollPosition position) {
    if (cells_.select(path) && position != TableViewScrollPosition::None) {
        scrollToRowAtIndexPath(*path, position, animated);
    }
}

void TableView::deselectRowAtIndexPath(const IndexPath& path, bool) { cells_.deselect(path); }

std::optional<IndexPath> TableView::indexPathForSelectedRow() const {
    if (cells_.selected().empty()) return std::nullopt;
    return *cells_.selected().begin();
}

std::vector<IndexPath> TableView::indexPathsForSelectedRows() const {
    return std::vector<IndexPath>(cells_.selected().begin(), cells_.selected().end());
}

void TableView::performUserSelection(const IndexPath& path) { cells_.performUserSelection(path); }

void TableView::selectAsUser(IndexPath path) {
    auto keep = weak_from_this().lock();
    auto d = delegate();
    if (cells_.allowsMultipleSelection() && cells_.isSelected(path)) {
        auto target = d ? d->willDeselectRowAtIndexPath(*this, path) : std::optional<IndexPath>(path);
        if (!target || !validPath(*target)) return;
        deselectRowAtIndexPath(*target, false);
        if (d) d->didDeselectRowAtIndexPath(*this, *target);
        return;
    }
    auto target = d ? d->willSelectRowAtIndexPath(*this, path) : std::optional<IndexPath>(path);
    if (!target || !validPath(*target)) return;
    if (!cells_.allowsMultipleSelection()) {
        for (const auto& other : std::set<IndexPath>(cells_.selected())) {
            if (other == *target) continue;
            auto leaving = d ? d->willDeselectRowAtIndexPath(*this, other) : std::optional<IndexPath>(other);
            if (!leaving) continue;
            deselectRowAtIndexPath(*leaving, false);
            if (d) d->didDeselectRowAtIndexPath(*this, *leaving);
        }
    }
    cells_.addToSelection(*target);
    if (d) d->didSelectRowAtIndexPath(*this, *target);
}

void TableView::touchesBegan(const TouchSet& touches, Event*) { cells_.touchesBegan(*this, touches); }

void TableView::touchesEnded(const TouchSet& touches, Event*) { cells_.touchesEnded(*this, touches); }

void TableView::touchesCancelled(const TouchSet&, Event*) { cells_.touchesCancelled(); }

}  // namespace ui
