#include "platform/PrivilegedOpen.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/DescriptorPassing.h"
#include "platform/PlatformError.h"

namespace salvora::platform {

namespace {

std::string ProgramFolder() {
  char buffer[PATH_MAX + 1];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return "";
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

bool IsExecutable(const std::string& path) { return !path.empty() && ::access(path.c_str(), X_OK) == 0; }

// pkexec by default; SALVORA_PRIVILEGE_LAUNCHER="" starts the helper directly (tests run as root).
std::string Launcher() {
  const char* value = std::getenv("SALVORA_PRIVILEGE_LAUNCHER");
  return value ? value : "pkexec";
}

// Starts the helper with its standard output on one end of a socket pair and takes the descriptor
// it sends; -1 when it sent none.
int RunHelper(const std::string& helper, const std::string& path) {
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return -1;
  const std::string launcher = Launcher();
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pair[1], STDOUT_FILENO);
    if (launcher.empty())
      ::execl(helper.c_str(), helper.c_str(), "--mode", "r", path.c_str(), static_cast<char*>(nullptr));
    else
      ::execlp(launcher.c_str(), launcher.c_str(), helper.c_str(), "--mode", "r", path.c_str(),
               static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(pair[1]);
  const int fd = child > 0 ? ReceiveDescriptor(pair[0]) : -1;
  ::close(pair[0]);
  if (child > 0) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  return fd;
}

}  // namespace

bool WantsDeviceHelper(const std::string& path) {
  struct stat st {};
  return ::geteuid() != 0 && ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

std::string DeviceHelperPath() {
  if (const char* set = std::getenv("SALVORA_DEVICE_HELPER")) return IsExecutable(set) ? set : "";
  const std::string folder = ProgramFolder();
  for (const std::string& candidate : {folder + "../lib/salvora/salvora-open-device", folder + "salvora-open-device"})
    if (IsExecutable(candidate)) return candidate;
  return "";
}

std::string OpenErrorText(const std::string& path, int code) {
  std::string text = ErrorText(code);
  if ((code == FromErrno(EACCES) || code == FromErrno(EPERM)) && WantsDeviceHelper(path))
    text += DeviceHelperPath().empty()
                ? " (reading a device needs administrator rights: install the salvora package, whose "
                  "helper asks for them through polkit, or run as root)"
                : " (reading a device needs an administrator's authorisation, which was not given)";
  return text;
}

int OpenThroughDeviceHelper(const std::string& path, int* fd) {
  static std::mutex lock;
  static std::map<std::string, int> granted;
  std::lock_guard<std::mutex> hold(lock);
  if (auto it = granted.find(path); it != granted.end()) {
    *fd = ::fcntl(it->second, F_DUPFD_CLOEXEC, 0);
    return *fd >= 0 ? 0 : LastError();
  }
  const std::string helper = DeviceHelperPath();
  const int received = helper.empty() ? -1 : RunHelper(helper, path);
  if (received < 0) return FromErrno(EACCES);
  // Whatever the helper is, a descriptor that could write is never used.
  const int flags = ::fcntl(received, F_GETFL);
  if (flags < 0 || (flags & O_ACCMODE) != O_RDONLY) {
    ::close(received);
    return FromErrno(EACCES);
  }
  granted[path] = received;
  *fd = ::fcntl(received, F_DUPFD_CLOEXEC, 0);
  return *fd >= 0 ? 0 : LastError();
}

}  // namespace salvora::platform
