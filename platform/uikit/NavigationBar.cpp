#include "platform/uikit/NavigationBar.h"

#include <algorithm>

#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/PlatformMetrics.h"

namespace ui {

RT_DEFINE_CLASS(NavigationBar, View, "UINavigationBar")

namespace {

ns::Ref<Font> titleFont(const TextAttributes& attributes) {
    auto it = attributes.find(FontAttributeName);
    if (it != attributes.end()) {
        if (auto font = ns::cast<Font>(it->second)) return font;
    }
    return Font::fontWithName(Font::SemiboldSystemFontName, 17);
}

std::optional<cg::Color> attributeColor(const TextAttributes& attributes) {
    auto it = attributes.find(ForegroundColorAttributeName);
    return it == attributes.end() ? std::nullopt : colorValue(it->second);
}

void removeIfMine(const ns::Ref<View>& view, const View* bar) {
    if (view && view->superview().get() == bar) view->removeFromSuperview();
}

}  // namespace

NavigationBar::NavigationBar() : NavigationBar(cg::Rect{}) {}

NavigationBar::NavigationBar(const cg::Rect& frame) : View(frame) {
    titleLabel_ = Label::make();
    titleLabel_->setFont(titleFont({}));
}

NavigationBar::~NavigationBar() {
    for (const auto& item : watched_) item->setChangeHandler({});
    for (const auto& item : shownItems_) item->setChangeHandler({});
}

// ---- Items ----

ns::Ref<NavigationItem> NavigationBar::topItem() const { return items_.empty() ? nullptr : items_.back(); }

ns::Ref<NavigationItem> NavigationBar::backItem() const {
    return items_.size() < 2 ? nullptr : items_[items_.size() - 2];
}

void NavigationBar::setItems(std::vector<ns::Ref<NavigationItem>> items, bool) {
    items.erase(std::remove(items.begin(), items.end(), nullptr), items.end());
    items_ = std::move(items);
    reloadItems();
}

void NavigationBar::pushNavigationItem(const ns::Ref<NavigationItem>& item, bool) {
    if (!item) return;
    items_.push_back(item);
    reloadItems();
}

ns::Ref<NavigationItem> NavigationBar::popNavigationItem(bool) {
    if (items_.empty()) return nullptr;
    auto item = items_.back();
    items_.pop_back();
    reloadItems();
    return item;
}

void NavigationBar::setTitleTextAttributes(TextAttributes attributes) {
    titleTextAttributes_ = std::move(attributes);
    titleLabel_->setFont(titleFont(titleTextAttributes_));
    titleLabel_->setTextColor(attributeColor(titleTextAttributes_));
    titleLabel_->sizeToFit();
    setNeedsLayout();
}

ns::Ref<Button> NavigationBar::backButton() const {
    return backButton_ && backButton_->superview().get() == this ? backButton_ : nullptr;
}

void NavigationBar::watchItems() {
    for (const auto& item : watched_) item->setChangeHandler({});
    watched_.clear();
    ns::Weak<NavigationBar> weak = std::static_pointer_cast<NavigationBar>(weak_from_this().lock());
    for (const auto& item : {topItem(), backItem()}) {
        if (!item) continue;
        item->setChangeHandler([weak] {
            if (auto bar = weak.lock()) bar->reloadItems();
        });
        watched_.push_back(item);
    }
}

ns::Ref<View> NavigationBar::viewForItem(const ns::Ref<BarButtonItem>& item) {
    ns::Weak<NavigationBar> weak = std::static_pointer_cast<NavigationBar>(weak_from_this().lock());
    item->setChangeHandler([weak] {
        if (auto bar = weak.lock()) bar->reloadItems();
    });
    shownItems_.push_back(item);
    if (item->customView()) return item->customView();

    auto button = Button::buttonWithType(ButtonType::System);
    if (item->title()) button->setTitle(item->title(), ControlStateNormal);
    if (item->image()) button->setImage(item->image(), ControlStateNormal);
    for (unsigned state : {unsigned(ControlStateNormal), unsigned(ControlStateHighlighted),
                           unsigned(ControlStateDisabled)}) {
        TextAttributes attributes = item->effectiveTitleTextAttributes(state);
        if (auto color = attributeColor(attributes)) button->setTitleColor(color, state);
        if (state == ControlStateNormal) {
            auto it = attributes.find(FontAttributeName);
            if (it != attributes.end()) {
                if (auto font = ns::cast<Font>(it->second)) button->titleLabel()->setFont(font);
            }
        }
    }
    std::optional<cg::Color> tint = item->tintColor();
    if (!tint) tint = BarButtonItem::appearance().tintColor();
    if (tint) button->setTintColor(tint);
    button->setEnabled(item->isEnabled());
    ns::Weak<BarButtonItem> weakItem = item;
    button->addTarget(
        nullptr,
        [weakItem](Control&, Event*) {
            if (auto target = weakItem.lock()) target->sendAction();
        },
        ControlEventTouchUpInside);
    button->sizeToFit();
    return button;
}

void NavigationBar::reloadItems() {
    auto keep = weak_from_this().lock();
    removeIfMine(titleView_, this);
    removeIfMine(titleLabel_, this);
    removeIfMine(backButton_, this);
    for (const auto& v : leftViews_) removeIfMine(v, this);
    for (const auto& v : rightViews_) removeIfMine(v, this);
    for (const auto& item : shownItems_) item->setChangeHandler({});
    titleView_ = nullptr;
    leftViews_.clear();
    rightViews_.clear();
    shownItems_.clear();
    watchItems();

    auto top = topItem();
    if (!top) {
        setNeedsLayout();
        return;
    }
    if (top->titleView()) {
        titleView_ = top->titleView();
    } else {
        titleLabel_->setText(top->title());
        titleLabel_->sizeToFit();
        titleView_ = titleLabel_;
    }
    addSubview(titleView_);

    auto below = backItem();
    bool showBack = below && !top->hidesBackButton() &&
                    (top->leftBarButtonItems().empty() || top->leftItemsSupplementBackButton());
    if (showBack) {
        ns::Ref<ns::String> title;
        if (auto back = below->backBarButtonItem()) title = back->title();
        if (!title) title = below->title();
        if (!title || title->utf8().empty()) title = ns::String::make("Back");
        if (!backButton_) {
            backButton_ = Button::buttonWithType(ButtonType::System);
            ns::Weak<NavigationBar> weak = std::static_pointer_cast<NavigationBar>(keep);
            backButton_->addTarget(
                nullptr,
                [weak](Control&, Event*) {
                    if (auto bar = weak.lock()) bar->goBack();
                },
                ControlEventTouchUpInside);
        }
        backButton_->setTitle(title, ControlStateNormal);
        backButton_->sizeToFit();
        leftViews_.push_back(backButton_);
    }
    for (const auto& item : top->leftBarButtonItems()) leftViews_.push_back(viewForItem(item));
    for (const auto& item : top->rightBarButtonItems()) rightViews_.push_back(viewForItem(item));
    for (const auto& v : leftViews_) addSubview(v);
    for (const auto& v : rightViews_) addSubview(v);
    setNeedsLayout();
}

void NavigationBar::goBack() {
    if (backHandler_) {
        auto handler = backHandler_;
        handler();
    } else {
        popNavigationItem(true);
    }
}

// ---- Layout ----

cg::Size NavigationBar::sizeThatFits(cg::Size size) const {
    return {size.width > 0 ? size.width : bounds().width(), NavigationBarHeight};
}

void NavigationBar::layoutSubviews() {
    View::layoutSubviews();
    cg::Size size = bounds().size;
    auto place = [&](const ns::Ref<View>& v, double x) {
        cg::Rect f = v->frame();
        v->setFrame({x, (size.height - f.height()) / 2, f.width(), f.height()});
    };
    double x = ItemMargin;
    for (const auto& v : leftViews_) {
        if (v->superview().get() != this) continue;
        place(v, x);
        x += v->frame().width() + ItemSpacing;
    }
    double right = size.width - ItemMargin;
    for (const auto& v : rightViews_) {
        if (v->superview().get() != this) continue;
        right -= v->frame().width();
        place(v, right);
        right -= ItemSpacing;
    }
    if (titleView_ && titleView_->superview().get() == this) {
        titleView_->setCenter({size.width / 2, size.height / 2});
    }
}

}  // namespace ui
