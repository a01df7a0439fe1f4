#pragma once
// A back footer with a title by state.

#include "ui/refresh/TVRefreshBackFooter.h"
#include "ui/refresh/TVRefreshParts.h"

class TVRefreshBackStateFooter : public TVRefreshWithTitles<TVRefreshBackFooter> {
    RT_DECLARE_CLASS(TVRefreshBackStateFooter)
public:


    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;
};
