#include "platform/SourceLayers.h"

#include "platform/FileStatus.h"

namespace salvora::platform {

PathKind KindOfPath(const std::string& path) {
  FileStatus st;
  if (StatPath(path, st) != 0) return PathKind::Missing;
  switch (st.kind) {
    case FileStatus::Kind::Regular: return PathKind::Regular;
    case FileStatus::Kind::Folder: return PathKind::Folder;
    case FileStatus::Kind::BlockDevice: return PathKind::BlockDevice;
    case FileStatus::Kind::CharDevice: return PathKind::CharacterDevice;
    case FileStatus::Kind::Fifo: return PathKind::Fifo;
    case FileStatus::Kind::Socket: return PathKind::Socket;
    case FileStatus::Kind::Link:
    case FileStatus::Kind::Other: break;
  }
  return PathKind::Other;
}

const char* PathKindText(PathKind kind) {
  switch (kind) {
    case PathKind::Missing: return "missing";
    case PathKind::Regular: return "a file";
    case PathKind::Folder: return "a folder";
    case PathKind::BlockDevice: return "a block device";
    case PathKind::CharacterDevice: return "a character device";
    case PathKind::Fifo: return "a FIFO";
    case PathKind::Socket: return "a socket";
    case PathKind::Other: break;
  }
  return "neither a file nor a folder";
}

}  // namespace salvora::platform
