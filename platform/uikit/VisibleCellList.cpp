#include "platform/uikit/VisibleCellList.h"

#include "platform/uikit/CollectionViewCell.h"
#include "platform/uikit/TableViewCell.h"
#include "platform/uikit/Touch.h"

namespace ui::detail {

namespace {

// The cells' setters differ only in the table's animation flag.
void setSelectedState(TableViewCell& cell, bool on) { cell.setSelected(on, false); }
void setSelectedState(CollectionViewCell& cell, bool on) { cell.setSelected(on); }
void setHighlightedState(TableViewCell& cell, bool on) { cell.setHighlighted(on, false); }
void setHighlightedState(CollectionViewCell& cell, bool on) { cell.setHighlighted(on); }

}  // namespace

// ---- Visible cells ----

template <class Cell>
ns::Ref<Cell> VisibleCellList<Cell>::find(const IndexPath& path) const {
    auto it = cells_.find(path);
    return it == cells_.end() ? nullptr : it->second;
}

template <class Cell>
std::optional<IndexPath> VisibleCellList<Cell>::indexPathOf(const Cell& cell) const {
    for (const auto& [path, visible] : cells_) {
        if (visible.get() == &cell) return path;
    }
    return std::nullopt;
}

template <class Cell>
std::vector<ns::Ref<Cell>> VisibleCellList<Cell>::cells() const {
    std::vector<ns::Ref<Cell>> out;
    for (const auto& [path, cell] : cells_) out.push_back(cell);
    return out;
}

template <class Cell>
std::vector<IndexPath> VisibleCellList<Cell>::indexPaths() const {
    std::vector<IndexPath> out;
    for (const auto& [path, cell] : cells_) out.push_back(path);
    return out;
}

template <class Cell>
void VisibleCellList<Cell>::show(View& owner, const IndexPath& path, const ns::Ref<Cell>& cell) {
    setSelectedState(*cell, isSelected(path));
    cells_[path] = cell;
    owner.addSubview(cell);
}

// ---- Selection ----

template <class Cell>
void VisibleCellList<Cell>::setCellSelected(const IndexPath& path, bool selected) {
    if (auto cell = find(path)) setSelectedState(*cell, selected);
}

template <class Cell>
bool VisibleCellList<Cell>::select(const std::optional<IndexPath>& path) {
    if (!path) {
        for (const auto& p : std::set<IndexPath>(selected_)) setCellSelected(p, false);
        selected_.clear();
        return false;
    }
    if (!hooks_.isValid(*path)) return false;
    if (!allowsMultipleSelection_) {
        for (const auto& p : std::set<IndexPath>(selected_)) {
            if (p != *path) setCellSelected(p, false);
        }
        selected_.clear();
    }
    addToSelection(*path);
    return true;
}

template <class Cell>
void VisibleCellList<Cell>::addToSelection(const IndexPath& path) {
    selected_.insert(path);
    setCellSelected(path, true);
}

template <class Cell>
void VisibleCellList<Cell>::deselect(const IndexPath& path) {
    if (selected_.erase(path)) setCellSelected(path, false);
}

template <class Cell>
void VisibleCellList<Cell>::performUserSelection(const IndexPath& path) {
    if (!allowsSelection_ || !hooks_.isValid(path)) return;
    if (!hooks_.shouldHighlight(path)) return;
    hooks_.selectAsUser(path);
}

// ---- Touches ----

template <class Cell>
void VisibleCellList<Cell>::setHighlighted(const std::optional<IndexPath>& path) {
    if (touched_ && touched_ != path) {
        if (auto cell = find(*touched_)) setHighlightedState(*cell, false);
        hooks_.highlightChanged(*touched_, false);
    }
    touched_ = path;
    if (path) {
        if (auto cell = find(*path)) setHighlightedState(*cell, true);
        hooks_.highlightChanged(*path, true);
    }
}

template <class Cell>
void VisibleCellList<Cell>::touchesBegan(View& owner, const TouchSet& touches) {
    if (touches.empty() || !allowsSelection_) return;
    auto path = hooks_.indexPathAtPoint(touches.front()->locationInView(&owner));
    if (!path || !hooks_.shouldHighlight(*path)) return;
    setHighlighted(path);
}

template <class Cell>
void VisibleCellList<Cell>::touchesEnded(View& owner, const TouchSet& touches) {
    if (!touched_ || touches.empty()) return;
    auto keep = owner.weak_from_this().lock();
    IndexPath began = *touched_;
    setHighlighted(std::nullopt);
    auto path = hooks_.indexPathAtPoint(touches.front()->locationInView(&owner));
    if (path == began && allowsSelection_) hooks_.selectAsUser(began);
}

template class VisibleCellList<TableViewCell>;
template class VisibleCellList<CollectionViewCell>;

}  // namespace ui::detail
