#include "capture/png_writer.h"

#include <png.h>

#include <vector>

namespace vorlith {

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void noFlush(png_structp) {}

}  // namespace

bool encodePng(const uint32_t* pixels, int width, int height, std::vector<uint8_t>& bytes, bool alpha, int level) {
  bytes.clear();
  if (width <= 0 || height <= 0) return false;
  const int channels = alpha ? 4 : 3;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<png_byte> row(static_cast<size_t>(width) * channels);
  bool ok = png && info;
  // libpng reports its errors by longjmp; nothing here owns anything that a
  // jump would skip the release of.
  if (ok && setjmp(png_jmpbuf(png))) ok = false;
  if (ok) {
    png_set_write_fn(png, &bytes, appendBytes, noFlush);
    png_set_IHDR(png, info, width, height, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (level >= 0) png_set_compression_level(png, level);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      const uint32_t* line = pixels + static_cast<size_t>(y) * width;
      png_byte* out = row.data();
      for (int x = 0; x < width; ++x, out += channels) {
        out[0] = static_cast<png_byte>(line[x] >> 16);
        out[1] = static_cast<png_byte>(line[x] >> 8);
        out[2] = static_cast<png_byte>(line[x]);
        if (alpha) out[3] = static_cast<png_byte>(line[x] >> 24);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace vorlith
