#pragma once
// The login card's waiting animation: a ring of nine grey dots pulsing one
// after the other (one dot replicated around the centre, its pulse staggered
// by 0.7/9 s), with a title under it whose trailing dots run three, two,
// one, a step every 0.2 s. dismiss stops both and leaves an empty view.
// Main thread only.

#include <memory>
#include <string>

#include "platform/dispatch/RunLoopTimer.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/ReplicatorLayer.h"
#include "platform/uikit/View.h"

class TVProgressDP : public ui::View {
    RT_DECLARE_CLASS(TVProgressDP)
public:
    static constexpr int kDotCount = 9;
    static constexpr double kPulseSeconds = 0.7;
    static constexpr double kTitleStepSeconds = 0.2;

    TVProgressDP() = default;
    // Builds the ring (the view's geometry is known only once framed).
    static ns::Ref<TVProgressDP> make(const cg::Rect& frame);

    void setup();
    void initLoadView();
    // Starts the pulse and adds a title label with its own dot cycle; a
    // second call without dismiss adds a second label and timer.
    void showWithTitle(const std::string& title);
    void show();
    void showLoadView();
    void changeLable();
    void dismiss();
    void dimssLoadView();

    const std::string& title() const { return title_; }
    ns::Ref<ui::Label> label() const { return label_.lock(); }
    std::shared_ptr<dispatch::RunLoopTimer> timer() const { return timer_.lock(); }
    ns::Ref<ui::Layer> dotLayer() const { return dotLayer_.lock(); }
    ns::Ref<ui::ReplicatorLayer> replayer() const { return replayer_.lock(); }
    ns::Ref<ui::ImageView> imageView() const { return imageView_.lock(); }

private:
    std::string title_;
    // The view holds the label and the layers; the run loop holds the timer.
    ns::Weak<ui::Label> label_;
    std::weak_ptr<dispatch::RunLoopTimer> timer_;
    ns::Weak<ui::Layer> dotLayer_;
    ns::Weak<ui::ReplicatorLayer> replayer_;
    ns::Weak<ui::ImageView> imageView_;
};
