#include "net/JKDictionaryEnumerator.h"

RT_DEFINE_CLASS(JKDictionaryEnumerator, ns::Enumerator, "JKDictionaryEnumerator")

ns::Ref<JKDictionaryEnumerator> JKDictionaryEnumerator::withJKDictionary(ns::Ref<const JKDictionary> dictionary) {
    if (!dictionary) return nullptr;
    auto enumerator = std::make_shared<JKDictionaryEnumerator>();
    enumerator->dictionary_ = std::move(dictionary);
    return enumerator;
}

ns::Id JKDictionaryEnumerator::nextObject() {
    if (!dictionary_ || !dictionary_->entry_) return nullptr;
    // The capacity is read each time: a mutable dictionary may have grown.
    while (nextObject_ < dictionary_->capacity_) {
        const JKHashTableEntry& slot = dictionary_->entry_[nextObject_++];
        if (slot.key) return slot.key;
    }
    return nullptr;
}
