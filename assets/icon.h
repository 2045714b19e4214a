#pragma once
// The program's icon: the chrome V of the logo on a rounded night-blue tile,
// lit from behind by the rays of the opening scene. Drawn at each size from
// scratch (not scaled down from one picture), so small sizes stay sharp.
#include <string>
#include <vector>

#include "tga_writer.h"

namespace vorlith::assets {

// The sizes a desktop's hicolor icon theme looks for.
inline constexpr int iconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// The icon at size x size pixels, words 0xAARRGGBB (straight alpha: 0 outside
// the tile, 255 inside). Empty when the font can't be used or the size is not
// 8..1024.
Picture makeIcon(int size);

// A picture with its alpha as an 8-bit RGBA PNG file. Empty on failure.
std::vector<uint8_t> pngRgba(const Picture& picture);

}  // namespace vorlith::assets
