#include "ui/hud/sd_KXProgressHUDRoundedButton.h"

#include <cmath>

RT_DEFINE_CLASS(sd_KXProgressHUDRoundedButton, ui::Button, "sd_KXProgressHUDRoundedButton")

sd_KXProgressHUDRoundedButton::sd_KXProgressHUDRoundedButton() : sd_KXProgressHUDRoundedButton(cg::Rect{}) {}

sd_KXProgressHUDRoundedButton::sd_KXProgressHUDRoundedButton(const cg::Rect& frame) : Button(frame) {
    layer()->setBorderWidth(1);
}

void sd_KXProgressHUDRoundedButton::layoutSubviews() {
    Button::layoutSubviews();
    layer()->setCornerRadius(std::ceil(bounds().height() / 2));
}

cg::Size sd_KXProgressHUDRoundedButton::intrinsicContentSize() const {
    if (allControlEvents() == 0) return {0, 0};
    cg::Size size = Button::intrinsicContentSize();
    size.width += 20;
    return size;
}

void sd_KXProgressHUDRoundedButton::setTitleColor(std::optional<cg::Color> color, unsigned state) {
    Button::setTitleColor(color, state);
    // Refreshes the highlight fill, which follows the title colour.
    setHighlighted(isHighlighted());
    layer()->setBorderColor(color);
}

void sd_KXProgressHUDRoundedButton::setHighlighted(bool highlighted) {
    Button::setHighlighted(highlighted);
    cg::Color title = titleColorForState(ui::ControlStateSelected);
    setBackgroundColor(highlighted ? title.withAlpha(0.1) : cg::Color::clear());
}
