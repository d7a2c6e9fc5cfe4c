#include "platform/RawSource.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "platform/ContainerImage.h"
#include "platform/FileDescriptor.h"
#include "platform/PlatformError.h"
#include "platform/UnreadableAreas.h"

namespace salvora::platform {

FileSource::~FileSource() {
  if (fd_ >= 0) CloseFile(fd_);
}

namespace {
std::atomic<uint64_t> opens{0};
}  // namespace

uint64_t FileSource::OpenCount() { return opens.load(); }

void FileSource::CountOpen() { opens.fetch_add(1); }

FileSource& FileSource::operator=(FileSource&& other) noexcept {
  if (this == &other) return *this;
  if (fd_ >= 0) CloseFile(fd_);
  fd_ = std::exchange(other.fd_, -1);
  container_ = std::move(other.container_);
  faults_ = std::move(other.faults_);
  failing_ = std::move(other.failing_);
  return *this;
}

int FileSource::OpenContents(const std::string& path) {
  int error = 0;
  container_ = OpenContainerImage(path, error);
  if (error != 0) {
    CloseFile(fd_);
    fd_ = -1;
    return error;
  }
  faults_ = FaultPlanFor(path);
  failing_ = UnreadableAreasOf(path);
  if (faults_) failing_.insert(failing_.end(), faults_->badRanges.begin(), faults_->badRanges.end());
  return 0;
}

long long FileSource::ReadAt(void* buffer, size_t length, uint64_t offset, int* error) {
  if (faults_ && faults_->maxReadBytes) length = std::min(length, faults_->maxReadBytes);
  if (faults_ && faults_->readDelayUs) std::this_thread::sleep_for(std::chrono::microseconds(faults_->readDelayUs));
  // What lies before a failing area still arrives, as a short read.
  for (auto [bad, end] : failing_) {
    if (offset >= bad && offset < end) {
      if (error) *error = FromErrno(EIO);
      return -1;
    }
    if (offset < bad && offset + length > bad) length = size_t(bad - offset);
  }
  if (container_) return container_->ReadAt(buffer, length, offset, error);
  return ReadDirect(buffer, length, offset, error);
}

long long MemorySource::ReadAt(void* buffer, size_t length, uint64_t offset, int*) {
  if (offset >= bytes_.size()) return 0;
  size_t n = std::min<uint64_t>(length, bytes_.size() - offset);
  std::memcpy(buffer, bytes_.data() + offset, n);
  return static_cast<long long>(n);
}

}  // namespace salvora::platform
