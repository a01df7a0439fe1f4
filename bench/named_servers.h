#pragma once
// Loopback servers by name, one per benchmark of a program, so connections a
// peer left open never hold the server threads another benchmark needs. Made
// on first use with the caller's routes, never torn down.

#include <functional>
#include <map>
#include <string>

#include "platform/testing/LoopbackServer.h"

namespace bench {

inline testing::LoopbackServer& namedServer(const std::string& name,
                                            const std::function<void(testing::LoopbackServer&)>& addRoutes) {
    static std::map<std::string, testing::LoopbackServer*> servers;
    testing::LoopbackServer*& s = servers[name];
    if (!s) {
        s = new testing::LoopbackServer();
        addRoutes(*s);
    }
    return *s;
}

}  // namespace bench
