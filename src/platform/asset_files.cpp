#include "platform/asset_files.h"

#include <cstdio>
#include <fstream>
#include <new>
#include <system_error>

namespace vorlith {

AssetFile readAssetFile(const std::filesystem::path& path) {
  AssetFile file;
  std::error_code failure;
  if (!std::filesystem::exists(path, failure) && !failure) return file;  // missing
  file.status = AssetStatus::unreadable;
  const uintmax_t size = std::filesystem::file_size(path, failure);  // a directory has none
  if (failure) return file;
  file.status = AssetStatus::tooLarge;
  if (size > assetMaxBytes) return file;
  try {
    file.bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return file;
  }
  std::ifstream in(path, std::ios::binary);
  const bool read = !!in.read(reinterpret_cast<char*>(file.bytes.data()), static_cast<std::streamsize>(size));
  file.status = read ? AssetStatus::ok : AssetStatus::unreadable;
  if (!read) file.bytes.clear();
  return file;
}

AssetSource packDirectorySource(const std::filesystem::path& dir) {
  AssetSource source;
  source.context = const_cast<std::filesystem::path*>(&dir);
  source.read = [](void* context, const AssetEntry& entry) {
    const auto& root = *static_cast<const std::filesystem::path*>(context);
    return readAssetFile(root.empty() ? std::filesystem::path(entry.path) : root / entry.path);
  };
  return source;
}

void noticeToStderr(void*, const char* caption, const char* text) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
}

}  // namespace vorlith
