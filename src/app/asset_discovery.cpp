#include "app/asset_discovery.h"

#include <cstdio>

#include "platform/os.h"

namespace vorlith {

namespace fs = std::filesystem;

bool holdsAssetPack(const fs::path& dir) {
  std::error_code ignored;
  return fs::is_directory(dir / "gfx", ignored) || fs::is_directory(dir / "music", ignored);
}

std::vector<fs::path> bundledPackPlaces(const fs::path& program) {
  if (program.empty()) return {};
  const fs::path dir = program.parent_path();
  return {(dir / ".." / "share" / "vorlith").lexically_normal(), (dir / "assets").lexically_normal()};
}

AssetSearch findAssetPack(const fs::path& workingDirectory, const fs::path& program) {
  AssetSearch search;
  std::vector<fs::path> places = bundledPackPlaces(program);
  if (!workingDirectory.empty()) places.insert(places.begin(), workingDirectory);
  for (const fs::path& place : places) {
    search.tried.push_back(place);
    if (holdsAssetPack(place)) {
      search.found = place;
      break;
    }
  }
  return search;
}

std::string noAssetPackMessage(const AssetSearch& search) {
  std::string places;
  for (size_t i = 0; i < search.tried.size(); ++i) {
    if (i > 0) places += i + 1 == search.tried.size() ? " or " : ", ";
    places += utf8Path(search.tried[i]);
  }
  if (places.empty()) places = "the current directory";
  return "vorlith: no asset pack (gfx/ and music/) in " + places + "; pass --assets DIR to name one";
}

std::string defaultAssetDirectory(const char* argv0) {
  std::error_code failure;
  fs::path here = fs::current_path(failure);
  if (failure) here.clear();
  const AssetSearch search = findAssetPack(here, programPath(argv0));
  if (search.found.empty()) {
    std::fprintf(stderr, "%s\n", noAssetPackMessage(search).c_str());
    std::fflush(stderr);
    return {};
  }
  return search.found == here ? std::string() : utf8Path(search.found);
}

}  // namespace vorlith
