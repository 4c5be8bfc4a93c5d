#pragma once
// Pages are downloaded into files of their own in the program's Temp folder,
// read back as text and deleted: no two downloads share a file, so none
// needs a lock and a stale file is never read as a new page.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

inline constexpr const char* kCacheFolder = "Temp";
// A download larger than this is abandoned and counts as no page: no page
// the service serves comes near it, and it bounds what a hostile answer can
// make the program hold.
inline constexpr std::size_t kPageLimit = 4u * 1024 * 1024;

// The bytes a text-mode read delivers from `file`: each CR LF becomes LF and
// a 0x1A byte ends the text.
std::string textModeRead(std::string_view file);

// A new empty file with a unique name in the Temp folder (made when it is
// missing); its path, or nothing when none can be made.
std::optional<std::string> newPageFile();

// Deletes the page files that an earlier run left behind when it ended
// during a download; run at start, while no download of this installation
// can be running.
void removeLeftoverPageFiles();

// Evicts the non-empty links of `evictList` from the internet cache in
// order and downloads `url` into `file`. False, with the file deleted, when
// the download failed, answered an error status, came short or went over
// the limit.
bool fetchPage(const std::string& url, std::span<const std::string> evictList,
               const std::string& file);

// `file` read as text, or nothing when it cannot be opened or read or holds
// more than the limit.
std::optional<std::string> loadPageFile(const std::string& file);

// fetchPage into `file`, then loadPageFile; the file is deleted either way.
std::optional<std::string> downloadPage(const std::string& file, const std::string& url,
                                        std::span<const std::string> evictList);
// The same into a new file of its own.
std::optional<std::string> downloadPage(const std::string& url,
                                        std::span<const std::string> evictList);
