#pragma once
// The footer of the lists: the title with a spinner left of it while loading.

#include "ui/refresh/TVRefreshAutoStateFooter.h"

class TVRefreshAutoNormalFooter : public TVRefreshWithSpinner<TVRefreshAutoStateFooter> {
    RT_DECLARE_CLASS(TVRefreshAutoNormalFooter)
public:

    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;
};
