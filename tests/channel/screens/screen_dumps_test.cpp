// Each screen's window tree on the 375 x 667 phone upright and on its side,
// against the expectations in dumps/ (frames, texts, hidden views). Run with
// CHANNEL_SCREENS_UPDATE_DUMPS=1 to write them anew after a deliberate
// change of a scene, and read the difference before committing it.

#include "channel/screens/AccountTableView.h"
#include "channel/screens/TVBaseNav.h"
#include "channel/screens/TVNoticeVC.h"
#include "channel/screens/TVProgressDP.h"
#include "channel/screens/TVWebPages.h"
#include "channel/screens/VRQRealNameView.h"
#include "channel/screens/VRQSubNameVC.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Storyboard.h"
#include "screens_test_support.h"

namespace {

using screens_test::ScreensTest;

struct Orientation {
    bool landscape;
    const char* suffix;
};

class ScreenDumpTest : public ScreensTest, public ::testing::WithParamInterface<Orientation> {
protected:
    ScreenDumpTest() {
        saveKnownPlayer();
        useClassicPhone(GetParam().landscape);
    }

    ns::Ref<ui::ViewController> scene(std::string_view identifier) {
        return ui::Storyboard::storyboardWithName("TVUserShow")->instantiateViewControllerWithIdentifier(identifier);
    }

    void presentFullScreen(const ns::Ref<ui::ViewController>& controller) {
        controller->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
        root->presentViewController(controller, false);
        env.runUntilIdle();
        env.fastForwardBy(1);
    }

    // A page pushed on the login window's navigation, above a first screen.
    void pushPage(std::string_view identifier) {
        auto nav = TVBaseNav::make(std::make_shared<TVBaseVC>());
        presentFullScreen(nav);
        nav->pushViewController(scene(identifier), false);
        env.runUntilIdle();
    }

    // The window's tree against dumps/<name>-<orientation>.txt.
    void expectDump(const std::string& name) {
        screens_test::expectDump(window, std::string(CHANNEL_SCREENS_DUMPS) + "/" + name + "-" + GetParam().suffix + ".txt");
    }
};

TEST_P(ScreenDumpTest, SubAccountScreen) {
    presentFullScreen(scene("VRQSubNameVC"));
    expectDump("sub-account");
}

TEST_P(ScreenDumpTest, NoticePage) {
    auto notice = ns::cast<TVNoticeVC>(scene("TVNoticeVC"));
    root->view()->addSubview(notice->view());
    notice->textView.lock()->setText("欢迎来到沙盒");
    root->addChildViewController(notice);
    env.runUntilIdle();
    expectDump("notice");
}

TEST_P(ScreenDumpTest, AgreementPage) {
    pushPage("TVShowHTMLVC");
    expectDump("agreement");
}

TEST_P(ScreenDumpTest, ForgottenPasswordPage) {
    pushPage("TVForgetPasswordVC");
    expectDump("forgotten-password");
}

// The login card's pieces as it places them: the real-name form at (0, 0),
// the progress view in its container, the drop-down under the name field.
TEST_P(ScreenDumpTest, LoginCardPieces) {
    auto card = ui::View::make({0, 0, 300, 310});
    card->setCenter(window->center());
    window->addSubview(card);
    auto forced = std::make_shared<LoginResult>();
    forced->isMustRZ = true;
    auto realName = VRQRealNameView::realNameView();
    realName->setReponse(forced);
    card->addSubview(realName);

    auto progress = TVProgressDP::make({0, 0, 144, 85});
    card->addSubview(progress);
    progress->showWithTitle("正在登陆");

    ns::UserDefaults::standardUserDefaults()->setObjectForKey(
        ns::Array::make({ns::Array::make({ns::str("player1"), ns::str("pass123")}),
                         ns::Array::make({ns::str("player2"), ns::str("pass456")})}),
        "TV_accounts");
    auto accounts = AccountTableView::make();
    accounts->setFrame({18, 116, 264, 126});
    card->addSubview(accounts);
    env.runUntilIdle();
    expectDump("login-card-pieces");
    progress->dismiss();
}

INSTANTIATE_TEST_SUITE_P(ClassicPhone, ScreenDumpTest,
                         ::testing::Values(Orientation{true, "667x375"}, Orientation{false, "375x667"}),
                         [](const ::testing::TestParamInfo<Orientation>& info) {
                             return std::string(info.param.landscape ? "Landscape" : "Portrait");
                         });

}  // namespace
