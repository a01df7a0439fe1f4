// The home tab: the profile, the rebate text folding at 47 pt, the three
// newest messages, the message list and detail pages sliding over the page
// area, real name, the companion app and switch account.

#include <gtest/gtest.h>

#include "channel/usercenter/TVSuChildPage.h"
#include "channel/usercenter/pages/TVSuHomeMsgCells.h"
#include "channel/usercenter/pages/TVSuHomeMsgVC.h"
#include "channel/usercenter/pages/TVSuHomeVC.h"
#include "channel/usercenter/pages/TVSuWebVC.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/AnimationRecorder.h"
#include "platform/uikit/Application.h"
#include "image/web/UIButton+TVWebImage.h"
#include "sandbox/Json.h"
#include "tests/channel/usercenter/pages/pages_test_support.h"

namespace {

class HomeTest : public pages_test::PagesTest {
protected:
    ns::Ref<TVSuHomeVC> home() { return page<TVSuHomeVC>(10); }
    std::vector<double> rebate() {
        auto h = home();
        return {h->fanH.lock()->constant(), h->midViewH.lock()->constant(), h->scrollView.lock()->contentSize().height};
    }
    // The child pages over the page area, in order.
    template <class T>
    ns::Ref<T> child() {
        for (auto& c : centre->childViewControllers())
            if (auto page = ns::cast<T>(c)) return page;
        return nullptr;
    }
};

TEST_F(HomeTest, TheProfileAndTheThreeNewestMessages) {
    ASSERT_TRUE(openOn(Landscape, 10));
    auto h = home();
    ASSERT_TRUE(h);
    EXPECT_EQ(h->nameL.lock()->text()->utf8(), "玩家:player1");
    EXPECT_EQ(h->ptbL.lock()->text()->utf8(), "平台币:500个");
    EXPECT_EQ(h->djqL.lock()->text()->utf8(), "代金券:100元");
    EXPECT_EQ(h->activityL.lock()->text()->utf8(), "开服七天乐，登录送好礼");
    EXPECT_TRUE(h->rzBtn.lock()->isEnabled());
    auto news = sent("News/lists");
    ASSERT_EQ(news.size(), 1u);
    EXPECT_EQ(news[0].value("num"), "3");
    EXPECT_FALSE(news[0].has("pagecode"));
    EXPECT_EQ(h->msgData().size(), 3u);
    auto table = h->tableView();
    EXPECT_EQ(table->frame(), (cg::Rect{0, 37, 300, 120}));
    EXPECT_EQ(table->superview(), h->bottomView.lock());
    table->layoutIfNeeded();
    auto first = ns::cast<TVSuHomeCell>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 0)));
    auto second = ns::cast<TVSuHomeCell>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(1, 0)));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->tagL.lock()->text()->utf8(), "活动");
    EXPECT_EQ(first->tagL.lock()->backgroundColor(), cg::Color::fromBytes(239, 86, 81));
    EXPECT_EQ(second->tagL.lock()->backgroundColor(), cg::Color::fromBytes(90, 185, 253));
    EXPECT_EQ(first->contentL.lock()->text()->utf8(), "第1条消息");
}

TEST_F(HomeTest, TheAvatarAndMessagePicturesLoadFromTheServer) {
    ASSERT_TRUE(openOn(Landscape, 10));
    // The scene's picture is 40 pixels wide; the server's avatar 4.
    ASSERT_TRUE(settle([&] {
        auto image = home()->userBtn.lock()->backgroundImageForState(ui::ControlStateNormal);
        return image && image->size().width * image->scale() == 4;
    }));
    auto url = TV_backgroundImageURLForState(*home()->userBtn.lock(), ui::ControlStateNormal);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->absoluteString()->utf8(), server.http().origin() + "/appview/pic/avatar.png");
    int fetched = 0;
    for (const auto& request : server.http().requests()) fetched += request.path == "/appview/pic/avatar.png";
    EXPECT_EQ(fetched, 1);

    ASSERT_TRUE(driver.tap(home()->moreBtn.lock()));
    settle();
    auto list = child<TVSuHomeMsgVC>();
    ASSERT_TRUE(list);
    auto table = list->tableView.lock();
    table->layoutIfNeeded();
    auto withPicture = ns::cast<TVSuHomeMsgCell>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 0)));
    ASSERT_TRUE(withPicture);
    ASSERT_TRUE(settle([&] {
        auto image = withPicture->iconView.lock()->image();
        return image && image->size().width * image->scale() == 4;
    }));
}

TEST_F(HomeTest, AShortRebateShowsWholeWithoutTheButton) {
    server.userCentre().setRebateText("单日充值满100元返10%\n累计充值满500元再返5%");
    ASSERT_TRUE(openOn(Landscape, 10));
    auto h = home();
    double measured = h->realHeight();
    ASSERT_GT(measured, 0);
    ASSERT_LT(measured, 47);
    EXPECT_TRUE(h->checkBtn.lock()->isHidden());
    EXPECT_EQ(rebate(), (std::vector<double>{measured, 160 - (47 - measured), 597 - (47 - measured)}));
}

TEST_F(HomeTest, ALongRebateFoldsAndUnfolds) {
    server.userCentre().setRebateText("一\n二\n三\n四\n五");
    ASSERT_TRUE(openOn(Landscape, 10));
    auto h = home();
    ASSERT_EQ(h->realHeight(), 80);
    auto check = h->checkBtn.lock();
    EXPECT_FALSE(check->isHidden());
    EXPECT_EQ(rebate(), (std::vector<double>{47, 160, 597}));
    ASSERT_TRUE(driver.tap(check));
    EXPECT_EQ(rebate(), (std::vector<double>{80, 193, 630}));
    EXPECT_TRUE(check->isSelected());
    ASSERT_TRUE(driver.tap(check));
    EXPECT_EQ(rebate(), (std::vector<double>{47, 160, 597}));
}

TEST_F(HomeTest, AVerifiedPlayerCannotVerifyAgain) {
    ShareVale::sharedInstance()->setIsRz(ns::str("1"));
    ASSERT_TRUE(openOn(Landscape, 10));
    EXPECT_FALSE(home()->rzBtn.lock()->isEnabled());
}

TEST_F(HomeTest, TheRealNameViewComesOverTheGameAndAVerifiedPageDisablesTheButton) {
    ASSERT_TRUE(openOn(Landscape, 10));
    auto h = home();
    ASSERT_TRUE(driver.tap(h->rzBtn.lock()));
    auto cover = h->coverView();
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->window(), VRQWindowManager::topWindow());
    EXPECT_EQ(cover->subviews().at(0)->center(), (cg::Point{667.0 / 2, 375.0 / 2}));

    // The user page reaches the real-name success address while it is open.
    h->goToUserVC();
    settle();
    auto web = child<TVSuWebVC>();
    ASSERT_TRUE(web);
    EXPECT_NE(web->url()->utf8().find("/appview/User/sdkuser?gid=g42"), std::string::npos);
    web->webView.lock()->loadRequest(ns::URLRequest::make(ns::URL::make(server.http().origin() +
                                                                          "/appview/User/identifySuccess")));
    settle();
    EXPECT_EQ(ShareVale::sharedInstance()->isRz()->utf8(), "1");
    EXPECT_FALSE(h->rzBtn.lock()->isEnabled());
    EXPECT_EQ(web->titleL.lock()->text()->utf8(), "认证成功");
}

TEST_F(HomeTest, TheRealNameCardGoesWithTheCentreWhenTheGameTakesItDown) {
    ASSERT_TRUE(openOn(Landscape, 10));
    auto h = home();
    ASSERT_TRUE(driver.tap(h->rzBtn.lock()));
    auto cover = h->coverView();
    ASSERT_TRUE(cover && cover->window());
    ns::LogCapture log;
    // The game closes what its root presents: the centre goes, and the card
    // it put on the game's window with it.
    root->dismissViewController(true);
    settle();
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_FALSE(cover->superview());
    EXPECT_FALSE(driver.findOfType<VRQRealNameView>()) << "nothing is left over the game";
    EXPECT_TRUE(log.contains("user centre: the real-name card goes with the centre"));
    EXPECT_TRUE(ballShown());
}

// The player confirms, then the game takes the centre down with the card
// before the check answers: the passed check still counts, and the next
// centre offers no verification.
TEST_F(HomeTest, ACheckThatPassesAfterTheCentreWentStillCounts) {
    ASSERT_TRUE(openOn(Landscape, 10));
    ASSERT_TRUE(driver.tap(home()->rzBtn.lock()));
    auto form = driver.findOfType<VRQRealNameView>();
    ASSERT_TRUE(form);
    ASSERT_TRUE(driver.typeText(form->realNameF.lock(), "张三"));
    ASSERT_TRUE(driver.typeText(form->userNumberF.lock(), "110101199001011234"));
    form->btnClick();
    form.reset();
    root->dismissViewController(true);
    settle();
    settle();
    EXPECT_EQ(ns::textOf(ShareVale::sharedInstance()->isRz()), "1");

    ASSERT_TRUE(openOn(Landscape, 10));
    EXPECT_FALSE(home()->rzBtn.lock()->isEnabled()) << "verified: nothing more to offer";
}

TEST_F(HomeTest, ASkippedRealNameCardOpensAnewAndAnswersAgain) {
    ASSERT_TRUE(openOn(Landscape, 10));
    auto h = home();
    ASSERT_TRUE(driver.tap(h->rzBtn.lock()));
    ASSERT_TRUE(driver.tap("暂不认证"));
    EXPECT_FALSE(h->coverView()->superview());
    ASSERT_TRUE(driver.tap(h->rzBtn.lock()));
    ASSERT_TRUE(h->coverView()->superview());
    ASSERT_TRUE(driver.tap("暂不认证"));
    EXPECT_FALSE(h->coverView()->superview()) << "the second showing answers too";
}

TEST_F(HomeTest, MoreSlidesTheMessageListInAndBackOut) {
    ASSERT_TRUE(openOn(Landscape, 10));
    ui::AnimationRecorder::shared().clear();
    ASSERT_TRUE(driver.tap(home()->moreBtn.lock()));
    auto list = child<TVSuHomeMsgVC>();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->view()->superview(), centre->tempView.lock());
    EXPECT_EQ(list->view()->frame().size, centre->tempView.lock()->bounds().size);
    settle();
    auto in = ui::AnimationRecorder::shared().lastFor(*list->view());
    ASSERT_TRUE(in);
    EXPECT_EQ(in->kind, ui::ViewAnimationRecord::Kind::Spring);
    EXPECT_EQ(in->duration, 0.8);
    EXPECT_EQ(in->dampingRatio, 1.0);
    EXPECT_TRUE(list->view()->transform().isIdentity());
    EXPECT_EQ(list->dataSource().size(), 4u);
    auto news = sent("News/lists").back();
    EXPECT_EQ(news.value("num"), "10");
    EXPECT_EQ(news.value("pagecode"), "1");

    // A message with a picture keeps its 70-point column; one without collapses it.
    auto table = list->tableView.lock();
    table->layoutIfNeeded();
    auto withPicture = ns::cast<TVSuHomeMsgCell>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 0)));
    auto without = ns::cast<TVSuHomeMsgCell>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(1, 0)));
    ASSERT_TRUE(withPicture && without);
    EXPECT_EQ(withPicture->imageW.lock()->constant(), 70);
    EXPECT_FALSE(withPicture->iconView.lock()->isHidden());
    EXPECT_EQ(without->imageW.lock()->constant(), 0);
    EXPECT_TRUE(without->iconView.lock()->isHidden());
    EXPECT_EQ(withPicture->contentL.lock()->text()->utf8(), "           第1条消息");

    // A message opens its details over the list; closing it leaves the list where it was.
    list->didSelectRowAtIndexPath(*table, ui::IndexPath::forRow(1, 0));
    settle();
    auto detail = child<TVSuWebVC>();
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->titleL.lock()->text()->utf8(), "消息详情");
    EXPECT_NE(detail->url()->utf8().find("/appview/News/detail?id=2"), std::string::npos);
    detail->removeClick();
    settle();
    EXPECT_FALSE(child<TVSuWebVC>());
    EXPECT_TRUE(child<TVSuHomeMsgVC>());

    list->goBack();
    settle();
    EXPECT_FALSE(child<TVSuHomeMsgVC>());
    EXPECT_FALSE(list->view()->superview());
}

TEST_F(HomeTest, CompanionAppEntriesFallBackToTheDownloadPage) {
    ASSERT_TRUE(openOn(Landscape, 10));
    auto app = ui::Application::sharedApplication();
    app->clearOpenedURLs();
    home()->goToGoldStore();
    home()->goToFanli();
    home()->getGoldCoin();
    ASSERT_EQ(app->openedURLs().size(), 3u);
    for (const auto& url : app->openedURLs())
        EXPECT_EQ(url->absoluteString()->utf8(), server.http().origin() + "/cdcloud/welcome/box?ag=agent3");
    app->addInstalledScheme("zurobox");
    home()->goToGoldStore();
    EXPECT_EQ(app->openedURLs().back()->absoluteString()->utf8(), "zuroBox://goldStoreURL");
}

TEST_F(HomeTest, SwitchAccountClosesTheCentreAndCallsTheGame) {
    ASSERT_TRUE(openOn(Landscape, 10));
    ASSERT_TRUE(driver.tap("切换账号"));
    settle();
    EXPECT_EQ(failures, (std::vector<std::string>{"-9|注销"}));
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_TRUE(ballWindow()->isHidden());
}

TEST_F(HomeTest, ProfileValuesOfTheWrongTypeReadAsMissing) {
    ASSERT_TRUE(openOn(Landscape, 10));
    auto h = home();
    h->initUIWithData(sandbox::jsonValue(R"({"uinfo":"not a profile","post":[1],"ginfo":{"fanli":null}})"));
    EXPECT_EQ(h->nameL.lock()->text()->utf8(), "玩家:(null)");
    EXPECT_EQ(h->ptbL.lock()->text()->utf8(), "平台币:(null)个");
    EXPECT_FALSE(h->activityL.lock()->text());
    EXPECT_EQ(h->realHeight(), 0);
    EXPECT_TRUE(h->checkBtn.lock()->isHidden());
    h->initUIWithData(sandbox::jsonValue(R"({"uinfo":{"nicename":7,"money":null}})"));
    EXPECT_EQ(h->nameL.lock()->text()->utf8(), "玩家:7");
    EXPECT_EQ(h->ptbL.lock()->text()->utf8(), "平台币:(null)个");
}

TEST_F(HomeTest, AFailedProfileKeepsTheSceneTexts) {
    server.userCentre().setFault("Home/index", sandbox::UserCentreStandIn::Fault::ServerError);
    ASSERT_TRUE(openOn(Landscape, 10));
    EXPECT_EQ(home()->nameL.lock()->text()->utf8(), "玩家:");
    EXPECT_TRUE(home()->msgData().empty());
    EXPECT_TRUE(sent("News/lists").empty());
}

}  // namespace
