// The real-name form against the stand-in: a check that passes updates the
// reply and the saved flag and reaches the delegate 1.0 s later; a refusal
// keeps the form; a forced check hides skip.

#include <vector>

#include "channel/ShareVale.h"
#include "channel/screens/VRQRealNameView.h"
#include "platform/dispatch/Clock.h"
#include "platform/foundation/Text.h"
#include "screens_test_support.h"

namespace {

using screens_test::ScreensTest;

class RecordingDelegate : public VRQRealNameDelegate {
public:
    struct Call {
        VRQRealNameView* view;
        ns::Ref<LoginResult> response;
        double time;
    };
    void VRQRealNameViewResponse(VRQRealNameView& view, const ns::Ref<LoginResult>& response) override {
        calls.push_back({&view, response, dispatch::now()});
    }
    std::vector<Call> calls;
};

class RealNameViewTest : public ScreensTest {
protected:
    RealNameViewTest() {
        saveKnownPlayer();
        view = VRQRealNameView::realNameView();
        view->setDelegate(delegate);
        window->addSubview(view);
        env.runUntilIdle();
    }
    ns::Ref<LoginResult> mustVerify() {
        auto reply = std::make_shared<LoginResult>();
        reply->isMustRZ = true;
        reply->rzStatus = ns::str("2");
        reply->lmitTime = ns::str("1704070800000");
        return reply;
    }
    void fill(const std::string& name, const std::string& number) { fill(view, name, number); }
    void fill(const ns::Ref<VRQRealNameView>& form, const std::string& name, const std::string& number) {
        ASSERT_TRUE(driver.typeText(form->realNameF.lock(), name));
        ASSERT_TRUE(driver.typeText(form->userNumberF.lock(), number));
    }
    // Another form on the window, answering `to`, its check sent.
    ns::Ref<VRQRealNameView> sentForm(const std::shared_ptr<VRQRealNameDelegate>& to) {
        auto form = VRQRealNameView::realNameView();
        form->setDelegate(to);
        window->addSubview(form);
        env.runUntilIdle();
        fill(form, "张三", "110101199001011234");
        form->btnClick();
        return form;
    }
    static std::string savedFlag() {
        auto flag = ShareVale::sharedInstance()->isRz();
        return flag ? flag->utf8() : "(nil)";
    }

    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    ns::Ref<VRQRealNameView> view;
};

TEST_F(RealNameViewTest, APassedCheckUpdatesTheSameReplyAndTheSavedFlagOneSecondAfterTheToast) {
    auto reply = mustVerify();
    view->setReponse(reply);
    fill("张三", "110101199001011234");
    ns::LogCapture log;
    ASSERT_TRUE(driver.tap("立即认证"));
    env.runUntilIdle();
    EXPECT_TRUE(log.contains("screen: toast: 认证成功"));
    EXPECT_TRUE(delegate->calls.empty());
    double toastTime = dispatch::now();

    env.fastForwardBy(0.999);
    EXPECT_TRUE(delegate->calls.empty());
    env.fastForwardBy(0.001);
    ASSERT_EQ(delegate->calls.size(), 1u);
    EXPECT_EQ(delegate->calls[0].view, view.get());
    EXPECT_EQ(delegate->calls[0].response, reply) << "the same object";
    EXPECT_DOUBLE_EQ(delegate->calls[0].time - toastTime, 1.0);
    EXPECT_FALSE(reply->isMustRZ) << "the check's verdict replaces the login's";
    EXPECT_EQ(ns::textOf(reply->rzStatus), "1");
    EXPECT_EQ(ns::textOf(reply->lmitTime), "0");
    EXPECT_EQ(ShareVale::sharedInstance()->isRz()->utf8(), "1");

    auto sent = server.http().requests().back();
    EXPECT_EQ(sent.path, "/sdkapicoupon/login/idcheck");
}

TEST_F(RealNameViewTest, ARefusalToastsTheServersMessageAndKeepsTheForm) {
    fill("张三", "12345");
    ns::LogCapture log;
    view->btnClick();
    env.fastForwardBy(3);
    EXPECT_TRUE(log.contains("screen: toast: 身份信息有误"));
    EXPECT_TRUE(delegate->calls.empty());
    EXPECT_EQ(view->userNumberF.lock()->text()->utf8(), "12345") << "left for another try";
    EXPECT_FALSE(ShareVale::sharedInstance()->isRz());
}

TEST_F(RealNameViewTest, AForcedCheckShowsOnlyAWideConfirm) {
    view->setReponse(mustVerify());
    view->layoutIfNeeded();
    EXPECT_TRUE(view->refuseBtn.lock()->isHidden());
    EXPECT_FALSE(driver.findByText("暂不认证"));
    EXPECT_EQ(view->btn.lock()->frame(), (cg::Rect{18, 235, 264, 44}));
    EXPECT_EQ(view->frame(), (cg::Rect{0, 0, 300, 310}));
    EXPECT_EQ(view->nameView.lock()->layer()->cornerRadius(), 5);
    EXPECT_EQ(view->numberView.lock()->layer()->borderWidth(), 1);
}

TEST_F(RealNameViewTest, SkippingWithoutAReplyShowsSkipAndHandsOnNothing) {
    view->layoutIfNeeded();
    EXPECT_FALSE(view->refuseBtn.lock()->isHidden());
    ASSERT_TRUE(driver.tap("暂不认证"));
    ASSERT_EQ(delegate->calls.size(), 1u);
    EXPECT_EQ(delegate->calls[0].response, nullptr);

    // Answered, the form tells nothing more.
    view->cancelBtnClick();
    EXPECT_EQ(delegate->calls.size(), 1u);

    auto reply = std::make_shared<LoginResult>();
    auto next = VRQRealNameView::realNameView();
    next->setDelegate(delegate);
    next->setReponse(reply);
    next->cancelBtnClick();
    ASSERT_EQ(delegate->calls.size(), 2u);
    EXPECT_EQ(delegate->calls[1].response, reply) << "unchanged";
}

TEST_F(RealNameViewTest, OneCheckInFlightAndOneAnswerHoweverThePlayerTaps) {
    auto reply = mustVerify();
    view->setReponse(reply);
    fill("张三", "110101199001011234");
    // Two taps: one check.
    ASSERT_TRUE(driver.tap("立即认证"));
    EXPECT_FALSE(view->btn.lock()->isEnabled()) << "waiting for the answer";
    view->btnClick();
    env.fastForwardBy(3);
    EXPECT_EQ(server.requestsTo("login/idcheck"), 1);
    ASSERT_EQ(delegate->calls.size(), 1u);
    // Answered: neither button tells again.
    view->btnClick();
    view->cancelBtnClick();
    env.fastForwardBy(3);
    EXPECT_EQ(server.requestsTo("login/idcheck"), 1);
    EXPECT_EQ(delegate->calls.size(), 1u);
}

TEST_F(RealNameViewTest, ASkipWhileTheCheckIsOutIsTheOnlyAnswer) {
    fill("张三", "110101199001011234");
    view->btnClick();
    view->cancelBtnClick();
    ASSERT_EQ(delegate->calls.size(), 1u);
    ns::LogCapture log;
    env.fastForwardBy(3);
    EXPECT_EQ(delegate->calls.size(), 1u) << "the hand-off has gone on once";
    EXPECT_TRUE(log.contains("real name: the check passed after the player skipped it"));
}

// The verdict of a check that passes is the player's: it is saved (flag and
// reply) whatever became of the form and its delegate, who hear of it once
// at most.
TEST_F(RealNameViewTest, APassedCheckIsSavedWhateverHappenedMeanwhile) {
    // Skipped while the check was out: the hand-off goes on with the reply,
    // which the verdict then reaches.
    auto reply = std::make_shared<LoginResult>();
    reply->rzStatus = ns::str("0");
    view->setReponse(reply);
    fill("张三", "110101199001011234");
    view->btnClick();
    view->cancelBtnClick();
    env.fastForwardBy(3);
    EXPECT_EQ(savedFlag(), "1") << "after a skip";
    EXPECT_EQ(ns::textOf(reply->rzStatus), "1");
    ASSERT_EQ(delegate->calls.size(), 1u);
    EXPECT_EQ(delegate->calls[0].response, reply);

    // The form gone before the answer.
    ShareVale::sharedInstance()->setIsRz(nullptr);
    auto form = sentForm(delegate);
    form->removeFromSuperview();
    form.reset();
    env.fastForwardBy(3);
    EXPECT_EQ(savedFlag(), "1") << "with the form gone before the answer";

    // The form gone after the toast, before its delegate is told.
    ShareVale::sharedInstance()->setIsRz(nullptr);
    form = sentForm(delegate);
    env.runUntilIdle();
    form->removeFromSuperview();
    form.reset();
    env.fastForwardBy(3);
    EXPECT_EQ(savedFlag(), "1") << "with the form gone after the toast";

    // The screen it answers gone.
    ShareVale::sharedInstance()->setIsRz(nullptr);
    auto gone = std::make_shared<RecordingDelegate>();
    form = sentForm(gone);
    gone.reset();
    env.fastForwardBy(3);
    EXPECT_EQ(savedFlag(), "1") << "with its delegate gone";
    EXPECT_EQ(delegate->calls.size(), 1u) << "nobody else is told";
}

TEST_F(RealNameViewTest, ARefusalGivesTheButtonBackForAnotherTry) {
    fill("张三", "12345");
    view->btnClick();
    env.fastForwardBy(3);
    EXPECT_TRUE(view->btn.lock()->isEnabled());
    view->userNumberF.lock()->setText("");
    ASSERT_TRUE(driver.typeText(view->userNumberF.lock(), "110101199001011234"));
    view->btnClick();
    env.fastForwardBy(3);
    EXPECT_EQ(server.requestsTo("login/idcheck"), 2);
    EXPECT_EQ(delegate->calls.size(), 1u);
}

TEST_F(RealNameViewTest, AnUnreachableServerToastsOnTheFormAndNothingElseChanges) {
    pointAtClosedServer();
    fill("张三", "110101199001011234");
    ns::LogCapture log;
    view->btnClick();
    env.fastForwardBy(11);
    EXPECT_TRUE(log.contains("screen: toast: 无法连接服务器"));
    EXPECT_TRUE(delegate->calls.empty());
}

}  // namespace
