#pragma once
// A plain HTTP client for the sandbox tests, so the servers are exercised
// over real sockets without the app's own network stack in between.

#include <string>

#include "platform/foundation/Dictionary.h"
#include "platform/runtime/Object.h"
#include "sandbox/HttpServer.h"

namespace sandbox::test {

struct Reply {
    int status = 0;  // 0: no reply at all
    std::string body;
    // The body's JSON value, nil when it is not JSON.
    ns::Id json() const;
    // json() as a dictionary; nil when it is not one.
    ns::Ref<ns::Dictionary> object() const;
};

Reply get(const HttpServer& server, const std::string& pathAndQuery);
Reply post(const HttpServer& server, const std::string& path, const std::string& formBody);

// The text under `key` of a dictionary, "" when absent or not text.
std::string text(const ns::Id& dictionary, const std::string& key);
ns::Id valueAt(const ns::Id& dictionary, const std::string& key);

}  // namespace sandbox::test
