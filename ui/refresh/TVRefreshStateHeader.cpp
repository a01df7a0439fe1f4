#include "ui/refresh/TVRefreshStateHeader.h"

#include <algorithm>

#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/UserDefaults.h"
#include "ui/refresh/TVExtension.h"
#include "ui/refresh/TVRefreshBundle.h"
#include "ui/refresh/TVRefreshLabel.h"

RT_DEFINE_CLASS(TVRefreshStateHeader, TVRefreshHeader, "TVRefreshStateHeader")

void TVRefreshStateHeader::prepare() {
    TVRefreshHeader::prepare();
    labelLeftInset_ = TVRefreshLabelLeftInset;
    setTitle(TV_localizedStringForKey(TVRefreshHeaderIdleText), TVRefreshState::Idle);
    setTitle(TV_localizedStringForKey(TVRefreshHeaderPullingText), TVRefreshState::Pulling);
    setTitle(TV_localizedStringForKey(TVRefreshHeaderRefreshingText), TVRefreshState::Refreshing);
}

const ns::Ref<ui::Label>& TVRefreshStateHeader::lastUpdatedTimeLabel() {
    if (!lastUpdatedTimeLabel_) {
        lastUpdatedTimeLabel_ = TV_label();
        addSubview(lastUpdatedTimeLabel_);
    }
    return lastUpdatedTimeLabel_;
}

ns::Ref<ns::Calendar> TVRefreshStateHeader::currentCalendar() {
    if (auto gregorian = ns::Calendar::calendarWithIdentifier(ns::CalendarIdentifierGregorian)) return gregorian;
    return ns::Calendar::currentCalendar();
}

void TVRefreshStateHeader::setLastUpdatedTimeKey(std::string key) {
    TVRefreshHeader::setLastUpdatedTimeKey(std::move(key));
    updateLastUpdatedLine();
}

void TVRefreshStateHeader::updateLastUpdatedLine() {
    auto& label = lastUpdatedTimeLabel();
    if (label->isHidden()) return;
    auto date = lastUpdatedTime();
    if (lastUpdatedTimeText_) {
        label->setText(lastUpdatedTimeText_(date));
        return;
    }
    auto lastTime = TV_localizedStringForKey(TVRefreshHeaderLastTimeText)->utf8();
    if (!date) {
        label->setText(lastTime + TV_localizedStringForKey(TVRefreshHeaderNoneLastDateText)->utf8());
        return;
    }
    auto calendar = currentCalendar();
    uint64_t units = ns::CalendarUnitYear | ns::CalendarUnitMonth | ns::CalendarUnitDay | ns::CalendarUnitHour |
                     ns::CalendarUnitMinute;
    auto then = calendar->componentsFromDate(units, *date);
    auto now = calendar->componentsFromDate(units, *ns::Date::now());
    // Today means the same calendar day, not merely the same day of the month.
    bool today = then->year() == now->year() && then->month() == now->month() && then->day() == now->day();
    ns::DateFormatter formatter;
    if (today) formatter.setDateFormat(" HH:mm");
    else if (then->year() == now->year()) formatter.setDateFormat("MM-dd HH:mm");
    else formatter.setDateFormat("yyyy-MM-dd HH:mm");
    std::string todayText = today ? TV_localizedStringForKey(TVRefreshHeaderDateTodayText)->utf8() : "";
    label->setText(lastTime + todayText + formatter.stringFromDate(*date));
}

void TVRefreshStateHeader::setState(TVRefreshState state) {
    if (state == this->state()) return;
    TVRefreshHeader::setState(state);
    titles_.show(*this, state);
    // Writes the last-updated line again.
    setLastUpdatedTimeKey(lastUpdatedTimeKey());
}

double TVRefreshStateHeader::textWidth() {
    double lastUpdated = lastUpdatedTimeLabel()->isHidden() ? 0 : TV_textWith(*lastUpdatedTimeLabel());
    return std::max(TV_textWith(*stateLabel()), lastUpdated);
}

void TVRefreshStateHeader::placeSubviews() {
    TVRefreshHeader::placeSubviews();
    auto& state = stateLabel();
    if (state->isHidden()) return;
    auto& lastUpdated = lastUpdatedTimeLabel();
    bool free = state->constraints().empty();
    if (lastUpdated->isHidden()) {
        if (free) state->setFrame(bounds());
        return;
    }
    double half = TV_h(*this) * 0.5;
    if (free) state->setFrame({0, 0, TV_w(*this), half});
    if (lastUpdated->constraints().empty()) lastUpdated->setFrame({0, half, TV_w(*this), TV_h(*this) - half});
}
