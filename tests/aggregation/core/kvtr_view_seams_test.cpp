// The view factory's makers and the goods models' key-value filling.

#include <gtest/gtest.h>

#include "aggregation/core/KVTRGMModel.h"
#include "aggregation/core/KVTRVIPModel.h"
#include "aggregation/core/KVTRViewFactory.h"
#include "net/ModelMapping.h"
#include "platform/foundation/KeyValueCoding.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/StateReset.h"

namespace {

class FakeHall : public KVTRGMShopView {
public:
    void show() override {}
};

class ViewFactoryTest : public ::testing::Test {
protected:
    ~ViewFactoryTest() override {
        KVTRViewFactory::shared().reset();
        ui::resetSharedStateForTesting();
    }
    testing::TaskEnvironment env;
};

TEST_F(ViewFactoryTest, TheAppMakesOnlyThePlainBanner) {
    auto& factory = KVTRViewFactory::shared();
    EXPECT_EQ(factory.makeNoticeView(), nullptr);
    EXPECT_EQ(factory.makeGMShopView(), nullptr);
    EXPECT_EQ(factory.makeVerticalGMShopView(), nullptr);
    EXPECT_EQ(factory.makeResourceHallView(), nullptr);
    EXPECT_EQ(factory.makeVerResourceHallView(), nullptr);
    EXPECT_EQ(factory.makeLuckyPlayerView(), nullptr);
    EXPECT_EQ(factory.makeVerticalLuckyPlayerView(), nullptr);

    auto banner = factory.makeTimePopView();
    ASSERT_TRUE(banner);
    ASSERT_TRUE(banner->lastTimeLabel);
    EXPECT_EQ(banner->lastTimeLabel->superview().get(), banner.get());
    banner->setFrame({0, 0, 200, 40});
    EXPECT_EQ(banner->lastTimeLabel->frame().size.width, 200) << "the label follows the banner";
}

TEST_F(ViewFactoryTest, InstalledMakersAreUsedUntilReset) {
    auto& factory = KVTRViewFactory::shared();
    auto hall = std::make_shared<FakeHall>();
    factory.setGMShopViewMaker([hall] { return hall; });
    EXPECT_EQ(factory.makeGMShopView(), hall);
    EXPECT_EQ(factory.makeVerticalGMShopView(), nullptr) << "each kind has its own maker";

    factory.setTimePopViewMaker(nullptr);
    EXPECT_TRUE(factory.makeTimePopView()) << "nil restores the plain banner";
    factory.reset();
    EXPECT_EQ(factory.makeGMShopView(), nullptr);
}

template <class Model>
void checkGoodsFilling() {
    auto goods = ns::MutableDictionary::make();
    goods->setObjectForKey(ns::String::make("17"), "id");
    goods->setObjectForKey(ns::String::make("月卡"), "name");
    goods->setObjectForKey(ns::Number::withInt(30), "price");
    goods->setObjectForKey(ns::Number::withInt(1), "status");

    auto model = ns::cast<Model>(rt::classNamed(Model::staticClass()->name())->create());
    ASSERT_TRUE(model);
    model->setValuesForKeysWithDictionary(*goods);
    EXPECT_EQ(ns::textOf(model->categoryid), "17");
    EXPECT_EQ(ns::textOf(model->status), "1") << "a number status becomes its text";
    EXPECT_EQ(ns::textOf(ns::valueForKey(*model, "categoryid")), "17");

    // An id sent as a number still matches the status reply's text keys.
    ns::setValueForKey(*model, ns::Number::withLongLong(42), "id");
    EXPECT_EQ(ns::textOf(model->categoryid), "42");
    ns::setValueForKey(*model, ns::Null::null(), "status");
    EXPECT_EQ(model->status, nullptr);
}

TEST(GoodsModels, FillByKeyValueCodingWithIdAsCategory) {
    checkGoodsFilling<KVTRGMModel>();
    checkGoodsFilling<KVTRVIPModel>();
}

// Dictionary mapping knows the same rename through the models' hook.
template <class Model>
void checkGoodsMapping() {
    auto rename = Model::qz_replacedKeyFromPropertyName();
    ASSERT_TRUE(rename);
    EXPECT_EQ(rename->count(), 1u);
    EXPECT_EQ(ns::textOf(rename->objectForKey("categoryid")), "id");

    auto goods = ns::MutableDictionary::make();
    goods->setObjectForKey(ns::String::make("17"), "id");
    goods->setObjectForKey(ns::String::make("7"), "gift_id");
    goods->setObjectForKey(ns::String::make("elsewhere"), "categoryid");
    auto model = qz_objectWithKeyValues<Model>(goods);
    ASSERT_TRUE(model);
    EXPECT_EQ(ns::textOf(model->categoryid), "17");
    EXPECT_EQ(ns::textOf(model->gift_id), "7");
}

TEST(GoodsModels, DictionaryMappingTakesCategoryIdFromId) {
    checkGoodsMapping<KVTRGMModel>();
    checkGoodsMapping<KVTRVIPModel>();
}

}  // namespace
