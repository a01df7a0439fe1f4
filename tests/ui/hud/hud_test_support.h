#pragma once
// The HUD tests' world: mock time, a fresh view layer and a launched
// application whose delegate has one full-screen key window (the notched
// 390 x 844 phone).

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/String.h"
#include "platform/graphics/Geometry.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Window.h"

class HudTestDelegate : public ui::ApplicationDelegate {
public:
    ns::Ref<ui::Window> window() const override { return window_; }
    ns::Ref<ui::Window> window_;
};

class HudTest : public ::testing::Test {
protected:
    HudTest() {
        ui::resetSharedStateForTesting();
        delegate = std::make_shared<HudTestDelegate>();
        delegate->window_ = ui::Window::makeFullScreen();
        ui::Application::sharedApplication()->setDelegate(delegate);
        delegate->window_->makeKeyAndVisible();
        window = delegate->window_;
        env.runUntilIdle();
    }

    ~HudTest() override {
        // Settle what the test left queued, so that no operation is cut off
        // half-way when the clock goes.
        ui::resetSharedStateForTesting();
        env.fastForwardUntilNoTasksRemain();
    }

    testing::TaskEnvironment env;
    std::shared_ptr<HudTestDelegate> delegate;
    ns::Ref<ui::Window> window;
};

// Names of the notifications that start with `prefix`, in the order posted.
class NotificationLog {
public:
    explicit NotificationLog(std::string prefix) : prefix_(std::move(prefix)) {
        ns::NotificationCenter::defaultCenter()->addObserver(this, "", nullptr,
                                                             [this](const ns::Ref<ns::Notification>& n) {
                                                                 if (n->name().rfind(prefix_, 0) == 0) {
                                                                     names.push_back(n->name());
                                                                     times.push_back(dispatch::now());
                                                                     all.push_back(n);
                                                                 }
                                                             });
    }
    ~NotificationLog() { ns::NotificationCenter::defaultCenter()->removeObserver(this); }

    // When the first notification of that name was posted; NAN if never.
    double timeOf(const std::string& name) const {
        for (size_t i = 0; i < names.size(); ++i) {
            if (names[i] == name) return times[i];
        }
        return NAN;
    }

    std::vector<std::string> names;
    std::vector<double> times;
    std::vector<ns::Ref<ns::Notification>> all;

private:
    std::string prefix_;
};

inline ns::Ref<ns::String> text(const std::string& s) { return ns::String::make(s); }

inline ::testing::AssertionResult near(const cg::Rect& actual, const cg::Rect& expected, double tolerance = 1e-6) {
    bool ok = std::fabs(actual.minX() - expected.minX()) <= tolerance &&
              std::fabs(actual.minY() - expected.minY()) <= tolerance &&
              std::fabs(actual.width() - expected.width()) <= tolerance &&
              std::fabs(actual.height() - expected.height()) <= tolerance;
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << cg::toString(actual) << " is not " << cg::toString(expected);
}
