#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vorlith {

// Writes 0x00RRGGBB pixels as an 8-bit RGB PNG (the top byte is never shown,
// so it is not written). The same pixels always give the same bytes.
bool writePng(const std::string& path, const uint32_t* pixels, int width, int height);

// Reads an 8-bit RGB or RGBA PNG back into 0x00RRGGBB pixels (for tests and tools).
bool readPng(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height);

}  // namespace vorlith
