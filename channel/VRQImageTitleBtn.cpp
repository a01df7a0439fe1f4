#include "channel/VRQImageTitleBtn.h"

#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"

RT_DEFINE_CLASS(VRQImageTitleBtn, ui::Button, "VRQImageTitleBtn")

ns::Ref<VRQImageTitleBtn> VRQImageTitleBtn::make(const cg::Rect& frame) {
    auto button = std::make_shared<VRQImageTitleBtn>();
    button->setFrame(frame);
    return button;
}

void VRQImageTitleBtn::awakeFromNib() {
    constexpr double gap = 5;
    cg::Size image = imageView()->frame().size;
    cg::Size title = titleLabel()->intrinsicContentSize();
    setTitleEdgeInsets({0, -image.width, -(image.height + gap), 0});
    setImageEdgeInsets({-(title.height + gap), 0, 0, -title.width});
}
