#pragma once
// An auto footer that plays an image sequence while loading.

#include "ui/refresh/TVRefreshAutoStateFooter.h"

class TVRefreshAutoGifFooter : public TVRefreshWithImages<TVRefreshAutoStateFooter> {
    RT_DECLARE_CLASS(TVRefreshAutoGifFooter)
public:
    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;
};
