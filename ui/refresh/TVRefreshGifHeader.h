#pragma once
// A header that shows image sequences by state: in Idle the image as far
// through the sequence as the header is pulled, in Pulling and Refreshing
// the sequence played.

#include "ui/refresh/TVRefreshStateHeader.h"

class TVRefreshGifHeader : public TVRefreshStateHeader {
    RT_DECLARE_CLASS(TVRefreshGifHeader)
public:
    const ns::Ref<ui::ImageView>& gifView() { return images_.gifView(*this); }
    void setImages(const std::vector<ns::Ref<ui::Image>>& images, double duration, TVRefreshState state) {
        images_.setImages(*this, images, duration, state);
    }
    void setImages(const std::vector<ns::Ref<ui::Image>>& images, TVRefreshState state) {
        images_.setImages(*this, images, state);
    }

    void setPullingPercent(double percent) override;
    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    TVRefreshStateImages images_;
};
