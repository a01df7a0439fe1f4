#include "channel/usercenter/TVSuRow.h"

#include "channel/TVReplyFields.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"

RT_DEFINE_CLASS(TVSuRow, ns::Object, "TVSuRow")

std::vector<ns::Ref<TVSuRow>> TVSuRow::rowsOf(const ns::Id& lists, const Maker& maker) {
    std::vector<ns::Ref<TVSuRow>> rows;
    auto array = ns::cast<ns::Array>(lists);
    for (uint64_t i = 0; array && i < array->count(); ++i) {
        auto row = maker();
        if (row->fill(array->objectAtIndex(i))) rows.push_back(row);
    }
    return rows;
}

bool TVSuRow::fill(const ns::Id& row) {
    auto dictionary = ns::cast<ns::Dictionary>(row);
    if (!dictionary) return false;
    auto keys = dictionary->allKeys();
    for (uint64_t i = 0; i < keys->count(); ++i) {
        auto key = ns::cast<ns::String>(keys->objectAtIndex(i));
        if (!key) continue;
        if (auto value = TVReply::messageText(dictionary->objectForKey(key->utf8()))) texts_[key->utf8()] = value;
    }
    return true;
}

TVSuRow::Text TVSuRow::text(std::string_view key) const {
    auto found = texts_.find(key);
    return found == texts_.end() ? nullptr : found->second;
}

std::string TVSuRow::format(std::string_view key) const {
    auto value = text(key);
    return value ? value->utf8() : std::string("(null)");
}

bool TVSuRow::isEmpty(std::string_view key) const {
    auto value = text(key);
    return !value || value->length() == 0;
}

double TVSuRow::cachedHeight(std::string_view name, const std::function<double()>& measure) {
    auto found = heights_.find(name);
    if (found != heights_.end() && found->second != 0) return found->second;
    double height = measure();
    heights_[std::string(name)] = height;
    return height;
}
