#pragma once
// A back footer with a title by state.

#include "ui/refresh/TVRefreshBackFooter.h"
#include "ui/refresh/TVRefreshParts.h"

class TVRefreshBackStateFooter : public TVRefreshBackFooter {
    RT_DECLARE_CLASS(TVRefreshBackStateFooter)
public:
    const ns::Ref<ui::Label>& stateLabel() { return titles_.label(*this); }
    double labelLeftInset() const { return labelLeftInset_; }
    void setLabelLeftInset(double inset) { labelLeftInset_ = inset; }

    void setTitle(const ns::Ref<ns::String>& title, TVRefreshState state);
    ns::Ref<ns::String> titleForState(TVRefreshState state) const { return titles_.titleForState(state); }

    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    double labelLeftInset_ = TVRefreshLabelLeftInset;
    TVRefreshStateTitles titles_;
};
