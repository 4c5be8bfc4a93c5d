#pragma once
// httplib's server with the limits a server on a real network needs: a
// deadline for each request's head, so a client that sends a byte now and
// then cannot hold a worker; a cap on the bytes of a request; timeouts for
// reads, writes and idle keep-alive connections; a fixed worker count; a
// share of the connections per client. Each request's head is read and
// checked whole before the library sees it: a malformed one gets one page
// and the connection closes, so no later byte is taken for a request.

#include <httplib.h>

#include <atomic>
#include <ostream>

class ClientLimits;

struct ServerLimits {
  int headDeadlineMs = 10000;    // from a request's first byte to the end of its head
  int readTimeoutMs = 5000;      // the longest silence while a request comes in
  int writeTimeoutMs = 5000;     // the longest a stalled client may block an answer
  int keepAliveMs = 5000;        // the longest an idle connection is kept
  int keepAliveRequests = 1000;  // requests on one connection at most
  int connectionMs = 60000;      // after this, a connection closes after its current answer
  std::size_t maxRequestBytes = 16 * 1024;  // request line, headers and body together
  int workers = 64;
};

class HardenedServer : public httplib::Server {
 public:
  explicit HardenedServer(ServerLimits limits = {});

  // Each client's share of the connections (trusted proxies are not held to
  // it), and where refused requests are logged; either may be null.
  void guard(ClientLimits* clients, std::ostream* log);

  // Binds as bind_to_port (port 0: any free port) with a listen queue long
  // enough for bursts of new connections; the port, or -1.
  int bindWithBacklog(const std::string& host, int port, int backlog = 1024);

 private:
  // The library's own private virtual, not its public interface: see the
  // version check in hardened_server.cpp.
  bool process_and_close_socket(socket_t sock) override;
  // Whether `peer`, whose network's connections are all taken, gets one
  // after all; refused, it holds none.
  bool waitForShare(const std::string& peer);
  ServerLimits limits_;
  ClientLimits* clients_ = nullptr;
  std::ostream* log_ = nullptr;
  std::atomic<int> queued_{0};  // accepted connections waiting for a worker
};
