#pragma once
// A back footer with an arrow (pointing down at rest, the reverse of the
// header's) and a spinner while refreshing.

#include "ui/refresh/TVRefreshBackStateFooter.h"

class TVRefreshBackNormalFooter : public TVRefreshWithSpinner<TVRefreshBackStateFooter> {
    RT_DECLARE_CLASS(TVRefreshBackNormalFooter)
public:
    const ns::Ref<ui::ImageView>& arrowView() { return parts_.arrowView(*this); }

    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;
};
