#include "channel/UIButton+FillColor.h"

#include "platform/uikit/GraphicsContext.h"

namespace FillColor {

ns::Ref<ui::Image> imageWithColor(const cg::Color& color) {
    cg::Rect rect{{0, 0}, {1, 1}};
    ui::graphicsBeginImageContext(rect.size);
    if (auto context = ui::graphicsGetCurrentContext()) {
        context->setFillColor(color);
        context->fillRect(rect);
    }
    auto image = ui::graphicsGetImageFromCurrentImageContext();
    ui::graphicsEndImageContext();
    return image;
}

void setBackgroundColorForState(ui::Button& button, const cg::Color& color, unsigned state) {
    button.setBackgroundImage(imageWithColor(color), state);
}

}  // namespace FillColor

namespace BarButtonItemExtension {

ns::Ref<ui::BarButtonItem> itemWithTarget(const ns::Id& target, ui::Control::Action action, std::string_view image,
                                          std::string_view highImage, cg::Size size) {
    auto button = ui::Button::buttonWithType(ui::ButtonType::Custom);
    button->addTarget(target, std::move(action), ui::ControlEventTouchUpInside);
    button->setBackgroundImage(ui::Image::imageNamed(image), ui::ControlStateNormal);
    button->setBackgroundImage(ui::Image::imageNamed(highImage), ui::ControlStateHighlighted);
    cg::Size measured = size;
    if (size.width == 0) {
        auto current = button->currentBackgroundImage();
        measured = current ? current->size() : cg::Size{};
    }
    cg::Rect frame = button->frame();
    frame.size = measured;
    button->setFrame(frame);
    return ui::BarButtonItem::withCustomView(button);
}

}  // namespace BarButtonItemExtension
