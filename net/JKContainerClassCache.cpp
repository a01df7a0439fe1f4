#include "net/JKContainerClassCache.h"

#include "net/JKArray.h"
#include "net/JKDictionary.h"

const JKContainerClassCache& JKCacheContainerClasses() {
    static const JKContainerClassCache cache = [] {
        JKContainerClassCache c{};
        c.arrayClass = JKArray::staticClass();
        c.dictionaryClass = JKDictionary::staticClass();
        c.numberClass = ns::Number::staticClass();
        c.numberWithLongLong = &ns::Number::withLongLong;
        c.numberWithUnsignedLongLong = &ns::Number::withUnsignedLongLong;
        c.numberWithDouble = &ns::Number::withDouble;
        c.emptyString = ns::String::make("");
        return c;
    }();
    return cache;
}

namespace {
[[maybe_unused]] const JKContainerClassCache& startUpCache = JKCacheContainerClasses();
}
