#pragma once
// A horizontal capsule-shaped progress bar (120 x 20 made, 120 x 10
// intrinsic): an outlined capsule filled from the left up to the progress.
//
// Main thread only.

#include "platform/uikit/View.h"
#include "ui/hud/sd_KXProgressIndicator.h"

class sd_KXBarProgressView : public ui::View, public sd_KXProgressIndicator {
    RT_DECLARE_CLASS(sd_KXBarProgressView)
public:
    // 120 x 20 at the origin.
    sd_KXBarProgressView();
    explicit sd_KXBarProgressView(const cg::Rect& frame);

    float progress() const override { return progress_; }
    void setProgress(float progress) override;
    const cg::Color& lineColor() const { return lineColor_; }
    // Takes effect at the next redraw.
    void setLineColor(const cg::Color& color) { lineColor_ = color; }
    const cg::Color& progressRemainingColor() const { return progressRemainingColor_; }
    void setProgressRemainingColor(const cg::Color& color);
    const cg::Color& progressColor() const { return progressColor_; }
    void setProgressColor(const cg::Color& color);

    cg::Size intrinsicContentSize() const override { return {120, 10}; }
    void drawRect(const cg::Rect& rect) override;

private:
    float progress_ = 0;
    cg::Color lineColor_ = cg::Color::white();
    cg::Color progressRemainingColor_ = cg::Color::clear();
    cg::Color progressColor_ = cg::Color::white();
};
