#pragma once
// What a navigation bar shows for one controller: a title or title view,
// bar button items at the sides and the back item the next controller's
// back button takes its title from. The bar showing the item hears of
// every change and rebuilds its content.
//
// Main thread only.

#include <functional>
#include <string_view>
#include <vector>

#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"

namespace ui {

class BarButtonItem;
class View;

class NavigationItem : public ns::Object {
    RT_DECLARE_CLASS(NavigationItem)
public:
    NavigationItem() = default;
    explicit NavigationItem(ns::Ref<ns::String> title) : title_(std::move(title)) {}

    const ns::Ref<ns::String>& title() const { return title_; }
    void setTitle(const ns::Ref<ns::String>& title);
    void setTitle(std::string_view title) { setTitle(ns::String::make(std::string(title))); }
    // Shown instead of the title, centred in the bar.
    const ns::Ref<View>& titleView() const { return titleView_; }
    void setTitleView(const ns::Ref<View>& view);

    // The first of the side items, or nil.
    ns::Ref<BarButtonItem> leftBarButtonItem() const;
    void setLeftBarButtonItem(const ns::Ref<BarButtonItem>& item, bool animated = false);
    const std::vector<ns::Ref<BarButtonItem>>& leftBarButtonItems() const { return left_; }
    void setLeftBarButtonItems(std::vector<ns::Ref<BarButtonItem>> items, bool animated = false);
    ns::Ref<BarButtonItem> rightBarButtonItem() const;
    void setRightBarButtonItem(const ns::Ref<BarButtonItem>& item, bool animated = false);
    const std::vector<ns::Ref<BarButtonItem>>& rightBarButtonItems() const { return right_; }
    void setRightBarButtonItems(std::vector<ns::Ref<BarButtonItem>> items, bool animated = false);

    // Used by the back button of the item pushed above this one.
    const ns::Ref<BarButtonItem>& backBarButtonItem() const { return backItem_; }
    void setBackBarButtonItem(const ns::Ref<BarButtonItem>& item);
    bool hidesBackButton() const { return hidesBackButton_; }
    void setHidesBackButton(bool hidden, bool animated = false);
    // Whether left items show beside the back button rather than replace it.
    bool leftItemsSupplementBackButton() const { return leftItemsSupplementBackButton_; }
    void setLeftItemsSupplementBackButton(bool on);

    // Set by the bar that shows the item.
    void setChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

private:
    void changed() const;

    ns::Ref<ns::String> title_;
    ns::Ref<View> titleView_;
    std::vector<ns::Ref<BarButtonItem>> left_;
    std::vector<ns::Ref<BarButtonItem>> right_;
    ns::Ref<BarButtonItem> backItem_;
    bool hidesBackButton_ = false;
    bool leftItemsSupplementBackButton_ = false;
    std::function<void()> changed_;
};

}  // namespace ui
