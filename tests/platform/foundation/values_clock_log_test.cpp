#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/String.h"

namespace ns {
namespace {

// Puts the one clock on mock time for the test, as the task environment does.
class MockClock {
public:
    MockClock() { dispatch::detail::installMockClock(dispatch::DefaultMockStart); }
    ~MockClock() { dispatch::detail::uninstallMockClock(); }
    void advance(double seconds) {
        dispatch::detail::advanceMockClock(dispatch::nowTicks() + dispatch::TimeDelta::fromSeconds(seconds));
    }
};

TEST(DateClock, NowReadsTheOneClock) {
    MockClock clock;
    auto before = Date::now();
    // The mock wall clock starts on a fixed date, whatever the machine's.
    EXPECT_EQ(before->timeIntervalSince1970(), dispatch::DefaultMockWallTime);
    EXPECT_EQ(before->timeIntervalSince1970(), dispatch::wallTime());
    clock.advance(90);
    auto after = Date::now();
    EXPECT_EQ(after->timeIntervalSinceDate(*before), 90);
    EXPECT_EQ(before->timeIntervalSinceNow(), -90);
    EXPECT_EQ(Date::withTimeIntervalSinceNow(5)->timeIntervalSinceDate(*after), 5);
}

TEST(Log, CapturesMessagesAndWritesPrefixedLines) {
    LogCapture capture;
    ::testing::internal::CaptureStderr();
    log("CallbackFromIOS   value=%@", str("{\"action\":\"payNotify\"}"));
    log("plain %d%%", 50);
    std::string err = ::testing::internal::GetCapturedStderr();

    ASSERT_EQ(capture.lines(), (std::vector<std::string>{"CallbackFromIOS   value={\"action\":\"payNotify\"}", "plain 50%"}));
    EXPECT_TRUE(capture.contains("payNotify"));
    EXPECT_FALSE(capture.contains("loginNotify"));
    std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} gamehost\[\d+\] plain 50%\n)");
    EXPECT_TRUE(std::regex_search(err, line)) << err;
    capture.clear();
    EXPECT_TRUE(capture.lines().empty());

    ::testing::internal::CaptureStderr();
    logScreen("alert", "连接服务器失败 | [重试]");
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"screen: alert: 连接服务器失败 | [重试]"}));
}

TEST(Log, NestedCapturesAndOtherThreads) {
    LogCapture outer;
    {
        LogCapture inner;
        ::testing::internal::CaptureStderr();
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < 25; ++i) log("thread %d line %d", t, i);
            });
        }
        for (auto& th : threads) th.join();
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(inner.lines().size(), 100u);
    }
    ::testing::internal::CaptureStderr();
    log("after inner");
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(outer.lines().size(), 101u);
    EXPECT_EQ(outer.lines().back(), "after inner");
}

}  // namespace
}  // namespace ns
