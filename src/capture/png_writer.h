#pragma once
#include <cstdint>
#include <vector>

namespace vorlith {

// Encodes pixels as an 8-bit PNG file's bytes: RGB from 0x00RRGGBB words
// (the top byte of a frame is never shown, so it is not written), or with
// alpha RGBA from 0xAARRGGBB words. level is zlib's compression level (-1:
// its default; 9 for a file made once and kept, as the icon). The same
// pixels always give the same bytes. The one PNG writer of the program and
// of its icon.
bool encodePng(const uint32_t* pixels, int width, int height, std::vector<uint8_t>& bytes, bool alpha = false,
               int level = -1);

}  // namespace vorlith
