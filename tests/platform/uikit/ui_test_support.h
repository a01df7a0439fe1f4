#pragma once
// Each test gets mock time and a fresh view layer.

#include <gtest/gtest.h>

#include <cmath>

#include "platform/graphics/Geometry.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/StateReset.h"

class UIKitTest : public ::testing::Test {
protected:
    UIKitTest() { ui::resetSharedStateForTesting(); }
    ~UIKitTest() override { ui::resetSharedStateForTesting(); }

    testing::TaskEnvironment env;
};

inline ::testing::AssertionResult near(cg::Point actual, cg::Point expected, double tolerance = 1e-9) {
    if (std::fabs(actual.x - expected.x) <= tolerance && std::fabs(actual.y - expected.y) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << cg::toString(actual) << " is not " << cg::toString(expected);
}

inline ::testing::AssertionResult near(const cg::Rect& actual, const cg::Rect& expected, double tolerance = 1e-9) {
    bool ok = std::fabs(actual.minX() - expected.minX()) <= tolerance &&
              std::fabs(actual.minY() - expected.minY()) <= tolerance &&
              std::fabs(actual.width() - expected.width()) <= tolerance &&
              std::fabs(actual.height() - expected.height()) <= tolerance;
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << cg::toString(actual) << " is not " << cg::toString(expected);
}
