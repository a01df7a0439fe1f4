#pragma once
// The footer of the lists: the title with a spinner left of it while loading.

#include "ui/refresh/TVRefreshAutoStateFooter.h"

class TVRefreshAutoNormalFooter : public TVRefreshAutoStateFooter {
    RT_DECLARE_CLASS(TVRefreshAutoNormalFooter)
public:
    ns::Ref<ui::ActivityIndicatorView> loadingView() { return parts_.loadingView(*this); }
    int64_t activityIndicatorViewStyle() const { return parts_.style(); }
    void setActivityIndicatorViewStyle(int64_t style);

    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    TVRefreshArrowSpinner parts_;  // the spinner only
};
