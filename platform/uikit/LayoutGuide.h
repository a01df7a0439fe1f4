#pragma once
// A rectangle of a view that constraints can refer to without a view of its
// own. The safe-area guide's frame is its view's safe-area layout frame;
// other guides span their view's bounds unless given a frame.

#include <optional>
#include <string>

#include "platform/graphics/Geometry.h"
#include "platform/runtime/Class.h"

namespace ui {

class LayoutDimension;
class LayoutXAxisAnchor;
class LayoutYAxisAnchor;
class View;

class LayoutGuide : public ns::Object {
    RT_DECLARE_CLASS(LayoutGuide)
public:
    LayoutGuide() = default;

    ns::Ref<View> owningView() const { return owningView_.lock(); }
    void setOwningView(const ns::Ref<View>& view) { owningView_ = view; }
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    // In the owning view's coordinates.
    cg::Rect layoutFrame() const;
    void setLayoutFrame(const cg::Rect& frame) { frame_ = frame; }

    ns::Ref<LayoutXAxisAnchor> leadingAnchor();
    ns::Ref<LayoutXAxisAnchor> trailingAnchor();
    ns::Ref<LayoutXAxisAnchor> leftAnchor();
    ns::Ref<LayoutXAxisAnchor> rightAnchor();
    ns::Ref<LayoutXAxisAnchor> centerXAnchor();
    ns::Ref<LayoutYAxisAnchor> topAnchor();
    ns::Ref<LayoutYAxisAnchor> bottomAnchor();
    ns::Ref<LayoutYAxisAnchor> centerYAnchor();
    ns::Ref<LayoutDimension> widthAnchor();
    ns::Ref<LayoutDimension> heightAnchor();

private:
    friend class View;

    ns::Weak<View> owningView_;
    std::string identifier_;
    std::optional<cg::Rect> frame_;
    bool safeArea_ = false;
};

}  // namespace ui
