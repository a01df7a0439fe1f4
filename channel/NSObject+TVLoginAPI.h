#pragma once
// The account API: each operation fills a request of short keys (every key
// present, empty when its value is missing), posts it to its endpoint, turns
// the reply into a model and calls exactly one of the caller's closures, on
// the main thread. Messages are the server's (nil when it sent none) or the
// fixed texts for an unreachable server. A reply that does not decode (or
// is no dictionary) counts as a refusal, except for the login and the
// real-name check, which the player waits on: there it ends as an
// unreachable server does, with its text and toast. No request, reply or password is written to the log.

#include <functional>
#include <vector>

#include "channel/TVAccountResults.h"
#include "channel/VRQSubNameModel.h"
#include "platform/foundation/String.h"

namespace TVLoginAPI {

using Text = ns::Ref<ns::String>;
using MessageFailure = std::function<void(const Text& message)>;
using CodedFailure = std::function<void(const Text& message, const Text& code)>;

// "login/dologin". On success the account is saved (userLoginInfoWriteToLocal).
// Unreachable, or a reply that does not decode: failed("无法连接服务器", "501")
// and that toast.
void LonginWithUsername(const Text& userName, const Text& passWorld,
                        std::function<void(const ns::Ref<LoginResult>&)> success, CodedFailure failed);
// Moves the reply's account to the end of "TV_accounts" ([name, password]
// pairs, oldest first).
void userLoginInfoWriteToLocal(const ns::Ref<LoginResult>& result);

void registerNewWithUsername(const Text& userName, const Text& passWorld,
                             std::function<void(const ns::Ref<RegisterResult>&)> success, MessageFailure failed);
void getAuthCodeWithPhoneNumber(const Text& phoneNumber, std::function<void(const ns::Ref<RegisterResult>&)> success,
                                MessageFailure failed);
void registerNewWithPhoneNumber(const Text& phoneNumber, const Text& authCode, const Text& passWorld,
                                std::function<void(const ns::Ref<RegisterResult>&)> success, MessageFailure failed);
// Unreachable, or a reply that does not decode: failed("无法连接服务器") and
// that toast.
void postRealNameToServerWithRealName(const Text& realName, const Text& userNumber,
                                      std::function<void(const ns::Ref<rzResult>&)> success, MessageFailure failed);
void GetNoticeWithSuccess(std::function<void(const ns::Ref<GetNotice>&)> success, CodedFailure failed);
// Clears the saved user name and shows "退出成功" once the server has the
// request, whatever it answers.
void LonginOutSendToService();
// The role saved under "roleInfo" in the user defaults.
void SetRoleInfoWithInfosuccess(std::function<void()> success, MessageFailure failed);
// Calls success only, and only for a reply with "code" "1".
void getSubNameListWithUserName(const Text& userName,
                                std::function<void(const std::vector<ns::Ref<VRQSubNameModel>>&)> success,
                                std::function<void()> failed);
// Reports play time; the reply is ignored.
void doUploadUserOlineTime();

}  // namespace TVLoginAPI
