#include "platform/dispatch/IoToken.h"

#include "platform/dispatch/Activity.h"

namespace dispatch {

using detail::Activity;

IoToken::IoToken() : held_(true) { Activity::addIo(); }

IoToken::~IoToken() { release(); }

IoToken::IoToken(IoToken&& other) noexcept : held_(other.held_) { other.held_ = false; }

IoToken& IoToken::operator=(IoToken&& other) noexcept {
    if (this != &other) {
        release();
        held_ = other.held_;
        other.held_ = false;
    }
    return *this;
}

void IoToken::release() {
    if (!held_) return;
    held_ = false;
    Activity::removeIo();
}

long IoToken::outstanding() { return Activity::snapshot().io; }

}  // namespace dispatch
