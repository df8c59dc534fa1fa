// One recognition call: cleaning, features, matching, conversion to codes.
#pragma once
#include <cstdint>

#include "recognizer/direction_grid.h"
#include "recognizer/feature_vector.h"
#include "recognizer/ink_points.h"
#include "recognizer/matching.h"
#include "recognizer/normalize.h"
#include "recognizer/template_table.h"

namespace quillet {

// The flag word: cluster groups 0x1-0x40, fixed classes 0x80-0x8000.
enum RecognizerFlags : uint32_t {
  kSimplified = 0x1,
  kRareSimplified = 0x2,
  kTraditional = 0x4,
  kRareTraditional = 0x8,
  kFurther = 0x10,
  kToSimplified = 0x20,
  kToTraditional = 0x40,
  kFixedList = 0x80,
  kGestures = 0x8000,
};

constexpr int kMaxResults = 32;
constexpr int kMaxRawCodes = kMaxResults * 4;  // a marked class gives up to 4

// Everything one call computes. Lives on the caller's stack for the call, so
// nothing survives from one call to the next and calls may overlap.
struct RecognizerWorkArea {
  InkPoint ink[kMaxInkEntries];
  uint8_t xMap[kMapSize];
  uint8_t yMap[kMapSize];
  uint8_t grid[kGridCells];
  FeatureVector features;
  int32_t sums[kProjections];
  ProjectedFeatures projected;
  MatchBuffers match;
  uint16_t rawCodes[kMaxRawCodes];
  uint16_t rawScores[kMaxRawCodes];
  uint16_t resultCount;
  uint16_t codes[kMaxResults];
  uint16_t scores[kMaxResults];
};

// CleanInk, NormalizeInk and DrawStrokes. Returns strokes, or 0.
int PrepareInk(const int16_t* ink, RecognizerWorkArea* wa);

// PrepareInk then the counters, q and c. Returns 0 when there is no character.
int ComputeFeatures(TemplateTable table, const int16_t* ink, RecognizerWorkArea* wa);

// Turns the ranked candidates into unique codes; applies the gesture rule.
int ConvertCandidates(TemplateTable table, const CandidateEntry* candidates, int n, uint32_t flags,
                      RecognizerWorkArea* wa);

// The whole call with a given table; leaves count and codes in wa.
int RecognizeCore(TemplateTable table, const int16_t* ink, uint32_t flags, RecognizerWorkArea* wa);

}  // namespace quillet
