// Makes the default asset pack: every picture, texture and the module, into
// OUTDIR/gfx and OUTDIR/music. With --preview DIR it also writes each picture
// as a PPM file (as the show will see it) for looking at.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pack.h"

namespace {

bool writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) {
    std::fprintf(stderr, "make_assets: nothing to write for %s\n", path.c_str());
    return false;
  }
  // Written under a temporary name and renamed, so a broken run never leaves
  // a half-written file that looks finished.
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  const std::filesystem::path temporary = path.string() + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "make_assets: can't write %s\n", temporary.c_str());
      return false;
    }
  }
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::fprintf(stderr, "make_assets: can't rename %s: %s\n", temporary.c_str(), error.message().c_str());
    return false;
  }
  return true;
}

// 0x00RRGGBB pixels as a binary PPM.
std::vector<uint8_t> ppm(int width, int height, const std::vector<uint32_t>& pixels) {
  const std::string head = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  std::vector<uint8_t> b(head.begin(), head.end());
  for (uint32_t p : pixels) {
    b.push_back(static_cast<uint8_t>(p >> 16));
    b.push_back(static_cast<uint8_t>(p >> 8));
    b.push_back(static_cast<uint8_t>(p));
  }
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--preview")) {
    std::fprintf(stderr, "usage: make_assets OUTDIR [--preview DIR]\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  const std::filesystem::path preview = argc == 4 ? argv[3] : "";
  bool ok = true;
  for (const vorlith::assets::AssetFile& file : vorlith::assets::makeAssetPack()) {
    ok &= writeBytes(out / file.path, file.bytes);
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    if (!preview.empty() && vorlith::assets::decodePackPicture(file.bytes, width, height, pixels))
      writeBytes(preview / std::filesystem::path(file.path).filename().replace_extension(".ppm"),
                 ppm(width, height, pixels));
  }
  return ok ? 0 : 1;
}
