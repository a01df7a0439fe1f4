#include "ui/refresh/TVRefreshParts.h"

#include <algorithm>
#include <cmath>

#include "ui/refresh/TVExtension.h"
#include "ui/refresh/TVRefreshBundle.h"
#include "ui/refresh/TVRefreshLabel.h"

// ---- Titles ----

const ns::Ref<ui::Label>& TVRefreshStateTitles::label(ui::View& owner) {
    if (!label_) {
        label_ = TV_label();
        owner.addSubview(label_);
    }
    return label_;
}

void TVRefreshStateTitles::setTitle(ui::View& owner, const ns::Ref<ns::String>& title, TVRefreshState state,
                                    TVRefreshState current) {
    if (!title) return;
    titles_[state] = title;
    show(owner, current);
}

ns::Ref<ns::String> TVRefreshStateTitles::titleForState(TVRefreshState state) const {
    auto found = titles_.find(state);
    return found == titles_.end() ? nullptr : found->second;
}

void TVRefreshStateTitles::show(ui::View& owner, TVRefreshState state) {
    label(owner)->setText(titleForState(state));
}

// ---- Arrow and spinner ----

const ns::Ref<ui::ImageView>& TVRefreshArrowSpinner::arrowView(ui::View& owner) {
    if (!arrow_) {
        arrow_ = ui::ImageView::withImage(TV_arrowImage());
        owner.addSubview(arrow_);
    }
    return arrow_;
}

ns::Ref<ui::ActivityIndicatorView> TVRefreshArrowSpinner::loadingView(ui::View& owner) {
    auto spinner = spinner_.lock();
    if (!spinner) {
        spinner = ui::ActivityIndicatorView::make(ui::ActivityIndicatorViewStyle(style_));
        spinner->setHidesWhenStopped(true);
        owner.addSubview(spinner);
        spinner_ = spinner;
    }
    return spinner;
}

void TVRefreshArrowSpinner::setStyle(int64_t style) {
    style_ = style;
    spinner_.reset();
}

void TVRefreshArrowSpinner::place(ui::View& owner, cg::Point center, std::optional<cg::Color> tint) {
    auto& arrow = arrowView(owner);
    if (arrow->constraints().empty()) {
        if (auto image = arrow->image()) setTV_size(*arrow, image->size());
        arrow->setCenter(center);
    }
    auto spinner = loadingView(owner);
    if (spinner->constraints().empty()) spinner->setCenter(center);
    arrow->setTintColor(tint);
}

// ---- Image sequences ----

const ns::Ref<ui::ImageView>& TVRefreshStateImages::gifView(ui::View& owner) {
    if (!gifView_) {
        gifView_ = ui::ImageView::make();
        owner.addSubview(gifView_);
    }
    return gifView_;
}

void TVRefreshStateImages::setImages(ui::View& owner, const std::vector<ns::Ref<ui::Image>>& images, double duration,
                                     TVRefreshState state) {
    if (images.empty()) return;
    images_[state] = images;
    durations_[state] = duration;
    if (images.front() && images.front()->size().height > TV_h(owner)) setTV_h(owner, images.front()->size().height);
}

const std::vector<ns::Ref<ui::Image>>* TVRefreshStateImages::imagesForState(TVRefreshState state) const {
    auto found = images_.find(state);
    return found == images_.end() ? nullptr : &found->second;
}

void TVRefreshStateImages::showFraction(ui::View& owner, TVRefreshState state, double percent) {
    const auto* images = imagesForState(state);
    if (!images) return;
    auto& view = gifView(owner);
    view->stopAnimating();
    double position = std::floor(double(images->size()) * percent);
    size_t index = position <= 0 ? 0 : std::min(size_t(position), images->size() - 1);
    view->setImage((*images)[index]);
}

bool TVRefreshStateImages::play(ui::View& owner, TVRefreshState state) {
    const auto* images = imagesForState(state);
    if (!images) return false;
    auto& view = gifView(owner);
    view->stopAnimating();
    if (images->size() == 1) {
        view->setImage(images->front());
    } else {
        view->setAnimationImages(*images);
        view->setAnimationDuration(durations_[state]);
        view->startAnimating();
    }
    return true;
}

void TVRefreshStateImages::place(ui::View& owner, bool textHidden, double textWidth, double labelLeftInset) {
    auto& view = gifView(owner);
    if (!view->constraints().empty()) return;
    view->setFrame(owner.bounds());
    if (textHidden) {
        view->setContentMode(ui::ViewContentMode::Center);
    } else {
        view->setContentMode(ui::ViewContentMode::Right);
        setTV_w(*view, TV_w(owner) * 0.5 - labelLeftInset - textWidth * 0.5);
    }
}
