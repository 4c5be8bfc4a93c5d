#include "service/weather/client_limits.h"

#include <algorithm>
#include <cstdio>
#include <optional>

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

bool isHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "a.b.c.d" as its /24, or nullopt.
std::optional<std::string> ipv4Network(std::string_view text) {
  int parts = 0;
  std::size_t lastDot = 0;
  for (std::size_t at = 0, start = 0; at <= text.size(); ++at) {
    if (at < text.size() && text[at] >= '0' && text[at] <= '9') continue;
    if (at == start || at - start > 3 || (at < text.size() && text[at] != '.')) return std::nullopt;
    if (std::stoi(std::string(text.substr(start, at - start))) > 255) return std::nullopt;
    ++parts;
    if (at < text.size()) lastDot = at;
    start = at + 1;
  }
  if (parts != 4) return std::nullopt;
  return std::string(text.substr(0, lastDot)) + ".0/24";
}

// The 16-bit groups of an IPv6 address written out, or an empty list.
std::vector<unsigned> ipv6Groups(std::string_view text) {
  std::vector<unsigned> head, tail;
  std::size_t gap = text.find("::");
  auto groups = [](std::string_view part, std::vector<unsigned>& out) {
    for (std::size_t start = 0; !part.empty() && start <= part.size();) {
      std::size_t end = std::min(part.find(':', start), part.size());
      std::string_view group = part.substr(start, end - start);
      if (group.empty() || group.size() > 4 || !std::all_of(group.begin(), group.end(), isHex))
        return false;
      out.push_back(unsigned(std::stoul(std::string(group), nullptr, 16)));
      start = end + 1;
    }
    return true;
  };
  if (!groups(text.substr(0, gap), head)) return {};
  if (gap != std::string_view::npos && !groups(text.substr(gap + 2), tail)) return {};
  std::size_t written = head.size() + tail.size();
  if (gap == std::string_view::npos ? written != 8 : written > 7) return {};
  head.resize(8 - tail.size(), 0);
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

}  // namespace

std::string networkOf(std::string_view address) {
  if (address.find(':') == std::string_view::npos) {
    auto network = ipv4Network(address);
    return network ? *network : std::string(address);
  }
  // Mapped IPv4 ("::ffff:192.0.2.1"), as a dual-stack socket reports it.
  std::size_t lastColon = address.rfind(':');
  if (address.find('.') != std::string_view::npos) {
    std::string_view prefix = address.substr(0, lastColon + 1);
    auto network = ipv4Network(address.substr(lastColon + 1));
    bool mapped = prefix == "::ffff:" || prefix == "::FFFF:" || prefix == "0:0:0:0:0:ffff:";
    return network && mapped ? *network : std::string(address);
  }
  std::vector<unsigned> groups = ipv6Groups(address);
  if (groups.empty()) return std::string(address);
  char text[48];
  std::snprintf(text, sizeof text, "%x:%x:%x:%x::/64", groups[0], groups[1], groups[2], groups[3]);
  return text;
}

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

bool ClientLimits::trySpendCall(const std::string& address, Millis now) {
  const std::string client = networkOf(address);
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

bool ClientLimits::tryHold(Held what, const std::string& address, bool counted) {
  const std::string client = networkOf(address);
  int cap = what == Connection ? settings_.connections : what == Waiting ? settings_.waiting : 1;
  std::lock_guard<std::mutex> guard(mutex_);
  int& count = held_[what][client];
  if (count >= cap) {
    if (count == 0) held_[what].erase(client);
    if (counted && what != ConnectionWanted)
      ++(what == Connection ? stats_.connectionRefusals : stats_.waitRefusals);
    return false;
  }
  ++count;
  return true;
}

void ClientLimits::release(Held what, const std::string& address) {
  const std::string client = networkOf(address);
  std::lock_guard<std::mutex> guard(mutex_);
  auto found = held_[what].find(client);
  if (found != held_[what].end() && --found->second <= 0) held_[what].erase(found);
}

bool ClientLimits::holds(Held what, const std::string& address) {
  const std::string client = networkOf(address);
  std::lock_guard<std::mutex> guard(mutex_);
  return held_[what].contains(client);
}

ClientStats ClientLimits::stats() {
  std::lock_guard<std::mutex> guard(mutex_);
  return stats_;
}
