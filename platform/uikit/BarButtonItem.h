#pragma once
// Bar button items: what a navigation bar shows at its sides, as a title,
// an image, a system item or a view of one's own. Tapping the bar's button
// for an enabled item runs its action.
//
// Title text attributes are kept per control state; the bar shows, for a
// state, the item's own attributes, else those of the appearance proxy
// (BarButtonItem::appearance(), shared by every item of the process), else
// the normal state's by the same rule.
//
// Main thread only.

#include <functional>
#include <map>
#include <optional>
#include <string_view>

#include "platform/foundation/String.h"
#include "platform/graphics/Color.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/AttributedText.h"

namespace ui {

class Image;
class View;

enum class BarButtonItemStyle { Plain = 0, Bordered = 1, Done = 2 };

enum class BarButtonSystemItem {
    Done = 0,
    Cancel = 1,
    Edit = 2,
    Save = 3,
    Add = 4,
    FlexibleSpace = 5,
    FixedSpace = 6,
    Compose = 7,
    Reply = 8,
    Action = 9,
    Organize = 10,
    Bookmarks = 11,
    Search = 12,
    Refresh = 13,
    Stop = 14,
    Camera = 15,
    Trash = 16,
    Play = 17,
    Pause = 18,
    Rewind = 19,
    FastForward = 20,
    Undo = 21,
    Redo = 22,
    Close = 24,
};

// Title text attributes by control state.
class BarItemAppearance {
public:
    void setTitleTextAttributes(TextAttributes attributes, unsigned state);
    // Empty when none are set for the state.
    const TextAttributes& titleTextAttributes(unsigned state) const;
    bool hasTitleTextAttributes(unsigned state) const { return attributes_.count(state) != 0; }
    std::optional<cg::Color> tintColor() const { return tintColor_; }
    void setTintColor(std::optional<cg::Color> color) { tintColor_ = color; }
    void reset();

private:
    std::map<unsigned, TextAttributes> attributes_;
    std::optional<cg::Color> tintColor_;
};

class BarButtonItem : public ns::Object {
    RT_DECLARE_CLASS(BarButtonItem)
public:
    using Action = std::function<void(BarButtonItem& item)>;

    BarButtonItem() = default;
    static ns::Ref<BarButtonItem> withTitle(std::string_view title, BarButtonItemStyle style, Action action = {});
    static ns::Ref<BarButtonItem> withImage(const ns::Ref<Image>& image, BarButtonItemStyle style,
                                           Action action = {});
    static ns::Ref<BarButtonItem> withCustomView(const ns::Ref<View>& view);
    // The title the platform shows for the text system items ("Done",
    // "Cancel", "Edit", "Save"); the others have none.
    static ns::Ref<BarButtonItem> withSystemItem(BarButtonSystemItem item, Action action = {});

    const ns::Ref<ns::String>& title() const { return title_; }
    void setTitle(const ns::Ref<ns::String>& title);
    void setTitle(std::string_view title) { setTitle(ns::String::make(std::string(title))); }
    const ns::Ref<Image>& image() const { return image_; }
    void setImage(const ns::Ref<Image>& image);
    BarButtonItemStyle style() const { return style_; }
    void setStyle(BarButtonItemStyle style) { style_ = style; }
    std::optional<BarButtonSystemItem> systemItem() const { return systemItem_; }
    const ns::Ref<View>& customView() const { return customView_; }
    void setCustomView(const ns::Ref<View>& view);
    std::optional<cg::Color> tintColor() const { return tintColor_; }
    void setTintColor(std::optional<cg::Color> color);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    int64_t tag() const { return tag_; }
    void setTag(int64_t tag) { tag_ = tag; }
    double width() const { return width_; }
    void setWidth(double width) { width_ = width; }

    const Action& action() const { return action_; }
    void setAction(Action action) { action_ = std::move(action); }
    // Runs the action when the item is enabled; what a tap does.
    void sendAction();

    void setTitleTextAttributes(TextAttributes attributes, unsigned state);
    // The item's own attributes for the state (empty when none).
    const TextAttributes& titleTextAttributes(unsigned state) const { return own_.titleTextAttributes(state); }
    // What the bar shows for the state; see the header comment.
    TextAttributes effectiveTitleTextAttributes(unsigned state) const;

    static BarItemAppearance& appearance();

    // Set by the bar that shows the item, to hear of changes.
    void setChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

private:
    void changed() const;

    ns::Ref<ns::String> title_;
    ns::Ref<Image> image_;
    BarButtonItemStyle style_ = BarButtonItemStyle::Plain;
    std::optional<BarButtonSystemItem> systemItem_;
    ns::Ref<View> customView_;
    std::optional<cg::Color> tintColor_;
    bool enabled_ = true;
    int64_t tag_ = 0;
    double width_ = 0;
    Action action_;
    BarItemAppearance own_;
    std::function<void()> changed_;
};

}  // namespace ui
