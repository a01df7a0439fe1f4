#include <string>
#include <vector>

#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/KeyValueObserving.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/View.h"
#include "ui_test_support.h"

namespace {

using ObservationTest = UIKitTest;

// A registered class whose setter announces with the value-less pair, so
// old and new come through key-value coding.
class Score : public ns::Object {
    RT_DECLARE_CLASS(Score)
public:
    int64_t points = 0;
    void setPoints(int64_t p) {
        ns::willChangeValueForKey(*this, "points");
        points = p;
        ns::didChangeValueForKey(*this, "points");
    }
};

RT_DEFINE_CLASS(Score, ns::Object, "KVOTestScore", RT_PROPERTY(Score, points))

struct Change {
    std::string key;
    ns::Id oldValue;
    ns::Id newValue;
    bool prior;
};

ns::KeyValueObserverCallback collect(std::vector<Change>& into) {
    return [&into](ns::Object&, const std::string& key, const ns::KeyValueChange& change) {
        into.push_back({key, change.oldValue, change.newValue, change.isPrior});
    };
}

double number(const ns::Id& value) { return ns::cast<ns::Number>(value)->doubleValue(); }

TEST_F(ObservationTest, EverySetReportsOldAndNew) {
    auto score = std::make_shared<Score>();
    std::vector<Change> changes;
    auto token = ns::addObserver(*score, "points", ns::KeyValueObservingOptionOld | ns::KeyValueObservingOptionNew,
                                 collect(changes));
    score->setPoints(3);
    score->setPoints(3);
    score->setPoints(7);
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(number(changes[0].oldValue), 0);
    EXPECT_EQ(number(changes[0].newValue), 3);
    EXPECT_EQ(number(changes[1].oldValue), 3);
    EXPECT_EQ(number(changes[2].newValue), 7);
    EXPECT_EQ(changes[2].key, "points");

    ns::removeObserver(token);
    score->setPoints(9);
    EXPECT_EQ(changes.size(), 3u);
    EXPECT_FALSE(ns::hasObservers(*score));
}

TEST_F(ObservationTest, OptionsShapeTheChange) {
    auto score = std::make_shared<Score>();
    score->points = 4;
    std::vector<Change> onlyNew;
    std::vector<Change> prior;
    ns::addObserver(*score, "points", ns::KeyValueObservingOptionNew | ns::KeyValueObservingOptionInitial,
                    collect(onlyNew));
    ns::addObserver(*score, "points", ns::KeyValueObservingOptionOld | ns::KeyValueObservingOptionPrior,
                    collect(prior));
    ASSERT_EQ(onlyNew.size(), 1u);  // the initial call
    EXPECT_EQ(number(onlyNew[0].newValue), 4);
    EXPECT_EQ(onlyNew[0].oldValue, nullptr);

    score->setPoints(5);
    ASSERT_EQ(onlyNew.size(), 2u);
    EXPECT_EQ(onlyNew[1].oldValue, nullptr);
    ASSERT_EQ(prior.size(), 2u);
    EXPECT_TRUE(prior[0].prior);
    EXPECT_EQ(number(prior[0].oldValue), 4);
    EXPECT_FALSE(prior[1].prior);
    EXPECT_EQ(prior[1].newValue, nullptr);  // new was not asked for

    auto dict = ns::KeyValueChange{ns::KeyValueChangeKind::Setting, ns::Number::withInt(1), ns::Number::withInt(2), false}
                    .dictionary();
    EXPECT_EQ(number(dict->objectForKey("kind")), 1);
    EXPECT_EQ(number(dict->objectForKey("old")), 1);
    EXPECT_EQ(number(dict->objectForKey("new")), 2);
}

TEST_F(ObservationTest, ViewAndLayerSettersAnnounceTheirValues) {
    auto view = ui::View::make({0, 0, 10, 10});
    std::vector<Change> changes;
    const unsigned both = ns::KeyValueObservingOptionOld | ns::KeyValueObservingOptionNew;
    ns::addObserver(*view, "frame", both, collect(changes));
    ns::addObserver(*view, "alpha", both, collect(changes));
    ns::addObserver(*view, "hidden", both, collect(changes));
    ns::addObserver(*view->layer(), "position", both, collect(changes));

    view->setFrame({5, 5, 10, 10});
    view->setAlpha(0.5);
    view->setAlpha(0.5);
    view->setHidden(true);
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes[0].key, "position");
    EXPECT_EQ(ui::pointValue(changes[0].oldValue), (cg::Point{5, 5}));
    EXPECT_EQ(ui::pointValue(changes[0].newValue), (cg::Point{10, 10}));
    EXPECT_EQ(changes[1].key, "frame");
    EXPECT_EQ(ui::rectValue(changes[1].oldValue), cg::Rect(0, 0, 10, 10));
    EXPECT_EQ(ui::rectValue(changes[1].newValue), cg::Rect(5, 5, 10, 10));
    EXPECT_EQ(number(changes[2].oldValue), 1);
    EXPECT_EQ(number(changes[2].newValue), 0.5);
    EXPECT_EQ(changes[3].key, "hidden");
    EXPECT_TRUE(ns::cast<ns::Number>(changes[3].newValue)->boolValue());
}

TEST_F(ObservationTest, ObserversMayRemoveThemselvesWhileCalled) {
    auto score = std::make_shared<Score>();
    int calls = 0;
    ns::Id token;
    token = ns::addObserver(*score, "points", 0, [&](ns::Object&, const std::string&, const ns::KeyValueChange&) {
        ++calls;
        ns::removeObserver(token);
    });
    int others = 0;
    ns::addObserver(*score, "points", 0, [&](ns::Object&, const std::string&, const ns::KeyValueChange&) { ++others; });
    score->setPoints(1);
    score->setPoints(2);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(others, 2);
    ns::removeObservers(*score);
    EXPECT_FALSE(ns::hasObservers(*score));
}

TEST_F(ObservationTest, ADeadObjectsObserversDoNotReachItsSuccessor) {
    int calls = 0;
    const void* address;
    {
        auto score = std::make_shared<Score>();
        address = score.get();
        ns::addObserver(*score, "points", 0, [&](ns::Object&, const std::string&, const ns::KeyValueChange&) { ++calls; });
    }
    // Whatever lands at the same address is another object.
    for (int i = 0; i < 8; ++i) {
        auto next = std::make_shared<Score>();
        next->setPoints(1);
        (void)address;
    }
    EXPECT_EQ(calls, 0);
}

}  // namespace
