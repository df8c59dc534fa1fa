#include "recognizer/normalize.h"

namespace quillet {

void FillAxisRamp(int a, int b, int lo, int hi, uint8_t* map) {
  if (b <= a) return;
  const int n = b - a;
  for (int v = a; v <= b; ++v) {
    if (v < 0 || v >= kMapSize) continue;
    map[v] = static_cast<uint8_t>(lo + ((v - a) * (hi - lo) + n / 2) / n);
  }
}

void BuildAxisMap(int min, int max, int64_t sum, int64_t weight, int pad, uint8_t* map) {
  if (min == max) {
    map[min] = 31;
    return;
  }
  const int centre = static_cast<int>((sum + weight / 2) / weight);
  FillAxisRamp(min - pad, centre, 1, 31, map);
  FillAxisRamp(centre, max + pad, 31, 62, map);
}

int NormalizeInk(InkPoint* ink, int strokes, uint8_t* xMap, uint8_t* yMap) {
  int minX = 0xFFFF, maxX = 0, minY = 0xFFFF, maxY = 0;
  // 64-bit sums: 2,304 segments of up to 1,024 units overflow 32 bits.
  int64_t sumX = 0, sumY = 0, weight = 0;
  for (int i = 0; !IsInkEnd(ink[i]); ++i) {
    const InkPoint p = ink[i];
    if (IsStrokeEnd(p)) continue;
    const int x = static_cast<uint16_t>(p.x), y = static_cast<uint16_t>(p.y);
    if (x < minX) minX = x;
    if (x > maxX) maxX = x;
    if (y < minY) minY = y;
    if (y > maxY) maxY = y;
    const InkPoint next = ink[i + 1];
    if (IsStrokeEnd(next)) {
      sumX += 2 * x;
      sumY += 2 * y;
      weight += 2;
    } else {
      const int x2 = static_cast<uint16_t>(next.x), y2 = static_cast<uint16_t>(next.y);
      const int dx = x2 > x ? x2 - x : x - x2, dy = y2 > y ? y2 - y : y - y2;
      const int64_t l = (dx > dy ? dx : dy) + 1;
      sumX += l * (x + x2) - 2 * x2;
      sumY += l * (y + y2) - 2 * y2;
      weight += 2 * l - 2;
    }
  }
  if (weight == 0) return 0;
  const int w = maxX - minX + 1, h = maxY - minY + 1;
  if (strokes == 1 && w <= 3 && h <= 3) return 0;
  int padX = 0, padY = 0;
  if (w > h) {
    if (w - 2 * h > 0) padY = (w - 2 * h) / 2;
  } else {
    if (h - 2 * w > 0) padX = (h - 2 * w) / 2;
  }
  BuildAxisMap(minX, maxX, sumX, weight, padX, xMap);
  BuildAxisMap(minY, maxY, sumY, weight, padY, yMap);
  ApplyAxisMaps(ink, xMap, yMap);
  return strokes;
}

void ApplyAxisMaps(InkPoint* ink, const uint8_t* xMap, const uint8_t* yMap) {
  for (int i = 0; !IsInkEnd(ink[i]); ++i) {
    if (IsStrokeEnd(ink[i])) continue;
    ink[i].x = xMap[static_cast<uint16_t>(ink[i].x)];
    ink[i].y = yMap[static_cast<uint16_t>(ink[i].y)];
  }
}

}  // namespace quillet
