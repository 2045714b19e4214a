#include "image/image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "base/notice.h"

namespace vorlith {

namespace {

// Formats one loader message with the path in place of %s and shows it. The
// buffer is bounded and snprintf truncates, so no path can overflow it.
void loadFailure(const char* format, const char* path) {
  char text[5000];
  std::snprintf(text, sizeof text, format, path ? path : "");
  notice(imageLoadCaption, text);
}

void loadFailureSize(const char* path, int width, int height) {
  char text[5000];
  std::snprintf(text, sizeof text, "Can't use file (%s): %dx%d pixels is larger than %dx%d", path, width,
                height, imageLoadMaxSide, imageLoadMaxSide);
  notice(imageLoadCaption, text);
}

}  // namespace

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

Image* imageLoad(const char* path) {
  if (!path) {
    notice(imageLoadCaption, "Opening a TGA with NULL filename");
    return nullptr;
  }
  std::FILE* file = std::fopen(path, "rb");
  if (!file) {
    loadFailure("Can't open file -> %s", path);
    return nullptr;
  }

  // The first twelve header bytes (ID length, colour-map type, image type,
  // colour-map fields, origin) are read as one block, then width,
  // height, depth and descriptor byte by byte.
  uint8_t header[18];
  bool complete = std::fread(header, 12, 1, file) == 1;
  for (int i = 12; complete && i < 18; ++i) {
    const int byte = std::fgetc(file);
    complete = byte != EOF;
    header[i] = static_cast<uint8_t>(byte);
  }
  if (!complete) {
    loadFailure("Cant's load header (%s)", path);
    std::fclose(file);
    return nullptr;
  }
  const int width = header[12] + 256 * header[13];
  const int height = header[14] + 256 * header[15];
  const int depth = header[16];

  // Every reader of a picture addresses four bytes per pixel from the first
  // byte of the pixel data: anything else would be read out of bounds.
  if (header[0] != 0 || header[1] != 0 || header[2] != 2 || depth != 32) {
    loadFailure("Can't use file (%s): not an uncompressed 32-bit true-colour TGA without ID field or colour map",
                path);
    std::fclose(file);
    return nullptr;
  }
  if (width > imageLoadMaxSide || height > imageLoadMaxSide) {
    loadFailureSize(path, width, height);
    std::fclose(file);
    return nullptr;
  }

  auto* image = new (std::nothrow) Image{width, height, depth, imageBytesPerLine(width, depth), nullptr};
  if (!image) {
    loadFailure("Cant's malloc (%s)", path);
    std::fclose(file);
    return nullptr;
  }
  const size_t size = static_cast<size_t>(image->bytesPerLine) * static_cast<size_t>(height);
  // Zeroed, so the bytes that a file which stops short does not supply are black.
  if (size > 0) image->pixels = static_cast<uint8_t*>(std::calloc(size, 1));
  if (size > 0 && !image->pixels) {
    loadFailure("Cant's malloc (%s)", path);
    delete image;
    std::fclose(file);
    return nullptr;
  }
  if (size == 0 || std::fread(image->pixels, 1, size, file) == 0) {
    loadFailure("Cant's load file (%s)", path);
    imageFree(image);
    std::fclose(file);
    return nullptr;
  }
  if (std::fclose(file) != 0) {
    loadFailure("Cant's close file (%s)", path);
    imageFree(image);
    return nullptr;
  }
  image->bitsPerPixel = 32;

  // TGA stores the bottom row first: exchange rows so that row 0 is the top.
  std::vector<uint8_t> row(static_cast<size_t>(image->bytesPerLine));
  for (int i = 0; i < height / 2; ++i) {
    uint8_t* upper = image->pixels + static_cast<size_t>(i) * image->bytesPerLine;
    uint8_t* lower = image->pixels + static_cast<size_t>(height - 1 - i) * image->bytesPerLine;
    std::memcpy(row.data(), upper, row.size());
    std::memcpy(upper, lower, row.size());
    std::memcpy(lower, row.data(), row.size());
  }
  return image;
}

}  // namespace vorlith
