// Remote icons of 8192 x 8192 (261 KB each) in the resource hall and in
// the store's gift tiles: the pictures decoded from data are held to the
// process's account, those past it leave their view empty with a log
// line, and closing the views gives the account back.


#include <algorithm>

#include "aggregation/stores/KVTRFixBtn.h"
#include "aggregation/stores/KVTRGiftModels.h"
#include "aggregation/welfare/KVTRResourceHall.h"
#include "platform/foundation/Log.h"
#include "platform/testing/LoopbackImageServer.h"
#include "platform/testing/PeakBound.h"
#include "platform/uikit/DecodedPixelAccount.h"
#include "tests/aggregation/welfare/welfare_test_support.h"
#include "tests/platform/graphics/hostile_images.h"

namespace {

using namespace welfaretest;

constexpr uint64_t Side = 8192;
constexpr uint64_t IconPixels = Side * Side;

class LargeIconsTest : public WelfareTest {
protected:
    LargeIconsTest() {
        const hostile::Bytes png = hostile::transparentPng(Side, Side);
        icons.serve("/icon.png", testing::ImageReply{.body = std::string(png.begin(), png.end()),
                                                     .contentType = "image/png"});
    }
    ~LargeIconsTest() override { ui::DecodedPixelAccount::shared().setLimitForTesting(ui::MaximumDecodedPixels); }

    // The goods reply with `count` cards, each showing the large icon.
    std::string replyWithIcons(int count) const {
        std::string reply = goodsReply(count);
        const std::string empty = R"("prop_img":"")";
        const std::string icon = R"("prop_img":")" + icons.url("/icon.png") + "\"";
        for (size_t at = reply.find(empty); at != reply.npos; at = reply.find(empty, at + icon.size())) {
            reply.replace(at, empty.size(), icon);
        }
        return reply;
    }

    testing::LoopbackImageServer icons;
};

TEST_F(LargeIconsTest, IconsPastTheAccountOfDecodedPixelsStayEmptyAndLoggedAndClosingGivesItBack) {
    // An account of one such icon; three cards ask for one each.
    ui::DecodedPixelAccount& account = ui::DecodedPixelAccount::shared();
    account.setLimitForTesting(IconPixels);
    ASSERT_EQ(account.pixelsHeld(), 0u);
    const std::string reply = replyWithIcons(3);
    ns::LogCapture log;
    testing::ResidentPeak peak = testing::peakFromHere();

    auto hall = std::make_shared<KVTRResourceHall>();
    hall->userInfo = text(storestest::kIdentity);
    hall->setResponseData(json(reply));
    hall->show();
    env.runUntilIdle();

    ASSERT_EQ(hall->cards.size(), 3u);
    EXPECT_EQ(icons.requestCount("/icon.png"), 3u);
    size_t shown = 0;
    for (const auto& card : hall->cards) {
        const auto& image = card->prop_img->image();
        if (!image) continue;
        ++shown;
        EXPECT_EQ(image->cgImage()->width(), int(Side));
    }
    EXPECT_EQ(shown, 1u);
    EXPECT_EQ(account.pixelsHeld(), IconPixels);
    const auto lines = log.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("(8192 x 8192) is not decoded: pictures decoded from data would "
                                                 "hold more than 67108864 pixels") != line.npos;
                            }),
              2)
        << testing::PrintToString(lines);
    // What the hall holds grows with the account, not with its cards: the
    // icons kept and one being decoded.
    const uint64_t accountBytes = 4 * account.limit();
    testing::expectGrowthUnder(peak, accountBytes + 4 * IconPixels / 2,
                               "hall of three 8192x8192 icons, account of " + std::to_string(accountBytes / testing::MiB) +
                                   " MiB");

    hall->closeClick();
    hall = nullptr;
    env.runUntilIdle();
    EXPECT_EQ(account.pixelsHeld(), 0u) << "the pictures went with the hall";
}

TEST_F(LargeIconsTest, StoreGiftTilesPastTheAccountStayEmptyAndGiveItBackWhenTheyGo) {
    ui::DecodedPixelAccount& account = ui::DecodedPixelAccount::shared();
    account.setLimitForTesting(IconPixels);
    ns::LogCapture log;
    std::vector<ns::Ref<KVTRFixBtn>> tiles;
    for (int i = 0; i < 3; ++i) {
        auto tile = std::make_shared<KVTRFixBtn>(cg::Rect{60.0 * i, 0, 50, 70});
        app->window_->addSubview(tile);
        tile->setModel(KVTRFixedGiftModel::withDictionary(json(
            R"({"mid":")" + std::to_string(i) + R"(","amount":"1","name":"Gem","bind":"1","type":"1","icon":")" +
            icons.url("/icon.png") + R"("})")));
        tiles.push_back(tile);
    }
    env.runUntilIdle();
    EXPECT_EQ(std::count_if(tiles.begin(), tiles.end(), [](const auto& tile) { return bool(tile->icon()->image()); }),
              1);
    EXPECT_EQ(account.pixelsHeld(), IconPixels);
    EXPECT_TRUE(log.contains("(8192 x 8192) is not decoded: pictures decoded from data would hold more than"));
    for (const auto& tile : tiles) tile->removeFromSuperview();
    tiles.clear();
    env.runUntilIdle();
    EXPECT_EQ(account.pixelsHeld(), 0u);
}

}  // namespace
