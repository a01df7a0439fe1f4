#pragma once
// A row of a user-centre list: the texts of one row dictionary of a reply,
// kept under the keys as sent (no renaming; the gift pack's upper-case "ID"
// included). Numbers are kept as their text; a missing key, null or any
// other value reads as nil. Page models derive from it and name their
// fields; rows whose height depends on their text keep it once measured.

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class TVSuRow : public ns::Object {
    RT_DECLARE_CLASS(TVSuRow)
public:
    using Text = ns::Ref<ns::String>;
    using Maker = std::function<ns::Ref<TVSuRow>()>;

    // The row of a dictionary of `T`; nil for anything but a dictionary.
    template <class T>
    static ns::Ref<T> withDictionary(const ns::Id& row) {
        auto made = std::make_shared<T>();
        return made->fill(row) ? made : nullptr;
    }
    // The rows of a "lists" value; nothing when it is not an array. Elements
    // that are not dictionaries are skipped.
    static std::vector<ns::Ref<TVSuRow>> rowsOf(const ns::Id& lists, const Maker& maker);
    template <class T>
    static std::vector<ns::Ref<TVSuRow>> rowsOf(const ns::Id& lists) {
        return rowsOf(lists, [] { return std::make_shared<T>(); });
    }

    // The text under `key`, or nil.
    Text text(std::string_view key) const;
    // The "%@" text of the field: "(null)" when missing.
    std::string format(std::string_view key) const;
    // True for a missing or empty text.
    bool isEmpty(std::string_view key) const;

    // A cached height: `measure` runs once, while the stored value is 0.
    double cachedHeight(std::string_view name, const std::function<double()>& measure);

    bool fill(const ns::Id& row);

private:
    std::map<std::string, Text, std::less<>> texts_;
    std::map<std::string, double, std::less<>> heights_;
};
