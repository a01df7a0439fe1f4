#pragma once
// The channel SDK in the app: the aggregation adapter's seam filled with
// ToviraSDK's class calls. The app installs it at launch unless something
// (a test's fake) is installed already.

#include "aggregation/core/KVTRChannelSDK.h"

class ToviraChannel : public KVTRChannelSDK {
public:
    // Installs a ToviraChannel when the seam is empty.
    static void installUnlessPresent();

    void didFinishLaunching() override;
    void loadLoginViewResultSuccess(LoginSuccess success, LoginFailure failed) override;
    void loadToPayVCWithroleid(const Text& roleid, const Text& money, const Text& serverid, const Text& productName,
                               const Text& productDesc, const Text& attach, PaySuccess success,
                               PayFailure faild) override;
    void LoginOut() override;
    void SetUserInfoDataWithRoleId(const Text& roleId, const Text& roleName, const Text& roleLevel, const Text& zoneId,
                                   const Text& zoneName, const Text& attach, RoleResult block) override;
    void applicationHandleOpenURL(ui::Application& app, const ns::Ref<ns::URL>& url) override;
    void applicationOpenURLSourceApplicationAnnotation(ui::Application& app, const ns::Ref<ns::URL>& url,
                                                       const Text& sourceApplication,
                                                       const ns::Id& annotation) override;
    void applicationOpenURLOptions(ui::Application& app, const ns::Ref<ns::URL>& url,
                                   const ns::Ref<ns::Dictionary>& options) override;
    uint64_t applicationSupportedInterfaceOrientationsForWindow(ui::Application& app,
                                                                const ns::Ref<ui::Window>& window) override;
};
