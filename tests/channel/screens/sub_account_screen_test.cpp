// The sub-account screen against the stand-in: the list, the add dialog's
// bounds, the add button's rule at ten, the delegate after the dismissal,
// log-out and the companion-app links.

#include <optional>
#include <string>
#include <vector>

#include "channel/ShareVale.h"
#include "channel/screens/VRQSubNameCell.h"
#include "channel/screens/VRQSubNameVC.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/AlertController.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Storyboard.h"
#include "platform/uikit/TableViewCell.h"
#include "screens_test_support.h"

namespace {

using screens_test::ScreensTest;

class RecordingDelegate : public VRQSubNameVCDelegate {
public:
    void didSelectedVRQSubNameVCTableViewWithResponse(const ns::Ref<VRQSubNameModel>& model) override {
        chosen.push_back(model);
    }
    void VRQSubNameVCLoginOut() override { ++logouts; }
    std::vector<ns::Ref<VRQSubNameModel>> chosen;
    int logouts = 0;
};

class SubAccountScreenTest : public ScreensTest {
protected:
    SubAccountScreenTest() { saveKnownPlayer(); }

    ns::Ref<VRQSubNameVC> present() {
        auto screen = ns::cast<VRQSubNameVC>(
            ui::Storyboard::storyboardWithName("TVUserShow")->instantiateViewControllerWithIdentifier("VRQSubNameVC"));
        screen->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
        screen->setDelegate(delegate);
        root->presentViewController(screen, true);
        env.fastForwardBy(0.5);
        return screen;
    }
    std::vector<std::string> rows(const ns::Ref<VRQSubNameVC>& screen) {
        std::vector<std::string> names;
        auto table = screen->tableView.lock();
        for (int64_t row = 0; row < table->numberOfRowsInSection(0); ++row) {
            auto cell = ns::cast<VRQSubNameCell>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(row, 0)));
            if (!cell) table->scrollToRowAtIndexPath(ui::IndexPath::forRow(row, 0), ui::TableViewScrollPosition::Top,
                                                     false);
            cell = ns::cast<VRQSubNameCell>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(row, 0)));
            names.push_back(cell ? cell->nickNameL.lock()->text()->utf8() : "?");
        }
        return names;
    }
    // Opens the add dialog, types the name and confirms.
    void addThroughDialog(const std::string& nickname) {
        ASSERT_TRUE(driver.tap("添加小号"));
        env.fastForwardBy(0.5);
        auto alert = driver.presentedAlert();
        ASSERT_TRUE(alert);
        ASSERT_EQ(alert->textFields().size(), 1u);
        EXPECT_EQ(alert->textFields()[0]->placeholder()->utf8(), "名称不能超过8个字符");
        EXPECT_FALSE(alert->message());
        if (!nickname.empty()) { ASSERT_TRUE(driver.typeText(alert->textFields()[0], nickname)); }
        ASSERT_TRUE(driver.answerAlert("确认"));
        env.fastForwardBy(0.5);
    }
    size_t posts() const { return server.http().requests().size(); }

    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(SubAccountScreenTest, TheListComesFromTheServerForTheSavedAccount) {
    auto screen = present();
    EXPECT_EQ(rows(screen), (std::vector<std::string>{"小号一", "小号二"}));
    EXPECT_EQ(screen->nameL.lock()->text()->utf8(), "player1");
    auto table = screen->tableView.lock();
    EXPECT_EQ(table->rowHeight(), 50);
    EXPECT_EQ(table->separatorStyle(), ui::TableViewCellSeparatorStyle::None);
    EXPECT_EQ(table->layer()->cornerRadius(), 5);
    EXPECT_TRUE(table->tableFooterView());
    EXPECT_EQ(screen->view()->backgroundColor(), cg::Color::fromBytes(245, 245, 245));
    EXPECT_EQ(screen->addBtn.lock()->layer()->cornerRadius(), 3);
    EXPECT_FALSE(screen->addBtn.lock()->isHidden());
    EXPECT_FALSE(screen->shouldAutorotate());
    EXPECT_EQ(server.http().requests().back().path, "/sdkapicoupon/login/iosxiaohao");
}

TEST_F(SubAccountScreenTest, AListTheServerRefusesLeavesTheScreenEmptyAndSilent) {
    ShareVale::sharedInstance()->setUserName(ns::str("nobody"));
    ns::LogCapture log;
    auto screen = present();
    EXPECT_TRUE(screen->dataSource().empty());
    EXPECT_EQ(screen->tableView.lock()->numberOfRowsInSection(0), 0);
    EXPECT_FALSE(screen->addBtn.lock()->isHidden());
    for (const auto& line : log.lines()) EXPECT_EQ(line.find("screen: toast"), std::string::npos) << line;
}

TEST_F(SubAccountScreenTest, OnANotchedPhoneOnItsSideTheMiddlePanelKeepsClearOfTheNotch) {
    ui::Screen::mainScreen()->setModel(ui::ScreenModel::notchedPhone().inOrientation(
        ui::InterfaceOrientation::LandscapeRight));
    window->setFrame(ui::Screen::mainScreen()->bounds());
    env.runUntilIdle();
    auto screen = present();
    EXPECT_EQ(screen->midLeft.lock()->constant(), 20);
    EXPECT_EQ(screen->viewMid.lock()->frame().origin.x, 20);

    ui::Screen::mainScreen()->setModel(ui::ScreenModel::notchedPhone());
    window->setFrame(ui::Screen::mainScreen()->bounds());
    screen->loginOut();
    env.fastForwardBy(1);
    EXPECT_EQ(present()->midLeft.lock()->constant(), 0) << "upright, no inset";
}

TEST_F(SubAccountScreenTest, TheAddDialogRefusesEmptyAndNineCharacterNamesWithoutSending) {
    auto screen = present();
    size_t before = posts();
    ns::LogCapture log;
    addThroughDialog("");
    EXPECT_TRUE(log.contains("screen: alert: 添加新小号 | {} | [取消] [确认]"));
    EXPECT_TRUE(log.contains("screen: toast: 请输入有效字符"));
    addThroughDialog("一二三四五六七八九");
    EXPECT_EQ(posts(), before) << "nothing sent";
    EXPECT_EQ(rows(screen).size(), 2u);

    addThroughDialog("一二三四五六七八");
    EXPECT_EQ(posts(), before + 1);
    EXPECT_EQ(server.http().requests().back().path, "/sdkapicoupon/login/iosaddxiaohao");
    EXPECT_EQ(rows(screen).back(), "一二三四五六七八");
    EXPECT_FALSE(screen->hud()) << "the HUD is hidden and forgotten";
    env.fastForwardBy(1);
    EXPECT_FALSE(sd_KXProgressHUD::HUDForView(screen->view()));
}

TEST_F(SubAccountScreenTest, AddIsHiddenWhenTenArriveAndShownAtNine) {
    auto screen = present();
    for (int i = 3; i <= 9; ++i) {
        screen->addSubNameWithNickName(ns::str("号" + std::to_string(i)));
        env.fastForwardBy(0.5);
    }
    EXPECT_EQ(screen->dataSource().size(), 9u);
    EXPECT_FALSE(screen->addBtn.lock()->isHidden()) << "shown at nine";
    screen->addSubNameWithNickName(ns::str("号10"));
    env.fastForwardBy(0.5);
    EXPECT_EQ(screen->dataSource().size(), 10u);
    EXPECT_TRUE(screen->addBtn.lock()->isHidden());
    EXPECT_FALSE(driver.findByText("添加小号"));

    // A refused add changes nothing, and says why.
    ns::LogCapture log;
    screen->addSubNameWithNickName(ns::str("号11"));
    env.fastForwardBy(0.5);
    EXPECT_TRUE(log.contains("screen: toast: 小号小号已满"));
    EXPECT_EQ(screen->dataSource().size(), 10u);

    // A list of ten at opening hides it too.
    screen->loginOut();
    env.fastForwardBy(1);
    auto again = present();
    EXPECT_EQ(again->dataSource().size(), 10u);
    EXPECT_TRUE(again->addBtn.lock()->isHidden());
}

// A reply of `records` sub-accounts with one of `strays` before each.
ns::Id listWithStrays(int records, const std::vector<ns::Id>& strays) {
    std::vector<ns::Id> data;
    for (int i = 0; i < records; ++i) {
        data.push_back(strays[size_t(i) % strays.size()]);
        std::string name = "stray_" + std::to_string(i + 1);
        data.push_back(ns::Dictionary::make({{"nickname", ns::str("号" + std::to_string(i + 1))},
                                             {"username", ns::str(name)},
                                             {"sign", ns::str("#sign-" + name)},
                                             {"login_time", ns::str("1704067200")}}));
    }
    return ns::Dictionary::make({{"code", ns::str("1")}, {"msg", ns::str("ok")}, {"data", ns::Array::make(data)}});
}

// Entries that are no records at all.
ns::Id listWithStrays(int records) {
    return listWithStrays(records, {ns::str("小号"), ns::num(7), ns::Null::null(), ns::Array::make({})});
}

// Records whose user name is missing, null or empty: the game could not be
// told who plays.
ns::Id listWithNamelessRecords(int records) {
    auto nameless = [](const char* nickname, std::optional<ns::Id> username) {
        std::vector<ns::Dictionary::Entry> fields = {{"nickname", ns::str(nickname)},
                                                              {"sign", ns::str("#s")},
                                                              {"login_time", ns::str("1704067200")}};
        if (username) fields.push_back({"username", *username});
        return ns::Dictionary::make(fields);
    };
    return listWithStrays(records, {nameless("无名", std::nullopt), nameless("空名", ns::Null::null()),
                                    nameless("空白", ns::str(""))});
}

TEST_F(SubAccountScreenTest, EntriesThatAreNoRecordsAreSkippedAndTheTenCountsTheRowsKept) {
    server.setReply("login/iosxiaohao", listWithStrays(9));
    auto screen = present();
    ASSERT_EQ(screen->dataSource().size(), 9u);
    for (const auto& model : screen->dataSource()) EXPECT_FALSE(model->username->utf8().empty());
    EXPECT_EQ(rows(screen).front(), "号1");
    EXPECT_FALSE(screen->addBtn.lock()->isHidden()) << "nine rows, though eighteen entries";

    server.setReply("login/iosaddxiaohao", listWithStrays(10));
    screen->addSubNameWithNickName(ns::str("号10"));
    env.fastForwardBy(0.5);
    ASSERT_EQ(screen->dataSource().size(), 10u);
    EXPECT_EQ(screen->dataSource().back()->username->utf8(), "stray_10");
    EXPECT_EQ(screen->dataSource().back()->sign()->utf8(), "sign-stray_10");
    EXPECT_TRUE(screen->addBtn.lock()->isHidden());
}

TEST_F(SubAccountScreenTest, RecordsWithoutAUserNameAreNoRowsAndTheTenCountsTheRowsKept) {
    server.setReply("login/iosxiaohao", listWithNamelessRecords(9));
    auto screen = present();
    ASSERT_EQ(screen->dataSource().size(), 9u);
    for (const auto& model : screen->dataSource()) EXPECT_EQ(model->username->utf8().rfind("stray_", 0), 0u);
    EXPECT_EQ(rows(screen).front(), "号1");
    EXPECT_FALSE(screen->addBtn.lock()->isHidden()) << "nine rows, though eighteen records";

    server.setReply("login/iosaddxiaohao", listWithNamelessRecords(10));
    screen->addSubNameWithNickName(ns::str("号10"));
    env.fastForwardBy(0.5);
    ASSERT_EQ(screen->dataSource().size(), 10u);
    EXPECT_TRUE(screen->addBtn.lock()->isHidden());

    // A number is a name: its digits are what the game is told.
    server.setReply("login/iosaddxiaohao",
                    ns::Dictionary::make({{"code", ns::str("1")},
                                          {"data", ns::Array::make({ns::Dictionary::make(
                                                       {{"nickname", ns::str("数字")},
                                                        {"username", ns::num(20001)},
                                                        {"sign", ns::str("#s")},
                                                        {"login_time", ns::str("1704067200")}})})}}));
    screen->addSubNameWithNickName(ns::str("数字"));
    env.fastForwardBy(0.5);
    ASSERT_EQ(screen->dataSource().size(), 1u);
    ASSERT_TRUE(driver.selectRow(screen->tableView.lock(), ui::IndexPath::forRow(0, 0)));
    env.fastForwardBy(0.5);
    ASSERT_EQ(delegate->chosen.size(), 1u);
    EXPECT_EQ(delegate->chosen[0]->username->utf8(), "20001");
}

TEST_F(SubAccountScreenTest, AnAddThatCannotReachTheServerHidesTheHUDAndSaysSo) {
    auto screen = present();
    pointAtClosedServer();
    ns::LogCapture log;
    screen->addSubNameWithNickName(ns::str("新号"));
    EXPECT_TRUE(screen->hud());
    env.fastForwardBy(11);
    EXPECT_FALSE(screen->hud());
    EXPECT_FALSE(sd_KXProgressHUD::HUDForView(screen->view()));
    EXPECT_TRUE(log.contains("screen: toast: 无法链接服务器"));
    EXPECT_EQ(screen->dataSource().size(), 2u);
}

TEST_F(SubAccountScreenTest, TheDelegateHearsOfAChoiceOnlyAfterTheDismissal) {
    auto screen = present();
    ASSERT_TRUE(driver.selectRow(screen->tableView.lock(), ui::IndexPath::forRow(1, 0)));
    EXPECT_TRUE(delegate->chosen.empty()) << "not before the screen has gone";
    env.fastForwardBy(0.29);
    EXPECT_TRUE(delegate->chosen.empty());
    env.fastForwardBy(0.02);
    ASSERT_EQ(delegate->chosen.size(), 1u);
    EXPECT_EQ(root->presentedViewController(), nullptr);
    auto chosen = delegate->chosen[0];
    EXPECT_EQ(chosen->username->utf8(), "player1_2");
    EXPECT_EQ(chosen->sign()->utf8(), "sign-player1-2") << "without its first character";
    EXPECT_EQ(chosen->login_time->utf8(), "1704067200");
}

TEST_F(SubAccountScreenTest, LogOutDismissesAndThenTellsTheDelegate) {
    present();
    ASSERT_TRUE(driver.tap("退出登录"));
    EXPECT_EQ(delegate->logouts, 0);
    env.fastForwardBy(0.5);
    EXPECT_EQ(delegate->logouts, 1);
    EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(SubAccountScreenTest, TheCompanionLinksOpenTheAppWhenInstalledElseItsPageWithTheChannel) {
    auto screen = present();
    auto application = ui::Application::sharedApplication();
    application->clearOpenedURLs();
    ASSERT_TRUE(driver.tap("盒子活动"));
    ASSERT_TRUE(driver.tap("充值返利"));
    std::string page = server.http().origin() + "/cdcloud/welcome/box?ag=agent3";
    ASSERT_EQ(application->openedURLs().size(), 2u);
    EXPECT_EQ(application->openedURLs()[0]->absoluteString()->utf8(), page);
    EXPECT_EQ(application->openedURLs()[1]->absoluteString()->utf8(), page) << "the same page for both";

    application->clearOpenedURLs();
    application->addInstalledScheme("zurobox");  // schemes compare in lower case
    screen->goToBoxActivity();
    screen->goToFanli();
    ASSERT_EQ(application->openedURLs().size(), 2u);
    EXPECT_EQ(application->openedURLs()[0]->absoluteString()->utf8(), "zuroBox://activityURL");
    EXPECT_EQ(application->openedURLs()[1]->absoluteString()->utf8(), "zuroBox://fanliURL");
}

}  // namespace
