#pragma once
// An upstream that never finishes its head, for the client's deadline: POSIX
// sockets, so the Linux tests alone use it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

// A server that answers every connection with a status line, then one byte
// of a header every 100 ms, never ending its head, until it is destroyed.
class TricklingServer {
 public:
  TricklingServer() {
    sock_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(sock_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(sock_, 4);
    ::getsockname(sock_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
      int client = ::accept(sock_, nullptr, nullptr);
      if (client < 0) return;
      std::string head = "HTTP/1.1 200 OK\r\nX-Slow: ";
      ::send(client, head.data(), head.size(), MSG_NOSIGNAL);
      while (!stop_ && ::send(client, "a", 1, MSG_NOSIGNAL) == 1) {
        ++sent_;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      ::close(client);
    });
  }
  ~TricklingServer() {
    stop_ = true;
    ::shutdown(sock_, SHUT_RDWR);
    ::close(sock_);
    thread_.join();
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int bytesSent() const { return sent_; }

 private:
  int sock_ = -1, port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> sent_{0};
  std::thread thread_;
};
