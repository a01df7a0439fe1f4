#include "platform/uikit/BarButtonItem.h"

#include "platform/uikit/Control.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/View.h"

namespace ui {

RT_DEFINE_CLASS(BarButtonItem, ns::Object, "UIBarButtonItem")

// ---- Appearance ----

void BarItemAppearance::setTitleTextAttributes(TextAttributes attributes, unsigned state) {
    if (attributes.empty()) {
        attributes_.erase(state);
    } else {
        attributes_[state] = std::move(attributes);
    }
}

const TextAttributes& BarItemAppearance::titleTextAttributes(unsigned state) const {
    static const TextAttributes none;
    auto it = attributes_.find(state);
    return it == attributes_.end() ? none : it->second;
}

void BarItemAppearance::reset() {
    attributes_.clear();
    tintColor_.reset();
}

BarItemAppearance& BarButtonItem::appearance() {
    static BarItemAppearance* shared = [] {
        auto* proxy = new BarItemAppearance;
        addSharedStateResetHook([proxy] { proxy->reset(); });
        return proxy;
    }();
    return *shared;
}

namespace {

// Registers the reset hook with the other shared state at load time.
[[maybe_unused]] const bool appearanceRegistered = (BarButtonItem::appearance(), true);

}  // namespace

// ---- Making ----

ns::Ref<BarButtonItem> BarButtonItem::withTitle(std::string_view title, BarButtonItemStyle style, Action action) {
    auto item = std::make_shared<BarButtonItem>();
    item->title_ = ns::String::make(std::string(title));
    item->style_ = style;
    item->action_ = std::move(action);
    return item;
}

ns::Ref<BarButtonItem> BarButtonItem::withImage(const ns::Ref<Image>& image, BarButtonItemStyle style,
                                                Action action) {
    auto item = std::make_shared<BarButtonItem>();
    item->image_ = image;
    item->style_ = style;
    item->action_ = std::move(action);
    return item;
}

ns::Ref<BarButtonItem> BarButtonItem::withCustomView(const ns::Ref<View>& view) {
    auto item = std::make_shared<BarButtonItem>();
    item->customView_ = view;
    return item;
}

ns::Ref<BarButtonItem> BarButtonItem::withSystemItem(BarButtonSystemItem systemItem, Action action) {
    auto item = std::make_shared<BarButtonItem>();
    item->systemItem_ = systemItem;
    item->action_ = std::move(action);
    const char* title = nullptr;
    switch (systemItem) {
        case BarButtonSystemItem::Done: title = "Done"; break;
        case BarButtonSystemItem::Cancel: title = "Cancel"; break;
        case BarButtonSystemItem::Edit: title = "Edit"; break;
        case BarButtonSystemItem::Save: title = "Save"; break;
        default: break;
    }
    if (title) item->title_ = ns::String::make(title);
    if (systemItem == BarButtonSystemItem::Done) item->style_ = BarButtonItemStyle::Done;
    return item;
}

// ---- Properties ----

void BarButtonItem::changed() const {
    if (changed_) changed_();
}

void BarButtonItem::setTitle(const ns::Ref<ns::String>& title) {
    title_ = title;
    changed();
}

void BarButtonItem::setImage(const ns::Ref<Image>& image) {
    image_ = image;
    changed();
}

void BarButtonItem::setCustomView(const ns::Ref<View>& view) {
    customView_ = view;
    changed();
}

void BarButtonItem::setTintColor(std::optional<cg::Color> color) {
    tintColor_ = color;
    changed();
}

void BarButtonItem::setEnabled(bool enabled) {
    enabled_ = enabled;
    changed();
}

void BarButtonItem::sendAction() {
    if (!enabled_ || !action_) return;
    auto keep = ref<BarButtonItem>();
    Action action = action_;
    action(*this);
}

void BarButtonItem::setTitleTextAttributes(TextAttributes attributes, unsigned state) {
    own_.setTitleTextAttributes(std::move(attributes), state);
    changed();
}

TextAttributes BarButtonItem::effectiveTitleTextAttributes(unsigned state) const {
    if (own_.hasTitleTextAttributes(state)) return own_.titleTextAttributes(state);
    const BarItemAppearance& shared = appearance();
    if (shared.hasTitleTextAttributes(state)) return shared.titleTextAttributes(state);
    if (state == ControlStateNormal) return {};
    return effectiveTitleTextAttributes(ControlStateNormal);
}

}  // namespace ui
