#include "capture/atomic_file.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vorlith {

AtomicFile::AtomicFile(std::string finalPath) : final_(std::move(finalPath)) {
  const std::filesystem::path path(final_);
  std::string name = ".";
  name += path.stem().string();
  name += ".partial-" + std::to_string(::getpid());
  name += path.extension().string();
  temporary_ = (path.parent_path() / name).string();
}

AtomicFile::~AtomicFile() {
  if (!committed_) std::remove(temporary_.c_str());
}

bool AtomicFile::commit(std::string& error) {
  std::error_code failure;
  std::filesystem::rename(temporary_, final_, failure);
  if (failure) {
    error = "can't rename " + temporary_ + " to " + final_ + ": " + failure.message();
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace vorlith
