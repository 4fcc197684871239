#include "png.h"

#include <algorithm>
#include <array>

namespace brelvo::sim {
namespace {

std::array<std::uint32_t, 256> make_crc_table() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

std::uint32_t crc32(const std::string& bytes) {
  static const auto table = make_crc_table();
  std::uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void put32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void put_chunk(std::string& out, const char* type, const std::string& data) {
  put32(out, static_cast<std::uint32_t>(data.size()));
  std::string body = type + data;
  out += body;
  put32(out, crc32(body));
}

// A zlib stream of stored deflate blocks (at most 65535 bytes each).
std::string zlib_stored(const std::string& raw) {
  std::string out = "\x78\x01";
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  std::size_t pos = 0;
  do {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
    const bool last = pos + n == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<char>(n & 0xFF));
    out.push_back(static_cast<char>(n >> 8));
    out.push_back(static_cast<char>(~n & 0xFF));
    out.push_back(static_cast<char>((~n >> 8) & 0xFF));
    out.append(raw, pos, n);
    pos += n;
  } while (pos < raw.size());
  put32(out, (b << 16) | a);
  return out;
}

}  // namespace

void Image::fill_rect(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, Rgb color) {
  const std::int64_t x0 = std::max<std::int64_t>(0, x), y0 = std::max<std::int64_t>(0, y);
  const std::int64_t x1 = std::min<std::int64_t>(width, x + w),
                     y1 = std::min<std::int64_t>(height, y + h);
  for (std::int64_t row = y0; row < y1; ++row) {
    for (std::int64_t col = x0; col < x1; ++col)
      pixels[static_cast<std::size_t>(row * width + col)] = color;
  }
}

std::string encode_png(const Image& image) {
  std::string raw;
  raw.reserve(static_cast<std::size_t>(image.height) * (image.width * 3 + 1));
  for (std::uint32_t row = 0; row < image.height; ++row) {
    raw.push_back('\0');  // filter type: none
    for (std::uint32_t col = 0; col < image.width; ++col) {
      const Rgb& p = image.pixels[std::size_t{row} * image.width + col];
      raw.push_back(static_cast<char>(p.r));
      raw.push_back(static_cast<char>(p.g));
      raw.push_back(static_cast<char>(p.b));
    }
  }
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  put32(header, image.width);
  put32(header, image.height);
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, no interlace
  put_chunk(png, "IHDR", header);
  put_chunk(png, "IDAT", zlib_stored(raw));
  put_chunk(png, "IEND", "");
  return png;
}

std::string encode_base64(const std::string& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16 |
                            static_cast<unsigned char>(bytes[i + 1]) << 8 |
                            static_cast<unsigned char>(bytes[i + 2]);
    out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63],
            kAlphabet[v & 63]};
  }
  if (const std::size_t rest = bytes.size() - i) {
    std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63],
            rest == 2 ? kAlphabet[(v >> 6) & 63] : '=', '='};
  }
  return out;
}

}  // namespace brelvo::sim
