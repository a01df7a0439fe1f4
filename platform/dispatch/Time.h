#pragma once
// Time inside dispatch: whole nanoseconds in an int64, so that steps add up
// exactly whatever the clock reads. A `double` interval becomes ticks once,
// at the edge, rounded to the nearest nanosecond; Forever and anything beyond
// the range become a saturated "never" that arithmetic keeps.

#include <cmath>
#include <compare>
#include <cstdint>
#include <limits>

namespace dispatch {

// A timeout or interval that never ends, in the platform's double seconds.
inline constexpr double Forever = std::numeric_limits<double>::infinity();

namespace detail {

inline constexpr int64_t NanosecondsPerSecond = 1'000'000'000;
inline constexpr int64_t Never = std::numeric_limits<int64_t>::max();

// Seconds (possibly a product of a count and an interval, hence the long
// double) to nanoseconds, rounded to the nearest; beyond the range saturates,
// NaN is nothing.
inline int64_t roundToNanoseconds(long double seconds) {
    if (std::isnan(seconds)) return 0;
    long double ns = std::roundl(seconds * NanosecondsPerSecond);
    if (ns >= static_cast<long double>(Never)) return Never;
    if (ns <= -static_cast<long double>(Never)) return -Never;
    return static_cast<int64_t>(ns);
}

// Saturating: anything plus never stays never.
constexpr int64_t addNanoseconds(int64_t a, int64_t b) {
    if (a == Never || b == Never) return Never;
    if (a == -Never || b == -Never) return -Never;
    int64_t sum;
    if (__builtin_add_overflow(a, b, &sum)) return b > 0 ? Never : -Never;
    if (sum >= Never) return Never;
    if (sum <= -Never) return -Never;
    return sum;
}

inline double toSeconds(int64_t ns) {
    if (ns == Never) return Forever;
    if (ns == -Never) return -Forever;
    // Whole and fractional seconds apart, so a reading keeps every digit it can.
    return static_cast<double>(ns / NanosecondsPerSecond) +
           static_cast<double>(ns % NanosecondsPerSecond) / NanosecondsPerSecond;
}

}  // namespace detail

class TimeDelta {
public:
    constexpr TimeDelta() = default;

    static constexpr TimeDelta fromNanoseconds(int64_t ns) { return TimeDelta(ns); }
    static constexpr TimeDelta fromMicroseconds(int64_t us) { return TimeDelta(us * 1000); }
    static constexpr TimeDelta fromMilliseconds(int64_t ms) { return TimeDelta(ms * 1'000'000); }
    static constexpr TimeDelta fromWholeSeconds(int64_t s) { return TimeDelta(s * detail::NanosecondsPerSecond); }
    // Rounded to the nearest nanosecond; Forever (or too large) is max().
    static TimeDelta fromSeconds(double seconds) { return TimeDelta(detail::roundToNanoseconds(seconds)); }
    // round(n x seconds): the n-th point of a schedule, never a sum of
    // rounded steps.
    static TimeDelta fromSecondsTimes(double seconds, uint64_t n) {
        return TimeDelta(detail::roundToNanoseconds(static_cast<long double>(seconds) * static_cast<long double>(n)));
    }
    // Never ends.
    static constexpr TimeDelta max() { return TimeDelta(detail::Never); }

    constexpr bool isMax() const { return ns_ == detail::Never; }
    constexpr int64_t inNanoseconds() const { return ns_; }
    double inSeconds() const { return detail::toSeconds(ns_); }

    constexpr TimeDelta operator+(TimeDelta other) const { return TimeDelta(detail::addNanoseconds(ns_, other.ns_)); }
    constexpr TimeDelta operator-(TimeDelta other) const {
        return other.isMax() ? TimeDelta(-detail::Never) : TimeDelta(detail::addNanoseconds(ns_, -other.ns_));
    }
    constexpr TimeDelta operator*(int64_t n) const {
        int64_t product;
        if (isMax() || __builtin_mul_overflow(ns_, n, &product) || product >= detail::Never) {
            return (ns_ < 0) != (n < 0) ? TimeDelta(-detail::Never) : max();
        }
        return TimeDelta(product);
    }
    constexpr TimeDelta& operator+=(TimeDelta other) { return *this = *this + other; }
    constexpr auto operator<=>(const TimeDelta&) const = default;

private:
    constexpr explicit TimeDelta(int64_t ns) : ns_(ns) {}
    int64_t ns_ = 0;
};

// A point on the monotonic clock: nanoseconds from an arbitrary origin
// (the machine's boot on real time, a fixed start on mock time).
class TimeTicks {
public:
    constexpr TimeTicks() = default;

    static constexpr TimeTicks fromNanoseconds(int64_t ns) { return TimeTicks(ns); }
    // A reading in the platform's double seconds; Forever is max().
    static TimeTicks fromSeconds(double seconds) { return TimeTicks(detail::roundToNanoseconds(seconds)); }
    // Never comes.
    static constexpr TimeTicks max() { return TimeTicks(detail::Never); }

    constexpr bool isMax() const { return ns_ == detail::Never; }
    constexpr int64_t inNanoseconds() const { return ns_; }
    // Seconds on the clock's scale, as the platform's API reads them.
    double inSeconds() const { return detail::toSeconds(ns_); }

    constexpr TimeTicks operator+(TimeDelta d) const {
        return TimeTicks(detail::addNanoseconds(ns_, d.inNanoseconds()));
    }
    constexpr TimeTicks operator-(TimeDelta d) const { return *this + TimeDelta::fromNanoseconds(-d.inNanoseconds()); }
    constexpr TimeDelta operator-(TimeTicks other) const {
        if (isMax()) return TimeDelta::max();
        return TimeDelta::fromNanoseconds(detail::addNanoseconds(ns_, -other.ns_));
    }
    constexpr TimeTicks& operator+=(TimeDelta d) { return *this = *this + d; }
    constexpr auto operator<=>(const TimeTicks&) const = default;

private:
    constexpr explicit TimeTicks(int64_t ns) : ns_(ns) {}
    int64_t ns_ = 0;
};

}  // namespace dispatch
