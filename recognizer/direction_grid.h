// The 64 x 64 grid of direction bits the ink is drawn into.
#pragma once
#include <cstdint>

#include "recognizer/ink_points.h"

namespace quillet {

constexpr int kGridSide = 64;
constexpr int kGridCells = kGridSide * kGridSide;

enum DirectionBits : uint8_t {
  kEast = 1,
  kSouthEast = 2,
  kSouth = 4,
  kSouthWest = 8,
  kWest = 16,
  kNorthWest = 32,
  kNorth = 64,
  kNorthEast = 128,
};

// ORs into each cell the direction of the move that leaves it (Bresenham).
void DrawDirectionLine(uint8_t* grid, InkPoint from, InkPoint to, bool includeEnd);

// Clears the grid and draws every stroke of the normalised ink.
void DrawStrokes(const InkPoint* ink, uint8_t* grid);

// Draws the moves from each stroke's last point to the next stroke's first.
void DrawPenUpMoves(const InkPoint* ink, uint8_t* grid);

}  // namespace quillet
