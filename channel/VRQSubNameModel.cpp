#include "channel/VRQSubNameModel.h"

#include "channel/TVReplyFields.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"

RT_DEFINE_CLASS(VRQSubNameModel, ns::Object, "VRQSubNameModel")

ns::Ref<VRQSubNameModel> VRQSubNameModel::initWithDictionary(const ns::Id& dictionary) {
    if (!ns::cast<ns::Dictionary>(dictionary)) return nullptr;
    auto model = std::make_shared<VRQSubNameModel>();
    model->nickname = TVReply::messageOf(dictionary, "nickname");
    model->username = TVReply::messageOf(dictionary, "username");
    model->login_time = TVReply::messageOf(dictionary, "login_time");
    model->setSign(TVReply::field(dictionary, "sign"));
    return model;
}

std::vector<ns::Ref<VRQSubNameModel>> VRQSubNameModel::listOf(const ns::Id& data) {
    std::vector<ns::Ref<VRQSubNameModel>> list;
    auto array = ns::cast<ns::Array>(data);
    for (uint64_t i = 0; array && i < array->count(); ++i) {
        auto model = initWithDictionary(array->objectAtIndex(i));
        // The user name is what the game is told on a choice; a row without
        // one would log the player in as nobody.
        if (model && model->username && model->username->length() > 0) list.push_back(model);
    }
    return list;
}

void VRQSubNameModel::setSign(const ns::Id& received) {
    auto text = TVReply::messageText(received);
    if (!text || text->length() == 0) {
        sign_ = ns::str("");
        return;
    }
    sign_ = text->substringFromIndex(1);
}
