#pragma once
// Little-endian fields read from and written to byte buffers.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace jet {

using ByteView = std::span<const uint8_t>;

inline uint16_t le16(const uint8_t *p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t le24(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16);
}
inline uint32_t le32(const uint8_t *p) {
  return le24(p) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t le64(const uint8_t *p) {
  return static_cast<uint64_t>(le32(p)) | (static_cast<uint64_t>(le32(p + 4)) << 32);
}

inline void put16(uint8_t *p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void put32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void append16(std::vector<uint8_t> &b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void append32(std::vector<uint8_t> &b, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// True when [offset, offset + length) lies inside a buffer of the given size.
inline bool inBounds(size_t size, size_t offset, size_t length) {
  return offset <= size && length <= size - offset;
}

// A page and row number as Jet stores them in one 32-bit word: row in the low byte.
struct RowPointer {
  uint32_t page = 0;
  uint8_t row = 0;
  static RowPointer decode(uint32_t word) { return {word >> 8, static_cast<uint8_t>(word & 0xFF)}; }
  bool operator==(const RowPointer &) const = default;
  // Index order of rows with equal keys: page, then row.
  auto operator<=>(const RowPointer &) const = default;
};

} // namespace jet
