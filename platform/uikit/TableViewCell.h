#pragma once
// Table view cells: a content view with the style's labels and image view
// (made on first use), an accessory, and the selected and highlighted
// states.
//
// The layout model (deterministic, documented here): the accessory takes
// its view's width plus 16 points at the right (40 points for an accessory
// type without a view); the content view fills the rest. Inside it, an
// image view with an image sits 16 points from the left, centred
// vertically at the image's size; the text starts 16 points after it (or
// 16 points from the left) and ends 16 points before the content's right
// edge:
//   Default   the text label over the full height;
//   Subtitle  the text label above the detail label, one line each,
//             the pair centred vertically;
//   Value1    the text label at its fitting width on the left, the detail
//             label at its fitting width against the right edge;
//   Value2    the text label 67 points wide, right-aligned, the detail
//             label 6 points after it to the edge.
// Fonts: the text label 17 points (12 bold in Value2), the detail label 17
// points grey in Value1, 12 points otherwise.
//
// Main thread only.

#include <string>

#include "platform/uikit/CellBackgrounds.h"
#include "platform/uikit/View.h"

namespace ui {

class ImageView;
class Label;

enum class TableViewCellStyle { Default = 0, Value1 = 1, Value2 = 2, Subtitle = 3 };
enum class TableViewCellAccessoryType {
    None = 0,
    DisclosureIndicator = 1,
    DetailDisclosureButton = 2,
    Checkmark = 3,
    DetailButton = 4,
};
enum class TableViewCellSelectionStyle { None = 0, Blue = 1, Gray = 2, Default = 3 };

class TableViewCell : public View {
    RT_DECLARE_CLASS(TableViewCell)
public:
    static constexpr double Margin = 16;
    static constexpr double AccessoryTypeWidth = 40;

    // The default style, 320 x 44, without a reuse identifier.
    TableViewCell();
    TableViewCell(TableViewCellStyle style, std::string reuseIdentifier);
    static ns::Ref<TableViewCell> make(TableViewCellStyle style, std::string reuseIdentifier);

    TableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(std::string identifier) { reuseIdentifier_ = std::move(identifier); }

    const ns::Ref<View>& contentView() const { return contentView_; }
    const ns::Ref<Label>& textLabel();
    // Nil for the default style.
    ns::Ref<Label> detailTextLabel();
    const ns::Ref<ImageView>& imageView();

    TableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(TableViewCellAccessoryType type);
    const ns::Ref<View>& accessoryView() const { return accessoryView_; }
    void setAccessoryView(const ns::Ref<View>& view);
    TableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(TableViewCellSelectionStyle style) { selectionStyle_ = style; }
    const ns::Ref<View>& backgroundView() const { return backgrounds_.backgroundView(); }
    void setBackgroundView(const ns::Ref<View>& view);
    // Shown while selected or highlighted, unless the selection style is None.
    const ns::Ref<View>& selectedBackgroundView() const { return backgrounds_.selectedBackgroundView(); }
    void setSelectedBackgroundView(const ns::Ref<View>& view);

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected, bool animated = false);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted, bool animated = false);

    // Called before a queued cell is handed out again: clears the selected
    // and highlighted states.
    virtual void prepareForReuse();

    void layoutSubviews() override;

private:
    bool showsSelectedBackground() const;

    TableViewCellStyle style_ = TableViewCellStyle::Default;
    std::string reuseIdentifier_;
    ns::Ref<View> contentView_;
    ns::Ref<Label> textLabel_;
    ns::Ref<Label> detailTextLabel_;
    ns::Ref<ImageView> imageView_;
    TableViewCellAccessoryType accessoryType_ = TableViewCellAccessoryType::None;
    ns::Ref<View> accessoryView_;
    TableViewCellSelectionStyle selectionStyle_ = TableViewCellSelectionStyle::Default;
    detail::CellBackgrounds backgrounds_;
    bool selected_ = false;
    bool highlighted_ = false;
};

}  // namespace ui
