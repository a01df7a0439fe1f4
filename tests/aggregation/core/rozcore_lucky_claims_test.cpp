// The lucky-gift chain's claims: whatever a claim's reply says, the chain
// moves on to the next stage; only a claim that gets no reply at all ends
// it, and a failed claim from the custom picture still takes the picture
// off the screen.

#include <string>

#include "platform/testing/UIDriver.h"
#include "platform/uikit/ImageView.h"
#include "tests/aggregation/core/lucky_test_support.h"

namespace {

using namespace storetest;

// Claim replies that are no "200": a refusal, a number, no status, an error
// page that is no JSON.
const testing::Reply kRefusedClaims[] = {
    json(R"({"status":"500","msg":"已领取"})"),
    json(R"({"status":201})"),
    json(R"({"msg":"ok"})"),
    testing::Reply::withStatus(502, "<html>Bad Gateway</html>"),
};

class LuckyClaimTest : public LuckyChainTest {
protected:
    LuckyClaimTest() { entity->setRoleid(text("r1")); }

    // Runs the "luck" stage at once; with `CustomGift` the picture is up.
    void showLuckStage() {
        entity->addPlayerGiftLogicWithTime(0, text("luck"));
        env.fastForwardBy(0.5);
    }

    // Taps the custom picture's button; false when there is none.
    bool tapPictureButton() {
        auto picture = entity->luckyGiftView();
        if (!picture || picture->subviews().empty()) return false;
        return testing::UIDriver().tap(picture->subviews().at(0));
    }
};

TEST_F(LuckyClaimTest, APopUpClaimAnsweredWithAnythingButSuccessStillStartsTheNextStage) {
    size_t dayQueries = 0;
    for (const testing::Reply& claimReply : kRefusedClaims) {
        server.route("GET", "/luck/get", claimReply);
        showLuckStage();
        ASSERT_FALSE(verticalLuckyViews.views.empty());
        auto popup = verticalLuckyViews.views.back();
        ASSERT_EQ(popup->type->utf8(), "luck");
        popup->closeBlock();
        env.runUntilIdle();
        env.fastForwardBy(59.5);
        EXPECT_EQ(stages("/luck/index").size(), 2 * dayQueries + 1) << claimReply.body << ": not before day_time";
        env.fastForwardBy(0.6);
        ++dayQueries;
        auto queried = stages("/luck/index");
        ASSERT_EQ(queried.size(), 2 * dayQueries) << claimReply.body;
        EXPECT_EQ(queried.back(), "day") << claimReply.body;
    }
    EXPECT_EQ(stages("/luck/get").size(), std::size(kRefusedClaims));

    // The "day" stage's refused claim goes on to "active" likewise.
    auto day = verticalLuckyViews.views.back();
    ASSERT_EQ(day->type->utf8(), "day");
    day->closeBlock();
    env.runUntilIdle();
    env.fastForwardBy(90.1);
    EXPECT_EQ(stages("/luck/index").back(), "active");
}

TEST_F(LuckyClaimTest, APictureClaimAnsweredWithAnythingButSuccessTakesThePictureOffAndStartsTheDayStage) {
    answer("luck", CustomGift);
    size_t dayQueries = 0;
    for (const testing::Reply& claimReply : kRefusedClaims) {
        server.route("GET", "/luck/get", claimReply);
        showLuckStage();
        auto picture = entity->luckyGiftView();
        auto cover = entity->coverView();
        ASSERT_TRUE(picture && cover) << claimReply.body;
        ASSERT_TRUE(tapPictureButton());
        env.runUntilIdle();
        EXPECT_FALSE(picture->superview()) << claimReply.body;
        EXPECT_FALSE(cover->superview()) << claimReply.body;
        EXPECT_FALSE(entity->luckyGiftView());
        env.fastForwardBy(60.1);
        ++dayQueries;
        auto queried = stages("/luck/index");
        ASSERT_EQ(queried.size(), 2 * dayQueries) << claimReply.body;
        EXPECT_EQ(queried.back(), "day") << claimReply.body;
    }
    EXPECT_EQ(stages("/luck/get"), Stages(std::size(kRefusedClaims), "luck"));
}

TEST_F(LuckyClaimTest, APictureClaimThatGetsNoReplyTakesThePictureOffAndEndsTheChain) {
    answer("luck", CustomGift);
    testing::Reply dropped = json(R"({"status":200})");
    dropped.dropAfterBytes = 0;
    server.route("GET", "/luck/get", dropped);
    showLuckStage();
    auto picture = entity->luckyGiftView();
    auto cover = entity->coverView();
    ASSERT_TRUE(picture && cover);
    ASSERT_EQ(picture->superview(), app->window_);
    ASSERT_TRUE(tapPictureButton());
    env.runUntilIdle();

    EXPECT_EQ(stages("/luck/get"), Stages{"luck"});
    EXPECT_FALSE(picture->superview());
    EXPECT_TRUE(picture->subviews().empty()) << "the button goes with it";
    EXPECT_FALSE(cover->superview());
    EXPECT_TRUE(cover->subviews().empty()) << "the blur goes with it";
    EXPECT_FALSE(entity->luckyGiftView());
    EXPECT_FALSE(entity->coverView());
    env.fastForwardBy(1000);
    EXPECT_EQ(stages("/luck/index"), Stages{"luck"}) << "no later stage";
    EXPECT_TRUE(verticalLuckyViews.views.empty());
}

}  // namespace
