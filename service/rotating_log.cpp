#include "service/rotating_log.h"

#include <cstdio>
#include <iostream>

RotatingLog::RotatingLog(std::string path, std::size_t limit)
    : path_(std::move(path)), limit_(limit) {
  open();
}

RotatingLog::~RotatingLog() {
  if (file_) std::fclose(file_);
}

void RotatingLog::open() {
  file_ = std::fopen(path_.c_str(), "ab");
  if (!file_) return;
  std::fseek(file_, 0, SEEK_END);
  long at = std::ftell(file_);
  size_ = at > 0 ? std::size_t(at) : 0;
  // A run that starts past the limit starts a new file.
  if (size_ >= limit_) sync();
}

void RotatingLog::rotate() {
  std::fclose(file_);
  std::string old = path_ + ".1";
  std::remove(old.c_str());
  std::rename(path_.c_str(), old.c_str());
  file_ = std::fopen(path_.c_str(), "wb");
  size_ = 0;
}

RotatingLog::int_type RotatingLog::overflow(int_type c) {
  if (c == traits_type::eof()) return traits_type::not_eof(c);
  char one = char(c);
  return xsputn(&one, 1) == 1 ? c : traits_type::eof();
}

std::streamsize RotatingLog::xsputn(const char* text, std::streamsize length) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (!file_) return length;  // a log that cannot be written loses its lines, not the service
  std::size_t wrote = std::fwrite(text, 1, std::size_t(length), file_);
  size_ += wrote;
  if (size_ >= limit_ && length > 0 && text[length - 1] == '\n') {
    rotate();
  }
  return length;
}

int RotatingLog::sync() {
  std::lock_guard<std::mutex> guard(mutex_);
  if (!file_) return 0;
  if (size_ >= limit_) {
    rotate();
  }
  return file_ ? std::fflush(file_) : 0;
}

void logStandardStreams(RotatingLog& log) {
  std::cout.rdbuf(&log);
  std::cerr.rdbuf(&log);
}
