#pragma once
// One component of a view's frame, or of a scroll view's content inset,
// offset or size, read or replaced (the rest of the structure kept): the
// arithmetic every refresh control does.

#include "platform/uikit/ScrollView.h"
#include "platform/uikit/View.h"

double TV_x(const ui::View& view);
void setTV_x(ui::View& view, double x);
double TV_y(const ui::View& view);
void setTV_y(ui::View& view, double y);
double TV_w(const ui::View& view);
void setTV_w(ui::View& view, double width);
double TV_h(const ui::View& view);
void setTV_h(ui::View& view, double height);
cg::Size TV_size(const ui::View& view);
void setTV_size(ui::View& view, cg::Size size);
cg::Point TV_origin(const ui::View& view);
void setTV_origin(ui::View& view, cg::Point origin);

double TV_insetT(const ui::ScrollView& view);
void setTV_insetT(ui::ScrollView& view, double top);
double TV_insetL(const ui::ScrollView& view);
void setTV_insetL(ui::ScrollView& view, double left);
double TV_insetB(const ui::ScrollView& view);
void setTV_insetB(ui::ScrollView& view, double bottom);
double TV_insetR(const ui::ScrollView& view);
void setTV_insetR(ui::ScrollView& view, double right);
double TV_offsetX(const ui::ScrollView& view);
void setTV_offsetX(ui::ScrollView& view, double x);
double TV_offsetY(const ui::ScrollView& view);
void setTV_offsetY(ui::ScrollView& view, double y);
double TV_contentW(const ui::ScrollView& view);
void setTV_contentW(ui::ScrollView& view, double width);
double TV_contentH(const ui::ScrollView& view);
void setTV_contentH(ui::ScrollView& view, double height);
