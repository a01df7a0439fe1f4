#pragma once
// Replies of the account API.

#include "channel/TVBaseResponse.h"

class LoginResult : public TVBaseResponse {
    RT_DECLARE_CLASS(LoginResult)
public:
    static ns::Ref<LoginResult> responseWithDic(const ns::Id& dic);

    ns::Id userName;   // "b": the account name the server confirms
    ns::Id urserPwd;   // "c": its password
    ns::Id sign;       // "d"
    ns::Id sinceTime;  // "e": login time
    ns::Id sid;        // session id
    ns::Id rz;         // "1" sends the player to the real-name check
    ns::Id isCancel;   // "ic"
    ns::Id isck;       // the real-name flag saved at login
    bool isMustRZ = false;  // "frz": the play-time limit may apply
    ns::Id rzStatus;   // "nrz": "2" means the limit applies
    ns::Id lmitTime;   // "lmit": end of allowed play, ms since 1970
};

class RegisterResult : public TVBaseResponse {
    RT_DECLARE_CLASS(RegisterResult)
public:
    static ns::Ref<RegisterResult> responseWithDic(const ns::Id& dic);

    ns::Id userName;  // "b"
    ns::Id userPwd;   // "c"
    ns::Id sign;      // never filled
    ns::Id sinceTime; // never filled
};

class rzResult : public TVBaseResponse {
    RT_DECLARE_CLASS(rzResult)
public:
    static ns::Ref<rzResult> responseWithDic(const ns::Id& dic);

    bool isMustRZ = false;
    ns::Id rzStatus;
    ns::Id lmitTime;
};

class GetNotice : public TVBaseResponse {
    RT_DECLARE_CLASS(GetNotice)
public:
    static ns::Ref<GetNotice> responseWithDic(const ns::Id& dic);

    ns::Id content;                  // data."content"
    ns::Ref<ns::String> status;      // data."status" as "%@" text ("(null)" when missing)
    ns::Id noticeId;                 // data."id"
};

class LoginOut : public TVBaseResponse {
    RT_DECLARE_CLASS(LoginOut)
public:
    static ns::Ref<LoginOut> responseWithDic(const ns::Id& dic);
};
