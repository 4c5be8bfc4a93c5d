#include "service/places/report_link.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

constexpr std::string_view kPrefix = "/report/";

bool showable(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
         c == ',' || c == '.' || c == '\'' || c == '-' || c == '(' || c == ')';
}

std::string coordinate(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", value);
  std::string result = text;
  // "-0.0000" would give one place two links.
  if (result.find_first_not_of("-0.") == std::string::npos) result = "0.0000";
  return result;
}

}  // namespace

std::optional<double> linkDecimal(std::string_view text, double limit, std::size_t minDecimals,
                                  std::size_t maxDecimals) {
  std::size_t at = text.starts_with('-') ? 1 : 0;
  std::size_t dot = text.find('.');
  std::size_t whole = (dot == std::string_view::npos ? text.size() : dot) - at;
  std::size_t fraction = dot == std::string_view::npos ? 0 : text.size() - dot - 1;
  if (whole < 1 || whole > 3 ||
      (dot != std::string_view::npos && (fraction < minDecimals || fraction > maxDecimals)))
    return std::nullopt;
  for (std::size_t i = at; i < text.size(); ++i)
    if (i != dot && (text[i] < '0' || text[i] > '9')) return std::nullopt;
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || std::fabs(value) > limit)
    return std::nullopt;
  return value;
}

bool isShowableName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name)
    if (!showable(c)) return false;
  return true;
}

std::string showableName(std::string_view ascii) {
  std::string name;
  bool gap = false;
  auto put = [&](std::string_view piece) {
    if (gap && !name.empty()) name += ' ';
    gap = false;
    name += piece;
  };
  for (char c : ascii) {
    if (c == '&') {
      gap = true;
      put("and");
      gap = true;
    } else if (c == ' ' || !showable(c)) {
      gap = true;
    } else {
      put(std::string_view(&c, 1));
    }
  }
  return name;
}

std::string reportLink(std::string_view name, double latitude, double longitude) {
  std::string link =
      std::string(kPrefix) + coordinate(latitude) + "," + coordinate(longitude) + "/";
  std::size_t room = kMaxReportLinkBytes > link.size() ? kMaxReportLinkBytes - link.size() : 0;
  std::string_view kept = name.substr(0, room);
  // A cut name should not end in a dangling separator.
  while (kept.size() > 1 && (kept.back() == ' ' || kept.back() == ',')) kept.remove_suffix(1);
  for (char c : kept) link += c == ' ' ? '_' : c;
  return link;
}

std::optional<ReportLink> parseReportLink(std::string_view path) {
  if (path.size() > kMaxReportLinkBytes || !path.starts_with(kPrefix)) return std::nullopt;
  path.remove_prefix(kPrefix.size());
  std::size_t comma = path.find(','), slash = path.find('/');
  if (comma == std::string_view::npos || slash == std::string_view::npos || comma > slash)
    return std::nullopt;
  auto latitude = linkDecimal(path.substr(0, comma), 90, 1, 6);
  auto longitude = linkDecimal(path.substr(comma + 1, slash - comma - 1), 180, 1, 6);
  if (!latitude || !longitude) return std::nullopt;
  ReportLink link{std::string(path.substr(slash + 1)), *latitude, *longitude};
  for (char& c : link.name) {
    if (c == ' ') return std::nullopt;  // spaces travel as '_'
    if (c == '_') c = ' ';
  }
  if (!isShowableName(link.name) || link.name.find_first_not_of(' ') == std::string::npos)
    return std::nullopt;
  return link;
}
