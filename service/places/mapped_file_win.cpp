#include <windows.h>

#include <string>

#include "service/places/mapped_file.h"

namespace {

std::string lastError(const std::string& what) {
  return what + " (error " + std::to_string(GetLastError()) + ")";
}

}  // namespace

MappedFile mapFile(const std::string& path) {
  MappedFile file;
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    file.error = lastError("cannot open");
    return file;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle, &size) || size.QuadPart < 0) {
    file.error = lastError("cannot size");
  } else if (size.QuadPart > 0) {
    // A mapping of a file of no bytes cannot be made: such a file stays empty.
    HANDLE mapping = CreateFileMappingA(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const void* at = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (!at) {
      file.error = lastError("cannot map");
    } else {
      file.bytes = std::string_view(static_cast<const char*>(at), std::size_t(size.QuadPart));
      file.mapping = std::shared_ptr<const void>(at, [](const void* p) { UnmapViewOfFile(p); });
    }
    if (mapping) CloseHandle(mapping);  // the view keeps the mapping
  }
  CloseHandle(handle);
  return file;
}
