// The notice step of the login hand-off over several logins: a notice is shown
// when it has content and is marked to show again or carries an id other
// than the one last shown (ids compared by value, a number equal to its
// decimal text); a failed notice request goes on to the sub-accounts.

#include "channel/ShareVale.h"
#include "login_test_support.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"

namespace {

constexpr const char* kContent = "今晚维护公告";

class LoginNoticeTest : public login_test::LoginTest {
protected:
    LoginNoticeTest() {
        // Every opening logs in by itself as the stand-in's known player.
        saveKnownPlayer();
        ShareVale::sharedInstance()->setLoginStyle(1);
    }

    // The notice reply's data; a nil value leaves its key out.
    void setNotice(const ns::Id& content, const ns::Id& status, const ns::Id& id) {
        auto data = ns::MutableDictionary::make();
        if (content) data->setObjectForKey(content, "content");
        if (status) data->setObjectForKey(status, "status");
        if (id) data->setObjectForKey(id, "id");
        server.setReply("Sdkmsg/indexios",
                        ns::Dictionary::make({{"code", ns::str("1")}, {"msg", ns::str("ok")}, {"data", data}}));
    }

    // One whole login; whether the notice showed on the way.
    bool loginShowsNotice() {
        open();
        env.fastForwardBy(1.0);
        bool shown = driver.findByText(kContent) != nullptr;
        finishHandOff();
        env.fastForwardBy(1.0);
        return shown;
    }
    std::string savedId() { return login_test::textOr(ShareVale::sharedInstance()->noticeId()); }
};

TEST_F(LoginNoticeTest, AnUnchangedIdIsShownOnceWhetherANumberOrAText) {
    setNotice(ns::str(kContent), ns::str("0"), ns::num(9));
    EXPECT_TRUE(loginShowsNotice()) << "a new id";
    EXPECT_EQ(savedId(), "9");
    EXPECT_FALSE(loginShowsNotice()) << "the number 9 is the saved 9";

    setNotice(ns::str(kContent), ns::num(0), ns::str("9"));
    EXPECT_FALSE(loginShowsNotice()) << "the text 9 is the saved 9";

    setNotice(ns::str(kContent), ns::str("0"), ns::num(10));
    EXPECT_TRUE(loginShowsNotice()) << "another id";
    EXPECT_EQ(savedId(), "10");
    ASSERT_EQ(game.successes.size(), 4u);
}

TEST_F(LoginNoticeTest, StatusOneShowsTheNoticeAtEveryLogin) {
    setNotice(ns::str(kContent), ns::num(1), ns::num(9));
    EXPECT_TRUE(loginShowsNotice());
    EXPECT_TRUE(loginShowsNotice());
    setNotice(ns::str(kContent), ns::str("1"), ns::str("9"));
    EXPECT_TRUE(loginShowsNotice());
}

TEST_F(LoginNoticeTest, NoContentNoNoticeAndTwoAbsentIdsAreTheSame) {
    setNotice(ns::Null::null(), ns::num(1), ns::num(5));
    EXPECT_FALSE(loginShowsNotice()) << "a null content is never shown";
    EXPECT_EQ(savedId(), "(nil)") << "and its id is not kept";

    setNotice(ns::str(kContent), ns::str("0"), nullptr);
    EXPECT_FALSE(loginShowsNotice()) << "no id now, none saved";
    ASSERT_EQ(game.successes.size(), 2u);
}

TEST_F(LoginNoticeTest, AFailedNoticeRequestGoesOnToTheSubAccounts) {
    server.setReply("Sdkmsg/indexios", ns::Dictionary::make({{"code", ns::str("0")}, {"msg", ns::str("无公告")}}));
    EXPECT_FALSE(loginShowsNotice());
    server.setReply("Sdkmsg/indexios", ns::Id());  // no notice reply at all
    EXPECT_FALSE(loginShowsNotice());
    EXPECT_EQ(server.requestsTo("Sdkmsg/indexios"), 2);
    ASSERT_EQ(game.successes.size(), 2u) << "each login reached the game through the sub-account choice";
    EXPECT_EQ(game.successes[1], "1704067200|player1_1|sign-player1-1|1");
}

}  // namespace
