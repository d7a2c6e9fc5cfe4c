#include "platform/EwfSource.h"

#include <libewf.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/PlatformError.h"

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
    if (libewf_handle_get_media_size(handle->handle, &media, &error) != 1) rc = FromErrno(EINVAL);
  }
  Forget(error);
  libewf_glob_free(names, count, nullptr);
  if (rc != 0) return rc;
  mediaBytes_ = media;
  handle_ = std::move(handle);
  return 0;
}

long long EwfSource::ReadAt(void* buffer, size_t length, uint64_t offset, int* error) {
  if (!handle_) {
    if (error) *error = FromErrno(EBADF);
    return -1;
  }
  if (offset >= mediaBytes_) return 0;
  length = size_t(std::min<uint64_t>(length, mediaBytes_ - offset));
  std::lock_guard hold(lock_);
  libewf_error_t* failure = nullptr;
  ssize_t got = libewf_handle_read_random(handle_->handle, buffer, length, off64_t(offset), &failure);
  Forget(failure);
  if (got < 0) {
    if (error) *error = FromErrno(EIO);
    return -1;
  }
  return got;
}

long long EwfSource::ByteLength(int*) { return static_cast<long long>(mediaBytes_); }

}  // namespace salvora::platform
