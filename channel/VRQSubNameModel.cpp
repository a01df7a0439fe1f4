#include "channel/VRQSubNameModel.h"

#include "channel/TVReplyFields.h"

RT_DEFINE_CLASS(VRQSubNameModel, ns::Object, "VRQSubNameModel")

ns::Ref<VRQSubNameModel> VRQSubNameModel::initWithDictionary(const ns::Id& dictionary) {
    auto model = std::make_shared<VRQSubNameModel>();
    model->nickname = TVReply::messageOf(dictionary, "nickname");
    model->username = TVReply::messageOf(dictionary, "username");
    model->login_time = TVReply::messageOf(dictionary, "login_time");
    model->setSign(TVReply::field(dictionary, "sign"));
    return model;
}

void VRQSubNameModel::setSign(const ns::Id& received) {
    auto text = TVReply::messageText(received);
    if (!text || text->length() == 0) {
        sign_ = ns::str("");
        return;
    }
    sign_ = text->substringFromIndex(1);
}
