#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include <cstdio>
#include <memory>
#include <new>

#include "common/program_win.h"
#include "weather/fetch_win.h"
#include "weather/local_service_win.h"

namespace {

// Watches a download for what its result does not tell: the HTTP status and
// whether the whole body arrived. The platform reports success for an error
// page or a cut connection and leaves that body in the file.
struct DownloadWatch : IBindStatusCallback, IHttpNegotiate {
  DWORD status = 0;
  ULONG received = 0;
  ULONG expected = 0;

  bool deliveredPage() const {
    bool statusOk = status == 0 || (status >= 200 && status < 300);
    return statusOk && (expected == 0 || received >= expected);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (id == IID_IUnknown || id == IID_IBindStatusCallback) {
      *object = static_cast<IBindStatusCallback*>(this);
    } else if (id == IID_IHttpNegotiate) {
      *object = static_cast<IHttpNegotiate*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  // Lives on the stack of the download, which outlasts every use.
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG, LPCWSTR) override {
    received = progress;
    expected = progressMax;
    // Abandoned as soon as it is known to be too large, not after it has
    // filled the disk.
    return progress > kPageLimit || progressMax > kPageLimit ? E_ABORT : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                 LPWSTR* extraHeaders) override {
    *extraHeaders = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD code, LPCWSTR, LPCWSTR,
                                       LPWSTR* extraHeaders) override {
    status = code;
    if (extraHeaders) *extraHeaders = nullptr;
    return S_OK;
  }
};

// The names that GetTempFileName makes: the prefix, hex digits, ".tmp".
constexpr const char* kPageFilePrefix = "pg";

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

std::optional<std::string> newPageFile() {
  std::string folder = programPath(kCacheFolder);
  // A freshly unpacked copy may lack the empty folder; without it no page
  // could ever be shown.
  CreateDirectoryA(folder.c_str(), nullptr);
  char path[MAX_PATH];
  if (folder.size() + 16 > MAX_PATH ||
      GetTempFileNameA(folder.c_str(), kPageFilePrefix, 0, path) == 0) {
    return std::nullopt;
  }
  return std::string(path);
}

void removeLeftoverPageFiles() {
  std::string folder = programPath(kCacheFolder);
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\" + kPageFilePrefix + "*.tmp").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    DeleteFileA((folder + "\\" + entry.cFileName).c_str());
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

bool fetchPage(const std::string& url, std::span<const std::string> evictList,
               const std::string& file, DownloadFailure* failure) {
  for (const std::string& link : evictList) {
    if (!link.empty()) DeleteUrlCacheEntryA(link.c_str());
  }
  DownloadWatch watch;
  HRESULT result = URLDownloadToFileA(nullptr, url.c_str(), file.c_str(), 0, &watch);
  // What is not the page must not be read as the page: it goes the way of a
  // failed download.
  bool delivered = SUCCEEDED(result) && watch.deliveredPage() && watch.received <= kPageLimit;
  if (!delivered) DeleteFileA(file.c_str());
  if (failure) {
    bool tooLarge = watch.received > kPageLimit || watch.expected > kPageLimit;
    *failure = delivered  ? DownloadFailure::None
               : tooLarge ? DownloadFailure::Other
                          : downloadFailureOf(watch.status);
  }
  return delivered;
}

std::optional<std::string> loadPageFile(const std::string& file) {
  std::unique_ptr<FILE, FileCloser> stream(std::fopen(file.c_str(), "rb"));
  if (!stream) return std::nullopt;
  if (std::fseek(stream.get(), 0, SEEK_END) != 0) return std::nullopt;
  long size = std::ftell(stream.get());
  if (size < 0 || static_cast<unsigned long>(size) > kPageLimit ||
      std::fseek(stream.get(), 0, SEEK_SET) != 0) {
    return std::nullopt;
  }
  try {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), stream.get()));
    return textModeRead(bytes);
  } catch (const std::bad_alloc&) {
    return std::nullopt;  // a page that cannot be held is no page
  }
}

std::optional<std::string> downloadPage(const std::string& file, const std::string& url,
                                        std::span<const std::string> evictList,
                                        DownloadFailure* failure) {
  std::optional<std::string> page;
  // The service on this PC may not be up yet, or may have ended.
  ensureLocalService();
  bool fetched = fetchPage(url, evictList, file, failure);
  if (!fetched && ensureLocalService()) fetched = fetchPage(url, evictList, file, failure);
  if (fetched) page = loadPageFile(file);
  if (fetched && !page && failure) *failure = DownloadFailure::Other;
  DeleteFileA(file.c_str());
  return page;
}

std::optional<std::string> downloadPage(const std::string& url,
                                        std::span<const std::string> evictList,
                                        DownloadFailure* failure) {
  std::optional<std::string> file = newPageFile();
  if (!file) {
    if (failure) *failure = DownloadFailure::Other;
    return std::nullopt;
  }
  return downloadPage(*file, url, evictList, failure);
}
