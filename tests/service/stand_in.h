#pragma once
// What every stand-in server of the tests shares: httplib's server on a
// loopback port of its own thread, and what the last request asked.

#include <httplib.h>

#include <mutex>
#include <string>
#include <thread>

struct StandIn {
  httplib::Server server;

  // Binds `host` at `port` (0: any free port) and serves on a thread of its
  // own; port() is -1 when it could not bind.
  void start(const std::string& onHost, int onPort) {
    host_ = onHost;
    port_ = onPort == 0 ? server.bind_to_any_port(onHost) : onPort;
    if (onPort != 0 && !server.bind_to_port(onHost, onPort)) port_ = -1;
    if (port_ > 0) thread_ = std::thread([this] { server.listen_after_bind(); });
  }
  void stop() {
    server.stop();
    wait();
  }
  // Until the server stops, for a stand-in that runs as a program.
  void wait() {
    if (thread_.joinable()) thread_.join();
  }
  int port() const { return port_; }
  std::string url() const { return "http://" + host_ + ":" + std::to_string(port_); }

  void record(const httplib::Request& request) {
    std::lock_guard<std::mutex> guard(mutex_);
    lastTarget_ = request.target;
    lastUserAgent_ = request.get_header_value("User-Agent");
  }
  std::string lastTarget() {
    std::lock_guard<std::mutex> guard(mutex_);
    return lastTarget_;
  }
  std::string lastUserAgent() {
    std::lock_guard<std::mutex> guard(mutex_);
    return lastUserAgent_;
  }

 private:
  std::thread thread_;
  std::string host_;
  int port_ = -1;
  std::mutex mutex_;
  std::string lastTarget_, lastUserAgent_;
};
