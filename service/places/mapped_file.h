#pragma once
// A file mapped read-only: its pages are the system's, shared, clean and
// dropped when memory is short, read again from the file when next used.
// mapped_file_posix.cpp (mmap) and mapped_file_win.cpp (a file mapping).

#include <memory>
#include <string>
#include <string_view>

struct MappedFile {
  std::string_view bytes;               // page-aligned; empty for an empty file
  std::shared_ptr<const void> mapping;  // unmaps when the last copy goes
  std::string error;                    // empty when mapped; names no path
};

MappedFile mapFile(const std::string& path);
