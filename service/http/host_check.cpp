#include "service/http/host_check.h"

#include <httplib.h>

#include <string>

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? char(a[i] + 32) : a[i];
    if (x != b[i]) return false;
  }
  return true;
}

}  // namespace

bool isOwnLoopbackHost(std::string_view host, int port) {
  std::string suffix = ":" + std::to_string(port);
  if (host.size() <= suffix.size() || host.substr(host.size() - suffix.size()) != suffix)
    return false;
  std::string_view name = host.substr(0, host.size() - suffix.size());
  return name == "127.0.0.1" || equalsIgnoringCase(name, "localhost");
}

void requireOwnLoopbackHost(httplib::Server& server, int port) {
  server.set_pre_routing_handler(
      [port](const httplib::Request& request, httplib::Response& response) {
        // One Host header only: a second one could mean something else to a proxy.
        if (request.get_header_value_count("Host") == 1 &&
            isOwnLoopbackHost(request.get_header_value("Host"), port))
          return httplib::Server::HandlerResponse::Unhandled;
        response.status = 403;
        response.set_header("Cache-Control", "no-store");
        response.set_content("Forbidden: not this service's own address\n", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
      });
}
