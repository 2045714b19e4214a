#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "base/asset_source.h"
#include "base/notice.h"

namespace vorlith {

// A rectangle of pixels: rows follow one another without gaps, top row first.
// Every image the show draws with is 32 bits per pixel, one little-endian word
// 0x00RRGGBB per pixel (a loaded picture keeps its file's alpha in the top byte).
struct Image {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerPixel = 0;
  int32_t bytesPerLine = 0;
  uint8_t* pixels = nullptr;
};

// The frame every scene draws: 320x200 at 32 bits.
inline constexpr int frameWidth = 320;
inline constexpr int frameHeight = 200;
inline constexpr int framePixels = frameWidth * frameHeight;
inline constexpr int frameBytes = framePixels * 4;

// Caption of every notice the picture loader gives.
inline constexpr const char* imageLoadCaption = "DUMP imageLoad()";

// Gives one notice under imageLoadCaption, formatted as by snprintf into a
// bounded buffer, so no name can overflow it.
template <typename... Values>
void imageLoadNotice(const NoticeSink& notices, const char* format, const Values&... values) {
  char text[5000];
  std::snprintf(text, sizeof text, format, values...);
  notices(imageLoadCaption, text);
}

// The largest picture decodeTga accepts: each side at most this many pixels.
// A header may claim up to 65535x65535 (16 GiB); nothing the show reads is
// anywhere near that, so such files are refused instead of exhausting memory.
inline constexpr int imageLoadMaxSide = 4096;

// width x ((bitsPerPixel + 1) / 8), the division truncating.
int32_t imageBytesPerLine(int32_t width, int32_t bitsPerPixel);

// A new image whose width x height pixels are all zero; null if memory is short.
Image* imageCreate(int32_t width, int32_t height, int32_t bitsPerPixel);

// A new header around pixels that belong to somebody else; nothing is copied.
Image* imageWrap(int32_t width, int32_t height, int32_t bitsPerPixel, uint8_t* pixels);

// Decodes an uncompressed 32-bit true-colour TGA picture from the bytes of
// its file; name is what the notices call the file. On failure a notice under
// imageLoadCaption has gone to notices and the result is null.
Image* decodeTga(const uint8_t* bytes, size_t size, const char* name, const NoticeSink& notices);

// A picture from what an asset source gave for its file: a file that could
// not be had gives the loader's notice for it, a file that could is decoded.
Image* imageLoad(const AssetFile& file, const char* name, const NoticeSink& notices);

// Releases an image made by imageCreate, decodeTga or imageLoad (null is ignored).
void imageFree(Image* image);

// Releases the record of an image made by imageWrap, not its pixels.
void imageReleaseHeader(Image* image);

// An image made by imageCreate, decodeTga or imageLoad, freed when its owner goes.
struct ImageFree {
  void operator()(Image* image) const { imageFree(image); }
};
using OwnedImage = std::unique_ptr<Image, ImageFree>;

// count value-initialised (zeroed) elements, or null when memory is short.
template <typename T>
std::unique_ptr<T[]> zeroedArray(size_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]());
}

// The pixels as 32-bit words.
inline uint32_t* imageWords(const Image& image) { return reinterpret_cast<uint32_t*>(image.pixels); }

// True for an image the word-addressed operations can walk: 32-bit pixels,
// rows of exactly width words, and pixels to walk.
inline bool wordImage(const Image& image) {
  return image.pixels && image.width >= 0 && image.height >= 0 && image.bitsPerPixel == 32 &&
         image.bytesPerLine == int64_t{image.width} * 4;
}

// True for an image that is exactly a 32-bit picture of the given size.
inline bool imageIs(const Image* image, int32_t width, int32_t height) {
  return image && wordImage(*image) && image->width == width && image->height == height;
}

}  // namespace vorlith
