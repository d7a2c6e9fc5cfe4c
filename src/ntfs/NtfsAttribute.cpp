#include "ntfs/NtfsAttribute.h"

#include "platform/TextEncoding.h"

namespace salvora {

bool AttributeHeader::ResidentValue(ByteView& value) const {
  size_t length = Length();
  if (length > a_.size()) return false;
  size_t offset = ValueOffset();
  size_t count = ValueLength();
  if (offset > length || count > length - offset) return false;
  value = ByteView(a_.data() + offset, count);
  return true;
}

bool FileNameAttribute::IsWellFormed() const {
  size_t length = AttributeHeader(a_).Length();
  if (length > a_.size()) return false;
  return kNameOffset + 2 * size_t(NameLength()) <= length;
}

std::string FileNameAttribute::Name() const {
  if (!IsWellFormed()) return {};
  return platform::Utf16LeBytesToUtf8(a_.data() + kNameOffset, NameLength());
}

}  // namespace salvora
