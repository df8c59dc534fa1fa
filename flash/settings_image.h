// The stored images of the exchange settings records: 32-bit words in
// little-endian order and fixed arrays of UTF-16 units at byte offsets, so
// that an image reads back the same on any host whatever the struct layout.
#pragma once

#include <cstdint>

#include "platform/types.h"

inline void PutImageWord(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint32_t GetImageWord(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// A text array of `units` units: up to its first 0 and at most units - 1
// units, always terminated, the rest of the array written as 0.
inline void PutImageText(uint8_t* p, const WCHAR* text, uint32_t units) {
  bool ended = false;
  for (uint32_t i = 0; i < units; ++i) {
    const WCHAR u = ended || i == units - 1 ? 0 : text[i];
    ended = ended || u == 0;
    p[2 * i] = static_cast<uint8_t>(u);
    p[2 * i + 1] = static_cast<uint8_t>(u >> 8);
  }
}

// Reads a text array back under the same rule, whatever the image holds:
// the text is always terminated and the rest of `text` cleared.
inline void GetImageText(const uint8_t* p, WCHAR* text, uint32_t units) {
  bool ended = false;
  for (uint32_t i = 0; i < units; ++i) {
    const auto u = static_cast<WCHAR>(p[2 * i] | (p[2 * i + 1] << 8));
    ended = ended || u == 0 || i == units - 1;
    text[i] = ended ? 0 : u;
  }
}
