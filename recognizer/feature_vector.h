// The 1,024 feature counters and their projection onto 96 axes.
#pragma once
#include <cstdint>

#include "recognizer/ink_points.h"
#include "recognizer/template_table.h"

namespace quillet {

// Counters 0-255: first and second orthogonal crossings; 256-767: diagonal
// crossings; 768-1023: direction presence. Each counter stays <= 16.
struct FeatureVector {
  uint8_t counters[kCounters];
};

struct ProjectedFeatures {
  uint8_t q[kProjections];  // quantised projections
  uint8_t c[kStages];       // packed 4-bit codes
};

void ScanCrossings(const uint8_t* grid, int start, int length, int step, int counterStep,
                   int secondOffset, uint8_t* counters);
void OrthogonalCrossingFeatures(const uint8_t* grid, uint8_t* counters);
void DiagonalCrossingFeatures(const uint8_t* grid, uint8_t* counters);
void ScanDirectionPresence(const uint8_t* grid, int start, int step, uint8_t* counters);
void DirectionPresenceFeatures(const uint8_t* grid, uint8_t* counters);

// Counters from the grid of the strokes; adds the pen-up moves to the grid.
void ExtractCounters(const InkPoint* normalisedInk, uint8_t* grid, FeatureVector* features);

void ProjectAndPack(TemplateTable table, const FeatureVector& features, int32_t* sums,
                    ProjectedFeatures* out);

// ExtractCounters then ProjectAndPack.
void ExtractFeatures(TemplateTable table, const InkPoint* normalisedInk, uint8_t* grid, FeatureVector* features,
                     int32_t* sums, ProjectedFeatures* out);

}  // namespace quillet
