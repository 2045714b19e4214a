#pragma once
// The fuzzer's input as a file: an anonymous in-memory file holding the bytes,
// opened by the loaders through its /proc/self/fd path.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vorlith::fuzz {

class MemoryFile {
 public:
  MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("fuzz-input", 0)) {
    if (fd_ < 0) return;
    if (size > 0 && write(fd_, data, size) != static_cast<ssize_t>(size)) {
      close(fd_);
      fd_ = -1;
      return;
    }
    std::snprintf(path_, sizeof path_, "/proc/self/fd/%d", fd_);
  }
  ~MemoryFile() {
    if (fd_ >= 0) close(fd_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  const char* path() const { return path_; }

 private:
  int fd_;
  char path_[64] = {};
};

}  // namespace vorlith::fuzz
