#include "platform/uikit/NavigationItem.h"

#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/View.h"

namespace ui {

RT_DEFINE_CLASS(NavigationItem, ns::Object, "UINavigationItem")

void NavigationItem::changed() const {
    if (changed_) changed_();
}

void NavigationItem::setTitle(const ns::Ref<ns::String>& title) {
    title_ = title;
    changed();
}

void NavigationItem::setTitleView(const ns::Ref<View>& view) {
    titleView_ = view;
    changed();
}

ns::Ref<BarButtonItem> NavigationItem::leftBarButtonItem() const { return left_.empty() ? nullptr : left_.front(); }

void NavigationItem::setLeftBarButtonItem(const ns::Ref<BarButtonItem>& item, bool) {
    left_.clear();
    if (item) left_.push_back(item);
    changed();
}

void NavigationItem::setLeftBarButtonItems(std::vector<ns::Ref<BarButtonItem>> items, bool) {
    left_ = std::move(items);
    changed();
}

ns::Ref<BarButtonItem> NavigationItem::rightBarButtonItem() const {
    return right_.empty() ? nullptr : right_.front();
}

void NavigationItem::setRightBarButtonItem(const ns::Ref<BarButtonItem>& item, bool) {
    right_.clear();
    if (item) right_.push_back(item);
    changed();
}

void NavigationItem::setRightBarButtonItems(std::vector<ns::Ref<BarButtonItem>> items, bool) {
    right_ = std::move(items);
    changed();
}

void NavigationItem::setBackBarButtonItem(const ns::Ref<BarButtonItem>& item) {
    backItem_ = item;
    changed();
}

void NavigationItem::setHidesBackButton(bool hidden, bool) {
    hidesBackButton_ = hidden;
    changed();
}

void NavigationItem::setLeftItemsSupplementBackButton(bool on) {
    leftItemsSupplementBackButton_ = on;
    changed();
}

}  // namespace ui
