#include "probe_win.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <vector>

namespace {

// One entry of the GDI handle table that the process environment block
// points at: the layout Windows uses and Wine copies.
struct GdiEntry {
  uint64_t object;
  uint16_t ownerProcess;
  uint16_t ownerCount;
  uint16_t unique;  // low byte: type and, in bit 7, the stock flag
  uint8_t type;     // 0: a free entry
  uint8_t flags;
  uint64_t userPointer;
};
static_assert(sizeof(GdiEntry) == 24);

constexpr size_t kGdiTableEntries = 0x10000;
// Where the 64-bit process environment block keeps the table's address.
constexpr size_t kPebGdiTableOffset = 0xF8;

bool readMemory(HANDLE process, uint64_t address, void* buffer, size_t size) {
  SIZE_T read = 0;
  return ReadProcessMemory(process, reinterpret_cast<const void*>(address), buffer, size, &read) &&
         read == size;
}

// Live entries of `processId`, or of no recorded owner since Wine keeps a
// table per process, that are not stock objects.
long countGdiEntries(const GdiEntry* table, size_t count, DWORD processId) {
  long total = 0;
  for (size_t i = 0; i < count; ++i) {
    const GdiEntry& entry = table[i];
    bool stock = (entry.unique & 0x80) != 0;
    bool ours = entry.ownerProcess == 0 || entry.ownerProcess == (processId & 0xFFFF);
    if (entry.type != 0 && !stock && ours) ++total;
  }
  return total;
}

uint64_t gdiTableAddress(HANDLE process) {
  PROCESS_BASIC_INFORMATION basic{};
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) !=
      0) {
    return 0;
  }
  uint64_t table = 0;
  uint64_t peb = reinterpret_cast<uint64_t>(basic.PebBaseAddress);
  if (!readMemory(process, peb + kPebGdiTableOffset, &table, sizeof table)) return 0;
  return table;
}

// Reads the table a block at a time and stops at the first block that was
// never used: entries are handed out from the bottom, and reading the whole
// table would touch memory the process never did.
long probeGdiTable(HANDLE process) {
  uint64_t table = gdiTableAddress(process);
  if (table == 0) return -1;
  DWORD processId = GetProcessId(process);
  constexpr size_t kBlock = 4096;
  std::vector<GdiEntry> block(kBlock);
  long total = 0;
  for (size_t first = 0; first < kGdiTableEntries; first += kBlock) {
    if (!readMemory(process, table + first * sizeof(GdiEntry), block.data(),
                    kBlock * sizeof(GdiEntry))) {
      return first == 0 ? -1 : total;
    }
    bool used = false;
    for (const GdiEntry& entry : block) used = used || entry.object != 0 || entry.type != 0;
    if (!used) break;
    total += countGdiEntries(block.data(), block.size(), processId);
  }
  return total;
}

struct WindowTally {
  DWORD processId;
  long count;
};

BOOL CALLBACK tallyChild(HWND, LPARAM parameter) {
  ++reinterpret_cast<WindowTally*>(parameter)->count;
  return TRUE;
}

BOOL CALLBACK tallyTopLevel(HWND window, LPARAM parameter) {
  auto* tally = reinterpret_cast<WindowTally*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != tally->processId) return TRUE;
  ++tally->count;
  // Children of children too: EnumChildWindows descends.
  EnumChildWindows(window, tallyChild, parameter);
  return TRUE;
}

long probeWindows(DWORD processId) {
  WindowTally tally{processId, 0};
  EnumWindows(tallyTopLevel, reinterpret_cast<LPARAM>(&tally));
  for (HWND window = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
       window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId) ++tally.count;
  }
  return tally.count;
}

// Handle values are multiples of four handed out from the bottom; past the
// last one in use only a long run of misses is found.
long probeHandles(HANDLE process) {
  constexpr uintptr_t kRunOfMisses = 1024;
  constexpr uintptr_t kLimit = 1u << 24;
  long count = 0;
  uintptr_t lastHit = 0;
  for (uintptr_t value = 4; value < kLimit && value - lastHit <= 4 * kRunOfMisses; value += 4) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0,
                        FALSE, DUPLICATE_SAME_ACCESS)) {
      CloseHandle(copy);
      ++count;
      lastHit = value;
    }
  }
  return count;
}

}  // namespace

uint64_t privateBytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters)) {
    return 0;
  }
  return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

Count gdiObjects(HANDLE process) {
  // A running GUI process holds at least its window's DC: 0 means not reported.
  DWORD reported = GetGuiResources(process, GR_GDIOBJECTS);
  if (reported != 0) return {static_cast<long>(reported), "GetGuiResources"};
  return {probeGdiTable(process), "GDI handle table"};
}

Count userObjects(HANDLE process) {
  DWORD reported = GetGuiResources(process, GR_USEROBJECTS);
  if (reported != 0) return {static_cast<long>(reported), "GetGuiResources"};
  return {probeWindows(GetProcessId(process)), "windows only"};
}

Count handleCount(HANDLE process) {
  DWORD reported = 0;
  if (GetProcessHandleCount(process, &reported) && reported != 0) {
    return {static_cast<long>(reported), "GetProcessHandleCount"};
  }
  return {probeHandles(process), "DuplicateHandle probe"};
}

Count threadCount(HANDLE process) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return {};
  DWORD processId = GetProcessId(process);
  long count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == processId) ++count;
  }
  CloseHandle(snapshot);
  return {count, "Toolhelp"};
}

Footprint measure(HANDLE process) {
  return Footprint{privateBytes(process), gdiObjects(process), userObjects(process),
                   handleCount(process), threadCount(process)};
}
