#pragma once
// A channel SDK for tests: records every call and keeps the closures, so a
// login, a role report or a payment ends only when the test answers as the
// channel would (or at once, for role reports, when asked to).

#include <string>
#include <vector>

#include "aggregation/core/KVTRChannelSDK.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Window.h"

namespace channeltest {

class FakeChannel : public KVTRChannelSDK {
public:
    void didFinishLaunching() override { calls.push_back("didFinishLaunching"); }
    void loadLoginViewResultSuccess(LoginSuccess success, LoginFailure failed) override {
        calls.push_back("login");
        loginSuccess = std::move(success);
        loginFailure = std::move(failed);
    }
    void loadToPayVCWithroleid(const Text& roleid, const Text& money, const Text& serverid, const Text& productName,
                               const Text& productDesc, const Text& attach, PaySuccess success,
                               PayFailure faild) override {
        calls.push_back("pay");
        payArguments = {ns::textOf(roleid),      ns::textOf(money),       ns::textOf(serverid),
                        ns::textOf(productName), ns::textOf(productDesc), ns::textOf(attach)};
        paySuccess = std::move(success);
        payFailure = std::move(faild);
    }
    void LoginOut() override { calls.push_back("LoginOut"); }
    void SetUserInfoDataWithRoleId(const Text& roleId, const Text& roleName, const Text& roleLevel,
                                   const Text& zoneId, const Text& zoneName, const Text& attach,
                                   RoleResult block) override {
        calls.push_back("role");
        roleArguments = {ns::textOf(roleId), ns::textOf(roleName), ns::textOf(roleLevel),
                         ns::textOf(zoneId), ns::textOf(zoneName), ns::textOf(attach)};
        roleResult = std::move(block);
        if (answerRoleAtOnce && roleResult) roleResult(1);
    }
    void applicationHandleOpenURL(ui::Application&, const ns::Ref<ns::URL>&) override {
        calls.push_back("handleOpenURL");
    }
    void applicationOpenURLSourceApplicationAnnotation(ui::Application&, const ns::Ref<ns::URL>&, const Text&,
                                                       const ns::Id&) override {
        calls.push_back("openURLSourceApplication");
    }
    void applicationOpenURLOptions(ui::Application&, const ns::Ref<ns::URL>&, const ns::Ref<ns::Dictionary>&) override {
        calls.push_back("openURLOptions");
    }
    uint64_t applicationSupportedInterfaceOrientationsForWindow(ui::Application&,
                                                                const ns::Ref<ui::Window>&) override {
        calls.push_back("orientations");
        return orientationMask;
    }

    int count(const std::string& call) const {
        int n = 0;
        for (const auto& c : calls) n += c == call;
        return n;
    }

    std::vector<std::string> calls;
    LoginSuccess loginSuccess;
    LoginFailure loginFailure;
    PaySuccess paySuccess;
    PayFailure payFailure;
    RoleResult roleResult;
    std::vector<std::string> payArguments;
    std::vector<std::string> roleArguments;
    uint64_t orientationMask = 2;
    bool answerRoleAtOnce = false;
};

}  // namespace channeltest
