#include "platform/uikit/CollectionViewFlowLayout.h"

#include <algorithm>

#include "platform/uikit/CollectionView.h"

namespace ui {

RT_DEFINE_CLASS(CollectionViewFlowLayout, CollectionViewLayout, "UICollectionViewFlowLayout")

void CollectionViewFlowLayout::setItemSize(cg::Size size) {
    itemSize_ = size;
    invalidateLayout();
}

void CollectionViewFlowLayout::setMinimumLineSpacing(double spacing) {
    minimumLineSpacing_ = spacing;
    invalidateLayout();
}

void CollectionViewFlowLayout::setMinimumInteritemSpacing(double spacing) {
    minimumInteritemSpacing_ = spacing;
    invalidateLayout();
}

void CollectionViewFlowLayout::setSectionInset(const cg::EdgeInsets& inset) {
    sectionInset_ = inset;
    invalidateLayout();
}

void CollectionViewFlowLayout::setScrollDirection(CollectionViewScrollDirection direction) {
    scrollDirection_ = direction;
    invalidateLayout();
}

void CollectionViewFlowLayout::setHeaderReferenceSize(cg::Size size) {
    headerReferenceSize_ = size;
    invalidateLayout();
}

void CollectionViewFlowLayout::setFooterReferenceSize(cg::Size size) {
    footerReferenceSize_ = size;
    invalidateLayout();
}

namespace {

// The layout is computed along "main" (the scrolling direction) and
// "cross" (across it); vertical scrolling has main = y, cross = x.
struct Axes {
    bool vertical;
    double cross(cg::Size s) const { return vertical ? s.width : s.height; }
    double main(cg::Size s) const { return vertical ? s.height : s.width; }
    cg::Rect rect(double crossPos, double mainPos, double crossLen, double mainLen) const {
        return vertical ? cg::Rect{crossPos, mainPos, crossLen, mainLen} : cg::Rect{mainPos, crossPos, mainLen, crossLen};
    }
    // Insets as (cross start, cross end, main start, main end).
    double crossStart(const cg::EdgeInsets& e) const { return vertical ? e.left : e.top; }
    double crossEnd(const cg::EdgeInsets& e) const { return vertical ? e.right : e.bottom; }
    double mainStart(const cg::EdgeInsets& e) const { return vertical ? e.top : e.left; }
    double mainEnd(const cg::EdgeInsets& e) const { return vertical ? e.bottom : e.right; }
};

}  // namespace

void CollectionViewFlowLayout::prepareLayout() {
    sections_.clear();
    contentSize_ = {};
    auto view = collectionView();
    if (!view) return;
    Axes ax{scrollDirection_ == CollectionViewScrollDirection::Vertical};
    auto flow = std::dynamic_pointer_cast<CollectionViewDelegateFlowLayout>(view->delegate());
    cg::Size bounds = view->bounds().size;
    preparedFor_ = bounds;
    cg::EdgeInsets adjusted = view->adjustedContentInset();
    double extent = std::max(0.0, ax.cross(bounds) - ax.crossStart(adjusted) - ax.crossEnd(adjusted));

    double pos = 0;
    int64_t count = view->numberOfSections();
    for (int64_t s = 0; s < count; ++s) {
        Section section;
        cg::EdgeInsets inset = sectionInset_;
        double lineSpacing = minimumLineSpacing_;
        double interitem = minimumInteritemSpacing_;
        cg::Size headerSize = headerReferenceSize_;
        cg::Size footerSize = footerReferenceSize_;
        if (flow) {
            if (auto v = flow->insetForSectionAtIndex(*view, *this, s)) inset = *v;
            if (auto v = flow->minimumLineSpacingForSectionAtIndex(*view, *this, s)) lineSpacing = *v;
            if (auto v = flow->minimumInteritemSpacingForSectionAtIndex(*view, *this, s)) interitem = *v;
            if (auto v = flow->referenceSizeForHeaderInSection(*view, *this, s)) headerSize = *v;
            if (auto v = flow->referenceSizeForFooterInSection(*view, *this, s)) footerSize = *v;
        }

        if (ax.main(headerSize) > 0) {
            CollectionViewLayoutAttributes header;
            header.category = CollectionElementCategory::SupplementaryView;
            header.representedElementKind = CollectionElementKindSectionHeader;
            header.indexPath = IndexPath::forItem(0, s);
            header.frame = ax.rect(0, pos, extent, ax.main(headerSize));
            section.header = header;
            pos += ax.main(headerSize);
        }
        pos += ax.mainStart(inset);

        double available = extent - ax.crossStart(inset) - ax.crossEnd(inset);
        int64_t items = view->numberOfItemsInSection(s);
        std::vector<cg::Size> sizes;
        sizes.reserve(size_t(std::max<int64_t>(items, 0)));
        for (int64_t i = 0; i < items; ++i) {
            std::optional<cg::Size> size;
            if (flow) size = flow->sizeForItemAtIndexPath(*view, *this, IndexPath::forItem(i, s));
            sizes.push_back(size ? *size : itemSize_);
        }

        double lineStart = pos;
        bool firstLine = true;
        size_t next = 0;
        while (next < sizes.size()) {
            // Fill one line greedily; an item too large still gets its own.
            size_t end = next + 1;
            double used = ax.cross(sizes[next]);
            while (end < sizes.size() && used + interitem + ax.cross(sizes[end]) <= available) {
                used += interitem + ax.cross(sizes[end]);
                ++end;
            }
            if (!firstLine) lineStart += lineSpacing;
            firstLine = false;
            double lineLength = 0;
            double crossSum = 0;
            for (size_t i = next; i < end; ++i) {
                lineLength = std::max(lineLength, ax.main(sizes[i]));
                crossSum += ax.cross(sizes[i]);
            }
            size_t n = end - next;
            double gap = n > 1 ? (available - crossSum) / double(n - 1) : 0;
            double at = ax.crossStart(inset);
            if (n == 1) at += (available - crossSum) / 2;
            for (size_t i = next; i < end; ++i) {
                CollectionViewLayoutAttributes item;
                item.indexPath = IndexPath::forItem(int64_t(i), s);
                double mainOffset = (lineLength - ax.main(sizes[i])) / 2;
                item.frame = ax.rect(at, lineStart + mainOffset, ax.cross(sizes[i]), ax.main(sizes[i]));
                section.items.push_back(item);
                at += ax.cross(sizes[i]) + gap;
            }
            lineStart += lineLength;
            next = end;
        }
        pos = lineStart + ax.mainEnd(inset);

        if (ax.main(footerSize) > 0) {
            CollectionViewLayoutAttributes footer;
            footer.category = CollectionElementCategory::SupplementaryView;
            footer.representedElementKind = CollectionElementKindSectionFooter;
            footer.indexPath = IndexPath::forItem(0, s);
            footer.frame = ax.rect(0, pos, extent, ax.main(footerSize));
            section.footer = footer;
            pos += ax.main(footerSize);
        }
        sections_.push_back(std::move(section));
    }
    contentSize_ = ax.vertical ? cg::Size{extent, pos} : cg::Size{pos, extent};
}

std::vector<CollectionViewLayoutAttributes> CollectionViewFlowLayout::layoutAttributesForElementsInRect(
    const cg::Rect& rect) const {
    std::vector<CollectionViewLayoutAttributes> out;
    auto meets = [&](const cg::Rect& frame) { return frame.intersects(rect); };
    for (const auto& section : sections_) {
        if (section.header && meets(section.header->frame)) out.push_back(*section.header);
        for (const auto& item : section.items) {
            if (meets(item.frame)) out.push_back(item);
        }
        if (section.footer && meets(section.footer->frame)) out.push_back(*section.footer);
    }
    return out;
}

std::optional<CollectionViewLayoutAttributes> CollectionViewFlowLayout::layoutAttributesForItemAtIndexPath(
    const IndexPath& path) const {
    if (path.section < 0 || size_t(path.section) >= sections_.size()) return std::nullopt;
    const auto& items = sections_[size_t(path.section)].items;
    if (path.item() < 0 || size_t(path.item()) >= items.size()) return std::nullopt;
    return items[size_t(path.item())];
}

std::optional<CollectionViewLayoutAttributes> CollectionViewFlowLayout::layoutAttributesForSupplementaryViewOfKind(
    const std::string& kind, const IndexPath& path) const {
    if (path.section < 0 || size_t(path.section) >= sections_.size()) return std::nullopt;
    const Section& section = sections_[size_t(path.section)];
    if (kind == CollectionElementKindSectionHeader) return section.header;
    if (kind == CollectionElementKindSectionFooter) return section.footer;
    return std::nullopt;
}

bool CollectionViewFlowLayout::shouldInvalidateLayoutForBoundsChange(const cg::Rect& newBounds) const {
    Axes ax{scrollDirection_ == CollectionViewScrollDirection::Vertical};
    return ax.cross(newBounds.size) != ax.cross(preparedFor_);
}

}  // namespace ui
