#pragma once
// An auto footer with a title by state; a tap on the title loads when Idle.

#include "ui/refresh/TVRefreshAutoFooter.h"
#include "ui/refresh/TVRefreshParts.h"

class TVRefreshAutoStateFooter : public TVRefreshAutoFooter {
    RT_DECLARE_CLASS(TVRefreshAutoStateFooter)
public:
    const ns::Ref<ui::Label>& stateLabel() { return titles_.label(*this); }
    double labelLeftInset() const { return labelLeftInset_; }
    void setLabelLeftInset(double inset) { labelLeftInset_ = inset; }
    bool isRefreshingTitleHidden() const { return refreshingTitleHidden_; }
    void setRefreshingTitleHidden(bool hidden) { refreshingTitleHidden_ = hidden; }

    void setTitle(const ns::Ref<ns::String>& title, TVRefreshState state);
    ns::Ref<ns::String> titleForState(TVRefreshState state) const { return titles_.titleForState(state); }
    // The title's tap.
    void stateLabelClick();

    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    double labelLeftInset_ = TVRefreshLabelLeftInset;
    bool refreshingTitleHidden_ = false;
    TVRefreshStateTitles titles_;
};
