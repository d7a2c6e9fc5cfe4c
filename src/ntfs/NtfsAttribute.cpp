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

namespace {

// count UTF-16 characters at offset of view, as UTF-8; "" when they leave the view.
std::string Utf16At(ByteView view, size_t offset, size_t count) {
  if (count == 0 || !view.Has(offset, 2 * count)) return {};
  return platform::Utf16LeBytesToUtf8(view.data() + offset, count);
}

}  // namespace

std::string AttributeHeader::Name() const {
  return Utf16At(a_.Sub(0, Length()), NameOffset(), NameLength());
}

std::string AttributeListEntry::Name() const {
  return Utf16At(e_.Sub(0, Length()), NameOffset(), NameLength());
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
