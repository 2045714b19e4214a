// Makes the default asset pack: every picture, texture and the module, into
// OUTDIR/gfx and OUTDIR/music. With --preview DIR it also writes each picture
// as a PPM file (as the show will see it) for looking at.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pictures.h"
#include "song.h"
#include "tga_writer.h"

namespace {

using namespace vorlith::assets;

bool writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) {
    std::fprintf(stderr, "make_assets: nothing to write for %s\n", path.c_str());
    return false;
  }
  // Written under a temporary name and renamed, so a broken run never leaves
  // a half-written file that looks finished.
  const std::filesystem::path temporary = path.string() + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "make_assets: can't write %s\n", temporary.c_str());
      return false;
    }
  }
  std::error_code error;
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

struct NamedPicture {
  const char* file;
  Picture picture;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--preview")) {
    std::fprintf(stderr, "usage: make_assets OUTDIR [--preview DIR]\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  std::error_code error;
  std::filesystem::create_directories(out / "gfx", error);
  std::filesystem::create_directories(out / "music", error);
  const std::filesystem::path preview = argc == 4 ? argv[3] : "";
  if (!preview.empty()) std::filesystem::create_directories(preview, error);

  std::vector<NamedPicture> pictures;
  pictures.push_back({"vorlith", makeLogo()});
  pictures.push_back({"thebrimtale", makeTitle()});
  pictures.push_back({"code_qev", makeCredit("CODE", "QEV")});
  pictures.push_back({"music_tolvane", makeCredit("MUSIC", "TOLVANE")});
  pictures.push_back({"gfx_qev", makeCredit("GFX", "QEV")});
  pictures.push_back({"the_end", makeEndPicture()});
  pictures.push_back({"blob_1", makeBlob(16)});
  pictures.push_back({"specular_lightmap", makeLightmap()});
  pictures.push_back({"voxel_texture", makeVoxelTexture()});

  bool ok = true;
  for (const NamedPicture& p : pictures) {
    ok &= writeBytes(out / "gfx" / (std::string(p.file) + ".tga"), tgaTrueColour(p.picture));
    if (!preview.empty())
      writeBytes(preview / (std::string(p.file) + ".ppm"), ppm(p.picture.width, p.picture.height, p.picture.pixels));
  }

  const TunnelTexture tunnel = makeTunnelTexture();
  ok &= writeBytes(out / "gfx" / "texture1.tga", tgaColourMapped(256, 256, tunnel.colourMap, tunnel.indices));
  if (!preview.empty() && tunnel.colourMap.size() == 768 && tunnel.indices.size() == 65536) {
    // As the tunnel shows it at its middle light level: first map byte is red.
    std::vector<uint32_t> shown;
    for (uint8_t i : tunnel.indices)
      shown.push_back((uint32_t{tunnel.colourMap[i * 3]} << 16) | (uint32_t{tunnel.colourMap[i * 3 + 1]} << 8) |
                      tunnel.colourMap[i * 3 + 2]);
    writeBytes(preview / "texture1.ppm", ppm(256, 256, shown));
  }

  ok &= writeBytes(out / "music" / "brimtale.it", writeItModule(makeSong()));
  return ok ? 0 : 1;
}
