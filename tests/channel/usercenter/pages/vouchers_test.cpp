// The voucher page, made in code as any page would: the filter bar and its
// underline, the two lists, and the rows' state pictures.

#include <gtest/gtest.h>

#include "channel/usercenter/pages/TVSuCouponVC.h"
#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "platform/uikit/AnimationRecorder.h"
#include "platform/uikit/Label.h"
#include "sandbox/Json.h"
#include "tests/channel/usercenter/pages/pages_test_support.h"

namespace {

using Strings = std::vector<std::string>;

class VouchersTest : public pages_test::PagesTest {
protected:
    ns::Ref<TVSuCouponVC> show() {
        use(Landscape);
        auto page = std::make_shared<TVSuCouponVC>();
        root->addChildViewController(page);
        root->view()->addSubview(page->view());
        settle();
        return page;
    }
    ns::Ref<ui::Button> filter(TVSuCouponVC& page, int64_t tag) {
        return ns::cast<ui::Button>(page.midView()->viewWithTag(tag));
    }
    Strings requests() {
        Strings found;
        for (const auto& request : server.http().requests())
            if (request.path.find("/home/getCoupons") != std::string::npos)
                found.push_back(request.path.substr(request.path.rfind('/') + 1) + " " +
                                request.fields().value("pagecode"));
        return found;
    }
};

TEST_F(VouchersTest, OpensOnUsableVouchersWithTheUnderlineBelowThem) {
    auto page = show();
    auto usable = filter(*page, 100);
    ASSERT_TRUE(usable);
    EXPECT_EQ(page->chooseBtn(), usable);
    EXPECT_FALSE(usable->isEnabled());
    EXPECT_EQ(usable->titleColorForState(ui::ControlStateDisabled), TVSuPageScenes::kOrange);
    auto line = page->indicator();
    EXPECT_EQ(line->center().x, usable->center().x);
    EXPECT_EQ(line->frame().size.width, usable->titleLabel()->frame().size.width);
    EXPECT_EQ(line->frame().origin.y, 38);
    EXPECT_EQ(page->tableView()->frame(), (cg::Rect{0, 40, 300, 187}));
    EXPECT_EQ(requests(), Strings{"getCoupons 1"});
    EXPECT_EQ(page->dataSource().size(), 4u);
    auto fields = sent("home/getCoupons").at(0);
    EXPECT_EQ(fields.value("username"), "player1");
    EXPECT_EQ(fields.value("gid"), "g42");
}

TEST_F(VouchersTest, AllRecordsMovesTheUnderlineAndLoadsTheLog) {
    auto page = show();
    auto all = filter(*page, 101);
    ASSERT_TRUE(driver.tap(all));
    auto moved = ui::AnimationRecorder::shared().lastFor(*page->indicator());
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->duration, 0.25);
    EXPECT_TRUE(moved->animates(*page->indicator(), "position"));
    EXPECT_EQ(page->indicator()->center().x, all->center().x);
    settle();
    EXPECT_EQ(requests(), (Strings{"getCoupons 1", "getCouponsLog 1"}));
    EXPECT_TRUE(filter(*page, 100)->isEnabled());
    EXPECT_FALSE(all->isEnabled());
    // The chosen filter again: nothing.
    page->btnClick(*all);
    settle();
    EXPECT_EQ(requests().size(), 2u);
    page->list()->loadMoreData();
    settle();
    EXPECT_EQ(requests().back(), "getCouponsLog 2");
}

TEST_F(VouchersTest, RowsShowTheVoucherAndItsStatePicture) {
    auto page = show();
    auto table = page->tableView();
    table->layoutIfNeeded();
    auto ended = ns::cast<TVSuCouponCell>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(1, 0)));
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->timeL.lock()->text()->utf8(), "· 有效期：2024-01-01至2024-12-31");
    EXPECT_EQ(ended->moneyL.lock()->text()->utf8(), "· 满100元可用");
    EXPECT_EQ(ended->couponL.lock()->text()->utf8(), "10");
    EXPECT_EQ(ended->model()->stateImageName(), "TV_suCouponState_end.png");
    EXPECT_TRUE(ended->stateImageView.lock()->image());
    auto usable = ns::cast<TVSuCouponCell>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 0)));
    EXPECT_EQ(usable->model()->stateImageName(), "TV_suCouponState_0.png");
    EXPECT_TRUE(usable->stateImageView.lock()->image());

    // "status" 1 wins over any use; a use without a picture shows none.
    auto odd = TVSuRow::withDictionary<TVSuCouponModel>(sandbox::jsonValue(R"({"status":"1","use":"9"})"));
    EXPECT_EQ(odd->stateImageName(), "TV_suCouponState_end.png");
    auto unknown = TVSuRow::withDictionary<TVSuCouponModel>(sandbox::jsonValue(R"({"status":"0","use":"9"})"));
    usable->setModel(unknown);
    EXPECT_FALSE(usable->stateImageView.lock()->image());
}

}  // namespace
