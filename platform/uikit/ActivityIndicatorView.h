#pragma once
// Activity indicators: a spinner of a fixed size by style (large 37 x 37,
// the others 20 x 20) that is either animating or stopped; stopped, it
// hides itself unless told not to. Nothing spins: animating is a state.
//
// Main thread only.

#include <optional>

#include "platform/uikit/View.h"

namespace ui {

enum class ActivityIndicatorViewStyle { WhiteLarge = 0, White = 1, Gray = 2, Medium = 100, Large = 101 };

class ActivityIndicatorView : public View {
    RT_DECLARE_CLASS(ActivityIndicatorView)
public:
    // Framed at the origin with the style's size.
    explicit ActivityIndicatorView(ActivityIndicatorViewStyle style = ActivityIndicatorViewStyle::White);
    // The white style in the given frame.
    explicit ActivityIndicatorView(const cg::Rect& frame);
    static ns::Ref<ActivityIndicatorView> make(ActivityIndicatorViewStyle style = ActivityIndicatorViewStyle::White);

    static cg::Size sizeForStyle(ActivityIndicatorViewStyle style);

    ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
    // Resizes the view to the style's size, keeping its centre.
    void setActivityIndicatorViewStyle(ActivityIndicatorViewStyle style);
    // The style's colour (white for the white styles, grey otherwise) until
    // one is set; nothing goes back to it. Appearance proxies set "color".
    cg::Color color() const;
    void setColor(std::optional<cg::Color> color);

    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool on);
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }

    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override;

private:
    ActivityIndicatorViewStyle style_;
    std::optional<cg::Color> color_;
    bool hidesWhenStopped_ = true;
    bool animating_ = false;
};

}  // namespace ui
