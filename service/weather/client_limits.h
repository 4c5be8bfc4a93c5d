#pragma once
// Fairness between clients: who a request stands for (behind a trusted proxy,
// the address the proxy reports), how many upstream calls each client may
// cause, and how many connections and waiting requests each may hold, so
// that one client cannot spend everyone's budget or take every worker.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "service/weather/call_budget.h"

struct ClientLimitSettings {
  // Upstream calls one client may cause: a burst, then so many an hour. One
  // person with three places causes at most 18 an hour.
  int callBurst = 20;
  int callsPerHour = 60;
  int connections = 16;  // open connections per client; trusted proxies are not counted
  int waiting = 4;       // requests per client waiting on the upstream at once
  std::vector<std::string> trustedProxies;  // peers whose X-Forwarded-For / X-Real-IP count
  std::size_t maxClients = 100000;          // clients whose calls are counted at once, at most
};

// The network a client's address stands for, as its shares are counted: an
// IPv4 address by its /24 ("192.0.2.0/24"), an IPv6 address by its /64
// ("2001:db8:0:7::/64"), an IPv4 address mapped into IPv6 as IPv4. Anything
// else is its own network.
std::string networkOf(std::string_view address);

struct ClientStats {
  long long callRefusals = 0, connectionRefusals = 0, waitRefusals = 0;
};

class ClientLimits {
 public:
  explicit ClientLimits(ClientLimitSettings settings = {});

  bool isTrustedProxy(std::string_view peer) const;
  // The client a request stands for: its peer, or, when the peer is a
  // trusted proxy, the last address of X-Forwarded-For (else X-Real-IP).
  std::string clientOf(std::string_view peer, std::string_view forwardedFor,
                       std::string_view realIp) const;

  // Clients are counted by network (networkOf): addresses next to each
  // other are one client's to take, IPv6 ones especially.
  // Takes one of the client's upstream calls, or refuses.
  bool trySpendCall(const std::string& client, Millis now);

  // Connection: an open connection; Waiting: a request waiting on the
  // upstream; ConnectionWanted: a connection waiting for one of its
  // network's while they are all taken (one at a time).
  enum Held { Connection, Waiting, ConnectionWanted };
  // Counts one more of the client's, or refuses when it holds its share
  // already (a refusal counted in the stats unless `counted` is false);
  // each success needs one release.
  bool tryHold(Held what, const std::string& client, bool counted = true);
  void release(Held what, const std::string& client);
  bool holds(Held what, const std::string& client);

  ClientStats stats();
  const ClientLimitSettings& settings() const { return settings_; }

 private:
  struct Calls {
    double tokens = 0;
    Millis at = 0;
  };
  ClientLimitSettings settings_;
  std::mutex mutex_;
  std::unordered_map<std::string, Calls> calls_;
  Millis nextSweep_ = 0;
  std::unordered_map<std::string, int> held_[3];
  ClientStats stats_;
};
