#include "recognizer/matching.h"

#include <algorithm>

namespace quillet {

namespace {

struct FixedRange {
  uint32_t flag;
  uint16_t start;
  uint16_t end;
};

// Classes that join every search when their flag is set, in append order.
constexpr FixedRange kFixedRanges[] = {
    {0x1, 19222, 19264},    {0x100, 19363, 19420},  {0x200, 19311, 19363},
    {0x400, 19280, 19311},  {0x800, 19420, 19428},  {0x1000, 19428, 19438},
    {0x2000, 19438, 19460}, {0x4000, 19460, 19470}, {0x8000, 19470, 19475},
};

int AbsDiff(int a, int b) { return a > b ? a - b : b - a; }

}  // namespace

uint32_t L1Distance(const uint8_t* a, const uint8_t* b, int n) {
  uint32_t sum = 0;
  for (int i = 0; i < n; ++i) sum += static_cast<uint32_t>(AbsDiff(a[i], b[i]));
  return sum;
}

void BuildNibbleDistanceTable(uint8_t code, uint8_t* table) {
  const int lo = code & 15, hi = code >> 4;
  for (int t = 0; t < 256; ++t)
    table[t] = static_cast<uint8_t>(AbsDiff(t & 15, lo) + AbsDiff(t >> 4, hi));
}

void SelectSmallest(CandidateEntry* list, int k, int n) {
  if (k <= 0 || k >= n) return;
  std::nth_element(list, list + k, list + n);
}

void SortAscending(CandidateEntry* first, CandidateEntry* last) {
  if (last < first) return;
  std::sort(first, last + 1);
}

int AppendClassRange(CandidateEntry* list, int count, int start, int end) {
  for (int c = start; c < end && count < kCandidateCapacity; ++c) list[count++] = static_cast<CandidateEntry>(c);
  return count;
}

int CoarseClusterStage(TemplateTable table, MatchBuffers* buffers, const uint8_t* q, uint32_t flags) {
  const uint32_t groups = flags & 0xFF;
  int n = 0;
  for (int c = 0; c < kClusters; ++c) {
    if ((ClusterMask(table, c) & groups) == 0) continue;
    buffers->coarse[n++] = MakeEntry(L1Distance(ClusterCentre(table, c), q, 16), static_cast<uint32_t>(c));
  }
  if (n > kCoarseKeep) {
    SelectSmallest(buffers->coarse, kCoarseKeep, n);
    n = kCoarseKeep;
  }
  if (n > 0) SortAscending(buffers->coarse, buffers->coarse + n - 1);
  for (int i = 0; i < n; ++i) {
    const int c = EntryClass(buffers->coarse[i]);
    const uint16_t start = ClusterStart(table, c);
    const uint16_t end = static_cast<uint16_t>(start + ClusterSize(table, c));
    buffers->ranges[i] = c >= kDirectClusters ? ClassRange{static_cast<uint16_t>(start | 0x8000), end}
                                              : ClassRange{start, end};
  }
  CandidateEntry* list = buffers->candidates;
  int count = 0;
  for (int i = 0; i < n && count <= kExpansionLimit; ++i) {
    const ClassRange r = buffers->ranges[i];
    if (r.start & 0x8000) {
      // A table is data: positions beyond the class list and class numbers
      // beyond the tables would read past them, so they are skipped.
      const int first = r.start & 0x7FFF;
      const int last = std::min<int>(r.end, kClassListSize);
      for (int pos = first; pos < last && count < kCandidateCapacity; ++pos) {
        const uint16_t entry = ClassListEntry(table, pos);
        if ((entry & 0x7FFF) < kClasses) list[count++] = entry;
      }
    } else {
      count = AppendClassRange(list, count, r.start, std::min<int>(r.end, kClasses));
    }
  }
  if (flags & 0x80)
    for (int i = 0; i < kFixedListSize && count < kCandidateCapacity; ++i)
      if (FixedListEntry(table, i) < kClasses) list[count++] = FixedListEntry(table, i);
  return count;
}

int AppendFixedRanges(CandidateEntry* list, int count, uint32_t flags) {
  for (const FixedRange& r : kFixedRanges)
    if (flags & r.flag) count = AppendClassRange(list, count, r.start, r.end);
  return count;
}

int FineMatchStage(TemplateTable table, MatchBuffers* buffers, const ProjectedFeatures& f, uint32_t flags) {
  CandidateEntry* list = buffers->candidates;
  int n = CoarseClusterStage(table, buffers, f.q, flags);
  n = AppendFixedRanges(list, n, flags);
  if (n == 0) return 0;
  uint8_t* d = buffers->distances;
  for (int k = 0; k < kStages; ++k) {
    BuildNibbleDistanceTable(f.c[k], d);
    const uint8_t* stage = StageRow(table, k);
    for (int i = 0; i < n; ++i) {
      const uint32_t cls = list[i] & 0xFFFF;
      const uint32_t score = (k == 0 ? 0 : list[i] >> 16) + d[stage[cls & 0x7FFF]];
      list[i] = MakeEntry(score, cls);
    }
    int keep = 0;
    if (k == 7) keep = 512;
    if (k == 15) keep = 256;
    if (k == 31) keep = 128;
    if (k == 47) keep = kMaxSurvivors;
    if (keep && n > keep) {
      SelectSmallest(list, keep, n);
      n = keep;
    }
  }
  for (int i = 0; i < n; ++i) list[i] &= 0xFFFF;
  for (int k = 0; k < kStages; ++k) {
    const uint8_t* stage = StageRow(table, k);
    const uint8_t* decoder = Decoder(table, k);
    const int a = f.q[2 * k], b = f.q[2 * k + 1];
    for (int i = 0; i < n; ++i) {
      const uint8_t t = stage[list[i] & 0x7FFF];
      const int ta = decoder[t >> 4], tb = decoder[16 + (t & 15)];
      uint32_t score = (list[i] >> 16) + Weight(table, AbsDiff(a, ta)) + Weight(table, AbsDiff(b, tb));
      if (score > 0xFFFF) score = 0xFFFF;
      list[i] = MakeEntry(score, list[i] & 0xFFFF);
    }
  }
  SortAscending(list, list + n - 1);
  return n;
}

}  // namespace quillet
