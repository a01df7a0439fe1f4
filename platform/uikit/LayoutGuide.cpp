#include "platform/uikit/LayoutGuide.h"

#include "platform/uikit/LayoutAnchor.h"
#include "platform/uikit/View.h"

namespace ui {

RT_DEFINE_CLASS(LayoutGuide, ns::Object, "UILayoutGuide")

cg::Rect LayoutGuide::layoutFrame() const {
    auto view = owningView();
    if (safeArea_) return view ? view->safeAreaLayoutFrame() : cg::Rect{};
    if (frame_) return *frame_;
    return view ? view->bounds() : cg::Rect{};
}

#define UI_GUIDE_ANCHOR(Type, name, attribute) \
    ns::Ref<Type> LayoutGuide::name() { return std::make_shared<Type>(self(), LayoutAttribute::attribute); }

UI_GUIDE_ANCHOR(LayoutXAxisAnchor, leadingAnchor, Leading)
UI_GUIDE_ANCHOR(LayoutXAxisAnchor, trailingAnchor, Trailing)
UI_GUIDE_ANCHOR(LayoutXAxisAnchor, leftAnchor, Left)
UI_GUIDE_ANCHOR(LayoutXAxisAnchor, rightAnchor, Right)
UI_GUIDE_ANCHOR(LayoutXAxisAnchor, centerXAnchor, CenterX)
UI_GUIDE_ANCHOR(LayoutYAxisAnchor, topAnchor, Top)
UI_GUIDE_ANCHOR(LayoutYAxisAnchor, bottomAnchor, Bottom)
UI_GUIDE_ANCHOR(LayoutYAxisAnchor, centerYAnchor, CenterY)
UI_GUIDE_ANCHOR(LayoutDimension, widthAnchor, Width)
UI_GUIDE_ANCHOR(LayoutDimension, heightAnchor, Height)

#undef UI_GUIDE_ANCHOR

}  // namespace ui
