#pragma once
// Buttons: a control showing, for its current state, a title (plain or
// attributed) in a title colour, an image and a background image. Every
// element is set per state; a state without its own value shows the normal
// state's (combined states such as highlighted + selected included). Without
// any title colour a custom button's title is white and a system button's
// the tint colour.
//
// Layout follows the platform: the content rect is the bounds inset by the
// content insets; image and title sit side by side, image first, placed as
// a group by the content alignments, each within the content rect inset by
// its own edge insets (so the edge insets move one element without resizing
// the button). The size that fits is the image and title side by side plus
// the content insets, at least the background image's size; a button with
// nothing to show is 30 x 34.
//
// The title label and image view are made with the button and join its
// subviews once they have something to show, above the background image.
//
// Main thread only.

#include <cstddef>
#include <map>
#include <optional>
#include <string_view>

#include "platform/foundation/String.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/Control.h"
#include "platform/uikit/Image.h"

namespace ui {

class ImageView;
class Label;

enum class ButtonType {
    Custom = 0,
    System = 1,
    DetailDisclosure = 2,
    InfoLight = 3,
    InfoDark = 4,
    ContactAdd = 5,
    Close = 7,
    RoundedRect = System,
};

class Button : public Control {
    RT_DECLARE_CLASS(Button)
public:
    // A custom button.
    Button();
    explicit Button(const cg::Rect& frame);
    explicit Button(ButtonType type, const cg::Rect& frame = {});
    static ns::Ref<Button> buttonWithType(ButtonType type);
    static ns::Ref<Button> make(const cg::Rect& frame = {});

    ButtonType buttonType() const { return type_; }

    // ---- Content by state ----
    ns::Ref<ns::String> titleForState(unsigned state) const;
    virtual void setTitle(const ns::Ref<ns::String>& title, unsigned state);
    void setTitle(std::string_view title, unsigned state) { setTitle(ns::String::make(std::string(title)), state); }
    void setTitle(std::nullptr_t, unsigned state) { setTitle(ns::Ref<ns::String>(), state); }
    // Shown instead of the plain title where there is one.
    ns::Ref<AttributedText> attributedTitleForState(unsigned state) const;
    virtual void setAttributedTitle(const ns::Ref<ns::AttributedString>& title, unsigned state);
    cg::Color titleColorForState(unsigned state) const;
    // Nothing clears the state's own colour.
    virtual void setTitleColor(std::optional<cg::Color> color, unsigned state);
    ns::Ref<Image> imageForState(unsigned state) const;
    virtual void setImage(const ns::Ref<Image>& image, unsigned state);
    ns::Ref<Image> backgroundImageForState(unsigned state) const;
    virtual void setBackgroundImage(const ns::Ref<Image>& image, unsigned state);

    // ---- What the current state shows ----
    ns::Ref<ns::String> currentTitle() const { return titleForState(state()); }
    ns::Ref<AttributedText> currentAttributedTitle() const { return attributedTitleForState(state()); }
    cg::Color currentTitleColor() const { return titleColorForState(state()); }
    ns::Ref<Image> currentImage() const { return imageForState(state()); }
    ns::Ref<Image> currentBackgroundImage() const { return backgroundImageForState(state()); }

    const ns::Ref<Label>& titleLabel() const { return titleLabel_; }
    const ns::Ref<ImageView>& imageView() const { return imageView_; }

    // ---- Geometry ----
    const cg::EdgeInsets& contentEdgeInsets() const { return contentEdgeInsets_; }
    void setContentEdgeInsets(const cg::EdgeInsets& insets);
    const cg::EdgeInsets& titleEdgeInsets() const { return titleEdgeInsets_; }
    void setTitleEdgeInsets(const cg::EdgeInsets& insets);
    const cg::EdgeInsets& imageEdgeInsets() const { return imageEdgeInsets_; }
    void setImageEdgeInsets(const cg::EdgeInsets& insets);

    virtual cg::Rect backgroundRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect contentRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect titleRectForContentRect(const cg::Rect& contentRect) const;
    virtual cg::Rect imageRectForContentRect(const cg::Rect& contentRect) const;

    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override;
    void layoutSubviews() override;
    void tintColorDidChange() override;
    void didMoveToWindow() override;
    bool gestureRecognizerShouldBegin(GestureRecognizer& recognizer) override;

    // The size of an empty button.
    static constexpr cg::Size EmptySize{30, 34};

protected:
    void stateDidChange() override;

private:
    struct Content {
        ns::Ref<ns::String> title;
        ns::Ref<AttributedText> attributedTitle;
        std::optional<cg::Color> titleColor;
        ns::Ref<Image> image;
        ns::Ref<Image> backgroundImage;
    };
    template <class T>
    T lookup(unsigned state, T Content::*field) const;
    Content& contentFor(unsigned state) { return content_[state]; }

    void updateContent();
    bool hasTitle() const;
    cg::Size titleSize(double maxWidth) const;
    void placeContent(const cg::Rect& contentRect, cg::Rect* imageRect, cg::Rect* titleRect) const;

    ButtonType type_ = ButtonType::Custom;
    std::map<unsigned, Content> content_;
    ns::Ref<Label> titleLabel_;
    ns::Ref<ImageView> imageView_;
    ns::Ref<ImageView> backgroundView_;
    cg::EdgeInsets contentEdgeInsets_;
    cg::EdgeInsets titleEdgeInsets_;
    cg::EdgeInsets imageEdgeInsets_;
};

}  // namespace ui
