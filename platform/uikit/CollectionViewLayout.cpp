#include "platform/uikit/CollectionViewLayout.h"

#include "platform/uikit/CollectionView.h"

namespace ui {

RT_DEFINE_CLASS(CollectionViewLayout, ns::Object, "UICollectionViewLayout")

std::vector<CollectionViewLayoutAttributes> CollectionViewLayout::layoutAttributesForElementsInRect(
    const cg::Rect&) const {
    return {};
}

std::optional<CollectionViewLayoutAttributes> CollectionViewLayout::layoutAttributesForItemAtIndexPath(
    const IndexPath&) const {
    return std::nullopt;
}

std::optional<CollectionViewLayoutAttributes> CollectionViewLayout::layoutAttributesForSupplementaryViewOfKind(
    const std::string&, const IndexPath&) const {
    return std::nullopt;
}

void CollectionViewLayout::invalidateLayout() {
    if (auto view = collectionView()) view->layoutInvalidated();
}

}  // namespace ui
