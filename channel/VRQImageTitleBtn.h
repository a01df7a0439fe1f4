#pragma once
// A button that stacks its image above its title with a 5-point gap; laid
// out when it wakes from its nib.

#include "platform/uikit/Button.h"

class VRQImageTitleBtn : public ui::Button {
    RT_DECLARE_CLASS(VRQImageTitleBtn)
public:
    static ns::Ref<VRQImageTitleBtn> make(const cg::Rect& frame = {});
    void awakeFromNib();
};
