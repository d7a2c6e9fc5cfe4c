#include "platform/DescriptorPassing.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/PlatformError.h"

namespace salvora::platform {

namespace {

// One byte of payload and room for one descriptor: what both ends of the hand-over exchange.
struct OneDescriptorMessage {
  OneDescriptorMessage() {
    message.msg_iov = &iov;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
  }
  OneDescriptorMessage(const OneDescriptorMessage&) = delete;
  OneDescriptorMessage& operator=(const OneDescriptorMessage&) = delete;

  char byte = 'F';
  iovec iov{&byte, 1};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
};

}  // namespace

int SendDescriptor(int socket, int fd) {
  OneDescriptorMessage one;
  msghdr& message = one.message;
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  header->cmsg_level = SOL_SOCKET;
  header->cmsg_type = SCM_RIGHTS;
  header->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(header), &fd, sizeof(int));
  while (::sendmsg(socket, &message, MSG_NOSIGNAL) < 0) {
    if (errno != EINTR) return LastError();
  }
  return 0;
}

int ReceiveDescriptor(int socket) {
  OneDescriptorMessage one;
  msghdr& message = one.message;
  ssize_t got;
  while ((got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC)) < 0 && errno == EINTR) {
  }
  if (got <= 0 || (message.msg_flags & MSG_CTRUNC)) return -1;
  for (cmsghdr* h = CMSG_FIRSTHDR(&message); h; h = CMSG_NXTHDR(&message, h)) {
    if (h->cmsg_level == SOL_SOCKET && h->cmsg_type == SCM_RIGHTS && h->cmsg_len == CMSG_LEN(sizeof(int))) {
      int fd = -1;
      std::memcpy(&fd, CMSG_DATA(h), sizeof(int));
      return fd;
    }
  }
  return -1;
}

}  // namespace salvora::platform
