#pragma once
// The show's pictures and textures, painted by code.
#include <cstdint>
#include <vector>

#include "tga_writer.h"

namespace vorlith::assets {

// Keyed lettering (pure red 0x00FF0000 around the letters). Empty pictures
// when the font can't be used.
Picture makeLogo();                                   // "VORLITH", 300x90
Picture makeTitle();                                  // "THE BRIM TALE", 300x60
Picture makeCredit(const char* label, const char* name);  // 220x50, label over name
// The closing picture: exactly 320x200, "THE END" over a dusk landscape.
Picture makeEndPicture();

// A round glow whose blue byte is the brightness, 255 at the centre pixel.
Picture makeBlob(int size);
// The specular curve of the column: blue rises from dark at x = 0 to bright at x = 254.
Picture makeLightmap();
// The column's surface: 256x256, seamless in both directions.
Picture makeVoxelTexture();

// The tunnel's surface: 256x256 palette indices (top row first) and a
// 256-entry colour map whose entries are stored red, green, blue.
struct TunnelTexture {
  std::vector<uint8_t> colourMap;  // 768 bytes
  std::vector<uint8_t> indices;    // 65536 bytes
};
TunnelTexture makeTunnelTexture();

}  // namespace vorlith::assets
