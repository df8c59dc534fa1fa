// ChunkedArray: the growable list of fixed-width records (a card id, and
// optionally a weight) in which the flashcard engine keeps every card list.
// It grows by adding chunks of perChunk records and never moves a record to
// grow, so a long list needs no large block. Record i lies in chunk
// i / perChunk at position i mod perChunk; every chunk but the last in use
// is full; the first chunk exists from creation on.
//
// An array belongs to one thread at a time.
#pragma once

#include <cstdint>

struct ChunkedArray {
  int32_t count;
  uint32_t** chunks;     // maxChunks pointers; each chunk perChunk x width words
  int32_t* chunkCounts;  // records used per chunk
  uint32_t* weightSums;  // maxChunks + 1 sums of word 1 per chunk, or null
  int32_t chunkCount;    // chunks in use
  int32_t width;         // words per record
  int32_t perChunk;
  int32_t maxChunks;
  int32_t mark;  // the owner's; never read here
};

// The default configuration of session lists and search results.
inline constexpr int32_t kChunkedDefaultPerChunk = 128;
inline constexpr int32_t kChunkedDefaultMaxChunks = 512;

// Null when any allocation fails.
ChunkedArray* CreateChunkedArray(int32_t width, int32_t perChunk, int32_t maxChunks, int weights);
void FreeChunkedArray(ChunkedArray* array);
// 0; 1 when a new chunk is needed and cannot be had (at most maxChunks - 1
// chunks are used). A non-zero weight goes into word 1 (width > 1) and the
// chunk's weight sum.
int AppendChunkedArray(ChunkedArray* array, uint32_t value, uint32_t weight);
// Word 0, or -1 out of range.
int32_t GetChunkedArrayItem(const ChunkedArray* array, int32_t index);
// Word 1; 0 when width < 2 or out of range.
uint32_t GetChunkedArrayWeight(const ChunkedArray* array, int32_t index);
int SetChunkedArrayItem(ChunkedArray* array, int32_t index, uint32_t value);  // 0; 1 out of range
// Index of the first record whose word 0 is value; -1 when none.
int32_t FindChunkedArrayItem(const ChunkedArray* array, uint32_t value);
// Later records move down one place across chunks; weight sums stay.
int DeleteChunkedArrayItem(ChunkedArray* array, int32_t index);  // 0; 1 out of range
void SwapChunkedArrayItems(ChunkedArray* array, int32_t a, int32_t b);
// Sorts [first, end) by the key word (word 0 when keyWord >= width),
// compared unsigned. O(n log n) in the worst case and without recursion, so
// it runs on a worker's small stack; equal keys keep no particular order.
void SortChunkedArray(ChunkedArray* array, int32_t first, int32_t end, int32_t keyWord, int descending);
// For i from count - 1 down to 1 exchanges records i and GetRandom32() mod i
// (a cyclic permutation). The state argument is not used: the values come
// from the system generator.
void ShuffleChunkedArray(ChunkedArray* array, void* randomState);
// Keeps the first newCount records; freed chunks go back to the heap.
void TruncateChunkedArray(ChunkedArray* array, int32_t newCount);
// A plain array: with 2 values they are exchanged when bit 1 of a random
// value is set; with more, for d from n down to 2, values (R mod d) and
// d - 1 are exchanged.
void ShuffleIdArray(int32_t* values, uint32_t length, void* randomState);
