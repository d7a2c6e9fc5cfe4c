#include "platform/EwfSegmentSet.h"

#include <libewf.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "platform/ByteView.h"
#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/FileStatus.h"

namespace salvora::platform {
namespace {

// The first bytes of an EWF-E01 segment file.
constexpr uint8_t kEvfSignature[8] = {'E', 'V', 'F', 0x09, 0x0D, 0x0A, 0xFF, 0x00};

// The section descriptor that closes an EWF-E01 segment file: 76 bytes, its type name first.
class EwfClosingSection {
 public:
  static constexpr size_t kSize = 76;
  explicit EwfClosingSection(ByteView bytes) : v_(bytes.Sub(0, kSize)) {}
  bool SaysNext() const { return TypeIs("next"); }
  bool SaysDone() const { return TypeIs("done"); }

 private:
  bool TypeIs(std::string_view type) const { return v_.Has(0, kSize) && v_.Equals(0, type) && v_.U8(type.size()) == 0; }
  ByteView v_;
};

struct SegmentEnd {
  bool evf = false;  // an EWF-E01 segment: its closing section can be read
  uint64_t bytes = 0;
  uint8_t closing[EwfClosingSection::kSize] = {};
};

bool ReadSegmentEnd(const std::string& path, SegmentEnd& out) {
  int fd = OpenFile(path, O_RDONLY);
  if (fd < 0) return false;
  FileStatus st;
  uint8_t head[sizeof kEvfSignature] = {};
  bool ok = StatFile(fd, st) == 0;
  if (ok) {
    out.bytes = st.size;
    out.evf = ReadUpTo(fd, head, sizeof head, 0, nullptr) == long(sizeof head) &&
              std::memcmp(head, kEvfSignature, sizeof head) == 0;
    if (out.evf && out.bytes >= sizeof head + EwfClosingSection::kSize)
      ReadUpTo(fd, out.closing, sizeof out.closing, out.bytes - EwfClosingSection::kSize, nullptr);
  }
  CloseFile(fd);
  return ok;
}

bool SetIsCorrupted(char** names, int count) {
  libewf_handle_t* handle = nullptr;
  if (libewf_handle_initialize(&handle, nullptr) != 1) return false;
  bool corrupted = false;
  if (libewf_handle_open(handle, names, count, libewf_get_access_flags_read(), nullptr) == 1) {
    corrupted = libewf_handle_segment_files_corrupted(handle, nullptr) == 1;
    libewf_handle_close(handle, nullptr);
  }
  libewf_handle_free(&handle, nullptr);
  return corrupted;
}

}  // namespace

std::string NextEwfSegmentName(const std::string& segment) {
  const size_t dot = segment.rfind('.');
  if (dot == std::string::npos || segment.size() - dot < 4) return {};
  std::string next = segment;
  char* tail = &next[next.size() - 2];
  const bool digits = tail[0] >= '0' && tail[0] <= '9' && tail[1] >= '0' && tail[1] <= '9';
  if (digits && !(tail[0] == '9' && tail[1] == '9')) {
    const int n = (tail[0] - '0') * 10 + (tail[1] - '0') + 1;
    tail[0] = char('0' + n / 10);
    tail[1] = char('0' + n % 10);
    return next;
  }
  const char a = (next[dot + 1] >= 'a') ? 'a' : 'A';
  if (digits) {  // E99 -> EAA
    tail[0] = tail[1] = a;
    return next;
  }
  // Letters count up with a carry: EAZ -> EBA, EZZ -> FAA.
  for (size_t i = next.size() - 1; i > dot; --i) {
    const char z = char(a + 25);
    if (next[i] != z) {
      ++next[i];
      return next;
    }
    next[i] = a;
  }
  return {};
}

std::string EwfSegmentSetProblem(const std::string& firstSegment) {
  char** names = nullptr;
  int count = 0;
  libewf_error_t* error = nullptr;
  if (libewf_glob(firstSegment.c_str(), firstSegment.size(), LIBEWF_FORMAT_UNKNOWN, &names, &count, &error) != 1) {
    libewf_error_free(&error);
    return {};
  }
  std::vector<std::string> segments(names, names + count);
  const bool corrupted = SetIsCorrupted(names, count);
  libewf_glob_free(names, count, nullptr);
  if (!corrupted) return {};
  for (size_t i = 0; i < segments.size(); ++i) {
    SegmentEnd end;
    if (!ReadSegmentEnd(segments[i], end) || !end.evf) break;
    const EwfClosingSection closing(ByteView(end.closing, sizeof end.closing));
    if (!closing.SaysNext() && !closing.SaysDone())
      return segments[i] + " is cut short (" + std::to_string(end.bytes) + " bytes)";
    if (i + 1 == segments.size() && closing.SaysNext()) {
      const std::string missing = NextEwfSegmentName(segments[i]);
      return (missing.empty() ? "the segment after " + segments[i] : missing) + " is missing";
    }
  }
  return "the segments of " + firstSegment + " are incomplete or damaged";
}

}  // namespace salvora::platform
