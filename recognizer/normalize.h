// Normalisation of cleaned ink about its weighted centre onto 1..62.
#pragma once
#include <cstdint>

#include "recognizer/ink_points.h"

namespace quillet {

constexpr int kMapSize = 1024;

// Fills map[a..b] (inside 0..1023) with the linear ramp lo..hi, rounded half up.
void FillAxisRamp(int a, int b, int lo, int hi, uint8_t* map);

// Maps min - pad .. centre onto 1..31 and centre .. max + pad onto 31..62.
void BuildAxisMap(int min, int max, int64_t sum, int64_t weight, int pad, uint8_t* map);

// Replaces every point by its map entries; stroke ends stay.
void ApplyAxisMaps(InkPoint* ink, const uint8_t* xMap, const uint8_t* yMap);

// Maps every point of the cleaned ink in place. Returns strokes, or 0 for a
// one-stroke ink no larger than 3 x 3 (a tap). xMap and yMap: 1,024 bytes each.
int NormalizeInk(InkPoint* ink, int strokes, uint8_t* xMap, uint8_t* yMap);

}  // namespace quillet
