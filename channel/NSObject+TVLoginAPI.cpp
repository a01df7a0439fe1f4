#include "channel/NSObject+TVLoginAPI.h"

#include "channel/NSMutableDictionary+HTTP.h"
#include "channel/NetWorkManager.h"
#include "channel/ShareVale.h"
#include "channel/TVAPIStrings.h"
#include "channel/TVReplyFields.h"
#include "channel/VRQMessage.h"
#include "channel/VRQNetTool.h"
#include "channel/VRQSdpNetTool.h"
#include "platform/foundation/AdvertisingIdentifierManager.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/UserDefaults.h"

namespace TVLoginAPI {

namespace {

constexpr const char* kCannotConnect = "无法连接服务器";  // login and real-name check
constexpr const char* kCannotLink = "无法链接服务器";     // the other requests

using Request = ns::Ref<ns::MutableDictionary>;
using TVReply::messageOf;

Text IDFA() {
    return ns::str(ns::AdvertisingIdentifierManager::sharedManager().advertisingIdentifier());
}

// A request filled in order; a missing value fills its key with "".
Request request(std::initializer_list<std::pair<const char*, ns::Id>> fields) {
    auto dictionary = ns::MutableDictionary::make();
    for (const auto& [key, value] : fields) HTTPFields::setObjectForField(*dictionary, value, key);
    return dictionary;
}

bool textIs(const ns::Id& reply, const char* key, const char* expected) {
    return TVReply::field(reply, key) && TVReply::textOf(reply, key) == expected;
}

void post(std::size_t endpoint, const Request& parameters, TVCodecTransport::Success success,
          TVCodecTransport::Failure failure) {
    NetWorkManager::sharedInstance()->PostCouponURL(TVAPIStrings::at(endpoint), parameters, std::move(success),
                                                    std::move(failure));
}

// The registration replies share their handling.
void postRegistration(std::size_t endpoint, const Request& parameters,
                      std::function<void(const ns::Ref<RegisterResult>&)> success, MessageFailure failed,
                      bool messageOnly) {
    post(
        endpoint, parameters,
        [success, failed, messageOnly](const ns::Id& reply) {
            if (!textIs(reply, "z", "1")) {
                if (failed) failed(messageOf(reply, "d"));
                return;
            }
            ns::Ref<RegisterResult> result;
            if (messageOnly) {
                result = std::make_shared<RegisterResult>();
                result->mesage = messageOf(reply, "d");
            } else {
                result = RegisterResult::responseWithDic(reply);
            }
            if (success) success(result);
        },
        [failed](const ns::Ref<ns::Error>&) {
            if (failed) failed(ns::str(kCannotLink));
        });
}

}  // namespace

void LonginWithUsername(const Text& userName, const Text& passWorld,
                        std::function<void(const ns::Ref<LoginResult>&)> success, CodedFailure failed) {
    auto vale = ShareVale::sharedInstance();
    auto parameters = request({{"z", userName}, {"b", passWorld}, {"c", vale->phoneType()}, {"d", vale->gameID()},
                               {"e", IDFA()}, {"f", vale->chanelid()}, {"x", vale->appID()}});
    auto cannotConnect = [failed] {
        if (failed) failed(ns::str(kCannotConnect), ns::str("501"));
        VRQMessage::showMessage(kCannotConnect);
    };
    post(
        TVAPIStrings::Login, parameters,
        [success, failed, cannotConnect](const ns::Id& reply) {
            if (!ns::cast<ns::Dictionary>(reply)) return cannotConnect();
            if (!textIs(reply, "z", "1")) {
                if (failed) failed(messageOf(reply, "x"), messageOf(reply, "z"));
                return;
            }
            auto result = LoginResult::responseWithDic(reply);
            userLoginInfoWriteToLocal(result);
            if (success) success(result);
        },
        [cannotConnect](const ns::Ref<ns::Error>&) { cannotConnect(); });
}

void userLoginInfoWriteToLocal(const ns::Ref<LoginResult>& result) {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    if (!defaults->arrayForKey("TV_accounts")) defaults->setObjectForKey(ns::Array::make({}), "TV_accounts");
    auto accounts = ns::MutableArray::make();
    accounts->addObjectsFromArray(*defaults->arrayForKey("TV_accounts"));

    // A missing name or password is saved as "", so the pair stays a pair.
    auto userName = TVReply::messageText(result->userName);
    auto password = TVReply::messageText(result->urserPwd);
    ns::Id name = userName ? userName : ns::str("");
    ns::Id pair = ns::Array::make({name, password ? ns::Id(password) : ns::Id(ns::str(""))});
    for (uint64_t i = 0; i < accounts->count(); ++i) {
        auto saved = ns::cast<ns::Array>(accounts->objectAtIndex(i));
        if (saved && saved->count() > 0 && saved->objectAtIndex(0)->isEqual(name)) {
            accounts->removeObjectAtIndex(i);
            break;
        }
    }
    accounts->addObject(pair);
    defaults->setObjectForKey(accounts->copy(), "TV_accounts");
    defaults->synchronize();
}

void registerNewWithUsername(const Text& userName, const Text& passWorld,
                             std::function<void(const ns::Ref<RegisterResult>&)> success, MessageFailure failed) {
    auto vale = ShareVale::sharedInstance();
    auto parameters =
        request({{"z", userName}, {"b", passWorld}, {"c", vale->phoneType()}, {"d", vale->gameID()}, {"e", IDFA()},
                 {"f", vale->chanelid()}, {"x", vale->appID()}, {"h", vale->version()}});
    postRegistration(TVAPIStrings::Register, parameters, std::move(success), std::move(failed), false);
}

void getAuthCodeWithPhoneNumber(const Text& phoneNumber, std::function<void(const ns::Ref<RegisterResult>&)> success,
                                MessageFailure failed) {
    auto parameters =
        request({{"z", ShareVale::sharedInstance()->appID()}, {"b", phoneNumber}, {"c", ns::num(4)}});
    postRegistration(TVAPIStrings::SMSCode, parameters, std::move(success), std::move(failed), true);
}

void registerNewWithPhoneNumber(const Text& phoneNumber, const Text& authCode, const Text& passWorld,
                                std::function<void(const ns::Ref<RegisterResult>&)> success, MessageFailure failed) {
    auto vale = ShareVale::sharedInstance();
    auto parameters = request({{"z", phoneNumber}, {"i", authCode}, {"b", passWorld}, {"c", vale->phoneType()},
                               {"d", vale->gameID()}, {"e", IDFA()}, {"f", vale->chanelid()}, {"x", vale->appID()},
                               {"h", vale->version()}});
    postRegistration(TVAPIStrings::PhoneRegister, parameters, std::move(success), std::move(failed), false);
}

void postRealNameToServerWithRealName(const Text& realName, const Text& userNumber,
                                      std::function<void(const ns::Ref<rzResult>&)> success, MessageFailure failed) {
    auto parameters =
        request({{"r", realName}, {"i", ShareVale::sharedInstance()->userName()}, {"id", userNumber}});
    auto cannotConnect = [failed] {
        if (failed) failed(ns::str(kCannotConnect));
        VRQMessage::showMessage(kCannotConnect);
    };
    post(
        TVAPIStrings::IDCheck, parameters,
        [success, failed, cannotConnect](const ns::Id& reply) {
            if (!ns::cast<ns::Dictionary>(reply)) return cannotConnect();
            if (!textIs(reply, "z", "1")) {
                if (failed) failed(messageOf(reply, "b"));
                return;
            }
            if (success) success(rzResult::responseWithDic(reply));
        },
        [cannotConnect](const ns::Ref<ns::Error>&) { cannotConnect(); });
}

void GetNoticeWithSuccess(std::function<void(const ns::Ref<GetNotice>&)> success, CodedFailure failed) {
    auto vale = ShareVale::sharedInstance();
    auto parameters = request({{"z", vale->userName()}, {"b", vale->chanelid()}, {"c", vale->gameID()}});
    VRQSdpNetTool::sharedTool()->PostWithURLString(
        TVAPIStrings::at(TVAPIStrings::Notice), parameters,
        [success, failed](const ns::Id& reply) {
            if (!reply) {
                if (failed) failed(ns::str("获取失败"), nullptr);
            } else if (textIs(reply, "code", "1")) {
                if (success) success(GetNotice::responseWithDic(reply));
            } else if (failed) {
                failed(ns::str("获取失败"), messageOf(reply, "code"));
            }
        },
        [failed](const ns::Ref<ns::Error>&) {
            if (failed) failed(ns::str(kCannotLink), ns::str("501"));
        });
}

void LonginOutSendToService() {
    auto vale = ShareVale::sharedInstance();
    auto parameters = request({{"z", vale->userName()}, {"b", vale->phoneType()}, {"c", vale->gameID()},
                               {"e", vale->chanelid()}, {"f", vale->appID()}, {"h", vale->version()},
                               {"d", IDFA()}});
    post(
        TVAPIStrings::Logout, parameters,
        [](const ns::Id&) {
            ShareVale::sharedInstance()->setUserName(ns::str(""));
            VRQMessage::showMessage("退出成功");
        },
        [](const ns::Ref<ns::Error>&) {});
}

void SetRoleInfoWithInfosuccess(std::function<void()> success, MessageFailure failed) {
    auto vale = ShareVale::sharedInstance();
    auto role = ns::UserDefaults::standardUserDefaults()->dictionaryForKey("roleInfo");
    auto roleField = [&role](const char* key) { return role ? role->objectForKey(key) : nullptr; };
    auto parameters = request({{"z", vale->userName()}, {"b", vale->gameID()}, {"c", roleField("roleId")},
                               {"d", roleField("roleName")}, {"e", roleField("roleLevel")}, {"f", roleField("zoneId")},
                               {"x", roleField("zoneName")}, {"h", roleField("ext")}, {"i", vale->appID()},
                               {"xh", vale->subUserName()}});
    post(
        TVAPIStrings::SetRole, parameters,
        [success, failed](const ns::Id& reply) {
            if (TVReply::integerOf(reply, "code") == 1) {
                if (success) success();
            } else if (failed) {
                failed(ns::str("信息错误"));
            }
        },
        [failed](const ns::Ref<ns::Error>&) {
            if (failed) failed(ns::str(kCannotLink));
        });
}

void getSubNameListWithUserName(const Text& userName,
                                std::function<void(const std::vector<ns::Ref<VRQSubNameModel>>&)> success,
                                std::function<void()>) {
    auto vale = ShareVale::sharedInstance();
    auto parameters =
        request({{"z", userName}, {"c", vale->gameID()}, {"e", vale->chanelid()}, {"f", vale->appID()}});
    VRQNetTool::sharedInstance()->POST(
        TVAPIStrings::endpoint(TVAPIStrings::at(TVAPIStrings::SubAccounts)), parameters,
        [success](const ns::Id& reply) {
            if (!textIs(reply, "code", "1")) return;
            if (success) success(VRQSubNameModel::listOf(TVReply::field(reply, "data")));
        },
        [](const ns::Ref<ns::Error>&) {});
}

void doUploadUserOlineTime() {
    auto vale = ShareVale::sharedInstance();
    auto parameters = ns::MutableDictionary::make();
    if (auto userName = vale->userName()) parameters->setObjectForKey(userName, "n");
    if (auto gameID = vale->gameID()) parameters->setObjectForKey(gameID, "g");
    post(TVAPIStrings::PlayTime, parameters, [](const ns::Id&) {}, [](const ns::Ref<ns::Error>&) {});
}

}  // namespace TVLoginAPI
