#include "platform/foundation/HTTPHeaderFields.h"

#include <cctype>
#include <ctime>
#include <cstdint>
#include <exception>
#include <random>

#include "platform/foundation/Text.h"

namespace ns {

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

thread_local uint64_t nameComparisons = 0;

uint64_t processSeed() {
    try {
        std::random_device device;
        return (uint64_t(device()) << 32) | device();
    } catch (const std::exception&) {
        // No entropy source: where this process's code and stack lie.
        int local = 0;
        return uint64_t(reinterpret_cast<uintptr_t>(&processSeed)) ^ (uint64_t(reinterpret_cast<uintptr_t>(&local)) << 16);
    }
}

// FNV-1a over the lower-cased name from a seed of the process's own, mixed.
uint32_t hashOf(std::string_view name) {
    static const uint64_t seed = processSeed();
    uint64_t h = seed ^ 0xcbf29ce484222325ULL;
    for (char c : name) h = (h ^ uint8_t(lower(c))) * 0x100000001b3ULL;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 32;
    return uint32_t(h);
}

}  // namespace

template <class NameAt>
size_t HTTPHeaderFields::Index::find(std::string_view name, const NameAt& nameAt) const {
    if (slots_.empty()) return npos;
    const uint32_t hash = hashOf(name);
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.place == 0) return npos;
        if (slot.hash == hash && namesEqual(nameAt(slot.place - 1), name)) return slot.place - 1;
    }
}

void HTTPHeaderFields::Index::place(Slot slot) {
    const size_t mask = slots_.size() - 1;
    size_t i = slot.hash & mask;
    while (slots_[i].place != 0) i = (i + 1) & mask;
    slots_[i] = slot;
}

void HTTPHeaderFields::Index::reserve(size_t count) {
    size_t size = 8;
    while (size < 2 * count) size *= 2;
    if (size <= slots_.size()) return;
    std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(size));
    for (const Slot& slot : old) {
        if (slot.place != 0) place(slot);
    }
}

void HTTPHeaderFields::Index::insert(std::string_view name, size_t at) {
    reserve(count_ + 1);
    place(Slot{uint32_t(at + 1), hashOf(name)});
    ++count_;
}

void HTTPHeaderFields::Index::clear() {
    slots_.clear();
    count_ = 0;
}

namespace {

// Header dictionaries answer "content-type" for "Content-Type", as the
// platform's do, through the fields' index.
class HeaderDictionary final : public Dictionary {
    RT_DECLARE_CLASS(HeaderDictionary)
public:
    HeaderDictionary() = default;
    HeaderDictionary(const std::vector<HTTPHeaderFields::Field>& fields, HTTPHeaderFields::Index index)
        : index_(std::move(index)) {
        keys_.reserve(fields.size());
        values_.reserve(fields.size());
        for (const auto& [name, value] : fields) {
            keys_.push_back(String::make(name));
            values_.push_back(String::make(value));
        }
    }

    uint64_t count() const override { return keys_.size(); }

    Id objectForKey(const Object* key) const override {
        auto text = dynamic_cast<const String*>(key);
        if (!text) return nullptr;
        const size_t at = index_.find(text->utf8(), [this](size_t place) -> const std::string& {
            return static_cast<const String&>(*keys_[place]).utf8();
        });
        return at == HTTPHeaderFields::Index::npos ? nullptr : values_[at];
    }

    uint64_t countByEnumerating(FastEnumerationState& state, Id*, uint64_t) const override {
        static const uint64_t noMutations = 0;
        state.mutationsPtr = &noMutations;
        if (state.state != 0) return 0;
        state.state = 1;
        state.itemsPtr = keys_.data();
        return keys_.size();
    }

    Id copy() const override { return self(); }

private:
    std::vector<Id> keys_;
    std::vector<Id> values_;
    HTTPHeaderFields::Index index_;
};

}  // namespace

RT_DEFINE_CLASS(HeaderDictionary, Dictionary, "__NSCFHTTPHeaderDictionary")

bool HTTPHeaderFields::namesEqual(std::string_view a, std::string_view b) {
    ++nameComparisons;
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

uint64_t HTTPHeaderFields::nameComparisonsForTesting() { return nameComparisons; }

size_t HTTPHeaderFields::find(std::string_view name) const {
    return index_.find(name, [this](size_t place) -> const std::string& { return fields_[place].first; });
}

void HTTPHeaderFields::reserve(size_t count) {
    fields_.reserve(count);
    index_.reserve(count);
}

HTTPHeaderFields HTTPHeaderFields::fromDictionary(const Dictionary* dictionary) {
    HTTPHeaderFields out;
    if (!dictionary) return out;
    out.reserve(dictionary->count());
    dictionary->enumerateKeysAndObjectsUsingBlock([&](const Id& key, const Id& value, bool&) {
        out.set(textOf(key), textOf(value));
    });
    return out;
}

const std::string* HTTPHeaderFields::value(std::string_view name) const {
    const size_t at = find(name);
    return at == Index::npos ? nullptr : &fields_[at].second;
}

void HTTPHeaderFields::set(std::string_view name, std::string value) {
    if (const size_t at = find(name); at != Index::npos) {
        fields_[at].second = std::move(value);
        return;
    }
    index_.reserve(fields_.size() + 1);
    fields_.emplace_back(std::string(name), std::move(value));
    index_.insert(name, fields_.size() - 1);
}

void HTTPHeaderFields::add(std::string_view name, std::string_view value) {
    if (const size_t at = find(name); at != Index::npos) {
        std::string& joined = fields_[at].second;
        joined += ", ";
        joined += value;
        return;
    }
    // Room first: the field and its place are added together or not at all.
    index_.reserve(fields_.size() + 1);
    fields_.emplace_back(std::string(name), std::string(value));
    index_.insert(name, fields_.size() - 1);
}

void HTTPHeaderFields::remove(std::string_view name) {
    const size_t at = find(name);
    if (at == Index::npos) return;
    fields_.erase(fields_.begin() + ptrdiff_t(at));
    // The fields after it moved: every place is found again.
    index_.clear();
    index_.reserve(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i) index_.insert(fields_[i].first, i);
}

Ref<Dictionary> HTTPHeaderFields::dictionary() const { return std::make_shared<HeaderDictionary>(fields_, index_); }

namespace {

bool isDelimiter(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u == 0x09 || (u >= 0x20 && u <= 0x2F) || (u >= 0x3B && u <= 0x40) || (u >= 0x5B && u <= 0x60) ||
           (u >= 0x7B && u <= 0x7E);
}

// Leading digits of `token` (between `min` and `max` of them), or -1.
int leadingNumber(std::string_view token, size_t min, size_t max) {
    size_t n = 0;
    while (n < token.size() && std::isdigit(static_cast<unsigned char>(token[n]))) ++n;
    if (n < min || n > max) return -1;
    int value = 0;
    for (size_t i = 0; i < n; ++i) value = value * 10 + (token[i] - '0');
    return value;
}

}  // namespace

// The cookie date algorithm: tokens between delimiters, each taken as the
// first of time, day of month, month and year that it fits.
std::optional<double> parseHTTPDate(std::string_view text) {
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    int hour = -1, minute = -1, second = -1, day = -1, month = -1, year = -1;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isDelimiter(text[i])) ++i;
        size_t start = i;
        while (i < text.size() && !isDelimiter(text[i])) ++i;
        std::string_view token = text.substr(start, i - start);
        if (token.empty()) continue;
        if (hour < 0) {
            int h = 0, m = 0, s = 0;
            char rest = 0;
            std::string t(token);
            if (std::sscanf(t.c_str(), "%2d:%2d:%2d%c", &h, &m, &s, &rest) >= 3) {
                hour = h, minute = m, second = s;
                continue;
            }
        }
        if (day < 0) {
            int d = leadingNumber(token, 1, 2);
            if (d >= 0) {
                day = d;
                continue;
            }
        }
        if (month < 0 && token.size() >= 3) {
            std::string prefix;
            for (size_t k = 0; k < 3; ++k) prefix += char(std::tolower(static_cast<unsigned char>(token[k])));
            for (int k = 0; k < 12; ++k) {
                if (prefix == months[k]) month = k;
            }
            if (month >= 0) continue;
        }
        if (year < 0) {
            int y = leadingNumber(token, 2, 4);
            if (y >= 0) {
                year = y;
                continue;
            }
        }
    }
    if (year >= 70 && year <= 99) year += 1900;
    if (year >= 0 && year <= 69) year += 2000;
    if (hour < 0 || day < 1 || day > 31 || month < 0 || year < 1601 || hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return double(timegm(&tm));
}

}  // namespace ns
