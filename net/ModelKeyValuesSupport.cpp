#include "net/ModelKeyValuesSupport.h"

#include "net/ModelKeyValues.h"

namespace tv::detail {

namespace {
thread_local Operation* innermost = nullptr;
thread_local unsigned depth = 0;
}  // namespace

Operation::Operation(const rt::Class* cls) : cls_(cls), outer_(innermost), tooDeep_(++depth > MaxNesting) {
    innermost = this;
    setQz_error(cls, nullptr);
}

Operation::~Operation() {
    innermost = outer_;
    --depth;
    if (firstFailure_) setQz_error(cls_, firstFailure_);
}

void fail(const rt::Class* cls, std::string_view text) {
    auto error = ns::Error::make(std::string(text), KeyValueErrorCode);
    setQz_error(cls, error);
    for (Operation* op = innermost; op; op = op->outer_) {
        if (op->cls_ == cls && !op->firstFailure_) op->firstFailure_ = error;
    }
}

bool containsName(const ns::Array& names, const ns::String& name) {
    if (names.count() == 0) return false;
    for (const ns::Id& element : names) {
        if (element && element->isEqual(&name)) return true;
    }
    return false;
}

}  // namespace tv::detail
