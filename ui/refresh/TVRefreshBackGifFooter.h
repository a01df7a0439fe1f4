#pragma once
// A back footer that shows image sequences by state.

#include "ui/refresh/TVRefreshBackStateFooter.h"

class TVRefreshBackGifFooter : public TVRefreshWithImages<TVRefreshBackStateFooter> {
    RT_DECLARE_CLASS(TVRefreshBackGifFooter)
public:
    void setPullingPercent(double percent) override;
    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;
};
