#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/LittleEndian.h"

namespace salvora {

// The one description of a found file or folder, written byte for byte into scan logs: 852 bytes,
// packed, little-endian. A new record is all zeros. The name field holds the longest name a file
// system gives (255 UTF-16 units are at most 765 UTF-8 bytes) with its terminator. Logs written
// before it grew keep 346-byte records whose name field is 260 bytes: LoadStored and StoreLegacy
// move between the two, and the fields before the name are the same in both.
class FoundFileRecord {
 public:
  static constexpr size_t kSize = 852;
  static constexpr size_t kNameBytes = 766;
  static constexpr size_t kLegacySize = 346;
  static constexpr size_t kLegacyNameBytes = 260;

  FoundFileRecord() = default;

  uint16_t DriveLetter() const { return driveLetter_.get(); }
  void SetDriveLetter(uint16_t v) { driveLetter_.set(v); }
  uint32_t EngineKind() const { return engineKind_.get(); }
  void SetEngineKind(uint32_t v) { engineKind_.set(v); }
  bool IsFolder() const { return folder_.get() != 0; }
  uint32_t FolderFlag() const { return folder_.get(); }
  void SetFolder(bool v) { folder_.set(v ? 1 : 0); }
  bool IsDeleted() const { return deleted_.get() != 0; }
  uint32_t DeletedFlag() const { return deleted_.get(); }
  void SetDeleted(bool v) { deleted_.set(v ? 1 : 0); }
  // 1 when the first sector matches the extension or was not checked.
  uint32_t ContentCheck() const { return contentCheck_.get(); }
  void SetContentCheck(uint32_t v) { contentCheck_.set(v); }
  uint32_t RecordNumber() const { return recordNumber_.get(); }
  void SetRecordNumber(uint32_t v) { recordNumber_.set(v); }
  uint32_t ObjectId() const { return objectId_.get(); }
  void SetObjectId(uint32_t v) { objectId_.set(v); }
  uint32_t ClusterSize() const { return clusterSize_.get(); }
  void SetClusterSize(uint32_t v) { clusterSize_.set(v); }
  uint64_t CreationTime() const { return creationTime_.get(); }
  void SetCreationTime(uint64_t v) { creationTime_.set(v); }
  uint64_t AccessTime() const { return accessTime_.get(); }
  void SetAccessTime(uint64_t v) { accessTime_.set(v); }
  uint64_t WriteTime() const { return writeTime_.get(); }
  void SetWriteTime(uint64_t v) { writeTime_.set(v); }
  uint64_t FileSize() const { return fileSize_.get(); }
  void SetFileSize(uint64_t v) { fileSize_.set(v); }
  // First sector of the volume's data area, relative to the partition start.
  uint64_t DataAreaStart() const { return dataAreaStart_.get(); }
  void SetDataAreaStart(uint64_t v) { dataAreaStart_.set(v); }
  // Absolute sector holding the entry (directory sector or file record).
  uint64_t EntrySector() const { return entrySector_.get(); }
  void SetEntrySector(uint64_t v) { entrySector_.set(v); }
  uint64_t PartitionStart() const { return partitionStart_.get(); }
  void SetPartitionStart(uint64_t v) { partitionStart_.set(v); }

  // The name up to its terminator (never past the field).
  std::string_view Name() const { return std::string_view(name_, strnlen(name_, kNameBytes)); }
  // Stores name, truncated on a character boundary so the terminator fits.
  void SetName(std::string_view name);

  // Fills the record from one stored record of stride bytes (kSize, or kLegacySize for an old log);
  // what an old record lacks reads as zeros.
  void LoadStored(const uint8_t* stored, size_t stride);
  // Writes the record in the old 346-byte layout (appending to an old log): the name is cut on a
  // character boundary to fit its 260-byte field with the terminator.
  void StoreLegacy(uint8_t* out) const;

  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(this); }
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(this); }

 private:
  friend struct FoundFileRecordLayout;
  Le16 driveLetter_;
  Le32 engineKind_;
  Le32 folder_;
  Le32 deleted_;
  Le32 contentCheck_;
  Le32 recordNumber_;
  Le32 objectId_;
  Le32 clusterSize_;
  Le64 creationTime_;
  Le64 accessTime_;
  Le64 writeTime_;
  Le64 fileSize_;
  Le64 dataAreaStart_;
  Le64 entrySector_;
  Le64 partitionStart_;
  char name_[kNameBytes] = {};
};

// Compile-time checks of the on-disk layout.
struct FoundFileRecordLayout {
  static_assert(sizeof(FoundFileRecord) == FoundFileRecord::kSize);
  static_assert(alignof(FoundFileRecord) == 1);
  static_assert(offsetof(FoundFileRecord, driveLetter_) == 0);
  static_assert(offsetof(FoundFileRecord, engineKind_) == 2);
  static_assert(offsetof(FoundFileRecord, folder_) == 6);
  static_assert(offsetof(FoundFileRecord, deleted_) == 10);
  static_assert(offsetof(FoundFileRecord, contentCheck_) == 14);
  static_assert(offsetof(FoundFileRecord, recordNumber_) == 18);
  static_assert(offsetof(FoundFileRecord, objectId_) == 22);
  static_assert(offsetof(FoundFileRecord, clusterSize_) == 26);
  static_assert(offsetof(FoundFileRecord, creationTime_) == 30);
  static_assert(offsetof(FoundFileRecord, accessTime_) == 38);
  static_assert(offsetof(FoundFileRecord, writeTime_) == 46);
  static_assert(offsetof(FoundFileRecord, fileSize_) == 54);
  static_assert(offsetof(FoundFileRecord, dataAreaStart_) == 62);
  static_assert(offsetof(FoundFileRecord, entrySector_) == 70);
  static_assert(offsetof(FoundFileRecord, partitionStart_) == 78);
  static_assert(offsetof(FoundFileRecord, name_) == 86);
  static_assert(FoundFileRecord::kLegacySize - FoundFileRecord::kLegacyNameBytes == 86);
};

}  // namespace salvora
