#pragma once
// Where the show's files come from. The show asks for each file of the
// manifest by its entry and gets the bytes, or why there are none; it never
// names a directory or opens a file itself. The window and capture runs read
// the pack directory they found, the web page hands over what it fetched, and
// the tests build their packs in memory.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/asset_manifest.h"

namespace vorlith {

enum class AssetStatus : uint8_t {
  ok,
  missing,     // no such file
  unreadable,  // there, but it could not be opened or read
  tooLarge,    // larger than assetMaxBytes (or than memory allows)
};

// No file of a pack comes near this; a larger one is refused instead of read.
inline constexpr size_t assetMaxBytes = size_t{128} << 20;

// One file as a source gives it: its whole contents when status is ok.
struct AssetFile {
  AssetStatus status = AssetStatus::missing;
  std::vector<uint8_t> bytes;
};

// The port's reader of asset files. A source without a function has no files.
struct AssetSource {
  void* context = nullptr;
  AssetFile (*read)(void* context, const AssetEntry& entry) = nullptr;

  AssetFile operator()(const AssetEntry& entry) const { return read ? read(context, entry) : AssetFile{}; }
  AssetFile operator()(Asset asset) const { return (*this)(assetEntry(asset)); }
};

}  // namespace vorlith
