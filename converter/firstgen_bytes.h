// Bounds-checked field reads for first-generation records. Every number in
// those files is untrusted: a field that lies (partly) outside the bytes
// held reads 0, so no header, table or row can make a reader look past its
// record.
#pragma once

#include <cstdint>

namespace converter {

struct ByteView {
  const uint8_t* data;
  uint32_t size;
};

// True when [offset, offset + n) lies inside the view (no wrap-around).
inline bool ViewHas(ByteView v, uint64_t offset, uint64_t n) { return v.data && offset + n <= v.size; }

inline uint16_t ViewBe16(ByteView v, uint64_t offset) {
  if (!ViewHas(v, offset, 2)) return 0;
  return static_cast<uint16_t>((v.data[offset] << 8) | v.data[offset + 1]);
}
inline uint32_t ViewBe32(ByteView v, uint64_t offset) {
  if (!ViewHas(v, offset, 4)) return 0;
  return (uint32_t{v.data[offset]} << 24) | (uint32_t{v.data[offset + 1]} << 16) | (uint32_t{v.data[offset + 2]} << 8) |
         v.data[offset + 3];
}
inline uint16_t ViewLe16(ByteView v, uint64_t offset) {
  if (!ViewHas(v, offset, 2)) return 0;
  return static_cast<uint16_t>(v.data[offset] | (v.data[offset + 1] << 8));
}
inline uint32_t ViewLe32(ByteView v, uint64_t offset) {
  if (!ViewHas(v, offset, 4)) return 0;
  return v.data[offset] | (uint32_t{v.data[offset + 1]} << 8) | (uint32_t{v.data[offset + 2]} << 16) |
         (uint32_t{v.data[offset + 3]} << 24);
}
inline uint8_t ViewByte(ByteView v, uint64_t offset) { return ViewHas(v, offset, 1) ? v.data[offset] : 0; }

// Host-order twins of the file's big-endian words, for buffers already
// known to hold them.
inline uint32_t SwapBytes32(uint32_t x) {
  return (x >> 24) | ((x >> 8) & 0xFF00u) | ((x << 8) & 0xFF0000u) | (x << 24);
}
inline uint16_t SwapBytes16(uint16_t x) { return static_cast<uint16_t>((x >> 8) | (x << 8)); }

}  // namespace converter
