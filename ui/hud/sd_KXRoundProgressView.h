#pragma once
// A circular determinate indicator, 37 x 37: an outlined circle with a thick
// arc growing clockwise from the top, or, annular, a thin ring with the arc
// on a faint track.
//
// Main thread only.

#include "platform/uikit/View.h"
#include "ui/hud/sd_KXProgressIndicator.h"

class sd_KXRoundProgressView : public ui::View, public sd_KXProgressIndicator {
    RT_DECLARE_CLASS(sd_KXRoundProgressView)
public:
    // 37 x 37 at the origin.
    sd_KXRoundProgressView();
    explicit sd_KXRoundProgressView(const cg::Rect& frame);

    float progress() const override { return progress_; }
    void setProgress(float progress) override;
    const cg::Color& progressTintColor() const { return progressTintColor_; }
    void setProgressTintColor(const cg::Color& color);
    const cg::Color& backgroundTintColor() const { return backgroundTintColor_; }
    void setBackgroundTintColor(const cg::Color& color);
    bool isAnnular() const { return annular_; }
    // Takes effect at the next redraw.
    void setAnnular(bool annular) { annular_ = annular; }

    cg::Size intrinsicContentSize() const override { return {37, 37}; }
    void drawRect(const cg::Rect& rect) override;

private:
    float progress_ = 0;
    cg::Color progressTintColor_ = cg::Color::fromWhite(1, 1);
    cg::Color backgroundTintColor_ = cg::Color::fromWhite(1, 0.1);
    bool annular_ = false;
};
