// What the blocking read promises and nothing else would catch: its time in
// all is 60 s by default, a host that stops answering is left at the read's
// own bound, and after a redirect each server is checked against its own
// host.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/foundation/BlockingRead.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URL.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/ScopedSystemAnchor.h"
#include "platform/testing/SilentServer.h"
#include "platform/testing/TestCertificates.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string bytesOf(const ns::Ref<ns::Data>& data) { return data ? std::string(data->view()) : std::string("<nil>"); }

// The default limits, read on a clock that jumps by `jump` once the first
// hop of a redirect has been answered.
std::string readAfterAJump(std::chrono::seconds jump, const std::string& why) {
    testing::LoopbackServer server;
    server.route("GET", "/moved", testing::Reply::redirect("/icon"));
    server.route("GET", "/icon", testing::Reply::text("icon bytes", "image/png"));
    ns::detail::BlockingReadLimits limits;
    const auto start = Clock::now();
    limits.clock = [&server, start, jump] { return server.requestCount() == 0 ? start : start + jump; };
    ns::LogCapture log;
    const std::string read = bytesOf(ns::detail::blockingRead(ns::URL::make(server.url("/moved")), limits));
    EXPECT_EQ(log.contains(server.url("/moved") + ": " + why), read == "<nil>") << jump.count() << " s later";
    return read;
}

TEST(DataFromURLBounds, ByDefaultAReadTakesSixtySecondsInAllAndNoMore) {
    EXPECT_EQ(readAfterAJump(std::chrono::seconds(50), ""), "icon bytes");
    EXPECT_EQ(readAfterAJump(std::chrono::seconds(61), "it took longer than 60 seconds in all"), "<nil>");
}

TEST(DataFromURLBounds, AHostThatStopsAnsweringIsLeftAtTheReadsOwnIdleBound) {
    testing::SilentServer silent;
    ns::detail::BlockingReadLimits limits;
    // Far below the transports' default, and below the read's time in all:
    // only the read's own bound can end it this early.
    limits.idleSeconds = 0.3;
    limits.totalSeconds = 30;
    ns::LogCapture log;
    EXPECT_FALSE(ns::detail::blockingRead(ns::URL::make(silent.url("/icon.png")), limits));
    EXPECT_TRUE(log.contains(silent.url("/icon.png") + ": its host stopped answering"));
}

TEST(DataFromURLBounds, EachHopsServerIsCheckedAgainstItsOwnHost) {
    testing::TestCertificates certificates;
    testing::ScopedSystemAnchor anchor(certificates.ca());
    // 127.0.0.1 with a certificate for that address only, redirecting to
    // localhost, which has a certificate for that name only.
    testing::LoopbackServer byName(certificates.nameOnly());
    byName.route("GET", "/icon", testing::Reply::text("icon bytes", "image/png"));
    const std::string named = "https://localhost:" + std::to_string(byName.port()) + "/icon";
    testing::LoopbackServer byAddress(certificates.addressOnly());
    byAddress.route("GET", "/moved", testing::Reply::redirect(named));
    EXPECT_EQ(bytesOf(ns::Data::withContentsOfURL(ns::URL::make(byAddress.url("/moved")))), "icon bytes");
    EXPECT_EQ(byName.requestCount(), 1u);

    // The same hosts with their certificates swapped: neither passes.
    testing::LoopbackServer wrongName(certificates.addressOnly());
    wrongName.route("GET", "/icon", testing::Reply::text("icon bytes", "image/png"));
    testing::LoopbackServer viaAddress(certificates.addressOnly());
    viaAddress.route("GET", "/moved",
                     testing::Reply::redirect("https://localhost:" + std::to_string(wrongName.port()) + "/icon"));
    ns::LogCapture log;
    EXPECT_FALSE(ns::Data::withContentsOfURL(ns::URL::make(viaAddress.url("/moved"))));
    EXPECT_TRUE(log.contains("its server is not trusted"));
    EXPECT_EQ(wrongName.requestCount(), 0u);
    testing::LoopbackServer nameAtAddress(certificates.nameOnly());
    nameAtAddress.route("GET", "/icon", testing::Reply::text("icon bytes", "image/png"));
    EXPECT_FALSE(ns::Data::withContentsOfURL(ns::URL::make(nameAtAddress.url("/icon"))));
}

}  // namespace
