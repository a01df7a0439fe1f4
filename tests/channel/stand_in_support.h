#pragma once
// Channel tests against the sandbox's channel API stand-in: the base address
// points at it, "TV.plist" carries the ids it expects.

#include <stdlib.h>

#include "channel/NetWorkManager.h"
#include "channel/VRQNetTool.h"
#include "channel_test_support.h"
#include "platform/testing/LoopbackServer.h"
#include "sandbox/ChannelServer.h"

namespace channel_test {

class StandInTest : public ChannelTest {
protected:
    StandInTest() {
        writeTVPlist();
        ::setenv("GAMEHOST_CHANNEL_API_URL", server.base().c_str(), 1);
        NetWorkManager::distroyInstance();
        VRQNetTool::distroyInstance();
    }

    // A base address nothing answers at.
    void pointAtNothing() {
        ::setenv("GAMEHOST_CHANNEL_API_URL", (testing::LoopbackServer().baseURL() + "/sdkapicoupon/").c_str(), 1);
    }

    // The fields of the last request to `endpoint`, decoded.
    ns::Ref<ns::Dictionary> lastRequest(const std::string& endpoint);

    sandbox::ChannelServer server;
};

}  // namespace channel_test
