#include "service/weather/client_limits.h"

#include <algorithm>

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// An address as a proxy writes it: hex digits, '.', ':' and no more than an
// IPv6 address holds; anything else is not taken for a client.
bool plausibleAddress(std::string_view text) {
  if (text.empty() || text.size() > 45) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == '.' ||
          c == ':'))
      return false;
  return true;
}

}  // namespace

ClientLimits::ClientLimits(ClientLimitSettings settings) : settings_(std::move(settings)) {}

bool ClientLimits::isTrustedProxy(std::string_view peer) const {
  return std::find(settings_.trustedProxies.begin(), settings_.trustedProxies.end(), peer) !=
         settings_.trustedProxies.end();
}

std::string ClientLimits::clientOf(std::string_view peer, std::string_view forwardedFor,
                                   std::string_view realIp) const {
  if (!isTrustedProxy(peer)) return std::string(peer);
  // The proxy appends the address it saw last: earlier entries are the
  // client's own word.
  std::size_t comma = forwardedFor.rfind(',');
  std::string_view last =
      trimmed(comma == std::string_view::npos ? forwardedFor : forwardedFor.substr(comma + 1));
  if (plausibleAddress(last)) return std::string(last);
  if (plausibleAddress(trimmed(realIp))) return std::string(trimmed(realIp));
  return std::string(peer);
}

bool ClientLimits::trySpendCall(const std::string& client, Millis now) {
  const double burst = std::max(0, settings_.callBurst);
  const double perMs = std::max(0, settings_.callsPerHour) / 3'600'000.0;
  std::lock_guard<std::mutex> guard(mutex_);
  auto found = calls_.find(client);
  if (found == calls_.end()) {
    // Forget the clients whose buckets are full again, they are as new; at
    // most once a second, so that a flood of new clients costs no scan each.
    if (calls_.size() >= settings_.maxClients && now >= nextSweep_) {
      std::erase_if(calls_, [&](const auto& entry) {
        return entry.second.tokens + (now - entry.second.at) * perMs >= burst;
      });
      nextSweep_ = now + 1000;
    }
    // Past that many clients at once, a new one waits for room.
    if (calls_.size() >= settings_.maxClients) {
      ++stats_.callRefusals;
      return false;
    }
    found = calls_.emplace(client, Calls{burst, now}).first;
  }
  Calls& calls = found->second;
  calls.tokens = std::min(burst, calls.tokens + std::max<Millis>(0, now - calls.at) * perMs);
  calls.at = std::max(calls.at, now);
  if (calls.tokens < 1) {
    ++stats_.callRefusals;
    return false;
  }
  calls.tokens -= 1;
  return true;
}

bool ClientLimits::tryHold(Held what, const std::string& client) {
  int cap = what == Connection ? settings_.connections : settings_.waiting;
  std::lock_guard<std::mutex> guard(mutex_);
  int& count = held_[what][client];
  if (count >= cap) {
    if (count == 0) held_[what].erase(client);
    ++(what == Connection ? stats_.connectionRefusals : stats_.waitRefusals);
    return false;
  }
  ++count;
  return true;
}

void ClientLimits::release(Held what, const std::string& client) {
  std::lock_guard<std::mutex> guard(mutex_);
  auto found = held_[what].find(client);
  if (found != held_[what].end() && --found->second <= 0) held_[what].erase(found);
}

ClientStats ClientLimits::stats() {
  std::lock_guard<std::mutex> guard(mutex_);
  return stats_;
}
