#include "platform/uikit/CollectionView.h"

#include <algorithm>

#include "platform/runtime/Exception.h"
#include "platform/uikit/CollectionViewFlowLayout.h"
#include "platform/uikit/Nib.h"
#include "platform/uikit/Touch.h"

namespace ui {

RT_DEFINE_CLASS(CollectionView, ScrollView, "UICollectionView")

namespace {

constexpr const char* CellKind = "UICollectionElementKindCell";

std::string poolKey(const std::string& kind, const std::string& identifier) { return kind + "\n" + identifier; }

CollectionView::CellFactory nibFactory(const ns::Ref<Nib>& nib) {
    return [nib]() -> ns::Ref<CollectionReusableView> {
        for (const auto& object : nib->instantiateWithOwner(nullptr)) {
            if (auto view = ns::cast<CollectionReusableView>(object)) return view;
        }
        return nullptr;
    };
}

CollectionView::CellFactory classFactory(const rt::Class* cls) {
    return [cls]() -> ns::Ref<CollectionReusableView> { return ns::cast<CollectionReusableView>(cls->create()); };
}

}  // namespace

CollectionView::CollectionView() : CollectionView(cg::Rect{}, nullptr) {}

CollectionView::CollectionView(const cg::Rect& frame, ns::Ref<CollectionViewLayout> layout)
    : ScrollView(frame), layout_(layout ? std::move(layout) : std::make_shared<CollectionViewFlowLayout>()) {}

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
    if (backgroundView_ == view) return;
    if (backgroundView_ && backgroundView_->superview().get() == this) backgroundView_->removeFromSuperview();
    backgroundView_ = view;
    if (view) {
        view->setFrame(bounds());
        insertSubview(view, 0);
    }
}

// ---- Registration ----

void CollectionView::registerCellFactory(const std::string& identifier, CellFactory factory) {
    if (factory) {
        registrations_[poolKey(CellKind, identifier)] = {std::move(factory)};
    } else {
        registrations_.erase(poolKey(CellKind, identifier));
    }
}

void CollectionView::registerClass(const rt::Class* cellClass, const std::string& identifier) {
    registerCellFactory(identifier, cellClass ? classFactory(cellClass) : CellFactory());
}

void CollectionView::registerNib(const ns::Ref<Nib>& nib, const std::string& identifier) {
    registerCellFactory(identifier, nib ? nibFactory(nib) : CellFactory());
}

void CollectionView::registerSupplementaryFactory(const std::string& kind, const std::string& identifier,
                                                  CellFactory factory) {
    if (factory) {
        registrations_[poolKey(kind, identifier)] = {std::move(factory)};
    } else {
        registrations_.erase(poolKey(kind, identifier));
    }
}

void CollectionView::registerSupplementaryClass(const rt::Class* viewClass, const std::string& kind,
                                                const std::string& identifier) {
    registerSupplementaryFactory(kind, identifier, viewClass ? classFactory(viewClass) : CellFactory());
}

void CollectionView::registerSupplementaryNib(const ns::Ref<Nib>& nib, const std::string& kind,
                                              const std::string& identifier) {
    registerSupplementaryFactory(kind, identifier, nib ? nibFactory(nib) : CellFactory());
}

void CollectionView::enqueue(const ns::Ref<CollectionReusableView>& view, const std::string& key) {
    if (view->reuseIdentifier().empty()) return;
    pools_[key].push_back(view);
}

ns::Ref<CollectionReusableView> CollectionView::dequeue(const std::string& key, const std::string& identifier,
                                                        const std::string& kind) {
    auto& pool = pools_[key];
    if (!pool.empty()) {
        auto view = pool.back();
        pool.pop_back();
        view->prepareForReuse();
        return view;
    }
    auto registration = registrations_.find(key);
    ns::Ref<CollectionReusableView> view = registration != registrations_.end() ? registration->second.make() : nullptr;
    if (!view) {
        ns::Exception::raise(ns::InternalInconsistencyException,
                             "could not dequeue a view of kind: " + kind + " with identifier " + identifier +
                                 " - must register a nib or a class for the identifier or connect a prototype cell "
                                 "in a storyboard");
    }
    view->setReuseIdentifier(identifier);
    return view;
}

ns::Ref<CollectionViewCell> CollectionView::dequeueReusableCellWithReuseIdentifier(const std::string& identifier,
                                                                                   const IndexPath&) {
    auto view = dequeue(poolKey(CellKind, identifier), identifier, CellKind);
    auto cell = ns::cast<CollectionViewCell>(view);
    if (!cell) {
        ns::Exception::raise(ns::InternalInconsistencyException,
                             "the cell registered for identifier " + identifier + " is not a UICollectionViewCell");
    }
    return cell;
}

ns::Ref<CollectionReusableView> CollectionView::dequeueReusableSupplementaryViewOfKind(const std::string& kind,
                                                                                      const std::string& identifier,
                                                                                      const IndexPath&) {
    return dequeue(poolKey(kind, identifier), identifier, kind);
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
    auto d = delegate();
    auto cells = std::move(visibleCells_);
    visibleCells_.clear();
    for (const auto& [path, cell] : cells) {
        cell->removeFromSuperview();
        if (d) d->didEndDisplayingCell(*this, *cell, path);
        enqueue(cell, poolKey(CellKind, cell->reuseIdentifier()));
    }
    auto supplementary = std::move(visibleSupplementary_);
    visibleSupplementary_.clear();
    for (const auto& [key, view] : supplementary) {
        view->removeFromSuperview();
        enqueue(view, poolKey(key.first, view->reuseIdentifier()));
    }
    selected_.clear();
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
    auto d = delegate();
    for (const auto& path : paths) {
        auto it = visibleCells_.find(path);
        if (it == visibleCells_.end()) continue;
        auto cell = it->second;
        visibleCells_.erase(it);
        cell->removeFromSuperview();
        if (d) d->didEndDisplayingCell(*this, *cell, path);
        enqueue(cell, poolKey(CellKind, cell->reuseIdentifier()));
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

    auto d = delegate();
    for (auto it = visibleCells_.begin(); it != visibleCells_.end();) {
        if (cells.count(it->first)) {
            ++it;
            continue;
        }
        auto path = it->first;
        auto cell = it->second;
        it = visibleCells_.erase(it);
        cell->removeFromSuperview();
        if (d) d->didEndDisplayingCell(*this, *cell, path);
        enqueue(cell, poolKey(CellKind, cell->reuseIdentifier()));
    }
    for (auto it = visibleSupplementary_.begin(); it != visibleSupplementary_.end();) {
        if (supplementary.count(it->first)) {
            ++it;
            continue;
        }
        auto kind = it->first.first;
        auto view = it->second;
        it = visibleSupplementary_.erase(it);
        view->removeFromSuperview();
        enqueue(view, poolKey(kind, view->reuseIdentifier()));
    }

    auto source = dataSource();
    for (const auto& [path, attributes] : cells) {
        auto existing = visibleCells_.find(path);
        if (existing != visibleCells_.end()) {
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
        cell->setSelected(selected_.count(path) != 0);
        visibleCells_[path] = cell;
        addSubview(cell);
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
    for (const auto& [path, visible] : visibleCells_) {
        if (visible.get() == &cell) return path;
    }
    return std::nullopt;
}

ns::Ref<CollectionViewCell> CollectionView::cellForItemAtIndexPath(const IndexPath& path) {
    updateVisibleViews();
    auto it = visibleCells_.find(path);
    return it == visibleCells_.end() ? nullptr : it->second;
}

std::vector<ns::Ref<CollectionViewCell>> CollectionView::visibleCells() {
    updateVisibleViews();
    std::vector<ns::Ref<CollectionViewCell>> out;
    for (const auto& [path, cell] : visibleCells_) out.push_back(cell);
    return out;
}

std::vector<IndexPath> CollectionView::indexPathsForVisibleItems() {
    updateVisibleViews();
    std::vector<IndexPath> out;
    for (const auto& [path, cell] : visibleCells_) out.push_back(path);
    return out;
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

void CollectionView::setCellSelected(const IndexPath& path, bool selected) {
    auto it = visibleCells_.find(path);
    if (it != visibleCells_.end()) it->second->setSelected(selected);
}

void CollectionView::selectItemAtIndexPath(const std::optional<IndexPath>& path, bool animated,
                                           unsigned scrollPosition) {
    if (!path) {
        for (const auto& p : std::set<IndexPath>(selected_)) setCellSelected(p, false);
        selected_.clear();
        return;
    }
    if (!validPath(*path)) return;
    if (!allowsMultipleSelection_) {
        for (const auto& p : std::set<IndexPath>(selected_)) {
            if (p != *path) setCellSelected(p, false);
        }
        selected_.clear();
    }
    selected_.insert(*path);
    setCellSelected(*path, true);
    if (scrollPosition != CollectionViewScrollPositionNone) scrollToItemAtIndexPath(*path, scrollPosition, animated);
}

void CollectionView::deselectItemAtIndexPath(const IndexPath& path, bool) {
    if (selected_.erase(path)) setCellSelected(path, false);
}

std::vector<IndexPath> CollectionView::indexPathsForSelectedItems() const {
    return std::vector<IndexPath>(selected_.begin(), selected_.end());
}

void CollectionView::performUserSelection(const IndexPath& path) {
    if (!allowsSelection_ || !validPath(path)) return;
    if (auto d = delegate(); d && !d->shouldHighlightItemAtIndexPath(*this, path)) return;
    selectAsUser(path);
}

void CollectionView::selectAsUser(const IndexPath& path) {
    auto keep = std::static_pointer_cast<CollectionView>(weak_from_this().lock());
    auto d = delegate();
    if (allowsMultipleSelection_ && selected_.count(path)) {
        if (d && !d->shouldDeselectItemAtIndexPath(*this, path)) return;
        deselectItemAtIndexPath(path, false);
        if (d) d->didDeselectItemAtIndexPath(*this, path);
        return;
    }
    if (d && !d->shouldSelectItemAtIndexPath(*this, path)) return;
    if (!allowsMultipleSelection_) {
        for (const auto& other : std::set<IndexPath>(selected_)) {
            if (other == path) continue;
            deselectItemAtIndexPath(other, false);
            if (d) d->didDeselectItemAtIndexPath(*this, other);
        }
    }
    selected_.insert(path);
    setCellSelected(path, true);
    if (d) d->didSelectItemAtIndexPath(*this, path);
}

void CollectionView::setHighlightedItem(const std::optional<IndexPath>& path) {
    auto d = delegate();
    if (touchedItem_ && touchedItem_ != path) {
        auto it = visibleCells_.find(*touchedItem_);
        if (it != visibleCells_.end()) it->second->setHighlighted(false);
        if (d) d->didUnhighlightItemAtIndexPath(*this, *touchedItem_);
    }
    touchedItem_ = path;
    if (path) {
        auto it = visibleCells_.find(*path);
        if (it != visibleCells_.end()) it->second->setHighlighted(true);
        if (d) d->didHighlightItemAtIndexPath(*this, *path);
    }
}

void CollectionView::touchesBegan(const TouchSet& touches, Event*) {
    if (touches.empty() || !allowsSelection_) return;
    auto path = indexPathForItemAtPoint(touches.front()->locationInView(this));
    if (!path) return;
    if (auto d = delegate(); d && !d->shouldHighlightItemAtIndexPath(*this, *path)) return;
    setHighlightedItem(path);
}

void CollectionView::touchesEnded(const TouchSet& touches, Event*) {
    if (!touchedItem_ || touches.empty()) return;
    auto keep = std::static_pointer_cast<CollectionView>(weak_from_this().lock());
    IndexPath began = *touchedItem_;
    setHighlightedItem(std::nullopt);
    auto path = indexPathForItemAtPoint(touches.front()->locationInView(this));
    if (path == began && allowsSelection_) selectAsUser(began);
}

void CollectionView::touchesCancelled(const TouchSet&, Event*) { setHighlightedItem(std::nullopt); }

}  // namespace ui
