#pragma once
// A header that shows image sequences by state: in Idle the image as far
// through the sequence as the header is pulled, in Pulling and Refreshing
// the sequence played.

#include "ui/refresh/TVRefreshStateHeader.h"

class TVRefreshGifHeader : public TVRefreshWithImages<TVRefreshStateHeader> {
    RT_DECLARE_CLASS(TVRefreshGifHeader)
public:
    void setPullingPercent(double percent) override;
    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;
};
