#pragma once
// Pages travel through one cache file: downloaded into it, then read back
// as text.

#include <optional>
#include <span>
#include <string>
#include <string_view>

inline constexpr const char* kCacheFolder = "Temp";
inline constexpr const char* kCacheFile = "Temp\\Cache.bak";

// The bytes a text-mode read delivers from `file`: each CR LF becomes LF and
// a 0x1A byte ends the text.
std::string textModeRead(std::string_view file);

// Deletes the cache file, evicts the non-empty links of `evictList` from the
// internet cache in order, and downloads `url` into the cache file.
void fetchPage(const std::string& url, std::span<const std::string> evictList);

// The cache file read as text, or nothing when it cannot be opened or read.
std::optional<std::string> loadCachedPage();

// fetchPage and loadCachedPage under one lock, so that a refresh and a
// search download on another thread never interleave on the cache file.
std::optional<std::string> downloadPage(const std::string& url,
                                        std::span<const std::string> evictList);
