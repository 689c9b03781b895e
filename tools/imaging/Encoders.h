// File encodings of an Image. Each returns the bytes of a whole file.
#pragma once
#include "Image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace img {

using Bytes = std::vector<uint8_t>;

// Windows bitmap, 24 bits per pixel, bottom-up; transparent pixels are
// composed over `background` first.
Bytes encodeBmp(const Image& image, Color background = rgb(0xFFFFFF));

// Windows icon holding every image given (each square, at most 256 pixels),
// as 32-bit colour with alpha plus the 1-bit mask older systems read.
Bytes encodeIco(const std::vector<Image>& sizes);

// PNG, 8-bit RGBA, zlib stream of stored (uncompressed) blocks: simple,
// exact, and readable by every PNG reader.
Bytes encodePng(const Image& image);

// CRC-32 as PNG and zip use it; exposed for tests.
uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

bool writeFile(const std::string& path, const Bytes& bytes);

} // namespace img
