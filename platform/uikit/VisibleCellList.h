#pragma once
// What table and collection views keep about the cells they show: the
// visible cells by index path, the selection and the touched (highlighted)
// path, kept in step with the cells' own selected and highlighted states.
// The owner answers through hooks it sets once; it owns the list, so the
// hooks may hold it by reference.
//
// Defined for TableViewCell and CollectionViewCell only.
//
// Main thread only.

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/uikit/IndexPath.h"
#include "platform/uikit/Responder.h"

namespace ui {

class View;

namespace detail {

// Takes the entries `wanted` lacks out of `shown`, handing each to `drop`
// once it is out, so drop may look at what stays.
template <class Key, class V, class Wanted, class Drop>
void dropUnwanted(std::map<Key, V>& shown, const Wanted& wanted, Drop drop) {
    for (auto it = shown.begin(); it != shown.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        auto key = it->first;
        auto view = it->second;
        it = shown.erase(it);
        drop(key, view);
    }
}

template <class Cell>
class VisibleCellList {
public:
    using Cells = std::map<IndexPath, ns::Ref<Cell>>;

    struct Hooks {
        // Within the data as last counted.
        std::function<bool(const IndexPath&)> isValid;
        // The cell's path under a point of the owner.
        std::function<std::optional<IndexPath>(cg::Point)> indexPathAtPoint;
        // The delegate's say, true without one.
        std::function<bool(const IndexPath&)> shouldHighlight;
        // Tells the delegate.
        std::function<void(const IndexPath&, bool highlighted)> highlightChanged;
        // A finger's selection, delegate calls included.
        std::function<void(const IndexPath&)> selectAsUser;
    };

    void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }

    // ---- Visible cells ----
    // In index-path order; the owner moves and drops entries itself.
    Cells& visible() { return cells_; }
    ns::Ref<Cell> find(const IndexPath& path) const;
    std::optional<IndexPath> indexPathOf(const Cell& cell) const;
    std::vector<ns::Ref<Cell>> cells() const;
    std::vector<IndexPath> indexPaths() const;
    // Gives the cell its path's selected state, records it and adds it to
    // the owner.
    void show(View& owner, const IndexPath& path, const ns::Ref<Cell>& cell);

    // ---- Selection ----
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool on) { allowsSelection_ = on; }
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool on) { allowsMultipleSelection_ = on; }
    const std::set<IndexPath>& selected() const { return selected_; }
    bool isSelected(const IndexPath& path) const { return selected_.count(path) != 0; }
    // Silent. Nothing deselects every path; with single selection the path
    // replaces the others. False when nothing was selected.
    bool select(const std::optional<IndexPath>& path);
    // Adds the path and leaves the others be.
    void addToSelection(const IndexPath& path);
    void deselect(const IndexPath& path);
    // For data reloaded or moved: the cells' states are the caller's.
    void resetSelection(std::set<IndexPath> paths = {}) { selected_ = std::move(paths); }
    // What a tap on the path does, if selection is on, the path valid and
    // the delegate lets it highlight.
    void performUserSelection(const IndexPath& path);

    // ---- Touches ----
    const std::optional<IndexPath>& touched() const { return touched_; }
    void setHighlighted(const std::optional<IndexPath>& path);
    void touchesBegan(View& owner, const TouchSet& touches);
    // Selects as the user when the finger lifts over the path it went down on.
    void touchesEnded(View& owner, const TouchSet& touches);
    void touchesCancelled() { setHighlighted(std::nullopt); }

private:
    void setCellSelected(const IndexPath& path, bool selected);

    Hooks hooks_;
    Cells cells_;
    std::set<IndexPath> selected_;
    bool allowsSelection_ = true;
    bool allowsMultipleSelection_ = false;
    std::optional<IndexPath> touched_;
};

}  // namespace detail
}  // namespace ui
