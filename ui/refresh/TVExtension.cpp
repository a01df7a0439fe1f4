#include "ui/refresh/TVExtension.h"

namespace {

// Reads the structure, changes one member, writes the whole back.
template <class Change>
void changeFrame(ui::View& view, Change change) {
    cg::Rect frame = view.frame();
    change(frame);
    view.setFrame(frame);
}

template <class Change>
void changeInset(ui::ScrollView& view, Change change) {
    cg::EdgeInsets inset = view.contentInset();
    change(inset);
    view.setContentInset(inset);
}

template <class Change>
void changeOffset(ui::ScrollView& view, Change change) {
    cg::Point offset = view.contentOffset();
    change(offset);
    view.setContentOffset(offset);
}

template <class Change>
void changeContentSize(ui::ScrollView& view, Change change) {
    cg::Size size = view.contentSize();
    change(size);
    view.setContentSize(size);
}

}  // namespace

double TV_x(const ui::View& view) { return view.frame().origin.x; }
void setTV_x(ui::View& view, double x) { changeFrame(view, [&](cg::Rect& f) { f.origin.x = x; }); }
double TV_y(const ui::View& view) { return view.frame().origin.y; }
void setTV_y(ui::View& view, double y) { changeFrame(view, [&](cg::Rect& f) { f.origin.y = y; }); }
double TV_w(const ui::View& view) { return view.frame().size.width; }
void setTV_w(ui::View& view, double width) { changeFrame(view, [&](cg::Rect& f) { f.size.width = width; }); }
double TV_h(const ui::View& view) { return view.frame().size.height; }
void setTV_h(ui::View& view, double height) { changeFrame(view, [&](cg::Rect& f) { f.size.height = height; }); }
cg::Size TV_size(const ui::View& view) { return view.frame().size; }
void setTV_size(ui::View& view, cg::Size size) { changeFrame(view, [&](cg::Rect& f) { f.size = size; }); }
cg::Point TV_origin(const ui::View& view) { return view.frame().origin; }
void setTV_origin(ui::View& view, cg::Point origin) { changeFrame(view, [&](cg::Rect& f) { f.origin = origin; }); }

double TV_insetT(const ui::ScrollView& view) { return view.contentInset().top; }
void setTV_insetT(ui::ScrollView& view, double top) { changeInset(view, [&](cg::EdgeInsets& i) { i.top = top; }); }
double TV_insetL(const ui::ScrollView& view) { return view.contentInset().left; }
void setTV_insetL(ui::ScrollView& view, double left) { changeInset(view, [&](cg::EdgeInsets& i) { i.left = left; }); }
double TV_insetB(const ui::ScrollView& view) { return view.contentInset().bottom; }
void setTV_insetB(ui::ScrollView& view, double bottom) {
    changeInset(view, [&](cg::EdgeInsets& i) { i.bottom = bottom; });
}
double TV_insetR(const ui::ScrollView& view) { return view.contentInset().right; }
void setTV_insetR(ui::ScrollView& view, double right) { changeInset(view, [&](cg::EdgeInsets& i) { i.right = right; }); }
double TV_offsetX(const ui::ScrollView& view) { return view.contentOffset().x; }
void setTV_offsetX(ui::ScrollView& view, double x) { changeOffset(view, [&](cg::Point& o) { o.x = x; }); }
double TV_offsetY(const ui::ScrollView& view) { return view.contentOffset().y; }
void setTV_offsetY(ui::ScrollView& view, double y) { changeOffset(view, [&](cg::Point& o) { o.y = y; }); }
double TV_contentW(const ui::ScrollView& view) { return view.contentSize().width; }
void setTV_contentW(ui::ScrollView& view, double width) {
    changeContentSize(view, [&](cg::Size& s) { s.width = width; });
}
double TV_contentH(const ui::ScrollView& view) { return view.contentSize().height; }
void setTV_contentH(ui::ScrollView& view, double height) {
    changeContentSize(view, [&](cg::Size& s) { s.height = height; });
}
