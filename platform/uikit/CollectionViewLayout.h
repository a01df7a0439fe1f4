#pragma once
// Collection view layouts: where each cell and supplementary view goes and
// how large the content is. The collection view asks prepareLayout again
// after a reload or invalidateLayout, and after a bounds change the layout
// says it cares about.
//
// Main thread only.

#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/IndexPath.h"

namespace ui {

class CollectionView;

inline constexpr const char* CollectionElementKindSectionHeader = "UICollectionElementKindSectionHeader";
inline constexpr const char* CollectionElementKindSectionFooter = "UICollectionElementKindSectionFooter";

enum class CollectionElementCategory { Cell = 0, SupplementaryView = 1, DecorationView = 2 };

struct CollectionViewLayoutAttributes {
    CollectionElementCategory category = CollectionElementCategory::Cell;
    // Empty for cells.
    std::string representedElementKind;
    IndexPath indexPath;
    cg::Rect frame;
    double alpha = 1;
    int64_t zIndex = 0;
    bool hidden = false;
};

class CollectionViewLayout : public ns::Object {
    RT_DECLARE_CLASS(CollectionViewLayout)
public:
    CollectionViewLayout() = default;

    ns::Ref<CollectionView> collectionView() const { return collectionView_.lock(); }

    virtual void prepareLayout() {}
    virtual cg::Size collectionViewContentSize() const { return {}; }
    // Every element whose frame meets the rect, cells and supplementary
    // views alike.
    virtual std::vector<CollectionViewLayoutAttributes> layoutAttributesForElementsInRect(const cg::Rect& rect) const;
    virtual std::optional<CollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(
        const IndexPath& path) const;
    virtual std::optional<CollectionViewLayoutAttributes> layoutAttributesForSupplementaryViewOfKind(
        const std::string& kind, const IndexPath& path) const;
    virtual bool shouldInvalidateLayoutForBoundsChange(const cg::Rect& newBounds) const {
        (void)newBounds;
        return false;
    }
    // Has the collection view prepare the layout again before its next use.
    void invalidateLayout();

private:
    friend class CollectionView;
    ns::Weak<CollectionView> collectionView_;
};

}  // namespace ui
