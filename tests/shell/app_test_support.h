#pragma once
// The app's world for the screen and end-to-end tests: mock time, a main
// bundle copied from the project's resources into a folder of the test's
// own (with a home folder beside it), the sandbox's three servers named by
// the environment, a channel SDK that records its calls and answers when
// the test says, recording store and hall views, and the application
// launched as main() launches it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "aggregation/core/KVTRChannelSDK.h"
#include "aggregation/core/KVTRViewFactory.h"
#include "aggregation/core/ROZCoreEntity.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/UIDriver.h"
#include "platform/uikit/AlertController.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Window.h"
#include "sandbox/GamePageServer.h"
#include "sandbox/GameServer.h"
#include "sandbox/PlatformServer.h"
#include "shell/AppDelegate.h"
#include "platform/uikit/MainInterface.h"
#include "shell/ViewController.h"
#include "tests/aggregation/core/FakeChannel.h"

namespace apptest {

inline std::string str(const ns::Id& value) { return ns::textOf(value); }

// The channel SDK; role reports are answered at once, as the channel does
// once its role call has gone through.
struct FakeChannel : channeltest::FakeChannel {
    FakeChannel() { answerRoleAtOnce = true; }
};

// A store or hall view that counts its showings.
template <class Base>
class ShownView : public Base {
public:
    void show() override { ++shows; }
    int shows = 0;
};

template <class V>
struct Made {
    std::vector<ns::Ref<ShownView<V>>> views;
    ns::Ref<V> make() {
        auto view = std::make_shared<ShownView<V>>();
        views.push_back(view);
        return view;
    }
    int shows() const {
        int n = 0;
        for (const auto& v : views) n += v->shows;
        return n;
    }
};

class AppTest : public ::testing::Test {
protected:
    AppTest();
    ~AppTest() override;

    // main()'s launch: the delegate by name with the main interface, the
    // launch, and the first load of the page settled.
    void launch();
    // Repoints the page address (read at each load).
    void setPageURL(const std::string& url);

    ns::Ref<AppDelegate> appDelegate() const;
    ns::Ref<ViewController> screen() const;

    // Runs until `done` holds, moving the clock a little between tries;
    // false when `seconds` of mock time pass first.
    bool settle(const std::function<bool()>& done, double seconds = 30);
    // Runs `script` in the page and answers its result.
    ns::Id evaluate(const std::string& script);
    // Posts a message to the app as the page does.
    void post(const std::string& json);

    // From now on the page keeps every text CallbackFromIOS receives.
    void recordPageCallbacks();
    // Those texts, in order.
    std::vector<std::string> pageCallbacks();
    // The JSON object of the last recorded callback with that action, or nil.
    ns::Ref<ns::Dictionary> lastPageCallback(const std::string& action);

    // The channel's login succeeds with (logintime, userName, sign, rzStatus).
    void answerLogin(const std::string& userName = "player1", const std::string& sign = "sign-0a1b2c3d");
    // Logs in and waits until the page heard of it.
    void loginThroughPage();

    int requestsTo(const sandbox::HttpServer& server, const std::string& path) const;

    std::filesystem::path folder;
    testing::TaskEnvironment env;
    ns::LogCapture log;
    sandbox::PlatformServer platform;
    sandbox::GameServer game;
    std::unique_ptr<sandbox::GamePageServer> pages;
    std::shared_ptr<FakeChannel> channel = std::make_shared<FakeChannel>();
    Made<KVTRGMShopView> gmShops;
    Made<KVTRVerticalGMShopView> verticalGmShops;
    Made<KVTRResourceHallView> resourceHalls;
    Made<KVTRVerResourceHallView> verticalResourceHalls;
    testing::UIDriver driver;
};

}  // namespace apptest
