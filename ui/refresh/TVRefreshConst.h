#pragma once
// The refresh controls' states, sizes, timings and resource keys.

#include <cstdint>

enum class TVRefreshState : int64_t {
    Idle = 1,         // nothing is loading
    Pulling = 2,      // pulled far enough: letting go refreshes (headers, back footers)
    Refreshing = 3,   // held in view while the owner loads
    WillRefresh = 4,  // asked to refresh while in no window: refreshes at its next draw
    NoMoreData = 5,   // footers: the list is complete
};

inline constexpr double TVRefreshHeaderHeight = 54.0;
inline constexpr double TVRefreshFooterHeight = 44.0;
inline constexpr double TVRefreshLabelLeftInset = 25.0;
inline constexpr double TVRefreshGifLabelLeftInset = 20.0;
inline constexpr double TVRefreshFastAnimationDuration = 0.25;
inline constexpr double TVRefreshSlowAnimationDuration = 0.4;
// The auto footer's loading callback comes this long after it shows loading.
inline constexpr double TVRefreshAutoFooterCallbackDelay = 0.5;
// Seconds per image of an image sequence given without a duration.
inline constexpr double TVRefreshImageDuration = 0.1;
// The grey spinner.
inline constexpr int64_t TVRefreshActivityIndicatorStyle = 2;

inline constexpr const char* TVRefreshHeaderLastUpdatedTimeKey = "TVRefreshHeaderLastUpdatedTimeKey";

inline constexpr const char* TVRefreshHeaderIdleText = "TVRefreshHeaderIdleText";
inline constexpr const char* TVRefreshHeaderPullingText = "TVRefreshHeaderPullingText";
inline constexpr const char* TVRefreshHeaderRefreshingText = "TVRefreshHeaderRefreshingText";
inline constexpr const char* TVRefreshHeaderLastTimeText = "TVRefreshHeaderLastTimeText";
inline constexpr const char* TVRefreshHeaderDateTodayText = "TVRefreshHeaderDateTodayText";
inline constexpr const char* TVRefreshHeaderNoneLastDateText = "TVRefreshHeaderNoneLastDateText";
inline constexpr const char* TVRefreshAutoFooterIdleText = "TVRefreshAutoFooterIdleText";
inline constexpr const char* TVRefreshAutoFooterRefreshingText = "TVRefreshAutoFooterRefreshingText";
inline constexpr const char* TVRefreshAutoFooterNoMoreDataText = "TVRefreshAutoFooterNoMoreDataText";
inline constexpr const char* TVRefreshBackFooterIdleText = "TVRefreshBackFooterIdleText";
inline constexpr const char* TVRefreshBackFooterPullingText = "TVRefreshBackFooterPullingText";
inline constexpr const char* TVRefreshBackFooterRefreshingText = "TVRefreshBackFooterRefreshingText";
inline constexpr const char* TVRefreshBackFooterNoMoreDataText = "TVRefreshBackFooterNoMoreDataText";
