#pragma once
// httplib's server with the limits a server on a real network needs: a
// deadline for each request's head, so a client that sends a byte now and
// then cannot hold a worker; a cap on the bytes of a request; timeouts for
// reads, writes and idle keep-alive connections; a fixed worker count.

#include <httplib.h>

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

  // Binds as bind_to_port (port 0: any free port) with a listen queue long
  // enough for bursts of new connections; the port, or -1.
  int bindWithBacklog(const std::string& host, int port, int backlog = 1024);

 private:
  bool process_and_close_socket(socket_t sock) override;
  ServerLimits limits_;
};
