#include "recognizer/feature_vector.h"

#include <cstring>

#include "recognizer/direction_grid.h"

namespace quillet {

namespace {

void AddDirectionBits(uint8_t cell, uint8_t* counters, int counterStep) {
  for (int d = 0; d < 8; ++d)
    if (cell & (1 << d)) ++counters[d * counterStep];
}

}  // namespace

void ScanCrossings(const uint8_t* grid, int start, int length, int step, int counterStep,
                   int secondOffset, uint8_t* counters) {
  int i = 0;
  int cell = start;
  while (i < length && grid[cell] == 0) {
    ++i;
    cell += step;
  }
  if (i >= length) return;
  AddDirectionBits(grid[cell], counters, counterStep);
  bool sawEmpty = false;
  for (++i, cell += step; i < length; ++i, cell += step) {
    if (grid[cell] == 0) {
      sawEmpty = true;
    } else if (sawEmpty) {
      AddDirectionBits(grid[cell], counters + secondOffset, counterStep);
      return;
    }
  }
}

void OrthogonalCrossingFeatures(const uint8_t* grid, uint8_t* counters) {
  for (int i = 0; i < kGridSide; ++i) {
    const int band = i / 16;
    ScanCrossings(grid, i * kGridSide, 32, 1, 16, 128, counters + 0 * 4 + band);
    ScanCrossings(grid, i, 32, kGridSide, 16, 128, counters + 1 * 4 + band);
    ScanCrossings(grid, i * kGridSide + 63, 32, -1, 16, 128, counters + 2 * 4 + band);
    ScanCrossings(grid, 63 * kGridSide + i, 32, -kGridSide, 16, 128, counters + 3 * 4 + band);
  }
}

void DiagonalCrossingFeatures(const uint8_t* grid, uint8_t* counters) {
  uint8_t* base = counters + 256;
  for (int i = 0; i < kGridSide; ++i) {
    const int band = i / 16, L = 32 - i / 2, S = i / 2 + 1;
    const int rowLeft = i * kGridSide, rowRight = i * kGridSide + 63;
    const int colTop = i, colBottom = 63 * kGridSide + i;
    const int se = kGridSide + 1, sw = kGridSide - 1, nw = -kGridSide - 1, ne = -kGridSide + 1;
    ScanCrossings(grid, rowLeft, L, se, 32, 256, base + 0 * 4 + (3 - band));
    ScanCrossings(grid, colTop, L, se, 32, 256, base + 1 * 4 + band);
    ScanCrossings(grid, colTop, S, sw, 32, 256, base + 2 * 4 + band);
    ScanCrossings(grid, rowRight, L, sw, 32, 256, base + 3 * 4 + band);
    ScanCrossings(grid, colBottom, S, nw, 32, 256, base + 4 * 4 + band);
    ScanCrossings(grid, rowRight, S, nw, 32, 256, base + 5 * 4 + (3 - band));
    ScanCrossings(grid, rowLeft, S, ne, 32, 256, base + 6 * 4 + band);
    ScanCrossings(grid, colBottom, L, ne, 32, 256, base + 7 * 4 + band);
  }
}

void ScanDirectionPresence(const uint8_t* grid, int start, int step, uint8_t* counters) {
  uint8_t seen = 0;
  int cell = start;
  for (int i = 0; i < 32 && seen != 0xFF; ++i, cell += step) {
    const uint8_t fresh = grid[cell] & static_cast<uint8_t>(~seen);
    if (fresh == 0) continue;
    AddDirectionBits(fresh, counters, 32);
    seen |= fresh;
  }
}

void DirectionPresenceFeatures(const uint8_t* grid, uint8_t* counters) {
  uint8_t* base = counters + 768;
  for (int i = 0; i < kGridSide; ++i) {
    const int band8 = i / 8;
    ScanDirectionPresence(grid, i * kGridSide, 1, base + 0 * 8 + band8);
    ScanDirectionPresence(grid, i, kGridSide, base + 1 * 8 + band8);
    ScanDirectionPresence(grid, i * kGridSide + 63, -1, base + 2 * 8 + band8);
    ScanDirectionPresence(grid, 63 * kGridSide + i, -kGridSide, base + 3 * 8 + band8);
  }
}

void ExtractCounters(const InkPoint* normalisedInk, uint8_t* grid, FeatureVector* features) {
  std::memset(features->counters, 0, kCounters);
  OrthogonalCrossingFeatures(grid, features->counters);
  DiagonalCrossingFeatures(grid, features->counters);
  DrawPenUpMoves(normalisedInk, grid);
  DirectionPresenceFeatures(grid, features->counters);
}

void ProjectAndPack(TemplateTable table, const FeatureVector& features, int32_t* sums,
                    ProjectedFeatures* out) {
  for (int j = 0; j < kProjections; ++j) sums[j] = 0;
  for (int i = 0; i < kCounters; ++i) {
    const int v = features.counters[i];
    if (v == 0) continue;
    const uint8_t* row = table.bytes + kOffCodebook + i * kProjections;
    const uint8_t* values = table.bytes + kOffValueRows + (v - 1) * 512;
    for (int j = 0; j < kProjections; ++j) sums[j] += ReadI16(values + row[j] * 2);
  }
  for (int j = 0; j < kProjections; ++j) {
    int q = (sums[j] >> 10) + 128;
    out->q[j] = static_cast<uint8_t>(q < 0 ? 0 : (q > 255 ? 255 : q));
  }
  for (int k = 0; k < kStages; ++k) {
    const uint8_t* quantiser = Quantiser(table, k);
    out->c[k] = static_cast<uint8_t>((quantiser[out->q[2 * k]] & 0xF0) |
                                     (quantiser[out->q[2 * k + 1]] & 0x0F));
  }
}

void ExtractFeatures(TemplateTable table, const InkPoint* normalisedInk, uint8_t* grid, FeatureVector* features,
                     int32_t* sums, ProjectedFeatures* out) {
  ExtractCounters(normalisedInk, grid, features);
  ProjectAndPack(table, *features, sums, out);
}

}  // namespace quillet
