// Chunked scans of JSON text. Strings: the bytes a JSON string
// cannot hold as they are (below 0x20, '"' and '\\'), where the parser stops
// to unescape and the printer to escape. Numbers: runs of digits.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brelvo::json::internal {

inline constexpr std::array<bool, 256> kStringStops = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[c] = true;
  table['"'] = true;
  table['\\'] = true;
  return table;
}();

// Marks (bit 7 of the byte) the stop bytes of an eight-byte chunk whose first
// byte in memory is the lowest. The borrows run from earlier bytes to later
// ones, so the lowest mark is exact; later marks may be false.
inline std::uint64_t string_stops_in(std::uint64_t chunk) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
  const auto zero_bytes = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighBits; };
  const std::uint64_t below_space = (chunk - kOnes * 0x20) & ~chunk & kHighBits;
  return below_space | zero_bytes(chunk ^ (kOnes * '"')) | zero_bytes(chunk ^ (kOnes * '\\'));
}

inline std::uint64_t load_little_endian(const char* bytes) {
  std::uint64_t chunk;
  std::memcpy(&chunk, bytes, 8);
  if constexpr (std::endian::native == std::endian::big) chunk = std::byteswap(chunk);
  return chunk;
}

inline void store_little_endian(std::uint64_t chunk, char* bytes) {
  if constexpr (std::endian::native == std::endian::big) chunk = std::byteswap(chunk);
  std::memcpy(bytes, &chunk, 8);
}

// The size (below eight) bytes at data as a chunk, the bytes past them set to
// 'a', which is plain. Built in registers from loads that stay inside the
// bytes: a padded copy through memory stalls the load that follows it, and
// short keys make this the printer's most frequent path.
inline std::uint64_t load_short_padded(const char* data, std::size_t size) {
  constexpr std::uint64_t kPlain = 0x6161616161616161ull;
  if (size == 0) return kPlain;
  const auto byte_at = [data](std::size_t i) {
    return std::uint64_t{static_cast<unsigned char>(data[i])} << (8 * i);
  };
  std::uint64_t chunk = 0;
  if (size >= 4) {
    // Two four-byte loads, overlapping when size is below eight.
    std::uint32_t head;
    std::uint32_t tail;
    std::memcpy(&head, data, 4);
    std::memcpy(&tail, data + size - 4, 4);
    if constexpr (std::endian::native == std::endian::big) {
      head = std::byteswap(head);
      tail = std::byteswap(tail);
    }
    chunk = head | std::uint64_t{tail} << (8 * (size - 4));
  } else {
    chunk = byte_at(0) | byte_at(size / 2) | byte_at(size - 1);
  }
  return chunk | kPlain << (8 * size);
}

// Marks (bit 7 of the byte) the bytes of a chunk that are not ASCII digits.
// No sum carries out of its byte, so every mark is exact.
inline std::uint64_t non_digits_in(std::uint64_t chunk) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  const std::uint64_t offsets = chunk ^ (kOnes * '0');  // digits become 0 to 9
  return (((offsets & (kOnes * 0x7F)) + kOnes * 0x76) | offsets) & (kOnes * 0x80);
}

// The number of ASCII digits data starts with, eight at a time while they
// last: numbers end at unpredictable places, and one branch per digit
// mispredicts at every number's end.
inline std::size_t digit_run_length(const char* data, std::size_t size) {
  std::size_t i = 0;
  for (; size - i >= 8; i += 8) {
    if (const std::uint64_t marks = non_digits_in(load_little_endian(data + i))) {
      return i + static_cast<std::size_t>(std::countr_zero(marks)) / 8;
    }
  }
  while (i < size && data[i] >= '0' && data[i] <= '9') ++i;
  return i;
}

// The number of bytes before the first stop byte (or size): sixteen at a
// time where SSE2 is there (every x86-64), then eight, then one by one.
inline std::size_t plain_run_length(const char* data, std::size_t size) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i last_control = _mm_set1_epi8(0x1F);
  for (; size - i >= 16; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    // Unsigned bytes up to 0x1F are the ones that max() leaves at 0x1F.
    const __m128i control = _mm_cmpeq_epi8(_mm_max_epu8(chunk, last_control), last_control);
    const __m128i stops = _mm_or_si128(
        control, _mm_or_si128(_mm_cmpeq_epi8(chunk, quote), _mm_cmpeq_epi8(chunk, backslash)));
    if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(stops))) {
      return i + static_cast<std::size_t>(std::countr_zero(mask));
    }
  }
#endif
  for (; size - i >= 8; i += 8) {
    if (const std::uint64_t stops = string_stops_in(load_little_endian(data + i))) {
      return i + static_cast<std::size_t>(std::countr_zero(stops)) / 8;
    }
  }
  while (i < size && !kStringStops[static_cast<unsigned char>(data[i])]) ++i;
  return i;
}

// plain_run_length that also copies the run to dest, which has room for
// size + 8 bytes. Whole chunks are stored before they are checked, so bytes
// after the run may be written too; they are the caller's to overwrite.
// Strings are short as a rule, so no byte is looked at on its own: the tail
// is the last eight bytes again, and a string under eight bytes is padded.
inline std::size_t copy_plain_run(const char* data, std::size_t size, char* dest) {
  if (size < 8) {
    const std::uint64_t chunk = load_short_padded(data, size);
    store_little_endian(chunk, dest);
    // Padding is plain and a borrow only starts at a stop byte, so no stop
    // means no mark.
    const std::uint64_t stops = string_stops_in(chunk);
    return stops ? static_cast<std::size_t>(std::countr_zero(stops)) / 8 : size;
  }
  std::size_t i = 0;
  for (; size - i >= 8; i += 8) {
    const std::uint64_t chunk = load_little_endian(data + i);
    std::memcpy(dest + i, data + i, 8);
    if (const std::uint64_t stops = string_stops_in(chunk)) {
      return i + static_cast<std::size_t>(std::countr_zero(stops)) / 8;
    }
  }
  if (i == size) return size;
  // The last chunk starts among bytes already known to be plain: their marks
  // are masked off, and since they start no borrow the lowest mark left is exact.
  const std::size_t last = size - 8;
  std::memcpy(dest + last, data + last, 8);
  const std::uint64_t known_plain = ~std::uint64_t{0} << (8 * (i - last));
  const std::uint64_t stops = string_stops_in(load_little_endian(data + last)) & known_plain;
  return stops ? last + static_cast<std::size_t>(std::countr_zero(stops)) / 8 : size;
}

}  // namespace brelvo::json::internal
