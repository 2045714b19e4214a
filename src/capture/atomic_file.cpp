#include "capture/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vorlith {

AtomicFile::AtomicFile(std::string finalPath, const std::string& scratchExtension) : final_(std::move(finalPath)) {
  const std::filesystem::path path(final_);
  std::string name(1, '.');
  name.append(scratchExtension.empty() ? path.stem().string() : path.filename().string());
  name.append(".partial-").append(std::to_string(::getpid()));
  name.append(scratchExtension.empty() ? path.extension().string() : scratchExtension);
  temporary_ = (path.parent_path() / name).string();
}

AtomicFile::~AtomicFile() {
  if (!committed_) discard();
}

void AtomicFile::discard() { ::unlink(temporary_.c_str()); }

std::string writeError(const std::string& path, const std::string& reason) {
  return "can't write " + path + ": " + reason;
}

bool AtomicFile::write(const void* data, size_t size, std::string& error) {
  const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = writeError(final_, std::strerror(errno));
    return false;
  }
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A write that makes no progress without an error is a full disk.
      error = writeError(final_, std::strerror(n < 0 ? errno : ENOSPC));
      ::close(fd);
      discard();
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  if (::close(fd) != 0) {
    error = writeError(final_, std::strerror(errno));
    discard();
    return false;
  }
  return true;
}

bool AtomicFile::commit(std::string& error) {
  if (::rename(temporary_.c_str(), final_.c_str()) != 0) {
    error = writeError(final_, std::strerror(errno));
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace vorlith
