#include "platform/foundation/DateComponents.h"

#include <bit>

namespace ns {

RT_DEFINE_CLASS(DateComponents, Object, "NSDateComponents")

DateComponents::DateComponents() { values_.fill(Undefined); }

int DateComponents::slot(CalendarUnit unit) {
    uint64_t bits = unit;
    if (bits == 0 || (bits & (bits - 1)) != 0 || bits > CalendarUnitNanosecond) return -1;
    return std::countr_zero(bits);
}

int64_t DateComponents::get(CalendarUnit unit) const {
    int k = slot(unit);
    return k < 0 ? Undefined : values_[size_t(k)];
}

void DateComponents::set(CalendarUnit unit, int64_t value) {
    int k = slot(unit);
    if (k >= 0) values_[size_t(k)] = value;
}

uint64_t DateComponents::hash() const {
    uint64_t h = 0;
    for (int64_t v : values_) h = h * 31 + uint64_t(v);
    return h;
}

bool DateComponents::isEqual(const Object* other) const {
    auto c = dynamic_cast<const DateComponents*>(other);
    return c && c->values_ == values_ && equal(c->timeZone_.get(), timeZone_.get());
}

Id DateComponents::copy() const {
    auto c = std::make_shared<DateComponents>();
    c->values_ = values_;
    c->timeZone_ = timeZone_;
    return c;
}

}  // namespace ns
