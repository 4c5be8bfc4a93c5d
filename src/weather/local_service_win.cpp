#include <winsock2.h>
#include <windows.h>

#include <optional>
#include <string>

#include "common/program_win.h"
#include "common/service_url.h"
#include "common/text.h"
#include "settings/settings.h"
#include "weather/local_service.h"
#include "weather/local_service_win.h"

namespace {

// Set by the creation sequence before any worker starts; read-only after.
std::optional<int> servicePort;
std::string commandLine;

SRWLOCK startLock = SRWLOCK_INIT;  // one start at a time; downloads wait for it
std::optional<std::uint32_t> lastStart;
HANDLE job = nullptr;
// The service this program started last, while it may still run; under the
// start lock. Whoever answers on the port while it does not run is another
// program.
HANDLE ownService =
    nullptr;  // never closed: the system closes it, and so ends the service, at exit

// True when something accepts connections on the loopback port.
bool answers(int port) {
  static bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) return false;
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (probe == INVALID_SOCKET) return false;
  u_long nonBlocking = 1;
  ioctlsocket(probe, FIONBIO, &nonBlocking);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(u_short(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool connected = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (!connected && WSAGetLastError() == WSAEWOULDBLOCK) {
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(probe, &writable);
    FD_SET(probe, &failed);
    timeval wait{0, 500 * 1000};
    connected = select(0, nullptr, &writable, &failed, &wait) > 0 && FD_ISSET(probe, &writable);
  }
  closesocket(probe);
  return connected;
}

// The job that ends the service with the program, made once.
HANDLE serviceJob() {
  if (job) return job;
  job = CreateJobObjectA(nullptr, nullptr);
  if (!job) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    job = nullptr;
  }
  return job;
}

// Starts the service hidden, in the job; a service that could not be put
// in the job would outlive the program, so it is ended at once.
HANDLE launch() {
  std::string program = programPath("skyvane-service.exe");
  if (GetFileAttributesA(program.c_str()) == INVALID_FILE_ATTRIBUTES) return nullptr;
  HANDLE container = serviceJob();
  if (!container) return nullptr;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  std::string folder = programFolder.empty() ? std::string(".") : programFolder;
  if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE,
                      CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup,
                      &process))
    return nullptr;
  if (!AssignProcessToJobObject(container, process.hProcess)) {
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return nullptr;
  }
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);
  return process.hProcess;
}

bool ownServiceRuns() {
  if (ownService && WaitForSingleObject(ownService, 0) == WAIT_TIMEOUT) return true;
  if (ownService) CloseHandle(ownService);
  ownService = nullptr;
  return false;
}

// With the lock held: true when it started the service just now.
bool startIfDown(ServiceStart when) {
  if (answers(*servicePort)) return false;
  DWORD now = GetTickCount();
  if (when == ServiceStart::WhenDue && !serviceStartDue(now, lastStart)) return false;
  lastStart = now;
  HANDLE process = launch();
  if (!process) return false;
  ownServiceRuns();  // lets go of the one before
  ownService = process;
  // Until it answers, it ends (the port is taken, its data is missing) or
  // the wait is over.
  bool up = false;
  while (!up && GetTickCount() - now < kServiceStartWaitMs &&
         WaitForSingleObject(process, 50) == WAIT_TIMEOUT)
    up = answers(*servicePort);
  return up;
}

DWORD WINAPI startWorkerRoutine(void*) {
  ensureLocalService();
  return 0;
}

DWORD WINAPI startNowRoutine(void*) {
  ensureLocalService(ServiceStart::Now);
  return 0;
}

}  // namespace

void startLocalService() {
  servicePort = localServicePort(serviceBaseUrl(), kServiceBaseUrl);
  if (!servicePort) return;
  // Read, never written: for a self-hosted forecast server or a paid key.
  TextBuffer url{}, key{}, nwsUrl{}, ecccUrl{};
  std::optional<std::string> settingsFile = settingsPathFor(programPath("Skyvane.exe"));
  if (settingsFile) {
    GetPrivateProfileStringA(kServiceSection.data(), "OpenMeteoUrl", "", url, kTextSize,
                             settingsFile->c_str());
    GetPrivateProfileStringA(kServiceSection.data(), "OpenMeteoKey", "", key, kTextSize,
                             settingsFile->c_str());
    // The alert sources, likewise (a stand-in in tests).
    GetPrivateProfileStringA(kServiceSection.data(), "NwsUrl", "", nwsUrl, kTextSize,
                             settingsFile->c_str());
    GetPrivateProfileStringA(kServiceSection.data(), "EcccUrl", "", ecccUrl, kTextSize,
                             settingsFile->c_str());
  }
  commandLine = serviceCommandLine(programPath("skyvane-service.exe"), *servicePort, textOf(url),
                                   textOf(key), textOf(nwsUrl), textOf(ecccUrl));
  startWorker(startWorkerRoutine, nullptr);
}

bool ensureLocalService(ServiceStart when) {
  if (!servicePort) return false;
  AcquireSRWLockExclusive(&startLock);
  bool up = startIfDown(when);
  ReleaseSRWLockExclusive(&startLock);
  return up;
}

bool localServicePortTaken() {
  if (!servicePort) return false;
  AcquireSRWLockExclusive(&startLock);
  bool taken = !ownServiceRuns() && answers(*servicePort);
  ReleaseSRWLockExclusive(&startLock);
  return taken;
}

void startLocalServiceNow() {
  if (servicePort) startWorker(startNowRoutine, nullptr);
}
