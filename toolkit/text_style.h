// The inline style codes U+EAB0-U+EAFF of display text and the style record
// they advance. A code with a payload (U+EABA, U+EAC1, U+EAC3, U+EAC5) is
// followed by two units with bit 15 set carrying a 30-bit number, high 15
// bits first, so that no payload unit is ever 0.
#pragma once

#include <cstdint>

#include "platform/types.h"

// Owned by the caller; copied by value where a line remembers the style at
// its start. 0 = off.
struct TextStyleState {
  uint32_t bold;
  uint32_t italic;
  uint32_t underline;
  uint32_t reserved;
  uint32_t colourOn;
  uint32_t colour;  // 0xRRGGBB; 0 = the run's default colour
  uint32_t sizeOn;
  uint32_t size;  // pixels while sizeOn (0 included)
  uint32_t inLink;
  uint32_t linkUnderlined;
  uint32_t hiddenTargetLink;
  uint32_t hasLinkId;
  uint32_t linkId;
};

enum : WCHAR {
  kStyleFirst = 0xEAB0,
  kStyleLineEnd = 0xEAB1,
  kStyleBoldOn = 0xEAB2,
  kStyleBoldOff = 0xEAB3,
  kStyleItalicOn = 0xEAB4,
  kStyleItalicOff = 0xEAB5,
  kStyleUnderlineOn = 0xEAB6,
  kStyleUnderlineOff = 0xEAB7,
  kStyleLinkStart = 0xEAB8,
  kStylePlainLinkStart = 0xEAB9,
  kStyleLinkIdStart = 0xEABA,
  kStyleLinkEnd = 0xEABB,
  kStyleColourOn = 0xEAC1,
  kStyleColourOff = 0xEAC2,
  kStyleHiddenOn = 0xEAC3,
  kStyleHiddenOff = 0xEAC4,
  kStyleSizeOn = 0xEAC5,
  kStyleSizeOff = 0xEAC6,
  kStyleTargetEnd = 0xEAD0,
  kStyleTargetLinkStart = 0xEAD1,
  kStyleTargetLinkEnd = 0xEAD2,
  kStyleLast = 0xEAFF,
};

inline bool IsStyleCode(uint32_t unit) { return unit >= kStyleFirst && unit <= kStyleLast; }
// The entry formatter's markup: zero width, no effect on drawing.
inline bool IsMarkupCode(uint32_t unit) { return unit >= 0xEA00 && unit <= 0xEA8F; }
inline bool StyleCodeHasPayload(uint32_t unit) {
  return unit == kStyleLinkIdStart || unit == kStyleColourOn || unit == kStyleHiddenOn || unit == kStyleSizeOn;
}
inline uint32_t StylePayload(WCHAR first, WCHAR second) {
  return (static_cast<uint32_t>(first) & 0x7FFF) * 32768u + (static_cast<uint32_t>(second) & 0x7FFF);
}

// Applies one code to the style and the hidden flag; 1 for the line end
// U+EAB1, else 0. Without a style nothing changes (0).
int ApplyStyleCode(WCHAR code, uint32_t payload, TextStyleState* style, uint8_t* hidden);
