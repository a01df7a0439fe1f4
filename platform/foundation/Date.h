#pragma once
// A point in time: seconds since 1970-01-01 00:00:00 UTC.

#include <string>

#include "platform/foundation/Range.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class Date : public Object {
    RT_DECLARE_CLASS(Date)
public:
    // Seconds from 1970 to the platform's reference date, 2001-01-01 UTC.
    static constexpr double ReferenceDateFrom1970 = 978307200.0;

    Date() = default;
    explicit Date(double secondsSince1970) : seconds_(secondsSince1970) {}

    // Now on the one clock (the mock clock under a test's task environment).
    static Ref<Date> now();
    static Ref<Date> withTimeIntervalSince1970(double seconds);
    static Ref<Date> withTimeIntervalSinceNow(double seconds);
    static Ref<Date> withTimeIntervalSinceReferenceDate(double seconds);
    static const Ref<Date>& distantPast();    // year 0001
    static const Ref<Date>& distantFuture();  // year 4001

    double timeIntervalSince1970() const { return seconds_; }
    double timeIntervalSinceReferenceDate() const { return seconds_ - ReferenceDateFrom1970; }
    double timeIntervalSinceNow() const;
    double timeIntervalSinceDate(const Date& other) const { return seconds_ - other.seconds_; }
    Ref<Date> dateByAddingTimeInterval(double seconds) const;
    ComparisonResult compare(const Date& other) const;
    Ref<Date> earlierDate(const Ref<Date>& other) const;
    Ref<Date> laterDate(const Ref<Date>& other) const;
    bool isEqualToDate(const Date* other) const { return other && other->seconds_ == seconds_; }

    // "2001-01-01 00:00:00 +0000", always UTC.
    std::string description() const override;
    uint64_t hash() const override;
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override { return self(); }

private:
    double seconds_ = 0;
};

}  // namespace ns
