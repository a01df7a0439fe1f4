#pragma once
// What the decoder needs to create its values quickly, recorded once at
// start-up and read-only afterwards: the container classes, the number
// class with its creation entry points, and the one shared empty string.

#include <cstdint>

#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"

struct JKContainerClassCache {
    const rt::Class* arrayClass;
    const rt::Class* dictionaryClass;
    const rt::Class* numberClass;
    ns::Ref<ns::Number> (*numberWithLongLong)(int64_t);
    ns::Ref<ns::Number> (*numberWithUnsignedLongLong)(uint64_t);
    ns::Ref<ns::Number> (*numberWithDouble)(double);
    ns::Ref<ns::String> emptyString;
};

// Fills the cache on the first call (a load-time initialiser makes that
// happen before main) and returns it. It reaches the classes through their
// own accessors, so it works whatever order static initialisers run in.
const JKContainerClassCache& JKCacheContainerClasses();
