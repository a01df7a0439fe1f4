#pragma once
// Navigation bars: a stack of navigation items of which the bar shows the
// top one: its title view (or its title in a label), its left items (or a
// back button titled after the item below, its back item's title or
// "Back"), and its right items. Items become views of the bar: a custom
// view as it is, others a system button with the title or image, coloured
// by the item's title text attributes. The bar rebuilds these views when
// the items change and places them when it lays out: left items from 16
// points in, 8 apart, right items likewise from the right edge, the title
// centred; all centred vertically.
//
// Main thread only.

#include <functional>
#include <optional>
#include <vector>

#include "platform/uikit/AttributedText.h"
#include "platform/uikit/View.h"

namespace ui {

class BarButtonItem;
class Button;
class Image;
class Label;
class NavigationItem;

enum class BarStyle { Default = 0, Black = 1 };

class NavigationBar : public View {
    RT_DECLARE_CLASS(NavigationBar)
public:
    static constexpr double ItemMargin = 16;
    static constexpr double ItemSpacing = 8;

    NavigationBar();
    explicit NavigationBar(const cg::Rect& frame);
    ~NavigationBar() override;

    const std::vector<ns::Ref<NavigationItem>>& items() const { return items_; }
    void setItems(std::vector<ns::Ref<NavigationItem>> items, bool animated = false);
    ns::Ref<NavigationItem> topItem() const;
    // The item below the top one, or nil.
    ns::Ref<NavigationItem> backItem() const;
    void pushNavigationItem(const ns::Ref<NavigationItem>& item, bool animated = false);
    ns::Ref<NavigationItem> popNavigationItem(bool animated = false);

    // What the back button does; without a handler it pops the top item.
    void setBackHandler(std::function<void()> handler) { backHandler_ = std::move(handler); }

    // "NSFont" and "NSColor" of the title label (semibold 17, black when
    // absent).
    const TextAttributes& titleTextAttributes() const { return titleTextAttributes_; }
    void setTitleTextAttributes(TextAttributes attributes);
    std::optional<cg::Color> barTintColor() const { return barTintColor_; }
    void setBarTintColor(std::optional<cg::Color> color) { barTintColor_ = color; }
    BarStyle barStyle() const { return barStyle_; }
    void setBarStyle(BarStyle style) { barStyle_ = style; }
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool on) { translucent_ = on; }
    const ns::Ref<Image>& backgroundImage() const { return backgroundImage_; }
    void setBackgroundImage(const ns::Ref<Image>& image) { backgroundImage_ = image; }
    const ns::Ref<Image>& shadowImage() const { return shadowImage_; }
    void setShadowImage(const ns::Ref<Image>& image) { shadowImage_ = image; }

    // The label showing the top item's title when it has no title view.
    const ns::Ref<Label>& titleLabel() const { return titleLabel_; }
    // The back button while one shows, else nil.
    ns::Ref<Button> backButton() const;

    cg::Size sizeThatFits(cg::Size size) const override;
    void layoutSubviews() override;

    // Rebuilds the views of the shown items.
    void reloadItems();

private:
    ns::Ref<View> viewForItem(const ns::Ref<BarButtonItem>& item);
    void watchItems();
    void goBack();

    std::vector<ns::Ref<NavigationItem>> items_;
    std::vector<ns::Ref<NavigationItem>> watched_;
    std::function<void()> backHandler_;
    TextAttributes titleTextAttributes_;
    std::optional<cg::Color> barTintColor_;
    BarStyle barStyle_ = BarStyle::Default;
    bool translucent_ = true;
    ns::Ref<Image> backgroundImage_;
    ns::Ref<Image> shadowImage_;

    ns::Ref<Label> titleLabel_;
    ns::Ref<Button> backButton_;
    ns::Ref<View> titleView_;
    std::vector<ns::Ref<View>> leftViews_;
    std::vector<ns::Ref<View>> rightViews_;
    std::vector<ns::Ref<BarButtonItem>> shownItems_;
};

}  // namespace ui
