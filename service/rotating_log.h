#pragma once
// A log file of bounded size: past the limit, at the end of a line, the file
// becomes FILE.1 (replacing the one before) and a new one starts, so the
// last runs are kept in at most twice the limit.

#include <cstdio>
#include <mutex>
#include <streambuf>
#include <string>

class RotatingLog : public std::streambuf {
 public:
  RotatingLog(std::string path, std::size_t limit = 1024 * 1024);
  ~RotatingLog() override;
  bool isOpen() const { return file_ != nullptr; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize length) override;
  int sync() override;

 private:
  void open();
  void rotate();      // with the lock held
  std::mutex mutex_;  // workers log at once
  std::string path_;
  std::size_t limit_, size_ = 0;
  std::FILE* file_ = nullptr;
};

// Sends standard output and standard error to `log` from now on.
void logStandardStreams(RotatingLog& log);
