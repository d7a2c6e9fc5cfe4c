// salvora-open-device: the one piece that runs with administrator rights (started through pkexec and
// the polkit action org.salvora.open-device). It opens one block device read-only and hands the
// descriptor to the program over the socket that is its standard output, so the desktop program and
// salvora-cli never run as root and can never be given a descriptor that writes.
//
//   salvora-open-device --mode r DEVICE
//
// Exit codes: 0 handed over, 2 bad arguments, 3 a mode other than read-only, 4 not a block device,
// 5 standard output is not a socket, 6 the device cannot be opened.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/DescriptorPassing.h"

namespace {

int Refuse(int code, const std::string& why) {
  std::fprintf(stderr, "salvora-open-device: %s\n", why.c_str());
  return code;
}

bool OutputIsSocket() {
  struct stat st {};
  return ::fstat(STDOUT_FILENO, &st) == 0 && S_ISSOCK(st.st_mode);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::strcmp(argv[1], "--mode") != 0)
    return Refuse(2, "usage: salvora-open-device --mode r DEVICE");
  if (std::strcmp(argv[2], "r") != 0) return Refuse(3, "refused: only read-only access is granted");
  char resolved[PATH_MAX];
  if (argv[3][0] != '/' || !::realpath(argv[3], resolved))
    return Refuse(4, std::string("refused: not a block device: ") + argv[3]);
  struct stat named {};
  if (::stat(resolved, &named) != 0 || !S_ISBLK(named.st_mode))
    return Refuse(4, std::string("refused: not a block device: ") + argv[3]);
  if (!OutputIsSocket()) return Refuse(5, "standard output must be the program's socket");

  const int fd = ::open(resolved, O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return Refuse(6, std::string("cannot open ") + resolved + ": " + std::strerror(errno));
  // The node may have been swapped between the check and the open: hand over only what was checked.
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISBLK(opened.st_mode) || opened.st_rdev != named.st_rdev)
    return Refuse(4, std::string("refused: not a block device: ") + argv[3]);
  if (salvora::platform::SendDescriptor(STDOUT_FILENO, fd) != 0)
    return Refuse(5, "the program's socket closed");
  return 0;
}
