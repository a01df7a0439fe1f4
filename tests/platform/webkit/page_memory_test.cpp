// A page whose scripts keep what they allocate is ended at its heap's
// ceiling, as a content process that exhausts its memory is: the app's
// process gets the memory back, its navigation delegate hears of it, and
// the view loads the next page. A page that only churns runs on.

#include <gtest/gtest.h>

#include "platform/foundation/Log.h"
#include "platform/testing/PeakBound.h"
#include "platform/testing/ResidentMemory.h"
#include "platform/webkit/WebError.h"
#include "tests/platform/webkit/web_test_support.h"

namespace webtest {
namespace {

using testing::MiB;

class PageMemoryTest : public WebViewTest {
protected:
    // The last number the page posted.
    int64_t lastCount() const {
        if (messages->messages.empty()) return -1;
        auto number = ns::cast<ns::Number>(messages->messages.back()->body());
        return number ? number->longLongValue() : -1;
    }
    bool loggedTheCeiling() const { return log.contains("the 256 MiB their heap may hold"); }

    ns::LogCapture log;
};

// Keeps 8 MiB more on every tick and posts how many MiB it holds.
constexpr const char* LeakingPage = R"(<script>
var keep = [];
setInterval(function () {
    for (var i = 0; i < 8; i++) keep.push(new Uint8Array(1 << 20));
    window.webkit.messageHandlers.eventComplete.postMessage(keep.length);
}, 10);
</script>)";

TEST_F(PageMemoryTest, APageThatKeepsAllocatingIsEndedAtTheCeilingAndTheViewLoadsTheNext) {
    // The code the page runs, paged in first, so that the growth below is
    // what the page holds.
    loadHTML("<script>var keep = [new Uint8Array(16)]; setInterval(function () {}, 10);</script>");
    env.fastForwardBy(0.05);
    messages->messages.clear();
    testing::ResidentPeak peak = testing::peakFromHere();
    const uint64_t before = testing::residentFromHere();
    loadHTML(LeakingPage);
    // Far longer than the page needs to reach the ceiling (32 ticks).
    env.fastForwardBy(5.0);

    EXPECT_EQ(navigation->count("terminated"), 1u);
    EXPECT_EQ(navigation->events.back(), "terminated");
    for (const auto& event : navigation->events) EXPECT_EQ(event.rfind("fail", 0), std::string::npos) << event;
    EXPECT_TRUE(loggedTheCeiling());
    // Ended when what it held came to 256 MiB, not before.
    EXPECT_GE(lastCount(), 240);
    EXPECT_LE(lastCount(), 256);
    // Nothing of it runs any more.
    size_t posted = messages->messages.size();
    env.fastForwardBy(1.0);
    EXPECT_EQ(messages->messages.size(), posted);

    // The page's heap at most (its ceiling counts each block as the
    // allocator holds it), with 16 MiB for what lies outside it: the engine's
    // and the view's own memory, and what the allocator keeps beside the
    // blocks. Given back once the page is ended.
    testing::expectGrowthUnder(peak, 256 * MiB + 16 * MiB, "a page that keeps allocating");
    testing::expectLeftHeldUnder(before, 16 * MiB + 1, "the ended page");

    loadHTML("<script>window.webkit.messageHandlers.eventComplete.postMessage('next');</script>");
    EXPECT_EQ(navigation->events.back(), "finish");
    ASSERT_FALSE(messages->messages.empty());
    EXPECT_EQ(messages->texts().back(), "next");
    EXPECT_EQ(eval("1 + 1"), "2");
}

TEST_F(PageMemoryTest, APageEndedWhileItLoadsNeitherFinishesNorFails) {
    // Each script keeps 16 MiB; the page would need 32 of them.
    std::string html = "<script>var keep = [];</script>";
    for (int i = 0; i < 32; ++i) {
        html += "<script>for (var i = 0; i < 16; i++) keep.push(new Uint8Array(1 << 20));"
                "window.webkit.messageHandlers.eventComplete.postMessage(keep.length);</script>";
    }
    loadHTML(html);
    EXPECT_EQ(navigation->count("terminated"), 1u);
    EXPECT_EQ(navigation->count("finish"), 0u);
    for (const auto& event : navigation->events) EXPECT_EQ(event.rfind("fail", 0), std::string::npos) << event;
    EXPECT_LT(lastCount(), 256);
    EXPECT_TRUE(loggedTheCeiling());
    // The view keeps the page's address, so that a reload starts it again.
    ASSERT_TRUE(view->URL());
    EXPECT_EQ(view->URL()->absoluteString()->utf8(), server.url("/"));
}

TEST_F(PageMemoryTest, AScriptCatchingTheRefusalIsEndedAllTheSame) {
    loadHTML("<script>var keep = [];</script>");
    Evaluation result = evaluate(
        "try { for (;;) keep.push(new Uint8Array(1 << 20)); } catch (e) { keep = null; }"
        "window.webkit.messageHandlers.eventComplete.postMessage('caught'); 'survived'");
    ASSERT_TRUE(result.completed);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->code(), web::WKErrorWebContentProcessTerminated);
    EXPECT_TRUE(messages->messages.empty());
    EXPECT_EQ(navigation->count("terminated"), 1u);
    EXPECT_TRUE(loggedTheCeiling());
}

TEST_F(PageMemoryTest, APageChurningAGibibyteWhileHoldingUnder64MiBRunsOn) {
    // 1 MiB blocks, half of them in reference cycles that only the
    // collector frees; at most 48 held at a time.
    loadHTML(R"(<script>
var ring = [], made = 0;
var timer = setInterval(function () {
    for (var i = 0; i < 16; i++, made++) {
        var block = { bytes: new Uint8Array(1 << 20) };
        if (made % 2) block.self = block;
        ring[made % 48] = block;
    }
    if (made >= 1024) {
        clearInterval(timer);
        window.webkit.messageHandlers.eventComplete.postMessage(made);
    }
}, 10);
</script>)");
    env.fastForwardBy(5.0);
    EXPECT_EQ(lastCount(), 1024);
    EXPECT_EQ(navigation->count("terminated"), 0u);
    EXPECT_FALSE(loggedTheCeiling());
    EXPECT_EQ(eval("ring.length"), "48");
}

TEST_F(PageMemoryTest, GarbageInCyclesBesideNearlyTheWholeCeilingIsCollectedNotCounted) {
    // 224 MiB held; the cycles' garbage passes the ceiling many times over
    // and the collector, asked by the refusals, frees it.
    loadHTML(R"(<script>
var held = [];
for (var i = 0; i < 224; i++) held.push(new Uint8Array(1 << 20));
var made = 0;
var timer = setInterval(function () {
    for (var i = 0; i < 16; i++, made++) {
        var block = { bytes: new Uint8Array(1 << 20) };
        block.self = block;
    }
    if (made >= 512) {
        clearInterval(timer);
        window.webkit.messageHandlers.eventComplete.postMessage(made);
    }
}, 10);
</script>)");
    env.fastForwardBy(5.0);
    EXPECT_EQ(lastCount(), 512);
    EXPECT_EQ(navigation->count("terminated"), 0u);
    EXPECT_EQ(eval("held.length"), "224");
}

}  // namespace
}  // namespace webtest
