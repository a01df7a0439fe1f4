#pragma once
// Image views: show an image (or, while highlighted, the highlighted image
// when there is one) as their layer's contents, sized by it. A template
// image shows in the view's tint colour.
//
// Animation images play as a discrete keyframe animation of the layer's
// contents on the clock: animationDuration for one pass (0: a thirtieth of
// a second per image), animationRepeatCount passes (0: without end). The
// view is animating while that animation is on its layer, so a finite one
// stops by itself.
//
// Image views ignore touches unless told otherwise.
//
// Main thread only.

#include <vector>

#include "platform/uikit/Image.h"
#include "platform/uikit/View.h"

namespace ui {

class ImageView : public View {
    RT_DECLARE_CLASS(ImageView)
public:
    ImageView();
    explicit ImageView(const cg::Rect& frame);
    // Framed at the origin with the image's size (the highlighted image's
    // when there is no image).
    explicit ImageView(const ns::Ref<Image>& image, const ns::Ref<Image>& highlightedImage = nullptr);
    static ns::Ref<ImageView> make(const cg::Rect& frame = {});
    static ns::Ref<ImageView> withImage(const ns::Ref<Image>& image, const ns::Ref<Image>& highlightedImage = nullptr);

    const ns::Ref<Image>& image() const { return image_; }
    virtual void setImage(const ns::Ref<Image>& image);
    const ns::Ref<Image>& highlightedImage() const { return highlightedImage_; }
    virtual void setHighlightedImage(const ns::Ref<Image>& image);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    // The image on show.
    ns::Ref<Image> displayedImage() const;

    const std::vector<ns::Ref<Image>>& animationImages() const { return animationImages_; }
    // Stops a running animation.
    void setAnimationImages(std::vector<ns::Ref<Image>> images);
    double animationDuration() const { return animationDuration_; }
    void setAnimationDuration(double seconds) { animationDuration_ = seconds < 0 ? 0 : seconds; }
    int64_t animationRepeatCount() const { return animationRepeatCount_; }
    void setAnimationRepeatCount(int64_t count) { animationRepeatCount_ = count < 0 ? 0 : count; }
    // Nothing without animation images.
    virtual void startAnimating();
    virtual void stopAnimating();
    virtual bool isAnimating() const;
    // The key of the contents animation on the layer.
    static constexpr const char* AnimationKey = "UIImageAnimation";

    // The image's size; zero without one.
    cg::Size sizeThatFits(cg::Size size) const override;
    // The image's size; no intrinsic metric without one.
    cg::Size intrinsicContentSize() const override;

    void tintColorDidChange() override;
    void didMoveToWindow() override;

protected:
    // The layer's contents from the image on show (tinted for a template).
    void updateContents();

private:
    ns::Ref<Image> image_;
    ns::Ref<Image> highlightedImage_;
    bool highlighted_ = false;
    std::vector<ns::Ref<Image>> animationImages_;
    double animationDuration_ = 0;
    int64_t animationRepeatCount_ = 0;
};

// The image drawn in `color` wherever it is not transparent, as template
// images show.
ns::Ref<cg::Image> tintedImage(const Image& image, const cg::Color& color);

}  // namespace ui
