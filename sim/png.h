// A PNG writer small enough to need no image library: 8-bit RGB, stored
// (uncompressed) deflate blocks, CRC-32 and Adler-32 by hand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brelvo::sim {

struct Rgb {
  std::uint8_t r, g, b;
};

struct Image {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<Rgb> pixels;  // row by row

  Image(std::uint32_t w, std::uint32_t h, Rgb fill)
      : width(w), height(h), pixels(std::size_t{w} * h, fill) {}
  void fill_rect(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, Rgb color);
};

std::string encode_png(const Image& image);
std::string encode_base64(const std::string& bytes);

}  // namespace brelvo::sim
