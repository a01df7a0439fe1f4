#pragma once
// The header of the lists: an arrow that turns as the header is pulled and
// a spinner while refreshing, left of the texts.

#include <numbers>

#include "ui/refresh/TVRefreshStateHeader.h"

// Half a turn less a millionth of a radian, so the arrow turns back the way
// it came.
inline constexpr double TVRefreshArrowTurn = 0.000001 - std::numbers::pi;

class TVRefreshNormalHeader : public TVRefreshWithSpinner<TVRefreshStateHeader> {
    RT_DECLARE_CLASS(TVRefreshNormalHeader)
public:
    const ns::Ref<ui::ImageView>& arrowView() { return parts_.arrowView(*this); }

    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;
};
