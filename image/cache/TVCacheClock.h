#pragma once
// The caches' two readings of the one clock (mock time in tests): UNIX
// seconds for stored times, media-clock seconds for ages in memory and for
// the storage's reopen rule.

#include <cmath>
#include <cstdint>

#include "platform/dispatch/Clock.h"
#include "platform/uikit/Animation.h"

inline int64_t TVUnixTime() { return int64_t(std::floor(dispatch::wallTime())); }
inline double TVMediaTime() { return ui::mediaTime(); }
