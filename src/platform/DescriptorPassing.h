#pragma once

// Handing an open descriptor from one process to another over a Unix socket (SCM_RIGHTS): the
// privileged device helper opens a device read-only and gives the program only that descriptor.
namespace salvora::platform {

// Sends fd with a one-byte message over socket. Returns 0 or the platform error.
int SendDescriptor(int socket, int fd);
// Receives a descriptor sent by SendDescriptor; -1 when none came (the sender refused or died).
int ReceiveDescriptor(int socket);

}  // namespace salvora::platform
