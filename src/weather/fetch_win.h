#pragma once
// Downloads into page files, and their reading back: the platform's half of
// the page fetch.

#include <optional>
#include <span>
#include <string>

#include "weather/fetch.h"

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
// `failure`, when given, learns why there was no page.
bool fetchPage(const std::string& url, std::span<const std::string> evictList,
               const std::string& file, DownloadFailure* failure = nullptr);

// `file` read as text, or nothing when it cannot be opened or read or holds
// more than the limit.
std::optional<std::string> loadPageFile(const std::string& file);

// fetchPage into `file`, then loadPageFile; the file is deleted either way.
std::optional<std::string> downloadPage(const std::string& file, const std::string& url,
                                        std::span<const std::string> evictList,
                                        DownloadFailure* failure = nullptr);
// The same into a new file of its own.
std::optional<std::string> downloadPage(const std::string& url,
                                        std::span<const std::string> evictList,
                                        DownloadFailure* failure = nullptr);
