#include "service/pages/routing.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "service/places/query_text.h"

namespace {

// The number of one path segment, after `path` has lost its prefix.
std::optional<int> segmentNumber(std::string_view& path) {
  if (path.empty()) return std::nullopt;  // "/slow" with nothing after it
  std::size_t end = path.find('/', 1);
  std::string_view digits =
      path.substr(1, end == std::string_view::npos ? path.size() - 1 : end - 1);
  int value = 0;
  if (digits.empty() || digits[0] == '-' || !parseNumber(digits, value)) return std::nullopt;
  path.remove_prefix(1 + digits.size());
  return value;
}

// A path prefix is whole only when a '/' or the end follows it.
bool takeWord(std::string_view& path, std::string_view word) {
  if (!path.starts_with(word)) return false;
  if (path.size() > word.size() && path[word.size()] != '/') return false;
  path.remove_prefix(word.size());
  return true;
}

// The value of "location=": the program escapes nothing, so an '&' or '#' in
// the query arrives raw and the value runs to the end of the target.
std::optional<std::string_view> locationParameter(std::string_view query) {
  for (std::size_t at = 0; at < query.size();) {
    if (query.substr(at).starts_with("location=")) return query.substr(at + 9);
    at = query.find('&', at);
    if (at == std::string_view::npos) break;
    ++at;
  }
  return std::nullopt;
}

Answer page(int status, std::string body, const char* cacheControl) {
  return {status, std::move(body), 0, false, cacheControl};
}

Answer report(const Place& place, UnixTime now, const Routing& routing) {
  if (routing.report) return routing.report(place, now);
  return page(200, reportPage(place, weatherAt(place, now), now), cache_control::kReport);
}

Answer route(const PlaceSource& source, std::string_view path, std::string_view query, UnixTime now,
             const Routing& routing) {
  Attribution attribution = routing.live ? Attribution::Live : Attribution::Sample;
  if (path == "/" || path.empty()) {
    auto location = locationParameter(query);
    if (!location)
      return page(200, homePage(source.home(routing.live), attribution), cache_control::kHome);
    std::string text = decodeQuery(*location);
    Found found = source.search(text);
    if (found.hit) {
      Answer answer = report(*found.hit, now, routing);
      if (answer.status != 503) return answer;
      // The place is found although its weather cannot be had just now: a
      // list of that one place lets the user choose it all the same, and
      // its report comes when the weather does. Never kept by a cache.
      ResultList one;
      one.more.push_back({found.hit->name, found.hit->link, LinkKind::Main});
      return page(200, resultsPage(text, one, attribution), cache_control::kNone);
    }
    if (found.list.top.empty() && found.list.more.empty())
      return page(200, notFoundPage(text, attribution), cache_control::kNotFound);
    return page(200, resultsPage(text, found.list, attribution), cache_control::kResults);
  }
  if (path.starts_with("/report/")) {
    // Only a place's one link is answered: any other form would make the
    // caches in front keep a copy per form, and let a client choose the
    // points the upstream is asked for. Neither answer is kept by a cache.
    LinkVerdict verdict = source.canonical ? source.canonical(path, !query.empty()) : LinkVerdict{};
    if (verdict.status == 301) {
      Answer moved = page(301, movedPage(verdict.link, attribution), cache_control::kNone);
      moved.location = verdict.link;
      return moved;
    }
    auto place = verdict.status == 200 ? source.resolve(path) : std::nullopt;
    if (place) return report(*place, now, routing);
    if (verdict.status == 404)
      return page(404, notFoundPage(decodeQuery(path.substr(8)), attribution),
                  cache_control::kNone);
    return page(404, notFoundPage(decodeQuery(path.substr(8)), attribution),
                cache_control::kNotFound);
  }
  // A direct hit's link: "/" + the query with '_' for spaces.
  std::string text = decodeQuery(path.substr(1));
  Found found = source.search(text);
  if (found.hit) return report(*found.hit, now, routing);
  return page(404, notFoundPage(text, attribution), cache_control::kNotFound);
}

}  // namespace

std::string_view takeFaults(std::string_view path, Faults& faults) {
  for (;;) {
    std::string_view rest = path;
    if (takeWord(rest, "/slow")) {
      auto ms = segmentNumber(rest);
      if (!ms) return path;
      faults.delayMs = std::min(kMaxDelayMs, faults.delayMs + std::min(*ms, kMaxDelayMs));
    } else if (takeWord(rest, "/status")) {
      auto code = segmentNumber(rest);
      if (!code || *code < 200 || *code > 599) return path;
      faults.status = *code;
    } else if (takeWord(rest, "/empty")) {
      faults.empty = true;
    } else if (takeWord(rest, "/nomarkers")) {
      faults.noMarkers = true;
    } else if (takeWord(rest, "/cut")) {
      faults.cut = true;
    } else {
      return path;
    }
    path = rest.empty() ? std::string_view("/") : rest;
  }
}

Answer answerRequest(const PlaceSource& source, std::string_view target, UnixTime now,
                     const Routing& routing) {
  std::size_t mark = target.find('?');
  std::string_view path = target.substr(0, mark);
  std::string_view query = mark == std::string_view::npos ? "" : target.substr(mark + 1);
  Faults faults = routing.defaults;
  if (routing.faultPrefixes) path = takeFaults(path, faults);
  faults.delayMs = std::clamp(faults.delayMs, 0, kMaxDelayMs);

  Answer answer = route(source, path, query, now, routing);
  Attribution attribution = routing.live ? Attribution::Live : Attribution::Sample;
  if (faults.status) {
    answer.status = faults.status;
    if (faults.status >= 400) answer.body = errorPage(faults.status, attribution);
  }
  if (faults.noMarkers) answer.body = maintenancePage(attribution);
  if (faults.empty) answer.body.clear();
  answer.delayMs = faults.delayMs;
  answer.cut = faults.cut;
  // A page bent on purpose must not outlive the test in a cache.
  if (faults.status || faults.noMarkers || faults.empty || faults.cut)
    answer.cacheControl = cache_control::kNone;
  return answer;
}
