#include "platform/EwfSource.h"

#include <libewf.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/ContainerImage.h"
#include "platform/PlatformError.h"
#include "platform/UnreadableAreas.h"

namespace salvora::platform {

struct EwfSource::Handle {
  libewf_handle_t* handle = nullptr;
  bool open = false;
  ~Handle() {
    if (open) libewf_handle_close(handle, nullptr);
    if (handle) libewf_handle_free(&handle, nullptr);
  }
};

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return text;
}

void Forget(libewf_error_t*& error) {
  if (error) libewf_error_free(&error);
}

}  // namespace

EwfSource::EwfSource() = default;
EwfSource::~EwfSource() = default;

bool EwfSource::HasEwfName(const std::string& path) {
  const std::string name = Lower(path);
  for (const char* ending : {".e01", ".ex01", ".s01"})
    if (name.size() > std::strlen(ending) && name.compare(name.size() - std::strlen(ending), std::string::npos, ending) == 0)
      return true;
  return false;
}

int EwfSource::Open(const std::string& firstSegment) {
  handle_.reset();
  libewf_error_t* error = nullptr;
  char** names = nullptr;
  int count = 0;
  if (libewf_glob(firstSegment.c_str(), firstSegment.size(), LIBEWF_FORMAT_UNKNOWN, &names, &count, &error) != 1) {
    Forget(error);
    return FromErrno(EINVAL);
  }
  auto handle = std::make_unique<Handle>();
  int rc = 0;
  size64_t media = 0;
  if (libewf_handle_initialize(&handle->handle, &error) != 1) {
    rc = FromErrno(ENOMEM);
  } else if (libewf_handle_open(handle->handle, names, count, libewf_get_access_flags_read(), &error) != 1) {
    rc = FromErrno(EINVAL);
  } else {
    handle->open = true;
    uint32_t sectorBytes = 0;
    if (libewf_handle_get_media_size(handle->handle, &media, &error) != 1) rc = FromErrno(EINVAL);
    // A cut set would read as whole media whose missing chunks are silently zeros.
    else if (libewf_handle_segment_files_corrupted(handle->handle, nullptr) == 1 && !IncompleteContainersAllowed())
      rc = FromErrno(EINVAL);
    else if (libewf_handle_get_bytes_per_sector(handle->handle, &sectorBytes, &error) == 1 && sectorBytes != 0)
      bytesPerSector_ = sectorBytes;
    // Zeros rather than the failed chunk's bytes, should any reach a caller.
    if (rc == 0) libewf_handle_set_read_zero_chunk_on_error(handle->handle, 1, nullptr);
  }
  Forget(error);
  libewf_glob_free(names, count, nullptr);
  if (rc != 0) return rc;
  mediaBytes_ = media;
  path_ = firstSegment;
  errorsSeen_ = 0;
  bad_.clear();
  handle_ = std::move(handle);
  return 0;
}

void EwfSource::TakeChecksumErrors() {
  uint32_t count = 0;
  if (libewf_handle_get_number_of_checksum_errors(handle_->handle, &count, nullptr) != 1 || count == errorsSeen_)
    return;
  // libewf keeps the failed sectors as merged ranges: take the whole list again.
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t first = 0, sectors = 0;
    if (libewf_handle_get_checksum_error(handle_->handle, i, &first, &sectors, nullptr) != 1 || sectors == 0) continue;
    const uint64_t start = std::min(first * bytesPerSector_, mediaBytes_);
    const uint64_t end = std::min(start + sectors * bytesPerSector_, mediaBytes_);
    if (start < end) ranges.emplace_back(start, end);
  }
  errorsSeen_ = count;
  bad_ = ranges;
  AddUnreadableAreas(path_, std::move(ranges));
}

size_t EwfSource::ReadableLength(uint64_t offset, size_t length) const {
  for (auto [start, end] : bad_) {
    if (offset >= start && offset < end) return 0;
    if (offset < start && offset + length > start) length = size_t(start - offset);
  }
  return length;
}

long long EwfSource::ReadAt(void* buffer, size_t length, uint64_t offset, int* error) {
  if (!handle_) {
    if (error) *error = FromErrno(EBADF);
    return -1;
  }
  if (offset >= mediaBytes_) return 0;
  length = size_t(std::min<uint64_t>(length, mediaBytes_ - offset));
  std::lock_guard hold(lock_);
  length = ReadableLength(offset, length);
  libewf_error_t* failure = nullptr;
  ssize_t got = length == 0 ? -1 : libewf_handle_read_random(handle_->handle, buffer, length, off64_t(offset), &failure);
  Forget(failure);
  if (got > 0) {
    // A chunk that failed its checksum in this read ends it where the chunk starts.
    TakeChecksumErrors();
    got = ssize_t(ReadableLength(offset, size_t(got)));
  }
  if (got <= 0) {
    if (error) *error = FromErrno(EIO);
    return -1;
  }
  return got;
}

long long EwfSource::ByteLength(int*) { return static_cast<long long>(mediaBytes_); }

}  // namespace salvora::platform
