#pragma once
// Walks a JKDictionary's keys in slot order.

#include <cstdint>

#include "net/JKDictionary.h"
#include "platform/foundation/Enumeration.h"

class JKDictionaryEnumerator final : public ns::Enumerator {
    RT_DECLARE_CLASS(JKDictionaryEnumerator)
public:
    JKDictionaryEnumerator() = default;
    // nil for a nil dictionary.
    static ns::Ref<JKDictionaryEnumerator> withJKDictionary(ns::Ref<const JKDictionary> dictionary);

    // The key of the next occupied slot; nil once the table is exhausted.
    ns::Id nextObject() override;

private:
    ns::Ref<const JKDictionary> dictionary_;
    uint64_t nextObject_ = 0;
};
