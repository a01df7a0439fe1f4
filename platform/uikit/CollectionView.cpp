#include "platform/uikit/CollectionView.h"

#include <algorithm>

#include "platform/runtime/Exception.h"
#include "platform/uikit/CellBackgrounds.h"
#include "platform/uikit/CollectionViewFlowLayout.h"
#include "platform/uikit/Nib.h"
#include "platform/uikit/Touch.h"

namespace ui {

RT_DEFINE_CLASS(CollectionView, ScrollView, "UICollectionView")

namespace {

constexpr const char* CellKind = "UICollectionElementKindCell";

std::string poolKey(const std::string& kind, const std::string& identifier) { return kind + "\n" + identifier; }

using Pool = detail::ReusableViewPool<CollectionReusableView>;

// The public factories are not told the identifier.
Pool::Factory poolFactory(CollectionView::CellFactory factory) {
    if (!factory) return {};
    return [factory = std::move(factory)](const std::string&) { return factory(); };
}

}  // namespace

CollectionView::CollectionView() : CollectionView(cg::Rect{}, nullptr) {}

CollectionView::CollectionView(const cg::Rect& frame, ns::Ref<CollectionViewLayout> layout)
    : ScrollView(frame), layout_(layout ? std::move(layout) : std::make_shared<CollectionViewFlowLayout>()) {
    cells_.setHooks({
        .isValid = [this](const IndexPath& path) { return validPath(path); },
        .indexPathAtPoint = [this](cg::Point point) { return indexPathForItemAtPoint(point); },
        .shouldHighlight =
            [this](const IndexPath& path) {
                auto d = delegate();
                return !d || d->shouldHighlightItemAtIndexPath(*this, path);
            },
        .highlightChanged =
            [this](const IndexPath& path, bool highlighted) {
                auto d = delegate();
                if (d && highlighted) d->didHighlightItemAtIndexPath(*this, path);
                if (d && !highlighted) d->didUnhighlightItemAtIndexPath(*this, path);
            },
        .selectAsUser = [this](const IndexPath& path) { selectAsUser(path); },
    });
}

CollectionView::~CollectionView() = default;

ns::Ref<CollectionView> CollectionView::make(const cg::Rect& frame, const ns::Ref<CollectionViewLayout>& layout) {
    return std::make_shared<CollectionView>(frame, layout);
}

void CollectionView::setCollectionViewLayout(const ns::Ref<CollectionViewLayout>& layout) {
    if (!layout || layout == layout_) return;
    if (layout_->collectionView_.lock().get() == this) layout_->collectionView_.reset();
    layout_ = layout;
    layoutInvalidated();
}

void CollectionView::setDataSource(const std::shared_ptr<CollectionViewDataSource>& dataSource) {
    dataSource_ = dataSource;
    countsValid_ = false;
    layoutInvalidated();
}

void CollectionView::setDelegate(const std::shared_ptr<CollectionViewDelegate>& delegate) {
    delegate_ = delegate;
    ScrollView::setDelegate(delegate);
    layoutInvalidated();
}

void CollectionView::setBackgroundView(const ns::Ref<View>& view) {
    if (backgroundView_ != view) detail::setBackgroundSubview(*this, backgroundView_, view);
}

// ---- Registration ----

void CollectionView::registerView(const std::string& kind, const std::string& identifier, Pool::Factory factory) {
    pool_.registerFactory(poolKey(kind, identifier), std::move(factory));
}

void CollectionView::registerCellFactory(const std::string& identifier, CellFactory factory) {
    registerView(CellKind, identifier, poolFactory(std::move(factory)));
}

void CollectionView::registerClass(const rt::Class* cellClass, const std::string& identifier) {
    registerView(CellKind, identifier, Pool::classFactory(cellClass));
}

void CollectionView::registerNib(const ns::Ref<Nib>& nib, const std::string& identifier) {
    registerView(CellKind, identifier, Pool::nibFactory(nib));
}

void CollectionView::registerSupplementaryFactory(const std::string& kind, const std::string& identifier,
                                                  CellFactory factory) {
    registerView(kind, identifier, poolFactory(std::move(factory)));
}

void CollectionView::registerSupplementaryClass(const rt::Class* viewClass, const std::string& kind,
                                                const std::string& identifier) {
    registerView(kind, identifier, Pool::classFactory(viewClass));
}

void CollectionView::registerSupplementaryNib(const ns::Ref<Nib>& nib, const std::string& kind,
                                              const std::string& identifier) {
    registerView(kind, identifier, Pool::nibFactory(nib));
}

void CollectionView::enqueue(const ns::Ref<CollectionReusableView>& view, const std::string& kind) {
    pool_.enqueue(poolKey(kind, view->reuseIdentifier()), view);
}

ns::Ref<CollectionReusableView> CollectionView::dequeue(const std::string& kind, const std::string& identifier) {
    auto view = pool_.dequeue(poolKey(kind, identifier), identifier);
    if (!view) {
        ns::Exception::raise(ns::InternalInconsistencyException,
                             "could not dequeue a view of kind: " + kind + " with identifier " + identifier +
                                 " - must register a nib or a class for the identifier or connect a prototype cell "
                                 "in a storyboard");
    }
    return view;
}

ns::Ref<CollectionViewCell> CollectionView::dequeueReusableCellWithReuseIdentifier(const std::string& identifier,
                                                                                   const IndexPath&) {
    auto cell = ns::cast<CollectionViewCell>(dequeue(CellKind, identifier));
    if (!cell) {
        ns::Exception::raise(ns::InternalInconsistencyException,
                             "the cell registered for identifier " + identifier + " is not a UICollectionViewCell");
    }
    return cell;
}

ns::Ref<CollectionReusableView> CollectionView::dequeueReusableSupplementaryViewOfKind(const std::string& kind,
                                                                                      const std::string& identifier,
                                                                                      const IndexPath&) {
    return dequeue(kind, identifier);
}

void CollectionView::dropCell(const IndexPath& path, const ns::Ref<CollectionViewCell>& cell) {
    cell->removeFromSuperview();
    if (auto d = delegate()) d->didEndDisplayingCell(*this, *cell, path);
    enqueue(cell, CellKind);
}

// ---- Data and layout ----

void CollectionView::ensureCounts() {
    if (countsValid_) return;
    countsValid_ = true;
    itemCounts_.clear();
    auto source = dataSource();
    if (!source) return;
    int64_t sections = std::max<int64_t>(0, source->numberOfSectionsInCollectionView(*this));
    for (int64_t s = 0; s < sections; ++s) {
        itemCounts_.push_back(std::max<int64_t>(0, source->numberOfItemsInSection(*this, s)));
    }
}

void CollectionView::ensureLayout() {
    ensureCounts();
    if (!layout_->collectionView_.lock()) {
        layout_->collectionView_ = std::static_pointer_cast<CollectionView>(weak_from_this().lock());
    }
    if (layoutValid_) return;
    layoutValid_ = true;
    laidOutSize_ = bounds().size;
    layout_->prepareLayout();
    setContentSize(layout_->collectionViewContentSize());
}

void CollectionView::layoutInvalidated() {
    layoutValid_ = false;
    setNeedsLayout();
}

int64_t CollectionView::numberOfSections() {
    ensureCounts();
    return int64_t(itemCounts_.size());
}

int64_t CollectionView::numberOfItemsInSection(int64_t section) {
    ensureCounts();
    if (section < 0 || size_t(section) >= itemCounts_.size()) return 0;
    return itemCounts_[size_t(section)];
}

bool CollectionView::validPath(const IndexPath& path) {
    return path.item() >= 0 && path.item() < numberOfItemsInSection(path.section) && path.section >= 0;
}

void CollectionView::reloadData() {
    auto keep = std::static_pointer_cast<CollectionView>(weak_from_this().lock());
    auto cells = std::move(cells_.visible());
    cells_.visible().clear();
    for (const auto& [path, cell] : cells) dropCell(path, cell);
    auto supplementary = std::move(visibleSupplementary_);
    visibleSupplementary_.clear();
    for (const auto& [key, view] : supplementary) {
        view->removeFromSuperview();
        enqueue(view, key.first);
    }
    cells_.resetSelection();
    countsValid_ = false;
    layoutValid_ = false;
    ensureLayout();
    setNeedsLayout();
}

void CollectionView::reloadItemsAtIndexPaths(const std::vector<IndexPath>& paths) {
    for (const auto& path : paths) {
        if (!validPath(path)) {
            ns::Exception::raise(ns::InternalInconsistencyException,
                                 "attempt to reload item " + std::to_string(path.item()) + " from section " +
                                     std::to_string(path.section) + " which only contains " +
                                     std::to_string(numberOfItemsInSection(path.section)) +
                                     " items before the update");
        }
    }
    for (const auto& path : paths) {
        auto cell = cells_.find(path);
        if (!cell) continue;
        cells_.visible().erase(path);
        dropCell(path, cell);
    }
    layoutValid_ = false;
    updateVisibleViews();
}

void CollectionView::updateVisibleViews() {
    if (updating_) return;
    updating_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{updating_};
    auto keep = std::static_pointer_cast<CollectionView>(weak_from_this().lock());
    ensureLayout();
    if (backgroundView_) backgroundView_->setFrame(bounds());

    cg::Rect visible = bounds();
    std::vector<CollectionViewLayoutAttributes> elements;
    if (!visible.isEmpty()) elements = layout_->layoutAttributesForElementsInRect(visible);
    std::map<IndexPath, CollectionViewLayoutAttributes> cells;
    std::map<std::pair<std::string, IndexPath>, CollectionViewLayoutAttributes> supplementary;
    for (const auto& e : elements) {
        if (e.category == CollectionElementCategory::Cell) {
            if (validPath(e.indexPath)) cells[e.indexPath] = e;
        } else if (e.category == CollectionElementCategory::SupplementaryView) {
            supplementary[{e.representedElementKind, e.indexPath}] = e;
        }
    }

    auto& visibleCells = cells_.visible();
    detail::dropUnwanted(visibleCells, cells, [this](const IndexPath& path, const ns::Ref<CollectionViewCell>& cell) {
        dropCell(path, cell);
    });
    detail::dropUnwanted(visibleSupplementary_, supplementary,
                         [this](const auto& key, const ns::Ref<CollectionReusableView>& view) {
                             view->removeFromSuperview();
                             enqueue(view, key.first);
                         });

    auto source = dataSource();
    auto d = delegate();
    for (const auto& [path, attributes] : cells) {
        auto existing = visibleCells.find(path);
        if (existing != visibleCells.end()) {
            existing->second->setFrame(attributes.frame);
            continue;
        }
        if (!source) continue;
        auto cell = source->cellForItemAtIndexPath(*this, path);
        if (!cell) {
            ns::Exception::raise(ns::InternalInconsistencyException,
                                 "the cell returned from -collectionView:cellForItemAtIndexPath: for index path " +
                                     toString(path) + " is nil");
        }
        cell->setFrame(attributes.frame);
        cell->setHidden(attributes.hidden);
        cells_.show(*this, path, cell);
        if (d) d->willDisplayCell(*this, *cell, path);
    }
    for (const auto& [key, attributes] : supplementary) {
        auto existing = visibleSupplementary_.find(key);
        if (existing != visibleSupplementary_.end()) {
            existing->second->setFrame(attributes.frame);
            continue;
        }
        if (!source) continue;
        auto view = source->viewForSupplementaryElementOfKind(*this, key.first, key.second);
        if (!view) continue;
        view->setFrame(attributes.frame);
        visibleSupplementary_[key] = view;
        addSubview(view);
    }
}

void CollectionView::layoutSubviews() {
    ScrollView::layoutSubviews();
    if (bounds().size != laidOutSize_ && layout_->shouldInvalidateLayoutForBoundsChange(bounds())) {
        layoutValid_ = false;
    }
    updateVisibleViews();
}

void CollectionView::contentOffsetDidChange() { updateVisibleViews(); }

// ---- Geometry and visible cells ----

std::optional<CollectionViewLayoutAttributes> CollectionView::layoutAttributesForItemAtIndexPath(
    const IndexPath& path) {
    ensureLayout();
    return layout_->layoutAttributesForItemAtIndexPath(path);
}

std::optional<IndexPath> CollectionView::indexPathForItemAtPoint(cg::Point point) {
    ensureLayout();
    for (const auto& e : layout_->layoutAttributesForElementsInRect({point.x - 0.5, point.y - 0.5, 1, 1})) {
        if (e.category == CollectionElementCategory::Cell && e.frame.containsPoint(point)) return e.indexPath;
    }
    return std::nullopt;
}

std::optional<IndexPath> CollectionView::indexPathForCell(const CollectionViewCell& cell) {
    return cells_.indexPathOf(cell);
}

ns::Ref<CollectionViewCell> CollectionView::cellForItemAtIndexPath(const IndexPath& path) {
    updateVisibleViews();
    return cells_.find(path);
}

std::vector<ns::Ref<CollectionViewCell>> CollectionView::visibleCells() {
    updateVisibleViews();
    return cells_.cells();
}

std::vector<IndexPath> CollectionView::indexPathsForVisibleItems() {
    updateVisibleViews();
    return cells_.indexPaths();
}

ns::Ref<CollectionReusableView> CollectionView::supplementaryViewForElementKind(const std::string& kind,
                                                                                const IndexPath& path) {
    updateVisibleViews();
    auto it = visibleSupplementary_.find({kind, path});
    return it == visibleSupplementary_.end() ? nullptr : it->second;
}

void CollectionView::scrollToItemAtIndexPath(const IndexPath& path, unsigned position, bool animated) {
    std::optional<CollectionViewLayoutAttributes> attributes;
    if (validPath(path)) attributes = layoutAttributesForItemAtIndexPath(path);
    if (!attributes) {
        ns::Exception::raise(ns::InvalidArgumentException, "attempt to scroll to invalid index path: " + toString(path));
    }
    cg::Rect f = attributes->frame;
    if (position == CollectionViewScrollPositionNone) {
        scrollRectToVisible(f, animated);
        return;
    }
    cg::EdgeInsets in = adjustedContentInset();
    cg::Size size = bounds().size;
    double visibleWidth = size.width - in.left - in.right;
    double visibleHeight = size.height - in.top - in.bottom;
    cg::Point offset = contentOffset();
    if (position & CollectionViewScrollPositionTop) offset.y = f.minY() - in.top;
    if (position & CollectionViewScrollPositionCenteredVertically) offset.y = f.midY() - visibleHeight / 2 - in.top;
    if (position & CollectionViewScrollPositionBottom) offset.y = f.maxY() - visibleHeight - in.top;
    if (position & CollectionViewScrollPositionLeft) offset.x = f.minX() - in.left;
    if (position & CollectionViewScrollPositionCenteredHorizontally) offset.x = f.midX() - visibleWidth / 2 - in.left;
    if (position & CollectionViewScrollPositionRight) offset.x = f.maxX() - visibleWidth - in.left;
    cg::Point lo = minimumContentOffset();
    cg::Point hi = maximumContentOffset();
    offset = {std::clamp(offset.x, lo.x, hi.x), std::clamp(offset.y, lo.y, hi.y)};
    setContentOffset(offset, animated);
}

// ---- Selection ----

void CollectionView::selectItemAtIndexPath(const std::optional<IndexPath>& path, bool animated,
                                           unsigned scrollPosition) {
    if (cells_.select(path) && scrollPosition != CollectionViewScrollPositionNone) {
        scrollToItemAtIndexPath(*path, scrollPosition, animated);
    }
}

void CollectionView::deselectItemAtIndexPath(const IndexPath& path, bool) { cells_.deselect(path); }

std::vector<IndexPath> CollectionView::indexPathsForSelectedItems() const {
    return std::vector<IndexPath>(cells_.selected().begin(), cells_.selected().end());
}

void CollectionView::performUserSelection(const IndexPath& path) { cells_.performUserSelection(path); }

void CollectionView::selectAsUser(const IndexPath& path) {
    auto keep = std::static_pointer_cast<CollectionView>(weak_from_this().lock());
    auto d = delegate();
    if (cells_.allowsMultipleSelection() && cells_.isSelected(path)) {
        if (d && !d->shouldDeselectItemAtIndexPath(*this, path)) return;
        deselectItemAtIndexPath(path, false);
        if (d) d->didDeselectItemAtIndexPath(*this, path);
        return;
    }
    if (d && !d->shouldSelectItemAtIndexPath(*this, path)) return;
    if (!cells_.allowsMultipleSelection()) {
        for (const auto& other : std::set<IndexPath>(cells_.selected())) {
            if (other == path) continue;
            deselectItemAtIndexPath(other, false);
            if (d) d->didDeselectItemAtIndexPath(*this, other);
        }
    }
    cells_.addToSelection(path);
    if (d) d->didSelectItemAtIndexPath(*this, path);
}

void CollectionView::touchesBegan(const TouchSet& touches, Event*) { cells_.touchesBegan(*this, touches); }

void CollectionView::touchesEnded(const TouchSet& touches, Event*) { cells_.touchesEnded(*this, touches); }

void CollectionView::touchesCancelled(const TouchSet&, Event*) { cells_.touchesCancelled(); }

}  // namespace ui
