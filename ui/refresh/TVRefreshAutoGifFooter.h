#pragma once
// An auto footer that plays an image sequence while loading.

#include "ui/refresh/TVRefreshAutoStateFooter.h"

class TVRefreshAutoGifFooter : public TVRefreshAutoStateFooter {
    RT_DECLARE_CLASS(TVRefreshAutoGifFooter)
public:
    const ns::Ref<ui::ImageView>& gifView() { return images_.gifView(*this); }
    void setImages(const std::vector<ns::Ref<ui::Image>>& images, double duration, TVRefreshState state) {
        images_.setImages(*this, images, duration, state);
    }
    void setImages(const std::vector<ns::Ref<ui::Image>>& images, TVRefreshState state) {
        images_.setImages(*this, images, state);
    }

    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    TVRefreshStateImages images_;
};
