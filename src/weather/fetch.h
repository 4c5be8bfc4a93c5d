#pragma once
// Pages are downloaded into files of their own in the program's Temp folder,
// read back as text and deleted: no two downloads share a file, so none
// needs a lock and a stale file is never read as a new page.

#include <cstddef>
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

// Why a download gave no page.
enum class DownloadFailure {
  None,
  NoConnection,  // no answer at all: the service is down or out of reach
  ServiceBusy,   // 503 or 429: the service cannot give it now
  Other,         // another error status, a cut or oversized answer, a file error
};

// What an answer's HTTP status (0: none came) says of a failed download.
DownloadFailure downloadFailureOf(unsigned long status);
