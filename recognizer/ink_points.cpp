#include "recognizer/ink_points.h"

namespace quillet {

namespace {

int16_t ClampCoordinate(int16_t v) {
  if (v < 0) return 0;
  if (v > kMaxCoordinate) return kMaxCoordinate;
  return v;
}

bool Same(InkPoint a, InkPoint b) { return a.x == b.x && a.y == b.y; }

}  // namespace

int CleanInk(const int16_t* in, InkPoint* out) {
  int kept = 0;
  int strokes = 0;
  int pos = 0;
  bool inkEnded = false;
  while (!inkEnded && strokes < kMaxStrokes) {
    const int strokeStart = kept;
    InkPoint last{-1, 0};
    bool closed = false;
    while (!closed) {
      InkPoint e;
      if (kept == kMaxInkEntries - 1 || in[2 * pos + 1] == -1) {
        e = InkPoint{-1, -1};
        inkEnded = true;
      } else {
        e = InkPoint{in[2 * pos], in[2 * pos + 1]};
        ++pos;
        // Coordinates index 1,024-entry maps: anything outside would read
        // past them, so a pen point is pulled into range.
        if (e.x != -1) e = InkPoint{ClampCoordinate(e.x), ClampCoordinate(e.y)};
      }
      if (Same(e, last)) {
        // Only a stroke end at the very start of a stroke can repeat the
        // (-1, 0) we started from: the stroke ends empty.
        if (IsStrokeEnd(e)) closed = true;
        continue;
      }
      out[kept++] = e;
      last = e;
      if (IsStrokeEnd(e)) closed = true;
    }
    // Points kept by this stroke (its closing entry excluded when kept).
    int points = kept - strokeStart;
    if (points > 0 && IsStrokeEnd(out[kept - 1])) --points;
    if (points == 0) {
      kept = strokeStart;
      continue;
    }
    if (points == 1) {
      if (kept + 1 > kMaxInkEntries) {
        // No room left to double the point: the stroke would draw nothing
        // anyway, so it goes.
        kept = strokeStart;
        continue;
      }
      const InkPoint closing = out[strokeStart + 1];
      out[strokeStart + 1] = out[strokeStart];
      out[strokeStart + 2] = closing;
      kept = strokeStart + 3;
    }
    ++strokes;
  }
  if (kept == 0)
    out[0] = InkPoint{-1, -1};
  else
    out[kept - 1] = InkPoint{-1, -1};
  return strokes;
}

}  // namespace quillet
