// Two-stage template matching: coarse clusters, then 48 stages of 4-bit codes
// with pruning, then a full-precision re-score of the survivors.
#pragma once
#include <cstdint>

#include "recognizer/feature_vector.h"
#include "recognizer/template_table.h"

namespace quillet {

// A candidate: score in the high half, class number (bit 15 = marked) low.
using CandidateEntry = uint32_t;

constexpr int kCandidateCapacity = 3452;
constexpr int kCoarseKeep = 96;
constexpr int kExpansionLimit = 3122;
constexpr int kMaxSurvivors = 32;

struct ClassRange {
  uint16_t start;  // bit 15: positions in the class list
  uint16_t end;
};

struct MatchBuffers {
  CandidateEntry candidates[kCandidateCapacity];
  CandidateEntry coarse[kClusters];
  ClassRange ranges[kCoarseKeep];
  uint8_t distances[256];
};

inline CandidateEntry MakeEntry(uint32_t score, uint32_t cls) { return (score << 16) | (cls & 0xFFFF); }
inline uint16_t EntryClass(CandidateEntry e) { return static_cast<uint16_t>(e & 0xFFFF); }
inline uint16_t EntryScore(CandidateEntry e) { return static_cast<uint16_t>(e >> 16); }

uint32_t L1Distance(const uint8_t* a, const uint8_t* b, int n);
void BuildNibbleDistanceTable(uint8_t code, uint8_t* table);
void SelectSmallest(CandidateEntry* list, int k, int n);
void SortAscending(CandidateEntry* first, CandidateEntry* last);

// Appends start .. end - 1 while there is room; returns the new count.
int AppendClassRange(CandidateEntry* list, int count, int start, int end);

int CoarseClusterStage(TemplateTable table, MatchBuffers* buffers, const uint8_t* q, uint32_t flags);
int AppendFixedRanges(CandidateEntry* list, int count, uint32_t flags);

// Leaves at most 32 candidates in buffers->candidates, best first.
int FineMatchStage(TemplateTable table, MatchBuffers* buffers, const ProjectedFeatures& f,
                   uint32_t flags);

}  // namespace quillet
