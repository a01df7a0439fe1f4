// The form transports of the user centre and its pages: each goes with the
// page that made it, so openings of the centre leave no transport or session
// behind, and a reply still on its way when its page went arrives harmlessly.

#include <gtest/gtest.h>

#include "channel/usercenter/pages/TVSuHomeVC.h"
#include "channel/usercenter/pages/TVSuListSource.h"
#include "channel/usercenter/pages/TVSuTradeVC.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/channel/usercenter/pages/pages_test_support.h"

namespace {

class PageTransportsTest : public pages_test::PagesTest {
protected:
    struct Kept {
        ns::Weak<SDPHTTPSessionManager> manager;
        ns::Weak<ns::URLSession> session;
    };
    // The transports of `controller` and of every page below it, weakly.
    void keepTransports(const ns::Ref<ui::ViewController>& controller) {
        auto keep = [&](const ns::Ref<SDPHTTPSessionManager>& manager) {
            kept.push_back({manager, manager->session()});
        };
        if (auto container = ns::cast<TVSuspendVC>(controller)) keep(container->manager());
        if (auto home = ns::cast<TVSuHomeVC>(controller)) keep(home->manager());
        if (auto list = dynamic_cast<TVSuListSource*>(controller.get())) keep(list->list()->manager());
        for (const auto& child : controller->childViewControllers()) keepTransports(child);
    }
    size_t alive() const {
        size_t count = 0;
        for (const auto& k : kept) count += (k.manager.lock() || k.session.lock()) ? 1 : 0;
        return count;
    }

    std::vector<Kept> kept;
};

TEST_F(PageTransportsTest, TenOpeningsOfTheCentreAndItsPagesLeaveNoTransportBehind) {
    use(Landscape);
    for (int opening = 0; opening < 10; ++opening) {
        SCOPED_TRACE(opening);
        centre = open();
        ASSERT_TRUE(centre);
        for (int64_t tag = 11; tag < 15; ++tag) tapTab(*centre, tag);
        tapTab(*centre, 10);
        ASSERT_TRUE(driver.tap(page<TVSuHomeVC>(10)->moreBtn.lock()));
        settle();
        keepTransports(centre);
        centre->goBackGameVC();
        settle();
        ASSERT_FALSE(root->presentedViewController());
        centre = nullptr;
        env.runUntilIdle();
    }
    // The container, the home page, the message list and the four lists of
    // the other tabs, at the least, each time.
    EXPECT_GE(kept.size(), 10u * 7);
    EXPECT_EQ(sent("Transaction/lists").size(), 10u);
    EXPECT_EQ(sent("News/lists").size(), 20u);
    EXPECT_EQ(alive(), 0u);
}

TEST_F(PageTransportsTest, AReplyOnItsWayWhenThePageWentFinishesAndChangesNothing) {
    ASSERT_TRUE(openOn(Landscape, 13));
    auto trade = page<TVSuTradeVC>(13);
    ASSERT_TRUE(trade);
    keepTransports(trade);
    ASSERT_EQ(kept.size(), 1u);
    std::vector<ns::Ref<ns::Notification>> completed;
    auto token = ns::NotificationCenter::defaultCenter()->addObserverForName(
        SDPNetworkingTaskDidCompleteNotification, nullptr, nullptr,
        [&](const ns::Ref<ns::Notification>& note) { completed.push_back(note); });

    size_t asked = sent("Transaction/lists").size();
    trade->loadMoreData();
    // The page goes before the main queue turns once more: its reply cannot
    // have reached it.
    trade->view()->removeFromSuperview();
    trade->removeFromParentViewController();
    ns::Weak<TVSuTradeVC> gone = trade;
    trade = nullptr;
    ASSERT_FALSE(gone.lock());

    settle();
    ns::NotificationCenter::defaultCenter()->removeObserver(token);
    EXPECT_EQ(sent("Transaction/lists").size(), asked + 1);
    ASSERT_EQ(completed.size(), 1u);
    auto info = completed[0]->userInfo();
    EXPECT_FALSE(info && info->objectForKey(SDPNetworkingTaskDidCompleteErrorKey)) << "finished, not cancelled";
    EXPECT_EQ(alive(), 0u);
    // The centre goes on without the page.
    EXPECT_EQ(root->presentedViewController(), centre);
}

}  // namespace
