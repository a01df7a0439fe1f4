#include "channel/TVAccountResults.h"

#include "channel/TVReplyFields.h"

using TVReply::field;

RT_DEFINE_CLASS(LoginResult, TVBaseResponse, "LoginResult")
RT_DEFINE_CLASS(RegisterResult, TVBaseResponse, "RegisterResult")
RT_DEFINE_CLASS(rzResult, TVBaseResponse, "rzResult")
RT_DEFINE_CLASS(GetNotice, TVBaseResponse, "GetNotice")
RT_DEFINE_CLASS(LoginOut, TVBaseResponse, "LoginOut")

ns::Ref<LoginResult> LoginResult::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<LoginResult>();
    result->code = field(dic, "z");
    result->userName = field(dic, "b");
    result->urserPwd = field(dic, "c");
    result->sign = field(dic, "d");
    result->sinceTime = field(dic, "e");
    result->mesage = field(dic, "x");
    result->sid = field(dic, "sid");
    result->rz = field(dic, "rz");
    result->isCancel = field(dic, "ic");
    result->isck = field(dic, "isck");
    result->isMustRZ = TVReply::boolOf(dic, "frz");
    result->rzStatus = field(dic, "nrz");
    result->lmitTime = field(dic, "lmit");
    return result;
}

ns::Ref<RegisterResult> RegisterResult::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<RegisterResult>();
    result->code = field(dic, "z");
    result->userName = field(dic, "b");
    result->userPwd = field(dic, "c");
    result->mesage = field(dic, "d");
    return result;
}

ns::Ref<rzResult> rzResult::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<rzResult>();
    result->code = field(dic, "z");
    result->mesage = field(dic, "b");
    result->isMustRZ = TVReply::boolOf(dic, "frz");
    result->rzStatus = field(dic, "nrz");
    result->lmitTime = field(dic, "lmit");
    return result;
}

ns::Ref<GetNotice> GetNotice::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<GetNotice>();
    ns::Id data = field(dic, "data");
    result->code = field(dic, "code");
    result->content = field(data, "content");
    result->status = ns::str(TVReply::textOf(data, "status"));
    result->mesage = field(dic, "msg");
    result->noticeId = field(data, "id");
    return result;
}

ns::Ref<LoginOut> LoginOut::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<LoginOut>();
    result->code = field(dic, "z");
    result->mesage = field(dic, "b");
    return result;
}
