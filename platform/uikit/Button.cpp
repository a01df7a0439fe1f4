#include "platform/uikit/Button.h"

#include <algorithm>
#include <cmath>

#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"

namespace ui {

RT_DEFINE_CLASS(Button, Control, "UIButton")

Button::Button() : Button(ButtonType::Custom) {}

Button::Button(const cg::Rect& frame) : Button(ButtonType::Custom, frame) {}

Button::Button(ButtonType type, const cg::Rect& frame) : Control(frame), type_(type) {
    titleLabel_ = Label::make();
    titleLabel_->setFont(Font::systemFontOfSize(type == ButtonType::Custom ? 18 : 15));
    titleLabel_->setLineBreakMode(LineBreakMode::ByTruncatingMiddle);
    imageView_ = ImageView::make();
    backgroundView_ = ImageView::make();
    setOpaque(false);
}

ns::Ref<Button> Button::buttonWithType(ButtonType type) { return std::make_shared<Button>(type); }

ns::Ref<Button> Button::make(const cg::Rect& frame) { return std::make_shared<Button>(frame); }

// ---- Content by state ----

template <class T>
T Button::lookup(unsigned state, T Content::*field) const {
    for (unsigned s : {state, unsigned(ControlStateNormal)}) {
        auto it = content_.find(s);
        if (it != content_.end() && it->second.*field) return it->second.*field;
    }
    return T{};
}

ns::Ref<ns::String> Button::titleForState(unsigned state) const { return lookup(state, &Content::title); }

void Button::setTitle(const ns::Ref<ns::String>& title, unsigned state) {
    contentFor(state).title = title ? std::static_pointer_cast<ns::String>(title->copy()) : nullptr;
    updateContent();
}

ns::Ref<AttributedText> Button::attributedTitleForState(unsigned state) const {
    return lookup(state, &Content::attributedTitle);
}

void Button::setAttributedTitle(const ns::Ref<ns::AttributedString>& title, unsigned state) {
    contentFor(state).attributedTitle = AttributedText::from(title);
    updateContent();
}

cg::Color Button::titleColorForState(unsigned state) const {
    if (auto color = lookup(state, &Content::titleColor)) return *color;
    return type_ == ButtonType::Custom ? whiteColor() : tintColor();
}

void Button::setTitleColor(std::optional<cg::Color> color, unsigned state) {
    contentFor(state).titleColor = color;
    updateContent();
}

ns::Ref<Image> Button::imageForState(unsigned state) const { return lookup(state, &Content::image); }

void Button::setImage(const ns::Ref<Image>& image, unsigned state) {
    contentFor(state).image = image;
    updateContent();
}

ns::Ref<Image> Button::backgroundImageForState(unsigned state) const {
    return lookup(state, &Content::backgroundImage);
}

void Button::setBackgroundImage(const ns::Ref<Image>& image, unsigned state) {
    contentFor(state).backgroundImage = image;
    updateContent();
}

bool Button::hasTitle() const {
    auto attributed = currentAttributedTitle();
    if (attributed) return attributed->length() > 0;
    auto title = currentTitle();
    return title && title->length() > 0;
}

void Button::updateContent() {
    unsigned s = state();
    if (auto attributed = attributedTitleForState(s)) {
        titleLabel_->setAttributedText(attributed);
    } else {
        titleLabel_->setText(titleForState(s));
        titleLabel_->setTextColor(titleColorForState(s));
    }
    imageView_->setImage(imageForState(s));
    backgroundView_->setImage(backgroundImageForState(s));

    // Background, image, title: back to front, below anything else added.
    size_t index = 0;
    auto install = [&](const ns::Ref<View>& view, bool wanted) {
        if (!wanted) return;
        if (view->superview().get() != this) insertSubview(view, index);
        ++index;
    };
    bool backgroundInstalled = backgroundView_->superview().get() == this;
    bool imageInstalled = imageView_->superview().get() == this;
    install(backgroundView_, backgroundInstalled || backgroundView_->image());
    install(imageView_, imageInstalled || imageView_->image());
    install(titleLabel_, titleLabel_->superview().get() == this || hasTitle());

    invalidateIntrinsicContentSize();
    setNeedsLayout();
}

void Button::stateDidChange() { updateContent(); }

void Button::tintColorDidChange() {
    if (type_ != ButtonType::Custom) updateContent();
}

void Button::didMoveToWindow() {
    Control::didMoveToWindow();
    if (type_ != ButtonType::Custom) updateContent();
}

bool Button::gestureRecognizerShouldBegin(GestureRecognizer& recognizer) {
    if (isEnabled() && blocksTapRecognizer(recognizer)) return false;
    return Control::gestureRecognizerShouldBegin(recognizer);
}

// ---- Geometry ----

void Button::setContentEdgeInsets(const cg::EdgeInsets& insets) {
    contentEdgeInsets_ = insets;
    invalidateIntrinsicContentSize();
    setNeedsLayout();
}

void Button::setTitleEdgeInsets(const cg::EdgeInsets& insets) {
    titleEdgeInsets_ = insets;
    setNeedsLayout();
}

void Button::setImageEdgeInsets(const cg::EdgeInsets& insets) {
    imageEdgeInsets_ = insets;
    setNeedsLayout();
}

cg::Size Button::titleSize(double maxWidth) const {
    if (!hasTitle()) return {};
    return titleLabel_->sizeThatFits({maxWidth, 0});
}

cg::Rect Button::backgroundRectForBounds(const cg::Rect& bounds) const { return bounds; }

cg::Rect Button::contentRectForBounds(const cg::Rect& bounds) const {
    return contentEdgeInsets_.insetRect(bounds);
}

void Button::placeContent(const cg::Rect& content, cg::Rect* imageRect, cg::Rect* titleRect) const {
    cg::Size image = currentImage() ? currentImage()->size() : cg::Size{};
    image.width = std::max(0.0, std::min(image.width, content.size.width));
    image.height = std::max(0.0, std::min(image.height, content.size.height));
    double room = std::max(0.0, content.size.width - image.width);
    cg::Size title = titleSize(room);
    title.width = std::min(title.width, room);
    title.height = std::max(0.0, std::min(title.height, content.size.height));

    cg::Rect imageArea = imageEdgeInsets_.insetRect(content);
    cg::Rect titleArea = titleEdgeInsets_.insetRect(content);
    double group = image.width + title.width;
    cg::Rect i{{0, 0}, image};
    cg::Rect t{{0, 0}, title};

    switch (contentHorizontalAlignment()) {
        case ControlContentHorizontalAlignment::Left:
        case ControlContentHorizontalAlignment::Leading:
            i.origin.x = imageArea.origin.x;
            t.origin.x = titleArea.origin.x + image.width;
            break;
        case ControlContentHorizontalAlignment::Right:
        case ControlContentHorizontalAlignment::Trailing:
            i.origin.x = imageArea.origin.x + imageArea.size.width - group;
            t.origin.x = titleArea.origin.x + titleArea.size.width - title.width;
            break;
        case ControlContentHorizontalAlignment::Fill:
            i.origin.x = imageArea.origin.x;
            t.origin.x = titleArea.origin.x + image.width;
            t.size.width = std::max(0.0, titleArea.size.width - image.width);
            if (title.width == 0 && title.height == 0) i.size.width = std::max(0.0, imageArea.size.width);
            break;
        case ControlContentHorizontalAlignment::Center:
            i.origin.x = imageArea.origin.x + imageArea.size.width / 2 - group / 2;
            t.origin.x = titleArea.origin.x + titleArea.size.width / 2 - group / 2 + image.width;
            break;
    }
    auto placeY = [&](cg::Rect& r, const cg::Rect& area) {
        switch (contentVerticalAlignment()) {
            case ControlContentVerticalAlignment::Top: r.origin.y = area.origin.y; break;
            case ControlContentVerticalAlignment::Bottom:
                r.origin.y = area.origin.y + area.size.height - r.size.height;
                break;
            case ControlContentVerticalAlignment::Fill:
                r.origin.y = area.origin.y;
                r.size.height = std::max(0.0, area.size.height);
                break;
            case ControlContentVerticalAlignment::Center:
                r.origin.y = area.origin.y + area.size.height / 2 - r.size.height / 2;
                break;
        }
    };
    placeY(i, imageArea);
    placeY(t, titleArea);
    if (imageRect) *imageRect = i;
    if (titleRect) *titleRect = t;
}

cg::Rect Button::titleRectForContentRect(const cg::Rect& contentRect) const {
    cg::Rect title;
    placeContent(contentRect, nullptr, &title);
    return title;
}

cg::Rect Button::imageRectForContentRect(const cg::Rect& contentRect) const {
    cg::Rect image;
    placeContent(contentRect, &image, nullptr);
    return image;
}

cg::Size Button::sizeThatFits(cg::Size size) const {
    auto image = currentImage();
    auto background = currentBackgroundImage();
    if (!hasTitle() && !image && !background) return EmptySize;
    const cg::EdgeInsets& in = contentEdgeInsets_;
    cg::Size imageSize = image ? image->size() : cg::Size{};
    double room = size.width > 0 && std::isfinite(size.width)
                      ? std::max(0.0, size.width - in.left - in.right - imageSize.width)
                      : 0;
    cg::Size title = titleSize(room);
    cg::Size fit{imageSize.width + title.width + in.left + in.right,
                 std::max(imageSize.height, title.height) + in.top + in.bottom};
    if (background) {
        fit.width = std::max(fit.width, background->size().width);
        fit.height = std::max(fit.height, background->size().height);
    }
    return fit;
}

cg::Size Button::intrinsicContentSize() const { return sizeThatFits({}); }

void Button::layoutSubviews() {
    Control::layoutSubviews();
    cg::Rect b = bounds();
    if (backgroundView_->superview().get() == this) backgroundView_->setFrame(backgroundRectForBounds(b));
    cg::Rect content = contentRectForBounds(b);
    cg::Rect image, title;
    placeContent(content, &image, &title);
    if (imageView_->superview().get() == this) imageView_->setFrame(image);
    if (titleLabel_->superview().get() == this) titleLabel_->setFrame(title);
}

}  // namespace ui
