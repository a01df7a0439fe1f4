#pragma once
// The refresh tests' world: mock time on a fixed date in UTC, English as the
// preferred language, the application's own resources as the main bundle,
// fresh user defaults and refresh caches, and a key window holding a
// 390 x 600 scroll view.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/foundation/Locale.h"
#include "platform/foundation/TimeZone.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/UIDriver.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Window.h"
#include "ui/refresh/TVExtension.h"
#include "ui/refresh/TVRefreshConst.h"
#include "ui/refresh/TVRefreshBundle.h"
#include "ui/refresh/TVRefreshScrollView.h"

// 2024-03-10 09:30:00 UTC.
inline constexpr double RefreshTestNow = 1710063000;

class RefreshTestDelegate : public ui::ApplicationDelegate {
public:
    ns::Ref<ui::Window> window() const override { return window_; }
    ns::Ref<ui::Window> window_;
};

class RefreshTest : public ::testing::Test {
protected:
    RefreshTest() {
        if (const char* previous = std::getenv("GAMEHOST_RESOURCES")) savedResources_ = previous;
        ::setenv("GAMEHOST_RESOURCES", GAMEHOST_APP_RESOURCES, 1);
        env.setWallTime(RefreshTestNow);
        ns::TimeZone::setDefaultTimeZone(ns::TimeZone::timeZoneForSecondsFromGMT(0));
        ns::Locale::setPreferredLanguagesForTesting(std::vector<std::string>{"en-US"});
        forgetLastUpdatedTime();
        TV_resetRefreshBundleForTesting();
        ui::resetSharedStateForTesting();
        delegate = std::make_shared<RefreshTestDelegate>();
        delegate->window_ = ui::Window::makeFullScreen();
        ui::Application::sharedApplication()->setDelegate(delegate);
        delegate->window_->makeKeyAndVisible();
        window = delegate->window_;
        scrollView = ui::ScrollView::make({0, 0, 390, 600});
        scrollView->setContentSize({390, 1000});
        // The insets are the controls' alone: no safe-area share.
        scrollView->setContentInsetAdjustmentBehavior(ui::ScrollViewContentInsetAdjustmentBehavior::Never);
        window->addSubview(scrollView);
        env.runUntilIdle();
    }

    ~RefreshTest() override {
        ui::resetSharedStateForTesting();
        env.fastForwardUntilNoTasksRemain();
        TV_resetRefreshBundleForTesting();
        forgetLastUpdatedTime();
        ns::Locale::setPreferredLanguagesForTesting(std::nullopt);
        ns::TimeZone::setDefaultTimeZone(nullptr);
        if (savedResources_.empty()) ::unsetenv("GAMEHOST_RESOURCES");
        else ::setenv("GAMEHOST_RESOURCES", savedResources_.c_str(), 1);
    }

    // Headers save the time to the user defaults' file.
    static void forgetLastUpdatedTime() {
        ns::UserDefaults::resetStandardUserDefaultsForTesting();
        auto defaults = ns::UserDefaults::standardUserDefaults();
        defaults->removeObjectForKey(TVRefreshHeaderLastUpdatedTimeKey);
        defaults->synchronize();
    }

    // Drags the content by `dy` (positive pulls it down) and lets go.
    void drag(double dy) { ASSERT_TRUE(testing::UIDriver().drag(scrollView, {0, dy})); }

    static std::string text(const ns::Ref<ui::Label>& label) {
        return label->text() ? label->text()->utf8() : std::string();
    }

    testing::TaskEnvironment env;
    std::shared_ptr<RefreshTestDelegate> delegate;
    ns::Ref<ui::Window> window;
    ns::Ref<ui::ScrollView> scrollView;

private:
    std::string savedResources_;
};
