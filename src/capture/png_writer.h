#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vorlith {

// Encodes 0x00RRGGBB pixels as an 8-bit RGB PNG file's bytes (the top byte
// is never shown, so it is not written). The same pixels always give the
// same bytes.
bool encodePng(const uint32_t* pixels, int width, int height, std::vector<uint8_t>& bytes);

// Reads an 8-bit RGB or RGBA PNG back into 0x00RRGGBB pixels (for tests and tools).
bool readPng(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height);

}  // namespace vorlith
