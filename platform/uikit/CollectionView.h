#pragma once
// Collection views: a scroll view showing the cells and supplementary views
// its layout places, asking its data source for them as they come into
// view and keeping the ones that leave for reuse.
//
// Counts and the layout are taken again by reloadData (at once: the content
// size follows), cells when next needed: at the next layout pass, when the
// content offset changes, or when visible cells are asked for. Cells are
// registered by reuse identifier (a class, a factory or a nib) and
// dequeued from the queue of their identifier before new ones are made.
//
// Selection set by code (selectItem, deselectItem) tells the delegate
// nothing; a tap on a cell, or performUserSelection, goes through the
// delegate's should- and did- calls as a finger's does.
//
// Main thread only.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/uikit/CollectionViewCell.h"
#include "platform/uikit/CollectionViewLayout.h"
#include "platform/uikit/IndexPath.h"
#include "platform/uikit/ReusableViewPool.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/VisibleCellList.h"

namespace ui {

class CollectionView;
class Nib;

// The platform's bits; one vertical and one horizontal position may be
// combined.
enum CollectionViewScrollPosition : unsigned {
    CollectionViewScrollPositionNone = 0,
    CollectionViewScrollPositionTop = 1 << 0,
    CollectionViewScrollPositionCenteredVertically = 1 << 1,
    CollectionViewScrollPositionBottom = 1 << 2,
    CollectionViewScrollPositionLeft = 1 << 3,
    CollectionViewScrollPositionCenteredHorizontally = 1 << 4,
    CollectionViewScrollPositionRight = 1 << 5,
};

class CollectionViewDataSource {
public:
    virtual ~CollectionViewDataSource() = default;
    virtual int64_t numberOfSectionsInCollectionView(CollectionView& view) {
        (void)view;
        return 1;
    }
    virtual int64_t numberOfItemsInSection(CollectionView& view, int64_t section) = 0;
    virtual ns::Ref<CollectionViewCell> cellForItemAtIndexPath(CollectionView& view, const IndexPath& path) = 0;
    // Nil: the layout's supplementary view is not shown.
    virtual ns::Ref<CollectionReusableView> viewForSupplementaryElementOfKind(CollectionView& view,
                                                                              const std::string& kind,
                                                                              const IndexPath& path) {
        (void)view;
        (void)kind;
        (void)path;
        return nullptr;
    }
};

class CollectionViewDelegate : public virtual ScrollViewDelegate {
public:
    virtual bool shouldHighlightItemAtIndexPath(CollectionView& view, const IndexPath& path) {
        (void)view;
        (void)path;
        return true;
    }
    virtual void didHighlightItemAtIndexPath(CollectionView& view, const IndexPath& path) {
        (void)view;
        (void)path;
    }
    virtual void didUnhighlightItemAtIndexPath(CollectionView& view, const IndexPath& path) {
        (void)view;
        (void)path;
    }
    virtual bool shouldSelectItemAtIndexPath(CollectionView& view, const IndexPath& path) {
        (void)view;
        (void)path;
        return true;
    }
    virtual bool shouldDeselectItemAtIndexPath(CollectionView& view, const IndexPath& path) {
        (void)view;
        (void)path;
        return true;
    }
    virtual void didSelectItemAtIndexPath(CollectionView& view, const IndexPath& path) {
        (void)view;
        (void)path;
    }
    virtual void didDeselectItemAtIndexPath(CollectionView& view, const IndexPath& path) {
        (void)view;
        (void)path;
    }
    virtual void willDisplayCell(CollectionView& view, CollectionViewCell& cell, const IndexPath& path) {
        (void)view;
        (void)cell;
        (void)path;
    }
    virtual void didEndDisplayingCell(CollectionView& view, CollectionViewCell& cell, const IndexPath& path) {
        (void)view;
        (void)cell;
        (void)path;
    }
};

// What a flow layout asks its collection view's delegate; nothing: use the
// layout's own value.
class CollectionViewDelegateFlowLayout : public virtual CollectionViewDelegate {
public:
    virtual std::optional<cg::Size> sizeForItemAtIndexPath(CollectionView& view, CollectionViewLayout& layout,
                                                           const IndexPath& path) {
        (void)view;
        (void)layout;
        (void)path;
        return std::nullopt;
    }
    virtual std::optional<cg::EdgeInsets> insetForSectionAtIndex(CollectionView& view, CollectionViewLayout& layout,
                                                                 int64_t section) {
        (void)view;
        (void)layout;
        (void)section;
        return std::nullopt;
    }
    virtual std::optional<double> minimumLineSpacingForSectionAtIndex(CollectionView& view,
                                                                      CollectionViewLayout& layout, int64_t section) {
        (void)view;
        (void)layout;
        (void)section;
        return std::nullopt;
    }
    virtual std::optional<double> minimumInteritemSpacingForSectionAtIndex(CollectionView& view,
                                                                           CollectionViewLayout& layout,
                                                                           int64_t section) {
        (void)view;
        (void)layout;
        (void)section;
        return std::nullopt;
    }
    virtual std::optional<cg::Size> referenceSizeForHeaderInSection(CollectionView& view, CollectionViewLayout& layout,
                                                                    int64_t section) {
        (void)view;
        (void)layout;
        (void)section;
        return std::nullopt;
    }
    virtual std::optional<cg::Size> referenceSizeForFooterInSection(CollectionView& view, CollectionViewLayout& layout,
                                                                    int64_t section) {
        (void)view;
        (void)layout;
        (void)section;
        return std::nullopt;
    }
};

class CollectionView : public ScrollView {
    RT_DECLARE_CLASS(CollectionView)
public:
    using CellFactory = std::function<ns::Ref<CollectionReusableView>()>;

    // With a flow layout.
    CollectionView();
    CollectionView(const cg::Rect& frame, ns::Ref<CollectionViewLayout> layout);
    ~CollectionView() override;
    static ns::Ref<CollectionView> make(const cg::Rect& frame, const ns::Ref<CollectionViewLayout>& layout);

    const ns::Ref<CollectionViewLayout>& collectionViewLayout() const { return layout_; }
    void setCollectionViewLayout(const ns::Ref<CollectionViewLayout>& layout);

    std::shared_ptr<CollectionViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(const std::shared_ptr<CollectionViewDataSource>& dataSource);
    std::shared_ptr<CollectionViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<CollectionViewDelegate>& delegate);

    const ns::Ref<View>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(const ns::Ref<View>& view);

    // ---- Registration and dequeuing ----
    // A registered class (made by the registry's factory) must be a cell.
    void registerClass(const rt::Class* cellClass, const std::string& identifier);
    void registerCellFactory(const std::string& identifier, CellFactory factory);
    // The nib's first top-level cell.
    void registerNib(const ns::Ref<Nib>& nib, const std::string& identifier);
    void registerSupplementaryClass(const rt::Class* viewClass, const std::string& kind, const std::string& identifier);
    void registerSupplementaryFactory(const std::string& kind, const std::string& identifier, CellFactory factory);
    void registerSupplementaryNib(const ns::Ref<Nib>& nib, const std::string& kind, const std::string& identifier);
    // A queued cell (prepared for reuse) or a new one; raises
    // NSInternalInconsistencyException for an identifier nothing registered.
    ns::Ref<CollectionViewCell> dequeueReusableCellWithReuseIdentifier(const std::string& identifier,
                                                                       const IndexPath& path);
    ns::Ref<CollectionReusableView> dequeueReusableSupplementaryViewOfKind(const std::string& kind,
                                                                          const std::string& identifier,
                                                                          const IndexPath& path);

    // ---- Data ----
    void reloadData();
    // Asks the data source again for the visible ones among them and lays
    // out anew (sizes may have changed).
    void reloadItemsAtIndexPaths(const std::vector<IndexPath>& paths);
    int64_t numberOfSections();
    int64_t numberOfItemsInSection(int64_t section);

    // ---- Geometry and visible cells ----
    std::optional<CollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(const IndexPath& path);
    std::optional<IndexPath> indexPathForItemAtPoint(cg::Point point);
    std::optional<IndexPath> indexPathForCell(const CollectionViewCell& cell);
    // Visible only; nil otherwise.
    ns::Ref<CollectionViewCell> cellForItemAtIndexPath(const IndexPath& path);
    // In index-path order.
    std::vector<ns::Ref<CollectionViewCell>> visibleCells();
    std::vector<IndexPath> indexPathsForVisibleItems();
    ns::Ref<CollectionReusableView> supplementaryViewForElementKind(const std::string& kind, const IndexPath& path);
    // Raises NSInvalidArgumentException for an index path past the data.
    void scrollToItemAtIndexPath(const IndexPath& path, unsigned scrollPosition, bool animated);

    // ---- Selection ----
    bool allowsSelection() const { return cells_.allowsSelection(); }
    void setAllowsSelection(bool on) { cells_.setAllowsSelection(on); }
    bool allowsMultipleSelection() const { return cells_.allowsMultipleSelection(); }
    void setAllowsMultipleSelection(bool on) { cells_.setAllowsMultipleSelection(on); }
    // Silent. Nothing deselects everything.
    void selectItemAtIndexPath(const std::optional<IndexPath>& path, bool animated, unsigned scrollPosition);
    void deselectItemAtIndexPath(const IndexPath& path, bool animated);
    std::vector<IndexPath> indexPathsForSelectedItems() const;
    // What a tap on the item does, delegate calls included.
    void performUserSelection(const IndexPath& path);

    // ---- For the layout ----
    void layoutInvalidated();

    void layoutSubviews() override;
    void touchesBegan(const TouchSet& touches, Event* event) override;
    void touchesEnded(const TouchSet& touches, Event* event) override;
    void touchesCancelled(const TouchSet& touches, Event* event) override;

protected:
    void contentOffsetDidChange() override;

private:
    void ensureCounts();
    void ensureLayout();
    void updateVisibleViews();
    bool validPath(const IndexPath& path);
    void registerView(const std::string& kind, const std::string& identifier,
                      detail::ReusableViewPool<CollectionReusableView>::Factory factory);
    void enqueue(const ns::Ref<CollectionReusableView>& view, const std::string& kind);
    ns::Ref<CollectionReusableView> dequeue(const std::string& kind, const std::string& identifier);
    void dropCell(const IndexPath& path, const ns::Ref<CollectionViewCell>& cell);
    void selectAsUser(const IndexPath& path);

    ns::Ref<CollectionViewLayout> layout_;
    std::weak_ptr<CollectionViewDataSource> dataSource_;
    std::weak_ptr<CollectionViewDelegate> delegate_;
    ns::Ref<View> backgroundView_;

    detail::ReusableViewPool<CollectionReusableView> pool_;  // by kind and identifier

    bool countsValid_ = false;
    std::vector<int64_t> itemCounts_;
    bool layoutValid_ = false;
    cg::Size laidOutSize_;
    bool updating_ = false;

    detail::VisibleCellList<CollectionViewCell> cells_;
    std::map<std::pair<std::string, IndexPath>, ns::Ref<CollectionReusableView>> visibleSupplementary_;
};

}  // namespace ui
