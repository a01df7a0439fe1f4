#include "channel/usercenter/UIView+LabelHeight.h"

#include "platform/uikit/Label.h"

namespace LabelHeight {

double getLabelHeightByWidth(double width, const ns::Ref<ns::String>& title, const ns::Ref<ui::Font>& font) {
    auto label = ui::Label::make({0, 0, width, 0});
    label->setText(title);
    label->setFont(font);
    label->setNumberOfLines(0);
    label->sizeToFit();
    return label->frame().size.height;
}

}  // namespace LabelHeight
