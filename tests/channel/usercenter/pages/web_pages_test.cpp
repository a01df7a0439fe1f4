// The in-centre web pages: the progress line on mock time, titles, back and
// close, the address rules of the child page and of the service page, and
// WebKit's caches switched off after a load.

#include <gtest/gtest.h>

#include "channel/usercenter/pages/TVSuServiceVC.h"
#include "channel/usercenter/pages/TVSuWebVC.h"
#include "channel/usercenter/pages/TVWebProgressLayer.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/Pasteboard.h"
#include "sandbox/ChannelPages.h"
#include "tests/channel/usercenter/pages/pages_test_support.h"

namespace {

class WebPagesTest : public pages_test::PagesTest {
protected:
    ns::Ref<TVSuServiceVC> service() { return page<TVSuServiceVC>(14); }
    ns::Ref<TVSuWebVC> webChild() {
        for (auto& c : centre->childViewControllers())
            if (auto page = ns::cast<TVSuWebVC>(c)) return page;
        return nullptr;
    }
    ns::Ref<ns::URLRequest> request(const std::string& address) {
        return ns::URLRequest::make(ns::URL::make(address));
    }
};

TEST_F(WebPagesTest, TheProgressLineGrowsWaitsAtNinetySevenAndGoes) {
    use(Landscape);
    auto holder = ui::Layer::make();
    auto line = TVWebProgressLayer::layerWithFrame({0, 44, 300, 2});
    holder->addSublayer(line);
    EXPECT_EQ(line->strokeEnd(), 0);
    EXPECT_EQ(line->lineWidth(), 2);
    env.fastForwardBy(1.0);
    EXPECT_EQ(line->strokeEnd(), 0);  // paused until the load starts
    line->startLoad();
    env.fastForwardBy(2.4);
    EXPECT_NEAR(line->strokeEnd(), 0.8, 0.011);
    env.fastForwardBy(5.0);
    EXPECT_LT(line->strokeEnd(), 0.97);
    env.fastForwardBy(0.3);
    double held = line->strokeEnd();
    EXPECT_GE(held, 0.97);
    env.fastForwardBy(2.3);  // a ten-second load
    EXPECT_EQ(line->strokeEnd(), held);
    line->finishedLoad();
    EXPECT_EQ(line->strokeEnd(), 1.0);
    EXPECT_FALSE(line->timer());
    env.fastForwardBy(0.2);
    EXPECT_EQ(line->superlayer(), holder);
    env.fastForwardBy(0.1);
    EXPECT_TRUE(line->isHidden());
    EXPECT_FALSE(line->superlayer());
}

TEST_F(WebPagesTest, TheServicePageShowsTheChatAndCopiesCodes) {
    ASSERT_TRUE(openOn(Landscape, 14));
    auto page = service();
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->backBtn.lock()->isHidden());
    auto web = page->webView.lock();
    EXPECT_EQ(web->request()->URL()->path()->utf8(), "/robot/h5chat.html");
    auto defaults = ns::UserDefaults::standardUserDefaults();
    EXPECT_TRUE(defaults->objectForKey("WebKitCacheModelPreferenceKey"));
    EXPECT_EQ(defaults->integerForKey("WebKitCacheModelPreferenceKey"), 0);
    EXPECT_FALSE(defaults->boolForKey("WebKitDiskImageCacheEnabled"));

    ns::LogCapture log;
    ui::Pasteboard::generalPasteboard()->setString(std::nullopt);
    EXPECT_TRUE(page->shouldStartLoadWithRequest(*web, request(std::string("tovcopy://copy?a?") +
                                                               sandbox::channel_pages::kChatGiftCode),
                                                 web::LegacyNavigationType::LinkClicked));
    EXPECT_EQ(ui::Pasteboard::generalPasteboard()->string(), sandbox::channel_pages::kChatGiftCode);
    EXPECT_TRUE(log.contains("screen: toast: 复制成功"));
    // Without "?" the whole address.
    page->shouldStartLoadWithRequest(*web, request("tovcopy://x"), web::LegacyNavigationType::LinkClicked);
    EXPECT_EQ(ui::Pasteboard::generalPasteboard()->string(), "tovcopy://x");

    auto app = ui::Application::sharedApplication();
    app->clearOpenedURLs();
    EXPECT_TRUE(page->shouldStartLoadWithRequest(*web, request("mqq://im/chat?uin=1"),
                                                 web::LegacyNavigationType::LinkClicked));
    ASSERT_EQ(app->openedURLs().size(), 1u);
    EXPECT_EQ(app->openedURLs()[0]->absoluteString()->utf8(), "mqq://im/chat?uin=1");
}

TEST_F(WebPagesTest, FeedbackOpensAsAChildPageWithItsTitle) {
    ASSERT_TRUE(openOn(Landscape, 14));
    service()->goToFeedBackVC();
    settle();
    auto child = webChild();
    ASSERT_TRUE(child);
    EXPECT_EQ(child->url()->utf8().rfind(server.base() + "Servicesdk/feedback?gid=g42", 0), 0u);
    EXPECT_EQ(child->titleL.lock()->text()->utf8(), "问题反馈");
    EXPECT_TRUE(child->view()->transform().isIdentity());
}

TEST_F(WebPagesTest, AChildPageWithoutANameShowsTheDocumentTitleAndGoesBackInItsHistory) {
    ASSERT_TRUE(openOn(Landscape, 14));
    auto child = TVSuWebVC::openFrom(*service(), ns::str(server.http().origin() + sandbox::channel_pages::kUserPath),
                                     nullptr);
    ASSERT_TRUE(child);
    settle();
    EXPECT_EQ(child->titleL.lock()->text()->utf8(), "个人中心");
    auto web = child->webView.lock();
    web->loadRequest(request(server.http().origin() + sandbox::channel_pages::kActivityPath));
    settle();
    EXPECT_EQ(child->titleL.lock()->text()->utf8(), "开服七天乐");
    child->goBack();
    settle();
    EXPECT_EQ(child->titleL.lock()->text()->utf8(), "个人中心");
    EXPECT_TRUE(webChild());
    // No history left: back slides the page out.
    child->goBack();
    settle();
    EXPECT_FALSE(webChild());
}

TEST_F(WebPagesTest, TheChildPageTellsOfRealNameSuccessAndOpensQQOutside) {
    ASSERT_TRUE(openOn(Landscape, 14));
    auto child = TVSuWebVC::openFrom(*service(), ns::str(server.http().origin() + sandbox::channel_pages::kUserPath),
                                     "用户中心");
    settle();
    int posted = 0;
    ns::NotificationCenter::defaultCenter()->addObserver(this, "TV_RZ_NOTIFI", nullptr, [&](const auto&) { ++posted; });
    auto web = child->webView.lock();
    EXPECT_TRUE(child->shouldStartLoadWithRequest(*web, request("http://x/a?state=identifySuccess"),
                                                  web::LegacyNavigationType::LinkClicked));
    EXPECT_EQ(posted, 1);
    auto app = ui::Application::sharedApplication();
    app->clearOpenedURLs();
    EXPECT_TRUE(child->shouldStartLoadWithRequest(*web, request("mqqapi://card/show?identifySuccess"),
                                                  web::LegacyNavigationType::LinkClicked));
    EXPECT_EQ(app->openedURLs().size(), 1u);
    EXPECT_EQ(posted, 1);
    ns::NotificationCenter::defaultCenter()->removeObserver(this);
    EXPECT_EQ(child->titleL.lock()->text()->utf8(), "用户中心");
}

TEST_F(WebPagesTest, AFailedLoadCompletesTheLine) {
    ASSERT_TRUE(openOn(Landscape, 14));
    auto child = TVSuWebVC::openFrom(*service(), ns::str("http://127.0.0.1:1/nothing"), "x");
    ASSERT_TRUE(child);
    settle();
    // Each load's line is gone 0.25 s after its end.
    for (const auto& layer : child->view()->layer()->sublayers())
        EXPECT_FALSE(ns::cast<TVWebProgressLayer>(layer)) << "a line stayed";
}

}  // namespace
