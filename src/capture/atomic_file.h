#pragma once
#include <cstddef>
#include <string>

namespace vorlith {

// An output file that appears under its final name only when it is complete:
// it is written under a temporary name in the same directory (so the rename
// is atomic), ".NAME.partial-PID.EXT", and renamed by commit(). If the object
// goes away uncommitted, the temporary file is removed. A scratch file (a
// sound track on its way into a video) is named after the output it serves,
// ".NAME.EXT.partial-PID.SCRATCH", and never committed. Errors name the final
// path and the reason: "can't write show.mp4: No space left on device".
// Every file a run writes goes through here (names are UTF-8).
class AtomicFile {
 public:
  explicit AtomicFile(std::string finalPath, const std::string& scratchExtension = "");
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Where to write while the file is incomplete; keeps the final extension so
  // that tools which look at it still recognise the format.
  const std::string& temporaryPath() const { return temporary_; }
  const std::string& finalPath() const { return final_; }

  // Writes the whole temporary file; false with a message in error.
  bool write(const void* data, size_t size, std::string& error);

  // Renames the temporary file to the final name; false (and a message in
  // error) when that fails.
  bool commit(std::string& error);

 private:
  std::string final_;
  std::string temporary_;
  bool committed_ = false;
};

// "can't write PATH: REASON"
std::string writeError(const std::string& path, const std::string& reason);

}  // namespace vorlith
