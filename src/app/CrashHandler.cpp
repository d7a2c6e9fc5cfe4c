#include "app/CrashHandler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace salvora::app {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

void WriteText(int fd, const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(fd, text, left);
    if (n <= 0) return;
    text += n;
    left -= static_cast<size_t>(n);
  }
}

void OnFatalSignal(int signal, siginfo_t* info, void*) {
  timeval now{};
  ::gettimeofday(&now, nullptr);
  std::tm local{};
  const time_t seconds = now.tv_sec;
  ::localtime_r(&seconds, &local);
  char name[96];
  std::snprintf(name, sizeof name, "%d-%02d-%02d-%02d-%02d-%02d-%02d.dmp", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(now.tv_usec / 1000));
  const int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd >= 0) {
    char head[160];
    std::snprintf(head, sizeof head, "Salvora crash: signal %d (%s), fault address %p\nBacktrace:\n", signal,
                  strsignal(signal), info ? info->si_addr : nullptr);
    WriteText(fd, head);
    void* frames[64];
    const int count = ::backtrace(frames, 64);
    ::backtrace_symbols_fd(frames, count, fd);
    ::close(fd);
  }
  // Let the default action end the process (and leave a core where the system keeps them).
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  ::sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  ::raise(signal);
}

}  // namespace

std::string CrashDumpName(int year, int month, int day, int hour, int minute, int second, int ms) {
  char name[96];
  std::snprintf(name, sizeof name, "%d-%02d-%02d-%02d-%02d-%02d-%02d.dmp", year, month, day, hour, minute, second, ms);
  return name;
}

void InstallCrashHandler() {
  // Resolve backtrace's library now: loading it inside the handler could allocate.
  void* warm[1];
  ::backtrace(warm, 1);
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_RESETHAND;
  ::sigemptyset(&action.sa_mask);
  for (int signal : kSignals) ::sigaction(signal, &action, nullptr);
}

}  // namespace salvora::app
