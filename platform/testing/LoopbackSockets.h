#pragma once
// The plain-socket steps the hand-written test servers share: a listener on
// 127.0.0.1 with a wake-up pipe, reading a request's head, writing all of a
// reply.

#include <string_view>

namespace testing::sockets {

struct Listener {
    int socket = -1;
    int port = 0;
    // Written to stop the server's accept loop.
    int wake[2] = {-1, -1};
};

// Listens on a port the system picks; throws, naming `who`, when it cannot.
Listener listenOnLoopback(const char* who);
// Reads up to the end of a request's head; false when the peer closed first.
bool readRequestHead(int connection);
// False when the peer went away first.
bool sendAll(int connection, std::string_view bytes);

}  // namespace testing::sockets
