#include "service/http/hardened_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <functional>
#include <string_view>
#include <thread>

#include "service/weather/client_limits.h"
#include "service/http/request_log.h"
#include "service/pages/pages.h"
#include "service/worker_pool.h"

// This server reaches inside the vendored library, below its public
// interface: it overrides the private virtual
// Server::process_and_close_socket (the one place each connection's bytes
// pass before the library parses them), implements its Stream, derives its
// ThreadPool and calls its detail:: socket wrappers. None of these is
// promised to stay alike between versions, so they are tied to the one they
// were written for: a new header is read again before this number moves.
static_assert(std::string_view(CPPHTTPLIB_VERSION) == "0.11.4",
              "the server relies on httplib's internals; check them against the new version");

namespace {

using Clock = std::chrono::steady_clock;

// The longest request line the library takes.
constexpr std::size_t kMaxRequestLine = 8192;
constexpr std::size_t kMaxHeaders = 100;
// How long a kept-alive connection may idle while others wait for a worker.
constexpr int kBusyIdleMs = 200;
// How long a request's head may take while others wait for a worker: a
// client sends a head in one go, so one still coming after this is holding
// the worker rather than using it.
constexpr int kBusyHeadMs = 1000;

// The socket calls go through the library's own wrappers, which work on
// every platform's sockets (and retry when a signal interrupts them).

// Waits until `sock` is ready to read (or write), at most `ms`; true when it is.
bool waitFor(socket_t sock, bool write, int ms) {
  ms = std::max(ms, 0);
  auto sec = time_t(ms / 1000), usec = time_t(ms % 1000) * 1000;
  return (write ? httplib::detail::select_write(sock, sec, usec)
                : httplib::detail::select_read(sock, sec, usec)) > 0;
}

void addressOf(socket_t sock, bool peer, std::string& ip, int& port) {
  if (peer)
    httplib::detail::get_remote_ip_and_port(sock, ip, port);
  else
    httplib::detail::get_local_ip_and_port(sock, ip, port);
}

ssize_t receive(socket_t sock, char* buffer, std::size_t size) {
  return httplib::detail::read_socket(sock, buffer, size, 0);
}

// SHUT_WR and SD_SEND alike: no more bytes from this side.
constexpr int kStopSending = 1;

bool isToken(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool namedAs(std::string_view name, std::string_view expected) {
  return name.size() == expected.size() &&
         std::equal(name.begin(), name.end(), expected.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         });
}

std::string_view trimmedValue(std::string_view value) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  return value;
}

// A line end without its CR: readers disagree on where such a line ends.
bool hasBareLineFeed(std::string_view text) {
  for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
    if (at == 0 || text[at - 1] != '\r') return true;
  return false;
}

struct HeadCheck {
  int status = 0;  // 0: well-formed
  std::string_view method, target;
  bool shed = false;  // given up to free its worker
};

// When the connection a worker runs was accepted.
thread_local Clock::time_point acceptedAt;

// Checks a request's head, up to and including its blank line, as strictly
// as the library will read it: one request line of a known method, a link of
// visible bytes and HTTP/1.x; header lines of a name and a colon, not too
// many.
HeadCheck checkHead(std::string_view head) {
  HeadCheck check;
  std::size_t lineEnd = head.find("\r\n");
  std::string_view line = head.substr(0, lineEnd);
  std::size_t space = line.find(' ');
  check.method = line.substr(0, std::min<std::size_t>(space, 64));
  if (space != std::string_view::npos) {
    std::size_t next = line.find(' ', space + 1);
    check.target = line.substr(space + 1, next == std::string_view::npos ? next : next - space - 1);
  }
  if (line.size() > kMaxRequestLine) return check.status = 414, check;
  static const std::string_view methods[] = {"GET",     "HEAD",  "POST",  "PUT",    "DELETE",
                                             "OPTIONS", "PATCH", "TRACE", "CONNECT"};
  bool known = std::find(std::begin(methods), std::end(methods), check.method) != std::end(methods);
  std::string_view version =
      line.substr(std::min(line.size(), check.method.size() + 1 + check.target.size() + 1));
  bool visible = !check.target.empty() && check.target.front() == '/';
  for (unsigned char c : check.target)
    if (c <= 0x20 || c == 0x7f) visible = false;
  if (!known || !visible || (version != "HTTP/1.1" && version != "HTTP/1.0"))
    return check.status = 400, check;
  std::size_t headers = 0, lengths = 0;
  for (std::size_t at = lineEnd + 2; at < head.size();) {
    std::size_t end = std::min(head.find("\r\n", at), head.size());
    if (end == at) break;  // the blank line
    std::string_view field = head.substr(at, end - at);
    std::size_t colon = field.find(':');
    if (colon == 0 || colon == std::string_view::npos ||
        !std::all_of(field.begin(), field.begin() + colon, isToken))
      return check.status = 400, check;
    for (unsigned char c : field)
      if ((c < 0x20 && c != '\t') || c == 0x7f) return check.status = 400, check;
    if (++headers > kMaxHeaders) return check.status = 431, check;
    // The service takes no bodies. Whatever follows a head is read as the
    // next request, so a head that announces a body, or frames it two ways,
    // would let its body pass for a request of its own.
    std::string_view name = field.substr(0, colon);
    if (namedAs(name, "Transfer-Encoding")) return check.status = 400, check;
    if (namedAs(name, "Content-Length")) {
      std::string_view value = trimmedValue(field.substr(colon + 1));
      bool digits = !value.empty() && std::all_of(value.begin(), value.end(),
                                                  [](char c) { return c >= '0' && c <= '9'; });
      if (!digits || ++lengths > 1) return check.status = 400, check;
      if (value.find_first_not_of('0') != std::string_view::npos) check.status = 413;
    }
    at = end + 2;
  }
  return check;
}

// Statuses the library gives a request it could not read whole: after one,
// the connection's next bytes could be anything.
bool unreadable(int status) {
  return status == 400 || status == 408 || status == 411 || status == 413 || status == 414 ||
         status == 416 || status == 417 || status == 431;
}

std::string errorAnswer(int status, const char* reason) {
  std::string code = std::to_string(status);
  std::string body = refusalPage(status);
  return "HTTP/1.1 " + code + " " + reason +
         "\r\nContent-Type: text/html; charset=windows-1252\r\nCache-Control: "
         "no-store\r\nConnection: close\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

const char* reasonOf(int status) {
  switch (status) {
    case 408:
      return "Request Timeout";
    case 414:
      return "URI Too Long";
    case 413:
      return "Payload Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 503:
      return "Service Unavailable";
    default:
      return "Bad Request";
  }
}

// A connection's bytes: each request's head read whole and checked first,
// reads then buffered and bounded by the request's size, writes gathered
// until the answer is whole, so that the head and the body leave in one
// packet.
class LimitedStream : public httplib::Stream {
 public:
  // `crowded`: whether others wait for this connection's worker.
  LimitedStream(socket_t sock, const ServerLimits& limits, std::function<bool()> crowded)
      : sock_(sock), limits_(limits), crowded_(std::move(crowded)) {}

  enum class Head { Ready, Idle, Refused };

  // Reads the next request's head within its deadline and size. Refused: a
  // malformed, overlong or late head, whose `refusal` is set.
  // `begun`: when the head could start coming.
  Head readHead(HeadCheck& refusal, Clock::time_point begun) {
    deadline_ = Clock::now() + std::chrono::milliseconds(limits_.headDeadlineMs);
    requestBytes_ = 0;
    status_ = 0;
    in_.erase(0, begin_);
    begin_ = 0;
    for (;;) {
      std::size_t end = in_.find("\r\n\r\n");
      std::string_view head = std::string_view(in_).substr(0, end == in_.npos ? end : end + 4);
      if (hasBareLineFeed(head)) {
        refusal = checkHead(head);
        refusal.status = 400;
        return Head::Refused;
      }
      if (end != std::string::npos && end + 4 <= limits_.maxRequestBytes) {
        escapeExtraQueryMarks(end);
        end = in_.find("\r\n\r\n");
        refusal = checkHead(std::string_view(in_).substr(0, end + 4));
        return refusal.status ? Head::Refused : Head::Ready;
      }
      if (in_.size() > limits_.maxRequestBytes) {
        refusal = checkHead(std::string_view(in_).substr(0, in_.rfind("\r\n", end)));
        if (!refusal.status) refusal.status = in_.find("\r\n") == std::string::npos ? 414 : 431;
        return Head::Refused;
      }
      bool shed = false;
      if (!waitForHead(begun, shed)) {
        if (in_.empty()) return Head::Idle;
        refusal = checkHead(in_);
        refusal.status = 408;
        refusal.shed = shed;
        return Head::Refused;
      }
      char chunk[4096];
      ssize_t got = receive(sock_, chunk, sizeof chunk);
      if (got <= 0) return Head::Idle;  // the client went away mid-head: no one to answer
      in_.append(chunk, std::size_t(got));
    }
  }

  bool hasBuffered() const { return begin_ < in_.size(); }
  int answerStatus() const { return status_; }

  // Sends `answer` instead of the library's.
  void answerDirectly(const std::string& answer) {
    out_ = answer;
    flush();
  }

  // Tells the client of a closing connection, if the library promised
  // otherwise.
  void markClosing() {
    std::size_t headEnd = out_.find("\r\n\r\n");
    std::size_t at = out_.find("\r\nKeep-Alive: ");
    if (at == std::string::npos || at > headEnd) return;
    std::size_t lineEnd = out_.find("\r\n", at + 2);
    out_.replace(at, lineEnd - at, "\r\nConnection: close");
  }

  bool is_readable() const override { return hasBuffered() || waitFor(sock_, false, readWaitMs()); }
  bool is_writable() const override { return waitFor(sock_, true, limits_.writeTimeoutMs); }

  ssize_t read(char* ptr, size_t size) override {
    if (!hasBuffered()) {
      if (!flush()) return -1;
      if (!waitFor(sock_, false, readWaitMs())) return -1;
      char chunk[4096];
      ssize_t got = receive(sock_, chunk, sizeof chunk);
      if (got <= 0) return got;
      in_.assign(chunk, std::size_t(got));
      begin_ = 0;
    }
    std::size_t n = std::min(size, in_.size() - begin_);
    requestBytes_ += n;
    if (requestBytes_ > limits_.maxRequestBytes) return -1;
    std::memcpy(ptr, in_.data() + begin_, n);
    begin_ += n;
    return ssize_t(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (status_ == 0 && out_.empty() && size >= 12 && std::memcmp(ptr, "HTTP/1.", 7) == 0)
      status_ = std::atoi(std::string(ptr + 9, 3).c_str());
    out_.append(ptr, size);
    if (out_.size() >= 64 * 1024 && !flush()) return -1;
    return ssize_t(size);
  }

  // Sends what the answer has written so far.
  bool flush() {
    std::size_t sent = 0;
    while (sent < out_.size()) {
      if (!waitFor(sock_, true, limits_.writeTimeoutMs)) break;
      ssize_t n = httplib::detail::send_socket(sock_, out_.data() + sent, out_.size() - sent,
                                               CPPHTTPLIB_SEND_FLAGS);
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

  // Waits for more of a head begun at `begun`, in short slices: a head
  // still coming past kBusyHeadMs gives its worker up while others wait
  // for it.
  bool waitForHead(Clock::time_point begun, bool& shed) {
    auto until = Clock::now() + std::chrono::milliseconds(readWaitMs());
    for (;;) {
      auto now = Clock::now();
      if (now >= until) return false;
      shed = now - begun >= std::chrono::milliseconds(kBusyHeadMs) && crowded_();
      if (shed) return false;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
      if (waitFor(sock_, false, int(std::min<long long>(left, 100)))) return true;
    }
  }

  // The program sends a query raw, '?' included (and Wine writes '?' for
  // letters it cannot convert); the library refuses a link with a second
  // '?' before reading its headers. Escaped, the query decodes the same.
  void escapeExtraQueryMarks(std::size_t headEnd) {
    std::size_t lineEnd = std::min(in_.find("\r\n"), headEnd);
    std::size_t first = in_.find('?');
    if (first >= lineEnd) return;
    std::size_t targetEnd = in_.rfind(' ', lineEnd);
    for (std::size_t at = in_.find('?', first + 1); at < targetEnd && at != std::string::npos;
         at = in_.find('?', at + 3)) {
      in_.replace(at, 1, "%3F");
      targetEnd += 2;
    }
  }

  socket_t sock_;
  const ServerLimits& limits_;
  std::function<bool()> crowded_;
  Clock::time_point deadline_;
  std::size_t requestBytes_ = 0;
  std::string in_;
  std::size_t begin_ = 0;
  std::string out_;
  int status_ = 0;
};

// Closes after the client has read the answer: what it still sends is
// drained for a moment, so the close does not reset the connection and
// throw away the answer it has not read yet.
void closeGently(socket_t sock) {
  shutdown(sock, kStopSending);
  auto until = Clock::now() + std::chrono::milliseconds(500);
  char drain[4096];
  for (std::size_t drained = 0; drained < 64 * 1024;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0 || !waitFor(sock, false, int(left.count()))) break;
    ssize_t got = receive(sock, drain, sizeof drain);
    if (got <= 0) break;
    drained += std::size_t(got);
  }
  httplib::detail::close_socket(sock);
}

// The library's own pool starts all its threads at once; this one only as
// connections come, and counts those still waiting for one.
class CountingPool : public httplib::TaskQueue {
 public:
  CountingPool(int workers, std::atomic<int>& queued) : workers_(workers), queued_(queued) {}
  void enqueue(std::function<void()> fn) override {
    ++queued_;
    workers_.run([this, fn = std::move(fn), at = Clock::now()] {
      --queued_;
      acceptedAt = at;
      fn();
    });
  }
  void shutdown() override { workers_.shutdown(); }

 private:
  WorkerPool workers_;
  std::atomic<int>& queued_;
};

}  // namespace

HardenedServer::HardenedServer(ServerLimits limits) : limits_(limits) {
  int workers = std::max(1, limits_.workers);
  new_task_queue = [this, workers] { return new CountingPool(workers, queued_); };
  set_payload_max_length(limits_.maxRequestBytes);
  set_read_timeout(std::chrono::milliseconds(limits_.readTimeoutMs));
  set_write_timeout(std::chrono::milliseconds(limits_.writeTimeoutMs));
  set_keep_alive_timeout(std::max(1, limits_.keepAliveMs / 1000));
  set_keep_alive_max_count(std::size_t(std::max(1, limits_.keepAliveRequests)));
}

void HardenedServer::guard(ClientLimits* clients, std::ostream* log) {
  clients_ = clients;
  log_ = log;
}

int HardenedServer::bindWithBacklog(const std::string& host, int port, int backlog) {
  int bound = port == 0 ? bind_to_any_port(host) : (bind_to_port(host, port) ? port : -1);
  // The library listens with a queue of 5: a burst of reconnecting clients
  // overflows it, and each dropped connection waits a second to retry.
  if (bound > 0) ::listen(svr_sock_, backlog);
  return bound;
}

bool HardenedServer::waitForShare(const std::string& peer) {
  // One connection of a network whose share is taken waits a moment, while
  // those of its connections whose heads are overdue give their place up;
  // the network's other newcomers are refused at once.
  if (clients_->tryHold(ClientLimits::ConnectionWanted, peer)) {
    auto until = Clock::now() + std::chrono::milliseconds(kBusyHeadMs + 500);
    bool got = false;
    while (!got && Clock::now() < until && is_running()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      got = clients_->tryHold(ClientLimits::Connection, peer, false);
    }
    clients_->release(ClientLimits::ConnectionWanted, peer);
    if (got) return true;
  }
  return clients_->tryHold(ClientLimits::Connection, peer);
}

bool HardenedServer::process_and_close_socket(socket_t sock) {
  int on = 1;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  std::string peer;
  int peerPort = 0;
  addressOf(sock, true, peer, peerPort);
  // A client directly connected holds a few workers at most; a trusted
  // proxy multiplexes many clients and limits them itself.
  bool held = clients_ && !clients_->isTrustedProxy(peer);
  // Whether others wait for this connection's worker: connections for any
  // worker, or a newcomer of its network for its place.
  auto crowded = [this, held, &peer] {
    return queued_ > 0 || (held && clients_->holds(ClientLimits::ConnectionWanted, peer));
  };
  LimitedStream stream(sock, limits_, crowded);
  if (held && !clients_->tryHold(ClientLimits::Connection, peer, false) && !waitForShare(peer)) {
    std::string answer = errorAnswer(503, reasonOf(503));
    stream.answerDirectly(answer);
    logRequest(log_, peer, "-", "-", 503, answer.size());
    closeGently(sock);
    return false;
  }

  auto closeBy = Clock::now() + std::chrono::milliseconds(limits_.connectionMs);
  bool ok = true, refused = false, shed = false;
  for (int served = 0; served < limits_.keepAliveRequests && is_running(); ++served) {
    // Between requests the connection may idle, up to the keep-alive time,
    // in short slices so that a stopping server does not wait for it; only
    // briefly while other connections wait for a worker (a client that goes
    // on at once keeps its connection).
    if (served > 0 && !stream.hasBuffered()) {
      int waited = 0;
      bool ready = false;
      auto idleMs = [&] {
        return crowded() ? std::min(kBusyIdleMs, limits_.keepAliveMs) : limits_.keepAliveMs;
      };
      while (!ready && waited < idleMs() && is_running()) {
        int slice = std::min(100, limits_.keepAliveMs - waited);
        ready = waitFor(sock, false, slice);
        waited += slice;
      }
      if (!ready) break;
    }
    HeadCheck check;
    // A client sends its first head as it connects: the time it waited for
    // a worker counts.
    auto head = stream.readHead(check, served == 0 ? acceptedAt : Clock::now());
    if (head == LimitedStream::Head::Idle) break;
    if (head == LimitedStream::Head::Refused) {
      std::string answer = errorAnswer(check.status, reasonOf(check.status));
      stream.answerDirectly(answer);
      logRequest(log_, peer, check.method, check.target, check.status, answer.size());
      refused = true;
      shed = check.shed;
      break;
    }
    // However well-behaved, no client keeps a worker for long.
    bool last = served + 1 == limits_.keepAliveRequests || !is_running() || Clock::now() >= closeBy;
    bool closed = false;
    ok = process_request(stream, last, closed, nullptr);
    // A request the library could not read whole leaves its rest unread:
    // answer it once and close.
    if (unreadable(stream.answerStatus())) {
      stream.markClosing();
      refused = true;
    }
    if (!stream.flush() || !ok || closed || last || refused) break;
  }
  stream.flush();
  // A head given up for its worker is not waited on any longer.
  if (refused && !shed) {
    closeGently(sock);
  } else {
    httplib::detail::shutdown_socket(sock);
    httplib::detail::close_socket(sock);
  }
  if (held) clients_->release(ClientLimits::Connection, peer);
  return ok;
}
