#include "image/image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace vorlith {

int32_t imageBytesPerLine(int32_t width, int32_t bitsPerPixel) {
  return static_cast<int32_t>(static_cast<int64_t>(width) * ((bitsPerPixel + 1) / 8));
}

Image* imageCreate(int32_t width, int32_t height, int32_t bitsPerPixel) {
  auto* image = new (std::nothrow) Image{width, height, bitsPerPixel, imageBytesPerLine(width, bitsPerPixel), nullptr};
  if (!image) return nullptr;
  const int64_t size = static_cast<int64_t>(image->bytesPerLine) * height;
  if (size > 0) {
    image->pixels = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size), 1));
    if (!image->pixels) {
      delete image;
      return nullptr;
    }
  }
  return image;
}

Image* imageWrap(int32_t width, int32_t height, int32_t bitsPerPixel, uint8_t* pixels) {
  return new (std::nothrow) Image{width, height, bitsPerPixel, imageBytesPerLine(width, bitsPerPixel), pixels};
}

void imageFree(Image* image) {
  if (!image) return;
  std::free(image->pixels);
  delete image;
}

void imageReleaseHeader(Image* image) { delete image; }

Image* decodeTga(const uint8_t* bytes, size_t size, const char* name, const NoticeSink& notices) {
  if (!name) {
    notices(imageLoadCaption, "Opening a TGA with NULL filename");
    return nullptr;
  }
  // The header: twelve bytes the loader takes as one block (ID length,
  // colour-map type, image type, colour-map fields, origin), then width,
  // height, depth and descriptor.
  constexpr size_t headerBytes = 18;
  if (!bytes || size < headerBytes) {
    imageLoadNotice(notices, "Cant's load header (%s)", name);
    return nullptr;
  }
  const uint8_t* header = bytes;
  const int width = header[12] + 256 * header[13];
  const int height = header[14] + 256 * header[15];
  const int depth = header[16];

  // Every reader of a picture addresses four bytes per pixel from the first
  // byte of the pixel data: anything else would be read out of bounds.
  if (header[0] != 0 || header[1] != 0 || header[2] != 2 || depth != 32) {
    imageLoadNotice(notices,
                "Can't use file (%s): not an uncompressed 32-bit true-colour TGA without ID field or colour map",
                name);
    return nullptr;
  }
  if (width > imageLoadMaxSide || height > imageLoadMaxSide) {
    imageLoadNotice(notices, "Can't use file (%s): %dx%d pixels is larger than %dx%d", name, width, height,
                imageLoadMaxSide, imageLoadMaxSide);
    return nullptr;
  }

  // Zeroed, so the bytes that a file which stops short does not supply are black.
  Image* image = imageCreate(width, height, depth);
  if (!image) {
    imageLoadNotice(notices, "Cant's malloc (%s)", name);
    return nullptr;
  }
  const size_t pixelBytes = static_cast<size_t>(image->bytesPerLine) * static_cast<size_t>(height);
  // A picture with no pixel byte in its file (or no pixels at all) is refused;
  // one that stops short keeps what is there.
  const size_t present = std::min(size - headerBytes, pixelBytes);
  if (present == 0) {
    imageLoadNotice(notices, "Cant's load file (%s)", name);
    imageFree(image);
    return nullptr;
  }
  std::memcpy(image->pixels, bytes + headerBytes, present);
  image->bitsPerPixel = 32;

  // TGA stores the bottom row first: exchange rows so that row 0 is the top.
  for (int i = 0; i < height / 2; ++i) {
    uint8_t* upper = image->pixels + static_cast<size_t>(i) * image->bytesPerLine;
    uint8_t* lower = image->pixels + static_cast<size_t>(height - 1 - i) * image->bytesPerLine;
    std::swap_ranges(upper, upper + image->bytesPerLine, lower);
  }
  return image;
}

Image* imageLoad(const AssetFile& file, const char* name, const NoticeSink& notices) {
  if (file.status == AssetStatus::tooLarge && name) {
    imageLoadNotice(notices, "Can't use file (%s): larger than %zu bytes", name, assetMaxBytes);
    return nullptr;
  }
  if (file.status != AssetStatus::ok && name) {
    imageLoadNotice(notices, "Can't open file -> %s", name);
    return nullptr;
  }
  return decodeTga(file.bytes.data(), file.bytes.size(), name, notices);
}

}  // namespace vorlith
