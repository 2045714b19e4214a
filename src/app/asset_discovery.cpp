#include "app/asset_discovery.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace vorlith {

namespace fs = std::filesystem;

bool holdsAssetPack(const fs::path& dir) {
  std::error_code ignored;
  return fs::is_directory(dir / "gfx", ignored) || fs::is_directory(dir / "music", ignored);
}

namespace {

// argv0 as the shell would have run it: a name with a slash is a path, a bare
// name is the first executable file of that name on PATH.
fs::path programFromArgument(const char* argv0) {
  if (!argv0 || !*argv0) return {};
  const std::string_view name = argv0;
  std::error_code ignored;
  if (name.find('/') != std::string_view::npos) return fs::absolute(name, ignored);
  const char* path = std::getenv("PATH");
  if (!path) return {};
  const std::string_view dirs = path;
  size_t begin = 0;
  while (begin <= dirs.size()) {
    size_t end = dirs.find(':', begin);
    if (end == std::string_view::npos) end = dirs.size();
    // An empty entry means the current directory.
    const fs::path dir = end > begin ? fs::path(dirs.substr(begin, end - begin)) : fs::path(".");
    const fs::path candidate = dir / name;
    if (fs::is_regular_file(candidate, ignored)) return fs::absolute(candidate, ignored);
    begin = end + 1;
  }
  return {};
}

}  // namespace

fs::path programPath(const char* argv0) {
  std::error_code failure;
  const fs::path self = fs::read_symlink("/proc/self/exe", failure);
  if (!failure && self.is_absolute()) return self;
  // No /proc (a chroot without it, say): what the shell ran, links followed,
  // so that a link in /usr/local/bin still leads to the install it points into.
  const fs::path named = programFromArgument(argv0);
  if (named.empty()) return {};
  const fs::path real = fs::canonical(named, failure);
  return failure ? named : real;
}

std::vector<fs::path> bundledPackPlaces(const fs::path& program) {
  if (program.empty()) return {};
  const fs::path dir = program.parent_path();
  return {(dir / ".." / "share" / "vorlith").lexically_normal(), (dir / "assets").lexically_normal()};
}

AssetSearch findAssetPack(const fs::path& workingDirectory, const fs::path& program) {
  AssetSearch search;
  std::vector<fs::path> places;
  if (!workingDirectory.empty()) places.push_back(workingDirectory);
  for (const fs::path& place : bundledPackPlaces(program)) places.push_back(place);
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
    places += search.tried[i].string();
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
  return search.found == here ? std::string() : search.found.string();
}

}  // namespace vorlith
