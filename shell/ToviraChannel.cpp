#include "shell/ToviraChannel.h"

#include "channel/login/ToviraSDK.h"

void ToviraChannel::installUnlessPresent() {
    if (!KVTRChannelSDK::shared()) KVTRChannelSDK::setShared(std::make_shared<ToviraChannel>());
}

void ToviraChannel::didFinishLaunching() { ToviraSDK::didFinishLaunching(); }

void ToviraChannel::loadLoginViewResultSuccess(LoginSuccess success, LoginFailure failed) {
    ToviraSDK::loadLoginViewResultSuccess(std::move(success), std::move(failed));
}

void ToviraChannel::loadToPayVCWithroleid(const Text& roleid, const Text& money, const Text& serverid,
                                          const Text& productName, const Text& productDesc, const Text& attach,
                                          PaySuccess success, PayFailure faild) {
    ToviraSDK::loadToPayVCWithroleid(roleid, money, serverid, productName, productDesc, attach, std::move(success),
                                     std::move(faild));
}

void ToviraChannel::LoginOut() { ToviraSDK::LoginOut(); }

void ToviraChannel::SetUserInfoDataWithRoleId(const Text& roleId, const Text& roleName, const Text& roleLevel,
                                              const Text& zoneId, const Text& zoneName, const Text& attach,
                                              RoleResult block) {
    ToviraSDK::SetUserInfoDataWithRoleId(roleId, roleName, roleLevel, zoneId, zoneName, attach, std::move(block));
}

void ToviraChannel::applicationHandleOpenURL(ui::Application&, const ns::Ref<ns::URL>& url) {
    ToviraSDK::applicationHandleOpenURL(url);
}

void ToviraChannel::applicationOpenURLSourceApplicationAnnotation(ui::Application&, const ns::Ref<ns::URL>& url,
                                                                  const Text&, const ns::Id&) {
    ToviraSDK::applicationOpenURLSourceApplicationAnnotation(url);
}

void ToviraChannel::applicationOpenURLOptions(ui::Application&, const ns::Ref<ns::URL>& url,
                                              const ns::Ref<ns::Dictionary>&) {
    ToviraSDK::applicationOpenURLOptions(url);
}

uint64_t ToviraChannel::applicationSupportedInterfaceOrientationsForWindow(ui::Application&,
                                                                           const ns::Ref<ui::Window>&) {
    return ToviraSDK::applicationSupportedInterfaceOrientationsForWindow();
}
