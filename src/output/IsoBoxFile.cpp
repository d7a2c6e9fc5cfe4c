#include "output/IsoBoxFile.h"

#include "platform/ByteView.h"
#include "platform/FileIo.h"

namespace salvora {
namespace {

constexpr int kMaxBoxes = 4096;

// The box at offset, within [offset, end); false when its header does not fit or lies.
bool ReadBox(int fd, uint64_t offset, uint64_t end, IsoBox& box) {
  uint8_t head[16];
  if (end < offset + 8) return false;
  int error = 0;
  const long long got = platform::ReadUpTo(fd, head, sizeof head, offset, &error);
  if (got < 8) return false;
  ByteView v(head, size_t(got));
  box.start = offset;
  box.header = 8;
  box.size = v.U32Be(0);
  for (int i = 0; i < 4; ++i) box.type[i] = char(v.U8(4 + size_t(i)));
  if (box.size == 1) {
    if (!v.Has(8, 8)) return false;
    box.size = uint64_t(v.U32Be(8)) << 32 | v.U32Be(12);
    box.header = 16;
  } else if (box.size == 0) {
    box.size = end - offset;
  }
  return box.size >= box.header && box.size <= end - offset;
}

bool Is(const IsoBox& box, const char* type) {
  return box.type[0] == type[0] && box.type[1] == type[1] && box.type[2] == type[2] && box.type[3] == type[3];
}

}  // namespace

bool FindIsoBox(int fd, uint64_t start, uint64_t end, const char* type, IsoBox& found) {
  uint64_t at = start;
  for (int n = 0; n < kMaxBoxes && at < end; ++n) {
    if (!ReadBox(fd, at, end, found)) return false;
    if (Is(found, type)) return true;
    at += found.size;
  }
  return false;
}

}  // namespace salvora
