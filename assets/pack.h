#pragma once
// The default asset pack as a list of files.
#include <cstdint>
#include <string>
#include <vector>

namespace vorlith::assets {

struct AssetFile {
  std::string path;  // relative to the pack's directory, e.g. "gfx/vorlith.tga"
  std::vector<uint8_t> bytes;
};

// Every file of the pack, made from scratch. The same bytes on every call.
// A file that could not be made (the font missing, say) has no bytes.
std::vector<AssetFile> makeAssetPack();

// A picture file of the pack as 0x00RRGGBB pixels, top row first, as the
// show sees it (for previews). Handles the two TGA layouts the pack uses.
bool decodePackPicture(const std::vector<uint8_t>& tga, int& width, int& height, std::vector<uint32_t>& pixels);

}  // namespace vorlith::assets
