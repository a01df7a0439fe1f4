#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "platform/security/Random.h"

namespace sec {
namespace {

class RandomTest : public testing::Test {
protected:
    void TearDown() override { Random::useSystemSource(); }
};

std::vector<std::uint32_t> draw(int count) {
    std::vector<std::uint32_t> values;
    for (int i = 0; i < count; ++i)
        values.push_back(Random::next32());
    return values;
}

TEST_F(RandomTest, SeedMakesEveryCallRepeatable) {
    Random::seedForTesting(42);
    const auto values = draw(8);
    const auto bytes = Random::bytes(13);
    const auto bounded = Random::uniform(1000);

    Random::seedForTesting(42);
    EXPECT_EQ(draw(8), values);
    EXPECT_EQ(Random::bytes(13), bytes);
    EXPECT_EQ(Random::uniform(1000), bounded);

    Random::seedForTesting(43);
    EXPECT_NE(draw(8), values);
}

TEST_F(RandomTest, SeededValuesAreSpreadOut) {
    Random::seedForTesting(7);
    const auto values = draw(64);
    EXPECT_EQ(std::set<std::uint32_t>(values.begin(), values.end()).size(), values.size());
    const auto bytes = Random::bytes(4096);
    EXPECT_EQ(std::set<std::uint8_t>(bytes.begin(), bytes.end()).size(), 256u);
}

TEST_F(RandomTest, SystemSourceIsNotTheSeededSequence) {
    Random::seedForTesting(1);
    const auto seeded = Random::bytes(32);
    Random::seedForTesting(1);
    Random::useSystemSource();
    EXPECT_NE(Random::bytes(32), seeded);
    EXPECT_NE(Random::bytes(32), Random::bytes(32));
    EXPECT_TRUE(Random::bytes(0).empty());
}

TEST_F(RandomTest, UniformOfZeroOrOneIsZero) {
    Random::useSystemSource();
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(Random::uniform(0), 0u);
        EXPECT_EQ(Random::uniform(1), 0u);
    }
}

TEST_F(RandomTest, UniformStaysBelowItsBoundAndReachesEveryValue) {
    Random::seedForTesting(2024);
    std::set<std::uint32_t> seen;
    for (int i = 0; i < 2000; ++i) {
        const std::uint32_t value = Random::uniform(6);
        ASSERT_LT(value, 6u);
        seen.insert(value);
    }
    EXPECT_EQ(seen.size(), 6u);

    // Bounds just past half the range reject almost half the draws.
    for (std::uint32_t bound : {0x80000001u, 0xfffffffeu, 0xffffffffu}) {
        for (int i = 0; i < 1000; ++i)
            ASSERT_LT(Random::uniform(bound), bound);
    }
}

}  // namespace
}  // namespace sec
