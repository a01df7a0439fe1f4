#pragma once
// The views a collection view shows: reusable views (headers, footers and
// other supplementary views) and cells, which add a content view and the
// selected and highlighted states.
//
// Main thread only.

#include <string>

#include "platform/uikit/CellBackgrounds.h"
#include "platform/uikit/View.h"

namespace ui {

class CollectionReusableView : public View {
    RT_DECLARE_CLASS(CollectionReusableView)
public:
    CollectionReusableView() = default;
    explicit CollectionReusableView(const cg::Rect& frame) : View(frame) {}

    // Empty for views not made by dequeuing.
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(std::string identifier) { reuseIdentifier_ = std::move(identifier); }
    // Called before a queued view is handed out again.
    virtual void prepareForReuse() {}

private:
    std::string reuseIdentifier_;
};

class CollectionViewCell : public CollectionReusableView {
    RT_DECLARE_CLASS(CollectionViewCell)
public:
    CollectionViewCell();
    explicit CollectionViewCell(const cg::Rect& frame);

    // Fills the cell; subviews of the cell's content go here.
    const ns::Ref<View>& contentView() const { return contentView_; }
    // Behind the content; the selected one shows while selected or highlighted.
    const ns::Ref<View>& backgroundView() const { return backgrounds_.backgroundView(); }
    void setBackgroundView(const ns::Ref<View>& view);
    const ns::Ref<View>& selectedBackgroundView() const { return backgrounds_.selectedBackgroundView(); }
    void setSelectedBackgroundView(const ns::Ref<View>& view);

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);

    void prepareForReuse() override;
    void layoutSubviews() override;

private:
    ns::Ref<View> contentView_;
    detail::CellBackgrounds backgrounds_;
    bool selected_ = false;
    bool highlighted_ = false;
};

}  // namespace ui
