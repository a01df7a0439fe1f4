#pragma once
// The flow layout: items in lines, line after line, sections one after the
// other with their header and footer. Vertical scrolling fills lines from
// left to right and stacks them downwards; horizontal scrolling fills
// columns from top to bottom and stacks them to the right.
//
// The model, per section (vertical; horizontal swaps the axes):
// - the header (its reference size's height, the full available width),
//   then the section inset's top;
// - lines filled greedily: an item joins the line while the items' widths
//   plus minimumInteritemSpacing between them fit in the width left by the
//   collection view's adjusted content insets and the section inset (an
//   item wider than that gets a line of its own);
// - a line is as tall as its tallest item, items centred vertically in it;
//   its items are justified: the first at the section inset's left, the
//   last at its right, the spare width shared equally between them; a line
//   of a single item centres it;
// - lines minimumLineSpacing apart, then the section inset's bottom and the
//   footer.
// The content is that wide and as tall as the sections together. Sizes,
// insets and spacings come from the delegate's flow-layout methods where it
// answers them, else from the layout's properties.
//
// Main thread only.

#include <vector>

#include "platform/uikit/CollectionViewLayout.h"

namespace ui {

enum class CollectionViewScrollDirection { Vertical = 0, Horizontal = 1 };

class CollectionViewFlowLayout : public CollectionViewLayout {
    RT_DECLARE_CLASS(CollectionViewFlowLayout)
public:
    CollectionViewFlowLayout() = default;

    cg::Size itemSize() const { return itemSize_; }
    void setItemSize(cg::Size size);
    double minimumLineSpacing() const { return minimumLineSpacing_; }
    void setMinimumLineSpacing(double spacing);
    double minimumInteritemSpacing() const { return minimumInteritemSpacing_; }
    void setMinimumInteritemSpacing(double spacing);
    const cg::EdgeInsets& sectionInset() const { return sectionInset_; }
    void setSectionInset(const cg::EdgeInsets& inset);
    CollectionViewScrollDirection scrollDirection() const { return scrollDirection_; }
    void setScrollDirection(CollectionViewScrollDirection direction);
    cg::Size headerReferenceSize() const { return headerReferenceSize_; }
    void setHeaderReferenceSize(cg::Size size);
    cg::Size footerReferenceSize() const { return footerReferenceSize_; }
    void setFooterReferenceSize(cg::Size size);
    // Data only: sizes always come from itemSize or the delegate.
    cg::Size estimatedItemSize() const { return estimatedItemSize_; }
    void setEstimatedItemSize(cg::Size size) { estimatedItemSize_ = size; }

    void prepareLayout() override;
    cg::Size collectionViewContentSize() const override { return contentSize_; }
    std::vector<CollectionViewLayoutAttributes> layoutAttributesForElementsInRect(const cg::Rect& rect) const override;
    std::optional<CollectionViewLayoutAttributes> layoutAttributesForItemAtIndexPath(
        const IndexPath& path) const override;
    std::optional<CollectionViewLayoutAttributes> layoutAttributesForSupplementaryViewOfKind(
        const std::string& kind, const IndexPath& path) const override;
    // True when the extent across the scrolling direction changes.
    bool shouldInvalidateLayoutForBoundsChange(const cg::Rect& newBounds) const override;

private:
    struct Section {
        std::vector<CollectionViewLayoutAttributes> items;
        std::optional<CollectionViewLayoutAttributes> header;
        std::optional<CollectionViewLayoutAttributes> footer;
    };

    cg::Size itemSize_{50, 50};
    double minimumLineSpacing_ = 10;
    double minimumInteritemSpacing_ = 10;
    cg::EdgeInsets sectionInset_;
    CollectionViewScrollDirection scrollDirection_ = CollectionViewScrollDirection::Vertical;
    cg::Size headerReferenceSize_;
    cg::Size footerReferenceSize_;
    cg::Size estimatedItemSize_;

    std::vector<Section> sections_;
    cg::Size contentSize_;
    cg::Size preparedFor_;
};

}  // namespace ui
