#include "flash/chunked_array.h"

#include <cstring>

#include "engine/mem_handle.h"
#include "engine/system_services.h"
#include "platform/heap.h"

namespace {

bool InRange(const ChunkedArray* a, int32_t index) {
  if (!a || a->perChunk <= 0 || a->count <= 0 || index < 0) return false;
  const int32_t chunk = index / a->perChunk;
  return chunk < a->chunkCount && a->chunks[chunk] && index % a->perChunk < a->chunkCounts[chunk];
}

uint32_t* Record(const ChunkedArray* a, int32_t index) {
  return a->chunks[index / a->perChunk] + static_cast<size_t>(index % a->perChunk) * a->width;
}

uint32_t* NewChunk(const ChunkedArray* a) {
  return static_cast<uint32_t*>(MemAlloc(static_cast<size_t>(a->perChunk) * a->width * sizeof(uint32_t)));
}

void SwapRecords(ChunkedArray* a, int32_t i, int32_t j) {
  uint32_t* x = Record(a, i);
  uint32_t* y = Record(a, j);
  for (int32_t w = 0; w < a->width; ++w) {
    const uint32_t t = x[w];
    x[w] = y[w];
    y[w] = t;
  }
}

// Heap sort over [first, first + n): the order "a before b" is key(a) <
// key(b), or > when descending.
struct SortRange {
  ChunkedArray* a;
  int32_t first;
  int32_t key;
  bool descending;
  uint32_t Key(int32_t i) const { return Record(a, first + i)[key]; }
  bool Before(int32_t i, int32_t j) const { return descending ? Key(i) > Key(j) : Key(i) < Key(j); }
  void Swap(int32_t i, int32_t j) { SwapRecords(a, first + i, first + j); }
  void SiftDown(int32_t root, int32_t n) {
    for (;;) {
      int32_t child = 2 * root + 1;
      if (child >= n) return;
      if (child + 1 < n && Before(child, child + 1)) ++child;
      if (!Before(root, child)) return;
      Swap(root, child);
      root = child;
    }
  }
};

}  // namespace

ChunkedArray* CreateChunkedArray(int32_t width, int32_t perChunk, int32_t maxChunks, int weights) {
  if (width <= 0 || perChunk <= 0 || maxChunks <= 0) return nullptr;
  auto* a = static_cast<ChunkedArray*>(MemAlloc(sizeof(ChunkedArray)));
  if (!a) return nullptr;
  std::memset(a, 0, sizeof *a);
  a->width = width;
  a->perChunk = perChunk;
  a->maxChunks = maxChunks;
  a->chunks = static_cast<uint32_t**>(MemAlloc(maxChunks * sizeof(uint32_t*)));
  a->chunkCounts = static_cast<int32_t*>(MemAlloc(maxChunks * sizeof(int32_t)));
  if (weights) a->weightSums = static_cast<uint32_t*>(MemAlloc((maxChunks + 1) * sizeof(uint32_t)));
  if (!a->chunks || !a->chunkCounts || (weights && !a->weightSums)) {
    FreeChunkedArray(a);
    return nullptr;
  }
  std::memset(a->chunks, 0, maxChunks * sizeof(uint32_t*));
  std::memset(a->chunkCounts, 0, maxChunks * sizeof(int32_t));
  if (a->weightSums) std::memset(a->weightSums, 0, (maxChunks + 1) * sizeof(uint32_t));
  a->chunks[0] = NewChunk(a);
  a->chunkCount = 1;
  if (!a->chunks[0]) {
    FreeChunkedArray(a);
    return nullptr;
  }
  return a;
}

void FreeChunkedArray(ChunkedArray* a) {
  if (!a) return;
  if (a->chunkCounts) LocalFree(a->chunkCounts);
  if (a->weightSums) LocalFree(a->weightSums);
  if (a->chunks) {
    for (int32_t i = 0; i < a->chunkCount; ++i)
      if (a->chunks[i]) LocalFree(a->chunks[i]);
    LocalFree(a->chunks);
  }
  LocalFree(a);
}

int AppendChunkedArray(ChunkedArray* a, uint32_t value, uint32_t weight) {
  if (!a || a->perChunk <= 0) return 1;
  int32_t last = a->chunkCount - 1;
  if (a->chunkCounts[last] >= a->perChunk) {
    // At most maxChunks - 1 chunks are used.
    if (a->chunkCount + 1 >= a->maxChunks) return 1;
    uint32_t* chunk = NewChunk(a);
    if (!chunk) return 1;
    ++last;
    a->chunks[last] = chunk;
    a->chunkCounts[last] = 0;
    if (a->weightSums) a->weightSums[last] = 0;
    a->chunkCount = last + 1;
  }
  uint32_t* r = a->chunks[last] + static_cast<size_t>(a->chunkCounts[last]) * a->width;
  r[0] = value;
  if (weight != 0 && a->width > 1) {
    r[1] = weight;
    if (a->weightSums) a->weightSums[last] += weight;
  }
  ++a->chunkCounts[last];
  ++a->count;
  return 0;
}

int32_t GetChunkedArrayItem(const ChunkedArray* a, int32_t index) {
  return InRange(a, index) ? static_cast<int32_t>(Record(a, index)[0]) : -1;
}

uint32_t GetChunkedArrayWeight(const ChunkedArray* a, int32_t index) {
  return a && a->width >= 2 && InRange(a, index) ? Record(a, index)[1] : 0;
}

int SetChunkedArrayItem(ChunkedArray* a, int32_t index, uint32_t value) {
  if (!InRange(a, index)) return 1;
  Record(a, index)[0] = value;
  return 0;
}

int32_t FindChunkedArrayItem(const ChunkedArray* a, uint32_t value) {
  if (!a || !a->chunks) return -1;
  for (int32_t c = 0; c < a->chunkCount; ++c) {
    if (!a->chunks[c]) continue;
    for (int32_t i = 0; i < a->chunkCounts[c]; ++i)
      if (a->chunks[c][static_cast<size_t>(i) * a->width] == value) return c * a->perChunk + i;
  }
  return -1;
}

int DeleteChunkedArrayItem(ChunkedArray* a, int32_t index) {
  if (!InRange(a, index)) return 1;
  const size_t bytes = a->width * sizeof(uint32_t);
  int32_t c = index / a->perChunk;
  int32_t at = index % a->perChunk;
  for (;;) {
    uint32_t* chunk = a->chunks[c];
    std::memmove(chunk + static_cast<size_t>(at) * a->width, chunk + static_cast<size_t>(at + 1) * a->width,
                 static_cast<size_t>(a->chunkCounts[c] - at - 1) * bytes);
    if (c + 1 >= a->chunkCount || a->chunkCounts[c + 1] == 0) break;
    // The next chunk's first record fills this chunk's last place.
    std::memcpy(chunk + static_cast<size_t>(a->chunkCounts[c] - 1) * a->width, a->chunks[c + 1], bytes);
    ++c;
    at = 0;
  }
  --a->chunkCounts[c];
  --a->count;
  // A trailing chunk left empty goes: kept in use, the next append would
  // fill it while the chunk before it is no longer full, and records would
  // then lie where their index does not point.
  if (a->chunkCount > 1 && a->chunkCounts[a->chunkCount - 1] == 0) {
    LocalFree(a->chunks[a->chunkCount - 1]);
    a->chunks[a->chunkCount - 1] = nullptr;
    if (a->weightSums) a->weightSums[a->chunkCount - 1] = 0;
    --a->chunkCount;
  }
  return 0;
}

void SwapChunkedArrayItems(ChunkedArray* a, int32_t i, int32_t j) {
  if (!InRange(a, i) || !InRange(a, j) || i == j) return;
  SwapRecords(a, i, j);
}

void SortChunkedArray(ChunkedArray* a, int32_t first, int32_t end, int32_t keyWord, int descending) {
  if (!a || first < 0 || end > a->count || end - first < 2) return;
  SortRange s{a, first, keyWord >= 0 && keyWord < a->width ? keyWord : 0, descending != 0};
  const int32_t n = end - first;
  for (int32_t root = n / 2 - 1; root >= 0; --root) s.SiftDown(root, n);
  for (int32_t last = n - 1; last > 0; --last) {
    s.Swap(0, last);
    s.SiftDown(0, last);
  }
}

void ShuffleChunkedArray(ChunkedArray* a, void*) {
  if (!a || a->count < 2 || a->perChunk <= 0) return;
  for (int32_t i = a->count - 1; i >= 1; --i) {
    // j < i: every record leaves its place.
    const int32_t j = static_cast<int32_t>(GetRandom32() % static_cast<uint32_t>(i));
    SwapRecords(a, i, j);
  }
}

void TruncateChunkedArray(ChunkedArray* a, int32_t n) {
  if (!a || n < 0 || n >= a->count || a->perChunk <= 0) return;
  const int32_t r = n % a->perChunk;
  const int32_t needed = n / a->perChunk + (r ? 1 : 0);
  for (int32_t c = needed; c < a->chunkCount; ++c) {
    if (a->chunks[c]) LocalFree(a->chunks[c]);
    a->chunks[c] = nullptr;
    a->chunkCounts[c] = 0;
    if (a->weightSums) a->weightSums[c] = 0;
  }
  if (r) {
    const int32_t c = needed - 1;
    a->chunkCounts[c] = r;
    if (a->weightSums && a->width > 1) {
      uint32_t sum = 0;
      for (int32_t i = 0; i < r; ++i) sum += a->chunks[c][static_cast<size_t>(i) * a->width + 1];
      a->weightSums[c] = sum;
    }
  }
  if (n == 0) {
    // A fresh first chunk; without memory the array stays empty with no
    // chunk, which every reader treats as out of range.
    a->chunks[0] = NewChunk(a);
    a->chunkCounts[0] = 0;
    a->chunkCount = 1;
  } else {
    a->chunkCount = needed;
  }
  a->count = n;
}

void ShuffleIdArray(int32_t* values, uint32_t length, void*) {
  if (!values || length < 2) return;
  if (length == 2) {
    if (GetRandom32() & 2) {
      const int32_t t = values[0];
      values[0] = values[1];
      values[1] = t;
    }
    return;
  }
  for (uint32_t d = length; d >= 2; --d) {
    const uint32_t j = GetRandom32() % d;
    const int32_t t = values[j];
    values[j] = values[d - 1];
    values[d - 1] = t;
  }
}
