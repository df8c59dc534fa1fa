// Ink as the caller hands it over and as cleaning leaves it.
#pragma once
#include <cstdint>

namespace quillet {

struct InkPoint {
  int16_t x;
  int16_t y;
};

constexpr int kMaxInkEntries = 2304;  // end entry included
constexpr int kMaxStrokes = 64;
constexpr int kMaxCoordinate = 1023;

inline bool IsStrokeEnd(InkPoint p) { return p.x == -1; }
inline bool IsInkEnd(InkPoint p) { return p.x == -1 && p.y == -1; }

// Copies the caller's ink (pairs of int16) into out (room for kMaxInkEntries): drops repeated
// points and empty strokes, doubles one-point strokes, keeps at most 64
// strokes and 2,304 entries, and closes with (-1, -1). Pen points outside
// 0..1023 are clamped into that range. Returns the number of strokes.
int CleanInk(const int16_t* in, InkPoint* out);

}  // namespace quillet
