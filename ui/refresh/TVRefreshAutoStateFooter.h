#pragma once
// An auto footer with a title by state; a tap on the title loads when Idle.

#include "ui/refresh/TVRefreshAutoFooter.h"
#include "ui/refresh/TVRefreshParts.h"

class TVRefreshAutoStateFooter : public TVRefreshWithTitles<TVRefreshAutoFooter> {
    RT_DECLARE_CLASS(TVRefreshAutoStateFooter)
public:
    bool isRefreshingTitleHidden() const { return refreshingTitleHidden_; }
    void setRefreshingTitleHidden(bool hidden) { refreshingTitleHidden_ = hidden; }

    // The title's tap.
    void stateLabelClick();

    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;

private:
    bool refreshingTitleHidden_ = false;
};
