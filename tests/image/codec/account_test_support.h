#pragma once
// A test of what the decoded-pixel account is charged: it counts from what
// was held when the test began, and gives the account its own limit back
// when the test ends.

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/DecodedPixelAccount.h"

class DecodedPixelsTest : public ::testing::Test {
protected:
    ~DecodedPixelsTest() override { account.setLimitForTesting(ui::MaximumDecodedPixels); }

    // Pixels held beyond what was held when the test began.
    uint64_t held() const { return account.pixelsHeld() - before; }

    ui::DecodedPixelAccount& account = ui::DecodedPixelAccount::shared();
    const uint64_t before = account.pixelsHeld();
    // A refusal's memory warning goes to this main queue.
    testing::TaskEnvironment env;
};
