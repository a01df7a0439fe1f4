#pragma once
// The login road's world: the screens' test app against the channel
// stand-in, a login window opened through ToviraSDK with the game's two
// closures recorded, and the steps a player takes on the card.

#include <string>
#include <vector>

#include "channel/login/TVAlterLoginVC.h"
#include "channel/login/TVLoginView.h"
#include "channel/login/ToviraSDK.h"
#include "channel/screens/TVNoticeVC.h"
#include "channel/screens/VRQSubNameVC.h"
#include "channel/VRQWindowManager.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/uikit/TextView.h"
#include "tests/channel/screens/screens_test_support.h"

namespace login_test {

struct GameLogin {
    std::vector<std::string> successes;  // "logintime|userName|sign|rzStatus"
    std::vector<std::string> failures;   // "code|message"
};

inline std::string textOr(const ns::Ref<ns::String>& text, const char* none = "(nil)") {
    return text ? text->utf8() : none;
}

class LoginTest : public screens_test::ScreensTest {
protected:
    // Opens the login window as the game does.
    void open() {
        ToviraSDK::loadLoginViewResultSuccess(
            [this](const ns::Ref<ns::String>& t, const ns::Ref<ns::String>& u, const ns::Ref<ns::String>& s,
                   const ns::Ref<ns::String>& rz) {
                game.successes.push_back(textOr(t) + "|" + textOr(u) + "|" + textOr(s) + "|" + textOr(rz));
            },
            [this](int64_t code, const ns::Ref<ns::String>& message) {
                game.failures.push_back(std::to_string(code) + "|" + textOr(message));
            });
        env.fastForwardBy(1.0);
    }
    ns::Ref<TVLoginView> card() { return driver.findOfType<TVLoginView>(); }
    ns::Ref<TVAlterLoginVC> controller() {
        auto view = card();
        return view ? ns::cast<TVAlterLoginVC>(view->superview()->owningController()) : nullptr;
    }
    void type(const ns::Weak<ui::TextField>& field, const std::string& text) {
        auto f = field.lock();
        ASSERT_TRUE(f);
        f->setText("");
        if (!text.empty()) {
            ASSERT_TRUE(driver.typeText(f, text));
        }
        // Done with the field: the keyboard goes and uncovers the buttons.
        f->resignFirstResponder();
    }
    // Taps after the layout the last step asked for.
    void tap(const ns::Weak<ui::Button>& button) {
        auto b = button.lock();
        ASSERT_TRUE(b);
        env.runUntilIdle();
        ASSERT_TRUE(driver.tap(b));
    }
    void tap(const char* text) {
        env.runUntilIdle();
        ASSERT_TRUE(driver.tap(text));
        env.runUntilIdle();
    }
    // Types the name and password and taps the login button.
    void login(const std::string& name, const std::string& password) {
        auto c = card();
        ASSERT_TRUE(c);
        type(c->loginName, name);
        type(c->loginPwd, password);
        tap(c->mainLoginBtn);
        env.runUntilIdle();
    }
    // The account registration form filled in and the agreement ticked.
    void fillAccountRegistration(const std::string& name, const std::string& password) {
        tap("账号注册");
        auto c = card();
        ASSERT_TRUE(c);
        type(c->registerName, name);
        type(c->registerpwd, password);
        tap(c->selectBtn);
    }
    // The sub-account screen on screen, or nil.
    ns::Ref<VRQSubNameVC> findSubScreen() {
        auto root = driver.find([](ui::View& v) { return ns::cast<VRQSubNameVC>(v.owningController()) != nullptr; });
        return root ? ns::cast<VRQSubNameVC>(root->owningController()) : nullptr;
    }
    // Closes the notice when it shows, then picks a sub-account (the first
    // unless told).
    void finishHandOff(int subAccountRow = 0) {
        env.fastForwardBy(0.5);
        if (driver.findByText("关闭")) {
            ASSERT_TRUE(driver.tap("关闭"));
            env.fastForwardBy(0.5);
        }
        auto screen = findSubScreen();
        ASSERT_TRUE(screen);
        ASSERT_TRUE(driver.selectRow(screen->tableView.lock(), ui::IndexPath::forRow(subAccountRow, 0)));
        env.fastForwardBy(1.5);
    }
    // Requests the stand-in has had for the endpoint.
    size_t posts(const std::string& endpoint) const {
        size_t count = 0;
        for (const auto& request : server.http().requests()) count += request.path == "/sdkapicoupon/" + endpoint;
        return count;
    }

    GameLogin game;
    ns::LogCapture log;
};

}  // namespace login_test
