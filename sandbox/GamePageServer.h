#pragma once
// Stand-in of the game-page server: the sample game page at "/".

#include "sandbox/HttpServer.h"

namespace sandbox {

class GamePageServer {
public:
    explicit GamePageServer(int port = 0);

    HttpServer& http() { return http_; }
    const HttpServer& http() const { return http_; }
    // The address the app loads: origin + "/".
    std::string pageURL() const { return http_.origin() + "/"; }

private:
    HttpServer http_;
};

}  // namespace sandbox
