#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "service/places/mapped_file.h"

MappedFile mapFile(const std::string& path) {
  MappedFile file;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    file.error = std::string("cannot open: ") + std::strerror(errno);
    return file;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    file.error = "not a file";
  } else if (info.st_size > 0) {
    auto size = std::size_t(info.st_size);
    void* at = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (at == MAP_FAILED) {
      file.error = std::string("cannot map: ") + std::strerror(errno);
    } else {
      file.bytes = std::string_view(static_cast<const char*>(at), size);
      file.mapping = std::shared_ptr<const void>(
          at, [size](const void* p) { munmap(const_cast<void*>(p), size); });
    }
  }
  close(fd);  // the mapping keeps the file
  return file;
}
