#pragma once
// A back footer that shows image sequences by state.

#include "ui/refresh/TVRefreshBackStateFooter.h"

class TVRefreshBackGifFooter : public TVRefreshBackStateFooter {
    RT_DECLARE_CLASS(TVRefreshBackGifFooter)
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
