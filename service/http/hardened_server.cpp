#include "service/http/hardened_server.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

// A peer gone away is an error, not a signal; Windows sockets never raise one.
#ifdef MSG_NOSIGNAL
constexpr int kNoSignal = MSG_NOSIGNAL;
#else
constexpr int kNoSignal = 0;
#endif

// Waits until `sock` is ready to read (or write), at most `ms`; true when it
// is. The library's own wait works on every platform's sockets.
bool waitFor(socket_t sock, bool write, int ms) {
  ms = std::max(ms, 0);
  auto sec = time_t(ms / 1000), usec = time_t(ms % 1000) * 1000;
  return (write ? httplib::detail::select_write(sock, sec, usec)
                : httplib::detail::select_read(sock, sec, usec)) > 0;
}

void addressOf(socket_t sock, bool peer, std::string& ip, int& port) {
  if (peer) {
    httplib::detail::get_remote_ip_and_port(sock, ip, port);
  } else {
    httplib::detail::get_local_ip_and_port(sock, ip, port);
  }
}

// A connection's bytes: reads buffered and bounded by the request's deadline
// and size, writes gathered until the answer is whole, so that the head and
// the body leave in one packet.
class LimitedStream : public httplib::Stream {
 public:
  LimitedStream(socket_t sock, const ServerLimits& limits) : sock_(sock), limits_(limits) {}

  // A new request starts: its deadline and byte count start afresh.
  void startRequest() {
    deadline_ = Clock::now() + std::chrono::milliseconds(limits_.headDeadlineMs);
    requestBytes_ = 0;
  }
  bool hasBuffered() const { return begin_ < end_; }

  bool is_readable() const override { return hasBuffered() || waitFor(sock_, false, readWaitMs()); }
  bool is_writable() const override { return waitFor(sock_, true, limits_.writeTimeoutMs); }

  ssize_t read(char* ptr, size_t size) override {
    if (!hasBuffered()) {
      if (!flush()) return -1;
      if (!waitFor(sock_, false, readWaitMs())) return -1;
      ssize_t got = httplib::detail::read_socket(sock_, buffer_, sizeof buffer_, 0);
      if (got <= 0) return got;
      begin_ = 0;
      end_ = std::size_t(got);
    }
    std::size_t n = std::min(size, end_ - begin_);
    requestBytes_ += n;
    if (requestBytes_ > limits_.maxRequestBytes) return -1;
    std::memcpy(ptr, buffer_ + begin_, n);
    begin_ += n;
    return ssize_t(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    out_.append(ptr, size);
    if (out_.size() >= 64 * 1024 && !flush()) return -1;
    return ssize_t(size);
  }

  // Sends what the answer has written so far.
  bool flush() {
    std::size_t sent = 0;
    while (sent < out_.size()) {
      if (!waitFor(sock_, true, limits_.writeTimeoutMs)) break;
      ssize_t n =
          httplib::detail::send_socket(sock_, out_.data() + sent, out_.size() - sent, kNoSignal);
      if (n <= 0) break;
      sent += std::size_t(n);
    }
    bool whole = sent == out_.size();
    out_.clear();
    return whole;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    addressOf(sock_, true, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    addressOf(sock_, false, ip, port);
  }
  socket_t socket() const override { return sock_; }

 private:
  int readWaitMs() const {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
    return int(std::clamp<long long>(left.count(), 0, limits_.readTimeoutMs));
  }

  socket_t sock_;
  const ServerLimits& limits_;
  Clock::time_point deadline_;
  std::size_t requestBytes_ = 0;
  char buffer_[4096];
  std::size_t begin_ = 0, end_ = 0;
  std::string out_;
};

}  // namespace

HardenedServer::HardenedServer(ServerLimits limits) : limits_(limits) {
  int workers = std::max(1, limits_.workers);
  new_task_queue = [workers] { return new httplib::ThreadPool(std::size_t(workers)); };
  set_payload_max_length(limits_.maxRequestBytes);
  set_read_timeout(std::chrono::milliseconds(limits_.readTimeoutMs));
  set_write_timeout(std::chrono::milliseconds(limits_.writeTimeoutMs));
  set_keep_alive_timeout(std::max(1, limits_.keepAliveMs / 1000));
  set_keep_alive_max_count(std::size_t(std::max(1, limits_.keepAliveRequests)));
}

int HardenedServer::bindWithBacklog(const std::string& host, int port, int backlog) {
  int bound = port == 0 ? bind_to_any_port(host) : (bind_to_port(host, port) ? port : -1);
  // The library listens with a queue of 5: a burst of reconnecting clients
  // overflows it, and each dropped connection waits a second to retry.
  if (bound > 0) ::listen(svr_sock_, backlog);
  return bound;
}

bool HardenedServer::process_and_close_socket(socket_t sock) {
  int on = 1;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  LimitedStream stream(sock, limits_);
  auto closeBy = Clock::now() + std::chrono::milliseconds(limits_.connectionMs);
  bool ok = true;
  for (int served = 0; served < limits_.keepAliveRequests && is_running(); ++served) {
    // Between requests the connection may idle, up to the keep-alive time,
    // in short slices so that a stopping server does not wait for it.
    if (served > 0 && !stream.hasBuffered()) {
      int waited = 0;
      bool ready = false;
      while (!ready && waited < limits_.keepAliveMs && is_running()) {
        int slice = std::min(100, limits_.keepAliveMs - waited);
        ready = waitFor(sock, false, slice);
        waited += slice;
      }
      if (!ready) break;
    }
    stream.startRequest();
    // However well-behaved, no client keeps a worker for long.
    bool last = served + 1 == limits_.keepAliveRequests || !is_running() || Clock::now() >= closeBy;
    bool closed = false;
    ok = process_request(stream, last, closed, nullptr);
    if (!stream.flush() || !ok || closed || last) break;
  }
  stream.flush();
  httplib::detail::shutdown_socket(sock);
  httplib::detail::close_socket(sock);
  return ok;
}
