// The notice page: shown with the stand-in's notice content, read-only,
// closed through its closure; closing without one does nothing.

#include "channel/NSObject+TVLoginAPI.h"
#include "channel/TVReplyFields.h"
#include "channel/screens/TVNoticeVC.h"
#include "platform/uikit/Storyboard.h"
#include "screens_test_support.h"

namespace {

using screens_test::ScreensTest;

class NoticePageTest : public ScreensTest {
protected:
    ns::Ref<TVNoticeVC> makeNotice() {
        return ns::cast<TVNoticeVC>(
            ui::Storyboard::storyboardWithName("TVUserShow")->instantiateViewControllerWithIdentifier("TVNoticeVC"));
    }
};

TEST_F(NoticePageTest, TheNoticeShowsTheServersContentAndClosesThroughItsClosure) {
    saveKnownPlayer();
    ns::Ref<GetNotice> notice;
    TVLoginAPI::GetNoticeWithSuccess([&](const ns::Ref<GetNotice>& n) { notice = n; }, nullptr);
    env.runUntilIdle();
    ASSERT_TRUE(notice);

    // As the login card opens it: the view beside the card, the page a child.
    auto page = makeNotice();
    ASSERT_TRUE(page);
    int closes = 0;
    page->setNoticeHiddenBlock([&](TVNoticeVC& closing) {
        ++closes;
        EXPECT_EQ(&closing, page.get());
        closing.view()->removeFromSuperview();
        closing.removeFromParentViewController();
    });
    root->view()->addSubview(page->view());
    page->textView.lock()->setText(TVReply::messageText(notice->content));
    root->addChildViewController(page);
    env.runUntilIdle();

    EXPECT_TRUE(driver.findByText("欢迎来到沙盒"));
    EXPECT_TRUE(driver.findByText("公告"));
    EXPECT_FALSE(page->textView.lock()->isEditable());
    ASSERT_TRUE(driver.tap("关闭"));
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(driver.findByText("欢迎来到沙盒"));
    EXPECT_TRUE(root->childViewControllers().empty());
}

TEST_F(NoticePageTest, ClosingWithoutAClosureDoesNothing) {
    auto page = makeNotice();
    root->view()->addSubview(page->view());
    env.runUntilIdle();
    EXPECT_TRUE(driver.tap("关闭"));
    EXPECT_EQ(page->view()->superview(), root->view());
}

}  // namespace
