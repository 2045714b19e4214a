#include "capture/atomic_file.h"

#include <filesystem>

#include "platform/os.h"

namespace vorlith {

AtomicFile::AtomicFile(std::string finalPath, const std::string& scratchExtension) : final_(std::move(finalPath)) {
  const std::filesystem::path path = pathFromUtf8(final_);
  std::string name(1, '.');
  name.append(utf8Path(scratchExtension.empty() ? path.stem() : path.filename()));
  name.append(".partial-").append(std::to_string(processId()));
  name.append(scratchExtension.empty() ? utf8Path(path.extension()) : scratchExtension);
  temporary_ = utf8Path(path.parent_path() / pathFromUtf8(name));
}

AtomicFile::~AtomicFile() {
  if (!committed_) removeFile(temporary_);
}

std::string writeError(const std::string& path, const std::string& reason) {
  return "can't write " + path + ": " + reason;
}

bool AtomicFile::write(const void* data, size_t size, std::string& error) {
  std::string reason;
  if (writeNewFile(temporary_, data, size, reason)) return true;
  error = writeError(final_, reason);
  removeFile(temporary_);
  return false;
}

bool AtomicFile::commit(std::string& error) {
  std::string reason;
  if (!replaceFile(temporary_, final_, reason)) {
    error = writeError(final_, reason);
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace vorlith
