#include "pack.h"

#include "base/asset_manifest.h"

#include "pictures.h"
#include "song.h"
#include "tga_writer.h"

namespace vorlith::assets {

namespace {

// The file's bytes, made from scratch.
std::vector<uint8_t> makeAsset(Asset asset) {
  switch (asset) {
    case Asset::logo: return tgaTrueColour(makeLogo());
    case Asset::title: return tgaTrueColour(makeTitle());
    case Asset::codeCredit: return tgaTrueColour(makeCredit("CODE", "QEV"));
    case Asset::musicCredit: return tgaTrueColour(makeCredit("MUSIC", "TOLVANE"));
    case Asset::gfxCredit: return tgaTrueColour(makeCredit("GFX", "QEV"));
    case Asset::endPicture: return tgaTrueColour(makeEndPicture());
    case Asset::blobSprite: return tgaTrueColour(makeBlob(16));
    case Asset::lightmap: return tgaTrueColour(makeLightmap());
    case Asset::ribbonTexture: return tgaTrueColour(makeVoxelTexture());
    case Asset::tunnelTexture: {
      const TunnelTexture tunnel = makeTunnelTexture();
      return tgaColourMapped(256, 256, tunnel.colourMap, tunnel.indices);
    }
    case Asset::module: return writeItModule(makeSong());
  }
  return {};
}

// The show's spelling of a path with its doubled slashes made single.
std::string packPath(const char* showPath) {
  std::string path = showPath;
  for (size_t at; (at = path.find("//")) != std::string::npos;) path.erase(at, 1);
  return path;
}

}  // namespace

std::vector<AssetFile> makeAssetPack() {
  std::vector<AssetFile> files;
  for (const AssetEntry& entry : assetManifest) files.push_back({packPath(entry.path), makeAsset(entry.asset)});
  return files;
}

bool decodePackPicture(const std::vector<uint8_t>& b, int& width, int& height, std::vector<uint32_t>& pixels) {
  if (b.size() < 18) return false;
  width = b[12] | (b[13] << 8);
  height = b[14] | (b[15] << 8);
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  pixels.assign(count, 0);
  if (b[1] == 0 && b[2] == 2 && b[16] == 32 && b.size() >= 18 + 4 * count) {
    for (int y = 0; y < height; ++y)  // stored bottom row first
      for (int x = 0; x < width; ++x) {
        const uint8_t* p = &b[18 + 4 * (static_cast<size_t>(height - 1 - y) * width + x)];
        pixels[static_cast<size_t>(y) * width + x] = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
      }
    return true;
  }
  if (b[1] == 1 && b[2] == 1 && b[16] == 8 && b.size() >= 18 + 768 + count) {
    // The tunnel's reading: rows in file order, the first colour-map byte is red.
    const uint8_t* map = &b[18];
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* e = map + 3 * b[18 + 768 + i];
      pixels[i] = (uint32_t{e[0]} << 16) | (uint32_t{e[1]} << 8) | e[2];
    }
    return true;
  }
  return false;
}

}  // namespace vorlith::assets
