#pragma once
// Where a run without --assets finds the show's files. The show opens them by
// relative paths (gfx/..., music/...), so this only picks the directory the
// program works in: the current one when it holds a pack of its own, else the
// pack that came with the program, found from where the program itself lies.
#include <filesystem>
#include <string>
#include <vector>

namespace vorlith {

// True when dir holds the show's gfx/ or music/ folder.
bool holdsAssetPack(const std::filesystem::path& dir);

// The places a pack shipped with the program may lie, in the order they are
// tried: share/vorlith of the install the program sits in (bin/../share/vorlith),
// then the pack the build generates beside the binary (build/assets).
std::vector<std::filesystem::path> bundledPackPlaces(const std::filesystem::path& program);

struct AssetSearch {
  std::filesystem::path found;               // empty when no place holds a pack
  std::vector<std::filesystem::path> tried;  // every place looked at, in order
};

// The search of a run without --assets: the working directory first (a
// user's own pack there wins), then the places of bundledPackPlaces().
AssetSearch findAssetPack(const std::filesystem::path& workingDirectory, const std::filesystem::path& program);

// The one line a run prints when no place holds a pack: where it looked and
// how to name one.
std::string noAssetPackMessage(const AssetSearch& search);

// The whole choice for a run without --assets: the directory to work in, or
// empty to stay where the program was started (which holds the pack, or no
// place does: then noAssetPackMessage() has gone to stderr).
std::string defaultAssetDirectory(const char* argv0);

}  // namespace vorlith
