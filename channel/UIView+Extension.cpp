#include "channel/UIView+Extension.h"

#include "channel/NSString+URLEncode.h"
#include "platform/foundation/Bundle.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/Nib.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Window.h"

namespace ViewExtension {

namespace {

template <class Change>
void changeFrame(ui::View& view, Change change) {
    cg::Rect frame = view.frame();
    change(frame);
    view.setFrame(frame);
}

}  // namespace

double x(const ui::View& view) { return view.frame().origin.x; }
double y(const ui::View& view) { return view.frame().origin.y; }
void setX(ui::View& view, double x) { changeFrame(view, [x](cg::Rect& f) { f.origin.x = x; }); }
void setY(ui::View& view, double y) { changeFrame(view, [y](cg::Rect& f) { f.origin.y = y; }); }
double width(const ui::View& view) { return view.frame().size.width; }
double height(const ui::View& view) { return view.frame().size.height; }
void setWidth(ui::View& view, double width) { changeFrame(view, [width](cg::Rect& f) { f.size.width = width; }); }
void setHeight(ui::View& view, double height) { changeFrame(view, [height](cg::Rect& f) { f.size.height = height; }); }
cg::Size size(const ui::View& view) { return view.frame().size; }
void setSize(ui::View& view, cg::Size size) { changeFrame(view, [size](cg::Rect& f) { f.size = size; }); }
cg::Point origin(const ui::View& view) { return view.frame().origin; }
void setOrigin(ui::View& view, cg::Point origin) { changeFrame(view, [origin](cg::Rect& f) { f.origin = origin; }); }
double centerX(const ui::View& view) { return view.center().x; }
double centerY(const ui::View& view) { return view.center().y; }

void setCenterX(ui::View& view, double centerX) {
    cg::Point center = view.center();
    center.x = centerX;
    view.setCenter(center);
}

void setCenterY(ui::View& view, double centerY) {
    cg::Point center = view.center();
    center.y = centerY;
    view.setCenter(center);
}

void setLayerBorderWidth(ui::View& view, double width, const cg::Color& borderColor) {
    view.layer()->setBorderWidth(width);
    view.layer()->setBorderColor(borderColor);
}

void setLayerCornerRadius(ui::View& view, double radius) {
    view.layer()->setCornerRadius(radius);
    view.layer()->setMasksToBounds(true);
}

bool isNotchedPhone() {
    auto keyWindow = ui::Application::sharedApplication()->keyWindow();
    return ui::Screen::mainScreen()->model().systemMajorVersion() >= 11 && keyWindow &&
           keyWindow->safeAreaInsets().bottom > 0;
}

bool isNotchedPhoneOnItsSide() {
    cg::Size size = ui::Screen::mainScreen()->bounds().size;
    return size.width > size.height && isNotchedPhone();
}

ns::Ref<ui::View> ViewFromXib(std::string_view className) {
    auto bundle = ns::Bundle::bundleWithPath(URLEncode::getBundlePath());
    auto nib = ui::Nib::nibWithName(className, bundle);
    if (!nib) return nullptr;
    auto objects = nib->instantiateWithOwner(nullptr);
    return objects.empty() ? nullptr : ns::cast<ui::View>(objects.back());
}

}  // namespace ViewExtension
