#pragma once
// What a running process holds, read from outside it: its private memory and
// its counts of GDI objects, USER objects and kernel handles. Where the
// platform does not report a count (Wine answers GetGuiResources with 0), the
// count is taken another way, and `source` says which.

#include <windows.h>

#include <cstdint>
#include <string>

struct Count {
  long value = -1;  // -1: not known
  std::string source;
};

struct Footprint {
  uint64_t privateBytes = 0;
  Count gdiObjects;
  Count userObjects;
  Count handles;
  Count threads;
};

// PrivateUsage of GetProcessMemoryInfo (Wine: the process's anonymous
// resident memory and swap).
uint64_t privateBytes(HANDLE process);

// GetGuiResources, else the process's GDI handle table: the live entries
// that are not stock objects.
Count gdiObjects(HANDLE process);
// GetGuiResources, else the windows of the process: top-level, their
// children and message-only windows.
Count userObjects(HANDLE process);
// GetProcessHandleCount, else the handle values that DuplicateHandle can copy.
Count handleCount(HANDLE process);

// The process's threads, from a Toolhelp snapshot.
Count threadCount(HANDLE process);

Footprint measure(HANDLE process);
