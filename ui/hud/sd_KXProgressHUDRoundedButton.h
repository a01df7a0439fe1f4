#pragma once
// The per-view HUD's button: a 1-point border in the title colour, fully
// rounded ends, a faint fill while highlighted. It takes no room until it
// has an action.
//
// Main thread only.

#include "platform/uikit/Button.h"

class sd_KXProgressHUDRoundedButton : public ui::Button {
    RT_DECLARE_CLASS(sd_KXProgressHUDRoundedButton)
public:
    sd_KXProgressHUDRoundedButton();
    explicit sd_KXProgressHUDRoundedButton(const cg::Rect& frame);

    void layoutSubviews() override;
    // Zero while no action is registered; otherwise 20 points wider than a
    // plain button's.
    cg::Size intrinsicContentSize() const override;
    void setTitleColor(std::optional<cg::Color> color, unsigned state) override;
    void setHighlighted(bool highlighted) override;
};
