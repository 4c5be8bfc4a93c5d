#pragma once
// A service on the user's own PC answers only requests addressed to it by
// its loopback name: a web page that rebinds its own host name to 127.0.0.1
// sends its own name as Host, and gets nothing.

#include <string_view>

namespace httplib {
class Server;
}

// "127.0.0.1:PORT" or "localhost:PORT" (any case), and nothing else.
bool isOwnLoopbackHost(std::string_view host, int port);

// Answers 403 to every request whose Host is not one of the above.
void requireOwnLoopbackHost(httplib::Server& server, int port);
