#pragma once
// The parts the state, normal and image-sequence controls share: a title
// label with titles by state, an arrow with a spinner, and an image view
// with image sequences by state. Each part belongs to one control and makes
// its views on first use, as subviews of that control.

#include <map>
#include <vector>

#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "ui/refresh/TVRefreshConst.h"

class TVRefreshStateTitles {
public:
    const ns::Ref<ui::Label>& label(ui::View& owner);
    // An absent title changes nothing; otherwise it is stored and the label
    // shows the title of `current`.
    void setTitle(ui::View& owner, const ns::Ref<ns::String>& title, TVRefreshState state, TVRefreshState current);
    ns::Ref<ns::String> titleForState(TVRefreshState state) const;
    // The label shows the title of `state` (none when none is stored).
    void show(ui::View& owner, TVRefreshState state);
    bool hasLabel() const { return label_ != nullptr; }

private:
    // Also a subview of the owner, which owns it with its hierarchy.
    ns::Ref<ui::Label> label_;
    std::map<TVRefreshState, ns::Ref<ns::String>> titles_;
};

class TVRefreshArrowSpinner {
public:
    const ns::Ref<ui::ImageView>& arrowView(ui::View& owner);
    // Made with the current style when there is none.
    ns::Ref<ui::ActivityIndicatorView> loadingView(ui::View& owner);
    int64_t style() const { return style_; }
    // The current spinner stays where it is; the next use makes a new one.
    void setStyle(int64_t style);
    // The arrow and the spinner centred on `center`, the arrow at its
    // image's size and in `tint` (each unless it has constraints).
    void place(ui::View& owner, cg::Point center, std::optional<cg::Color> tint);

private:
    ns::Ref<ui::ImageView> arrow_;
    // The spinner is the owner's subview; the part only points at it.
    ns::Weak<ui::ActivityIndicatorView> spinner_;
    int64_t style_ = TVRefreshActivityIndicatorStyle;
};

class TVRefreshStateImages {
public:
    const ns::Ref<ui::ImageView>& gifView(ui::View& owner);
    // Absent images change nothing; a first image taller than the owner
    // makes the owner that tall.
    void setImages(ui::View& owner, const std::vector<ns::Ref<ui::Image>>& images, double duration,
                   TVRefreshState state);
    void setImages(ui::View& owner, const std::vector<ns::Ref<ui::Image>>& images, TVRefreshState state) {
        setImages(owner, images, double(images.size()) * TVRefreshImageDuration, state);
    }
    const std::vector<ns::Ref<ui::Image>>* imagesForState(TVRefreshState state) const;
    // Stops and shows the image that far through the state's sequence.
    void showFraction(ui::View& owner, TVRefreshState state, double percent);
    // Stops, then shows a single image still or plays several; false when
    // the state has no images.
    bool play(ui::View& owner, TVRefreshState state);
    // The image view beside a text of `textWidth` (0: no text shown).
    void place(ui::View& owner, bool textHidden, double textWidth, double labelLeftInset);

private:
    ns::Ref<ui::ImageView> gifView_;
    std::map<TVRefreshState, std::vector<ns::Ref<ui::Image>>> images_;
    std::map<TVRefreshState, double> durations_;
};

// What the state controls add over their base class: a title by state and
// the gap between the title and what sits left of it.
template <class Base>
class TVRefreshWithTitles : public Base {
public:
    const ns::Ref<ui::Label>& stateLabel() { return titles_.label(*this); }
    double labelLeftInset() const { return labelLeftInset_; }
    void setLabelLeftInset(double inset) { labelLeftInset_ = inset; }
    void setTitle(const ns::Ref<ns::String>& title, TVRefreshState state) {
        titles_.setTitle(*this, title, state, this->state());
    }
    ns::Ref<ns::String> titleForState(TVRefreshState state) const { return titles_.titleForState(state); }

protected:
    TVRefreshStateTitles titles_;
    double labelLeftInset_ = TVRefreshLabelLeftInset;
};

// What the normal controls add: a spinner of a chosen style.
template <class Base>
class TVRefreshWithSpinner : public Base {
public:
    ns::Ref<ui::ActivityIndicatorView> loadingView() { return parts_.loadingView(*this); }
    int64_t activityIndicatorViewStyle() const { return parts_.style(); }
    void setActivityIndicatorViewStyle(int64_t style) {
        parts_.setStyle(style);
        this->setNeedsLayout();
    }

protected:
    TVRefreshArrowSpinner parts_;
};

// What the image-sequence controls add.
template <class Base>
class TVRefreshWithImages : public Base {
public:
    const ns::Ref<ui::ImageView>& gifView() { return images_.gifView(*this); }
    void setImages(const std::vector<ns::Ref<ui::Image>>& images, double duration, TVRefreshState state) {
        images_.setImages(*this, images, duration, state);
    }
    void setImages(const std::vector<ns::Ref<ui::Image>>& images, TVRefreshState state) {
        images_.setImages(*this, images, state);
    }

protected:
    TVRefreshStateImages images_;
};
