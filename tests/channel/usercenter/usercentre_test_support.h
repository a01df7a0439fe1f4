#pragma once
// The user centre's world: the channel tests' fresh app against the
// sandbox's channel stand-in, logged in as its known player, with the
// requests the stand-in got readable by path; and the centre opened from
// the ball on the three phones.

#include <stdlib.h>

#include <string>
#include <vector>

#include "channel/ShareVale.h"
#include "channel/VRQWindowManager.h"
#include "channel/usercenter/TVSuspendVC.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/testing/UIDriver.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ScreenModel.h"
#include "platform/uikit/TouchSimulation.h"
#include "sandbox/ChannelServer.h"
#include "sandbox/FormFields.h"
#include "tests/channel/channel_test_support.h"

namespace usercentre_test {

class UserCentreTest : public channel_test::ChannelTest {
protected:
    UserCentreTest() {
        writeTVPlist();
        ::setenv("GAMEHOST_CHANNEL_API_URL", server.base().c_str(), 1);
        ShareVale::sharedInstance()->setUserName(ns::str(sandbox::ChannelServer::kKnownUser));
    }

    // The form fields of each request to "/sdkapicoupon/<path>", in order.
    std::vector<sandbox::FormFields> sent(const std::string& path) const {
        std::vector<sandbox::FormFields> found;
        for (const auto& request : server.http().requests())
            if (request.path == "/sdkapicoupon/" + path) found.push_back(request.fields());
        return found;
    }
    std::vector<std::string> pagecodes(const std::string& path) const {
        std::vector<std::string> codes;
        for (const auto& fields : sent(path)) codes.push_back(fields.value("pagecode"));
        return codes;
    }

    sandbox::ChannelServer server;
};

// The centre opened as a player does: the ball tapped into view and again.
class CentreTest : public UserCentreTest {
protected:
    CentreTest() {
        root = std::make_shared<ui::ViewController>();
        window->setRootViewController(root);
        env.runUntilIdle();
    }
    ~CentreTest() override { ui::Screen::mainScreen()->setModel(ui::ScreenModel::notchedPhone()); }

    enum Phone { Landscape, Portrait, NotchedLandscape };
    void use(Phone phone) {
        auto model = phone == NotchedLandscape ? ui::ScreenModel::notchedPhone() : ui::ScreenModel::classicPhone();
        if (phone == NotchedLandscape) model.portraitSize = {375, 812};
        if (phone != Portrait) model = model.inOrientation(ui::InterfaceOrientation::LandscapeRight);
        ui::Screen::mainScreen()->setModel(model);
        window->setFrame(ui::Screen::mainScreen()->bounds());
        env.runUntilIdle();
    }
    // The ball, tapped into view and tapped again.
    ns::Ref<TVSuspendVC> open() {
        VRQHelperBtn::setSignedIn(true);
        auto ball = VRQHelperBtn::shared();
        ball->setFailedBlock([this](const VRQHelperBtn::Text& message, const VRQHelperBtn::Text& code) {
            failures.push_back(code->utf8() + "|" + message->utf8());
        });
        env.runUntilIdle();
        // A tucked ball comes into view first; one in view opens at once.
        for (int tap = 0; tap < 2 && !root->presentedViewController(); ++tap) {
            EXPECT_TRUE(ui::simulateTap(ballWindow()->center()));
            env.fastForwardBy(1.0);
        }
        return ns::cast<TVSuspendVC>(root->presentedViewController());
    }
    ns::Ref<ui::Button> tab(TVSuspendVC& centre, int64_t tag) {
        return ns::cast<ui::Button>(centre.bottomView.lock()->viewWithTag(tag));
    }
    void tapTab(TVSuspendVC& centre, int64_t tag) {
        ASSERT_TRUE(driver.tap(tab(centre, tag)));
        env.runUntilIdle();
    }
    std::vector<double> constants(TVSuspendVC& centre) {
        return {centre.top.lock()->constant(), centre.width.lock()->constant(), centre.left.lock()->constant(),
                centre.bottomH.lock()->constant()};
    }

    ns::Ref<ui::ViewController> root;
    testing::UIDriver driver;
    std::vector<std::string> failures;
};

}  // namespace usercentre_test
