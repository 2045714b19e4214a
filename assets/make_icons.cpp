// Writes the program's icon in every hicolor size as
// OUTDIR/NxN/apps/vorlith.png, the layout of share/icons/hicolor/.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icons OUTDIR\n");
    return 2;
  }
  namespace fs = std::filesystem;
  bool ok = true;
  for (int size : vorlith::assets::iconSizes) {
    const std::vector<uint8_t> png = vorlith::assets::pngRgba(vorlith::assets::makeIcon(size));
    const std::string folder = std::to_string(size) + "x" + std::to_string(size);
    const fs::path path = fs::path(argv[1]) / folder / "apps" / "vorlith.png";
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    const fs::path temporary = path.string() + ".part";
    std::ofstream(temporary, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    if (png.empty() || !fs::exists(temporary) || fs::file_size(temporary, error) != png.size()) {
      std::fprintf(stderr, "make_icons: can't make %s\n", path.c_str());
      ok = false;
      continue;
    }
    fs::rename(temporary, path, error);
    if (error) {
      std::fprintf(stderr, "make_icons: can't rename %s: %s\n", temporary.c_str(), error.message().c_str());
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
