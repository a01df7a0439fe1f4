#pragma once
// The channel SDK's public face: class calls that forward to the login
// window, the account API, the saved state and the floating ball, turning
// the game's callback shapes into the internal ones (a code text reaches
// the game as its integer value). No state of its own. Main thread only.

#include <cstdint>
#include <functional>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"

class ToviraSDK {
public:
    using Text = ns::Ref<ns::String>;
    using LoginSuccess = std::function<void(const Text& logintime, const Text& userName, const Text& sign,
                                            const Text& rzStatus)>;
    using LoginFailure = std::function<void(int64_t code, const Text& message)>;
    using PaySuccess = std::function<void(const Text& text, const Text& amount)>;
    using PayFailure = std::function<void(const Text& text, int64_t code, const Text& amount)>;
    // 1 reported, 0 refused or unreachable, 2 a required field was empty.
    using RoleResult = std::function<void(int64_t result)>;

    // Orientation masks.
    static constexpr uint64_t kPortrait = 2;
    static constexpr uint64_t kLandscape = 24;
    static constexpr uint64_t kPortraitAndLandscape = 26;

    ToviraSDK() = delete;

    // Installs the process's shared URL cache (4 MiB memory, 32 MiB disk,
    // "nsurlcache").
    static void didFinishLaunching();
    static void loadLoginViewResultSuccess(LoginSuccess success, LoginFailure failed);
    // Opens the payment centre for the order (money is its quiPayMoney,
    // attach its cpExtend), or, while a centre is open, once it has gone.
    static void loadToPayVCWithroleid(const Text& roleid, const Text& money, const Text& serverid,
                                      const Text& productName, const Text& productDesc, const Text& attach,
                                      PaySuccess success, PayFailure faild);
    // Drops the purchases waiting for the payment centre, hides the ball,
    // stops its countdown, tells the server, saves login style 2. The game
    // is not told.
    static void LoginOut();
    static void SetUserInfoDataWithRoleId(const Text& roleId, const Text& roleName, const Text& roleLevel,
                                          const Text& zoneId, const Text& zoneName, const Text& attach,
                                          RoleResult block);

    // The wallet's way back: "ToviraQuiPayScheme<game id>://safepay...",
    // read by the wallet SDK, its result handed to the wallet plug.
    static void applicationHandleOpenURL(const ns::Ref<ns::URL>& url);
    static void applicationOpenURLSourceApplicationAnnotation(const ns::Ref<ns::URL>& url);
    static void applicationOpenURLOptions(const ns::Ref<ns::URL>& url);
    // True for a URL of the wallet's way back (scheme exact, host "safepay").
    static bool isQuipayReturn(const ns::Ref<ns::URL>& url);

    // By the main bundle's "UISupportedInterfaceOrientations": 26 portrait
    // and landscape, 2 portrait only, 24 otherwise.
    static uint64_t applicationSupportedInterfaceOrientationsForWindow();

    // The platform's integer value of a text: leading digits with an
    // optional sign, 0 without digits.
    static int64_t integerValue(const Text& code);
};
