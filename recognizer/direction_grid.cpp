#include "recognizer/direction_grid.h"

#include <cstring>

namespace quillet {

namespace {

uint8_t BitOf(int sx, int sy) {
  if (sy == 0) return sx > 0 ? kEast : kWest;
  if (sx == 0) return sy > 0 ? kSouth : kNorth;
  if (sy > 0) return sx > 0 ? kSouthEast : kSouthWest;
  return sx > 0 ? kNorthEast : kNorthWest;
}

int Sign(int v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

}  // namespace

void DrawDirectionLine(uint8_t* grid, InkPoint from, InkPoint to, bool includeEnd) {
  if (IsStrokeEnd(from) || IsStrokeEnd(to)) return;
  if (from.x == to.x && from.y == to.y) return;
  const int sx = Sign(to.x - from.x), sy = Sign(to.y - from.y);
  const int dx = (to.x - from.x) * sx, dy = (to.y - from.y) * sy;
  const bool xMajor = dx >= dy;
  const int dmajor = xMajor ? dx : dy, dminor = xMajor ? dy : dx;
  const uint8_t straight = xMajor ? BitOf(sx, 0) : BitOf(0, sy);
  const uint8_t diagonal = BitOf(sx, sy);
  int x = from.x, y = from.y;
  int e = 2 * dminor - dmajor;
  const int steps = dmajor + (includeEnd ? 1 : 0);
  for (int s = 0; s < steps; ++s) {
    uint8_t& cell = grid[y * kGridSide + x];
    if (e < 0) {
      cell |= straight;
      if (xMajor)
        x += sx;
      else
        y += sy;
      e += 2 * dminor;
    } else {
      cell |= diagonal;
      x += sx;
      y += sy;
      e += 2 * dminor - 2 * dmajor;
    }
  }
}

void DrawStrokes(const InkPoint* ink, uint8_t* grid) {
  std::memset(grid, 0, kGridCells);
  for (int i = 0; !IsInkEnd(ink[i]); ++i) {
    if (IsStrokeEnd(ink[i])) continue;
    if (IsStrokeEnd(ink[i + 1])) continue;
    // Every stroke is closed by an end entry, so ink[i + 2] exists.
    DrawDirectionLine(grid, ink[i], ink[i + 1], IsStrokeEnd(ink[i + 2]));
  }
}

void DrawPenUpMoves(const InkPoint* ink, uint8_t* grid) {
  for (int i = 0; !IsInkEnd(ink[i]); ++i) {
    if (!IsStrokeEnd(ink[i])) continue;
    if (i == 0 || IsInkEnd(ink[i + 1])) continue;
    DrawDirectionLine(grid, ink[i - 1], ink[i + 1], false);
  }
}

}  // namespace quillet
