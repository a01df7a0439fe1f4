#pragma once
// The user centre's world: the channel tests' fresh app against the
// sandbox's channel stand-in, logged in as its known player, with the
// requests the stand-in got readable by path.

#include <stdlib.h>

#include <string>
#include <vector>

#include "channel/ShareVale.h"
#include "sandbox/ChannelServer.h"
#include "sandbox/FormFields.h"
#include "tests/channel/channel_test_support.h"

namespace usercentre_test {

class UserCentreTest : public channel_test::ChannelTest {
protected:
    UserCentreTest() {
        writeTVPlist();
        ::setenv("GAMEHOST_CHANNEL_API_URL", server.base().c_str(), 1);
        ShareVale::sharedInstance()->setUserName(ns::str(sandbox::ChannelServer::kKnownUser));
    }

    // The form fields of each request to "/sdkapicoupon/<path>", in order.
    std::vector<sandbox::FormFields> sent(const std::string& path) const {
        std::vector<sandbox::FormFields> found;
        for (const auto& request : server.http().requests())
            if (request.path == "/sdkapicoupon/" + path) found.push_back(request.fields());
        return found;
    }
    std::vector<std::string> pagecodes(const std::string& path) const {
        std::vector<std::string> codes;
        for (const auto& fields : sent(path)) codes.push_back(fields.value("pagecode"));
        return codes;
    }

    sandbox::ChannelServer server;
};

}  // namespace usercentre_test
