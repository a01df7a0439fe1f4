#pragma once
// A header with its state title above the last-updated line.

#include <functional>

#include "platform/foundation/Calendar.h"
#include "ui/refresh/TVRefreshHeader.h"
#include "ui/refresh/TVRefreshParts.h"

class TVRefreshStateHeader : public TVRefreshWithTitles<TVRefreshHeader> {
    RT_DECLARE_CLASS(TVRefreshStateHeader)
public:
    using LastUpdatedTimeText = std::function<ns::Ref<ns::String>(const ns::Ref<ns::Date>& date)>;

    // When set, it alone writes the last-updated line.
    void setLastUpdatedTimeText(LastUpdatedTimeText text) { lastUpdatedTimeText_ = std::move(text); }
    const ns::Ref<ui::Label>& lastUpdatedTimeLabel();
    // Gregorian where it can be made by name, else the user's.
    static ns::Ref<ns::Calendar> currentCalendar();

    // Stores the key and writes the last-updated line again.
    void setLastUpdatedTimeKey(std::string key) override;
    void setState(TVRefreshState state) override;

protected:
    void prepare() override;
    void placeSubviews() override;
    // The wider of the two lines' text (the hidden last-updated line as 0).
    double textWidth();

private:
    void updateLastUpdatedLine();

    LastUpdatedTimeText lastUpdatedTimeText_;
    ns::Ref<ui::Label> lastUpdatedTimeLabel_;
};
