#pragma once
// The channel SDK as the channel adapter sees it: the class-method calls the
// adapter makes, behind one installable object. Until a channel SDK is built
// into the app nothing is installed and the adapter says so in the log.

#include <cstdint>
#include <functional>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"

namespace ns {
class URL;
}
namespace ui {
class Application;
class Window;
}  // namespace ui

class KVTRChannelSDK {
public:
    using Text = ns::Ref<ns::String>;
    // (logintime, userName, sign, rzStatus)
    using LoginSuccess = std::function<void(const Text&, const Text&, const Text&, const Text&)>;
    // (code, message)
    using LoginFailure = std::function<void(int64_t, const Text&)>;
    // (text, amount)
    using PaySuccess = std::function<void(const Text&, const Text&)>;
    // (text, code, amount)
    using PayFailure = std::function<void(const Text&, int64_t, const Text&)>;
    // 1 reported, 0 refused or unreachable, 2 a required field was empty.
    using RoleResult = std::function<void(int64_t)>;

    virtual ~KVTRChannelSDK() = default;

    // The installed channel SDK, or nil. Installing nil uninstalls.
    static std::shared_ptr<KVTRChannelSDK> shared();
    static void setShared(std::shared_ptr<KVTRChannelSDK> sdk);

    virtual void didFinishLaunching() = 0;
    virtual void loadLoginViewResultSuccess(LoginSuccess success, LoginFailure failed) = 0;
    virtual void loadToPayVCWithroleid(const Text& roleid, const Text& money, const Text& serverid,
                                       const Text& productName, const Text& productDesc, const Text& attach,
                                       PaySuccess success, PayFailure faild) = 0;
    virtual void LoginOut() = 0;
    virtual void SetUserInfoDataWithRoleId(const Text& roleId, const Text& roleName, const Text& roleLevel,
                                           const Text& zoneId, const Text& zoneName, const Text& attach,
                                           RoleResult block) = 0;
    virtual void applicationHandleOpenURL(ui::Application& app, const ns::Ref<ns::URL>& url) = 0;
    virtual void applicationOpenURLSourceApplicationAnnotation(ui::Application& app, const ns::Ref<ns::URL>& url,
                                                               const Text& sourceApplication,
                                                               const ns::Id& annotation) = 0;
    virtual void applicationOpenURLOptions(ui::Application& app, const ns::Ref<ns::URL>& url,
                                           const ns::Ref<ns::Dictionary>& options) = 0;
    // An interface-orientation mask.
    virtual uint64_t applicationSupportedInterfaceOrientationsForWindow(ui::Application& app,
                                                                        const ns::Ref<ui::Window>& window) = 0;
};
