#pragma once
// The show's files read from a pack directory, and its notices printed: what
// the window, capture and benchmark runs give the show. Paths are joined to
// the directory, never changed into.
#include <filesystem>

#include "base/asset_source.h"
#include "base/notice.h"

namespace vorlith {

// The whole file at path, or why not.
AssetFile readAssetFile(const std::filesystem::path& path);

// The files of the pack in dir, by the manifest's paths. dir must outlive the
// source; an empty dir is the working directory.
AssetSource packDirectorySource(const std::filesystem::path& dir);

// Notices as "caption: text" lines on stderr.
void noticeToStderr(void* context, const char* caption, const char* text);
inline constexpr NoticeSink stderrNotices{noticeToStderr, nullptr};

}  // namespace vorlith
