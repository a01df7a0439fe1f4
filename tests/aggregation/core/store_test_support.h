#pragma once
// The world of the facade's store, payment, banner and lucky-chain tests:
// mock time, one loopback server standing in for the platform and game
// servers, a main bundle and home folder of the test's own, a key window on
// the notched phone, a fresh facade signed in as player "u1" of game "7",
// and recording fakes of the store and welfare views.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "aggregation/core/KVTRViewFactory.h"
#include "aggregation/core/ROZCoreEntity.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Window.h"
#include "ui/hud/KVTRProgressHUD.h"

namespace storetest {

inline ns::Ref<ns::String> text(std::string s) { return ns::String::make(std::move(s)); }
inline testing::Reply json(std::string body) { return testing::Reply::text(std::move(body), "application/json"); }
inline ns::Ref<ns::Dictionary> parseObject(const ns::Ref<ns::String>& json) {
    auto data = json ? ns::Data::withBytes(json->utf8()) : nullptr;
    return data ? ns::cast<ns::Dictionary>(ns::JSONSerialization::JSONObjectWithData(data, 0)) : nullptr;
}

class RecordingListener : public ROZCoreEntityDelegate {
public:
    void kvtr_LightGetChannelLoginCallBack(const ns::Ref<ns::Dictionary>&) override {}
    void getUpdateRoleCallBack(const ns::Ref<ns::Dictionary>&) override {}
    void canEnterListenCallBack(const ns::Ref<ns::String>&) override {}
    void getPaySuccessCallBack(const ns::Ref<ns::Dictionary>&) override {}
    void getPayFailCallBack(const ns::Ref<ns::Dictionary>&) override {}
    void logOutCallBack(const ns::Ref<ns::String>&) override {}
    void rechargeCallBack(const ns::Ref<ns::String>& event) override { recharges.push_back(event->utf8()); }
    std::vector<std::string> recharges;
};

// A view that counts its showings. The store hall also notes what it held
// when the role arrived: the time store needs the identity text by then.
template <class Base>
class FakeShown : public Base {
public:
    void show() override { ++shows; }
    int shows = 0;
};
template <class Base>
class FakeHall : public FakeShown<Base> {
public:
    void setRoleid(const ns::Ref<ns::String>& roleid) override {
        identityBeforeRole = this->userInfo && this->responseArray && this->VIPArray && this->token;
        blocksBeforeRole = this->rechargeBlock || this->closeBlock;
        Base::setRoleid(roleid);
    }
    bool identityBeforeRole = false;
    bool blocksBeforeRole = true;
};

template <class V>
struct Made {
    std::vector<ns::Ref<V>> views;
    ns::Ref<V> make() { return views.emplace_back(std::make_shared<V>()); }
};

class AppDelegate : public ui::ApplicationDelegate {
public:
    ns::Ref<ui::Window> window() const override { return window_; }
    ns::Ref<ui::Window> window_ = ui::Window::makeFullScreen();
};

class StoreTest : public ::testing::Test {
protected:
    StoreTest() {
        ui::resetSharedStateForTesting();
        ui::Application::sharedApplication()->setDelegate(app);
        app->window_->makeKeyAndVisible();

        std::filesystem::create_directories(folder + "/resources");
        std::ofstream(folder + "/resources/Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleIdentifier</key><string>org.gamehost.test</string></dict></plist>\n";
        ::setenv("GAMEHOST_RESOURCES", (folder + "/resources").c_str(), 1);
        ::setenv("GAMEHOST_HOME", folder.c_str(), 1);
        ::setenv("GAMEHOST_GAME_SERVER_URL", server.baseURL().c_str(), 1);
        ::setenv("GAMEHOST_PLATFORM_SERVER_URL", server.baseURL().c_str(), 1);
        ns::UserDefaults::resetStandardUserDefaultsForTesting();

        auto& factory = KVTRViewFactory::shared();
        factory.reset();
        factory.setGMShopViewMaker([this] { return halls.make(); });
        factory.setVerticalGMShopViewMaker([this] { return verticalHalls.make(); });
        factory.setVerResourceHallViewMaker([this] { return resourceHalls.make(); });
        factory.setLuckyPlayerViewMaker([this] { return luckyViews.make(); });
        factory.setVerticalLuckyPlayerViewMaker([this] { return verticalLuckyViews.make(); });

        ROZCoreEntity::resetSharedInstanceForTesting();
        entity = ROZCoreEntity::sharedInstance();
        entity->setDelegate(listener);
        entity->setKvtrgameid(text("7"));
        entity->setPlatform_id(text("256"));
        entity->setSuper_user_id(text("u1"));
        entity->setToken(text("tk"));
    }

    ~StoreTest() override {
        KVTRViewFactory::shared().reset();
        ROZCoreEntity::resetSharedInstanceForTesting();
        ui::resetSharedStateForTesting();
        ns::UserDefaults::resetStandardUserDefaultsForTesting();
        for (const char* name : {"GAMEHOST_GAME_SERVER_URL", "GAMEHOST_PLATFORM_SERVER_URL", "GAMEHOST_RESOURCES",
                                 "GAMEHOST_HOME"})
            ::unsetenv(name);
        std::filesystem::remove_all(folder);
    }

    static std::string makeFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "stores-XXXXXX").string();
        return ::mkdtemp(pattern.data()) ? pattern : std::string();
    }

    // A role report through the platform server, answered with the
    // aggregator's role id "r1"; the game's own role id is "cp9".
    void reportRole(const std::string& superUserId = "u1") {
        server.route("POST", "/role/index", json(R"({"code":"200","data":{"role_id":"r1"}})"));
        entity->kvtr_superRoleUpdate(text(R"({"super_user_id":")" + superUserId +
                                          R"(","service_id":"s1","service_name":"一区","role_id":"cp9",)"
                                          R"("role_name":"Ann","role_level":"12"})"));
        env.runUntilIdle();
    }

    std::vector<testing::RecordedRequest> requestsTo(const std::string& path) const {
        std::vector<testing::RecordedRequest> found;
        for (auto& request : server.requests())
            if (request.path == path) found.push_back(request);
        return found;
    }

    // The HUD's text once its show has run (an error first waits out the
    // fade of what was up).
    std::string hudText() {
        env.fastForwardBy(0.5);
        auto label = KVTRProgressHUD::sharedView()->statusLabel();
        return label && label->text() ? label->text()->utf8() : std::string();
    }

    testing::TaskEnvironment env;
    testing::LoopbackServer server;
    std::string folder = makeFolder();
    std::shared_ptr<AppDelegate> app = std::make_shared<AppDelegate>();
    std::shared_ptr<RecordingListener> listener = std::make_shared<RecordingListener>();
    ns::Ref<ROZCoreEntity> entity;
    Made<FakeHall<KVTRGMShopView>> halls;
    Made<FakeHall<KVTRVerticalGMShopView>> verticalHalls;
    Made<FakeShown<KVTRVerResourceHallView>> resourceHalls;
    Made<FakeShown<KVTRLuckyPlayerView>> luckyViews;
    Made<FakeShown<KVTRVerticalLuckyPlayerView>> verticalLuckyViews;
};

}  // namespace storetest
