#pragma once
// One GET to an outside server over HTTP(S), bounded in time and size: the
// platform's part of every upstream client. Linux speaks it with httplib and
// OpenSSL from a small pool of keep-alive connections; Windows with WinHTTP,
// the system's TLS and its certificate store. Certificates are checked and
// redirects never followed on both.

#include <cstddef>
#include <memory>
#include <string>

struct UpstreamTimeouts {
  int connectTimeoutMs = 3000;
  int readTimeoutMs = 5000;
  int deadlineMs = 8000;  // the whole call: connect, headers and body
};

struct UpstreamAnswer {
  // Why no answer came (no connection, too slow, too large); empty when one
  // did, whatever its status.
  std::string failure;
  int status = 0;
  std::string body;
  // The headers the clients act on, as sent; empty when absent.
  std::string retryAfter, cacheControl, expires;
};

class UpstreamHttp {
 public:
  // `origin` is "scheme://host[:port]"; an empty one answers every call
  // with a failure.
  UpstreamHttp(std::string origin, std::string userAgent, UpstreamTimeouts timeouts);
  ~UpstreamHttp();
  UpstreamHttp(const UpstreamHttp&) = delete;
  UpstreamHttp& operator=(const UpstreamHttp&) = delete;

  // GETs `target` (path and query, escaped already) with `accept` as the
  // Accept header; a body over `maxBytes` is a failure.
  UpstreamAnswer get(const std::string& target, const char* accept, std::size_t maxBytes);

 private:
  struct Connections;  // the platform's own
  std::unique_ptr<Connections> connections_;
};
