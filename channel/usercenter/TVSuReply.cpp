#include "channel/usercenter/TVSuReply.h"

#include "channel/TVReplyFields.h"
#include "platform/foundation/Dictionary.h"

namespace TVSuReply {

bool isAccepted(const ns::Id& reply) {
    return TVReply::integerOf(reply, "a") == 1;
}

uint64_t counter(const ns::Id& reply, std::string_view key) {
    int64_t value = TVReply::integerOf(reply, key);
    return value > 0 ? static_cast<uint64_t>(value) : 0;
}

ns::Id dictionaryAt(const ns::Id& reply, std::initializer_list<std::string_view> path) {
    ns::Id at = ns::cast<ns::Dictionary>(reply);
    for (auto key : path) {
        if (!at) return nullptr;
        at = ns::cast<ns::Dictionary>(TVReply::field(at, key));
    }
    return at;
}

ns::Ref<ns::String> textAt(const ns::Id& dictionary, std::string_view key) {
    return TVReply::messageOf(dictionary, key);
}

}  // namespace TVSuReply
