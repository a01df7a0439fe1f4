#include "channel/usercenter/UIButton+TVImageTitleSpacing.h"

#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"

namespace TVImageTitleSpacing {

void layoutButtonWithEdgeInsetsStyle(ui::Button& button, int64_t style, double space) {
    cg::Size image = button.imageView() ? button.imageView()->frame().size : cg::Size{};
    cg::Size label = button.titleLabel() ? button.titleLabel()->intrinsicContentSize() : cg::Size{};
    double iw = image.width, ih = image.height, lw = label.width, lh = label.height, s = space / 2;
    cg::EdgeInsets imageInsets{}, titleInsets{};
    switch (style) {
        case ImageTop:
            imageInsets = {-lh - s, 0, 0, -lw};
            titleInsets = {0, -iw, -ih - s, 0};
            break;
        case ImageLeft:
            imageInsets = {0, -s, 0, s};
            titleInsets = {0, s, 0, -s};
            break;
        case ImageBottom:
            imageInsets = {0, 0, -lh - s, -lw};
            titleInsets = {-ih - s, -iw, 0, 0};
            break;
        case ImageRight:
            imageInsets = {0, lw + s, 0, -lw - s};
            titleInsets = {0, -iw - s, 0, iw + s};
            break;
        default: break;
    }
    button.setTitleEdgeInsets(titleInsets);
    button.setImageEdgeInsets(imageInsets);
}

}  // namespace TVImageTitleSpacing
