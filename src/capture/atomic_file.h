#pragma once
#include <string>

namespace vorlith {

// An output file that appears under its final name only when it is complete:
// it is written under a temporary name in the same directory and renamed by
// commit(). If the object goes away uncommitted, the temporary file is removed.
class AtomicFile {
 public:
  explicit AtomicFile(std::string finalPath);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Where to write while the file is incomplete; keeps the final extension so
  // that tools which look at it still recognise the format.
  const std::string& temporaryPath() const { return temporary_; }
  const std::string& finalPath() const { return final_; }

  // Renames the temporary file to the final name; false (and a message in
  // error) when that fails.
  bool commit(std::string& error);

 private:
  std::string final_;
  std::string temporary_;
  bool committed_ = false;
};

}  // namespace vorlith
