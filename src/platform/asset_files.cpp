#include "platform/asset_files.h"

#include <cstdio>
#include <fstream>
#include <new>
#include <system_error>

namespace vorlith {

AssetFile readAssetFile(const std::filesystem::path& path) {
  AssetFile file;
  std::error_code failure;
  const auto kind = std::filesystem::status(path, failure).type();
  if (kind == std::filesystem::file_type::not_found) return file;  // missing
  file.status = AssetStatus::unreadable;
  if (failure || kind == std::filesystem::file_type::directory) return file;
  std::ifstream in(path, std::ios::binary);
  if (!in) return file;
  // The size as the stream sees it (a device or a pipe may have none).
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0 || !in) return file;
  if (static_cast<unsigned long long>(size) > assetMaxBytes) {
    file.status = AssetStatus::tooLarge;
    return file;
  }
  try {
    file.bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    file.status = AssetStatus::tooLarge;
    return file;
  }
  in.read(reinterpret_cast<char*>(file.bytes.data()), size);
  if (in.gcount() != size) {
    file.bytes.clear();
    return file;
  }
  file.status = AssetStatus::ok;
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
