#include "platform/foundation/Transliteration.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include <unicode/translit.h>
#include <unicode/unistr.h>

namespace ns {

namespace {

struct Cached {
    std::unique_ptr<icu::Transliterator> transliterator;  // null: the identifier is not valid
    std::mutex lock;  // one text at a time per instance
};

// Building a transliterator parses its rules (Any-Latin takes milliseconds),
// so each identifier and direction is built once and kept.
Cached* transliteratorFor(std::string_view transform, bool reverse) {
    static std::mutex lock;
    static std::map<std::pair<std::string, bool>, std::unique_ptr<Cached>> cache;
    std::lock_guard<std::mutex> hold(lock);
    auto key = std::make_pair(std::string(transform), reverse);
    auto it = cache.find(key);
    if (it == cache.end()) {
        auto entry = std::make_unique<Cached>();
        UErrorCode status = U_ZERO_ERROR;
        icu::UnicodeString id = icu::UnicodeString::fromUTF8(icu::StringPiece(transform.data(), int32_t(transform.size())));
        entry->transliterator.reset(
            icu::Transliterator::createInstance(id, reverse ? UTRANS_REVERSE : UTRANS_FORWARD, status));
        if (U_FAILURE(status)) entry->transliterator.reset();
        it = cache.emplace(std::move(key), std::move(entry)).first;
    }
    return it->second.get();
}

}  // namespace

Ref<String> stringByApplyingTransform(const String& text, std::string_view transform, bool reverse) {
    Cached* cached = transliteratorFor(transform, reverse);
    if (!cached->transliterator) return nullptr;
    std::u16string units = text.utf16();
    icu::UnicodeString buffer(units.data(), int32_t(units.size()));
    {
        std::lock_guard<std::mutex> hold(cached->lock);
        cached->transliterator->transliterate(buffer);
    }
    return String::withCharacters(std::u16string_view(buffer.getBuffer(), size_t(buffer.length())));
}

bool applyTransform(MutableString& text, std::string_view transform, bool reverse) {
    Ref<String> result = stringByApplyingTransform(text, transform, reverse);
    if (!result) return false;
    text.setString(result->utf8());
    return true;
}

}  // namespace ns
