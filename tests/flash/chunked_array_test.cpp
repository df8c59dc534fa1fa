// ChunkedArray: growth by chunks, deletion across chunks, truncation,
// weights, sorting and the shuffles' exact permutations.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <vector>

#include "flash/chunked_array.h"
#include "platform/heap.h"
#include "platform/random.h"

namespace {

std::vector<int32_t> Items(const ChunkedArray* a) {
  std::vector<int32_t> out;
  for (int32_t i = 0; i < a->count; ++i) out.push_back(GetChunkedArrayItem(a, i));
  return out;
}

ChunkedArray* Filled(int32_t n, int32_t perChunk = 4, int32_t maxChunks = 16, int32_t width = 1) {
  ChunkedArray* a = CreateChunkedArray(width, perChunk, maxChunks, 0);
  for (int32_t i = 0; i < n; ++i) EXPECT_EQ(AppendChunkedArray(a, static_cast<uint32_t>(i + 1), 0), 0);
  return a;
}

struct ScriptedRandom {
  explicit ScriptedRandom(std::vector<DWORD> values) { ScriptRandomForTests(values.data(), values.size()); }
  ~ScriptedRandom() { ScriptRandomForTests(nullptr, 0); }
};

}  // namespace

TEST(ChunkedArray, FreshArrayAndCapacity) {
  ChunkedArray* a = CreateChunkedArray(1, 128, 2, 0);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->count, 0);
  EXPECT_EQ(a->chunkCount, 1);
  EXPECT_EQ(GetChunkedArrayItem(a, 0), -1);
  // At most maxChunks - 1 chunks are used: the 129th record fails.
  for (int i = 0; i < 128; ++i) ASSERT_EQ(AppendChunkedArray(a, i, 0), 0);
  EXPECT_EQ(AppendChunkedArray(a, 128, 0), 1);
  EXPECT_EQ(a->count, 128);
  EXPECT_EQ(GetChunkedArrayItem(a, 127), 127);
  EXPECT_EQ(GetChunkedArrayItem(a, 128), -1);
  FreeChunkedArray(a);
  FreeChunkedArray(nullptr);
  EXPECT_EQ(CreateChunkedArray(1, 0, 4, 0), nullptr);
}

TEST(ChunkedArray, ItemsSetFindSwap) {
  ChunkedArray* a = Filled(10);
  EXPECT_EQ(FindChunkedArrayItem(a, 7), 6);
  EXPECT_EQ(FindChunkedArrayItem(a, 70), -1);
  EXPECT_EQ(SetChunkedArrayItem(a, 9, 99), 0);
  EXPECT_EQ(SetChunkedArrayItem(a, 10, 99), 1);
  SwapChunkedArrayItems(a, 0, 9);
  SwapChunkedArrayItems(a, 0, 10);  // out of range: nothing
  EXPECT_EQ(Items(a), (std::vector<int32_t>{99, 2, 3, 4, 5, 6, 7, 8, 9, 1}));
  EXPECT_EQ(GetChunkedArrayWeight(a, 0), 0u);  // width 1
  FreeChunkedArray(a);
}

TEST(ChunkedArray, DeleteAcrossChunks) {
  struct Case {
    const char* what;
    int32_t count;
    int32_t index;
  };
  const Case cases[] = {
      {"first of many chunks", 10, 0}, {"inside a middle chunk", 10, 5},
      {"last record", 10, 9},          {"last of a full chunk", 8, 7},
      {"only record", 1, 0},           {"first of a one-record chunk", 9, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ChunkedArray* a = Filled(c.count);
    std::vector<int32_t> expected = Items(a);
    expected.erase(expected.begin() + c.index);
    ASSERT_EQ(DeleteChunkedArrayItem(a, c.index), 0);
    EXPECT_EQ(Items(a), expected);
    // Appending afterwards puts the record right behind the others.
    ASSERT_EQ(AppendChunkedArray(a, 1000, 0), 0);
    expected.push_back(1000);
    EXPECT_EQ(Items(a), expected);
    EXPECT_EQ(DeleteChunkedArrayItem(a, a->count), 1);
    FreeChunkedArray(a);
  }
  // Deleting many from the front keeps every index pointing right.
  ChunkedArray* a = Filled(13);
  for (int i = 0; i < 6; ++i) ASSERT_EQ(DeleteChunkedArrayItem(a, 0), 0);
  ASSERT_EQ(AppendChunkedArray(a, 50, 0), 0);
  EXPECT_EQ(Items(a), (std::vector<int32_t>{7, 8, 9, 10, 11, 12, 13, 50}));
  FreeChunkedArray(a);
}

TEST(ChunkedArray, TruncateAndWeights) {
  ChunkedArray* w = CreateChunkedArray(2, 4, 8, 1);
  for (uint32_t i = 1; i <= 10; ++i) ASSERT_EQ(AppendChunkedArray(w, i, i * 10), 0);
  ASSERT_EQ(AppendChunkedArray(w, 11, 0), 0);  // a zero weight leaves the sums
  EXPECT_EQ(w->weightSums[0], 100u);
  EXPECT_EQ(w->weightSums[1], 260u);
  EXPECT_EQ(w->weightSums[2], 190u);
  EXPECT_EQ(GetChunkedArrayWeight(w, 9), 100u);
  // To 6: the second chunk keeps 2 records and their sum.
  TruncateChunkedArray(w, 6);
  EXPECT_EQ(w->count, 6);
  EXPECT_EQ(w->chunkCount, 2);
  EXPECT_EQ(w->weightSums[1], 110u);
  EXPECT_EQ(w->chunks[2], nullptr);
  // To a multiple of perChunk: full chunks kept, the rest freed.
  TruncateChunkedArray(w, 4);
  EXPECT_EQ(w->chunkCount, 1);
  EXPECT_EQ(w->chunkCounts[0], 4);
  EXPECT_EQ(w->chunks[1], nullptr);
  TruncateChunkedArray(w, 9);  // not smaller: nothing
  EXPECT_EQ(w->count, 4);
  // To 0: one fresh empty chunk.
  TruncateChunkedArray(w, 0);
  EXPECT_EQ(w->count, 0);
  EXPECT_EQ(w->chunkCount, 1);
  EXPECT_NE(w->chunks[0], nullptr);
  EXPECT_EQ(GetChunkedArrayItem(w, 0), -1);
  ASSERT_EQ(AppendChunkedArray(w, 5, 7), 0);
  EXPECT_EQ(GetChunkedArrayItem(w, 0), 5);
  EXPECT_EQ(GetChunkedArrayWeight(w, 0), 7u);
  FreeChunkedArray(w);
}

TEST(ChunkedArray, SortsUnsignedByKeyWord) {
  ChunkedArray* a = CreateChunkedArray(2, 3, 8, 0);
  const uint32_t values[] = {0x80000000u, 1, 7, 0xFFFFFFFFu, 3};
  const uint32_t keys[] = {5, 4, 3, 2, 1};
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(AppendChunkedArray(a, values[i], keys[i]), 0);
  }
  SortChunkedArray(a, 0, 5, 0, 0);
  EXPECT_EQ(Items(a), (std::vector<int32_t>{1, 3, 7, INT32_MIN, -1}));  // 0x80000000 after 1
  SortChunkedArray(a, 0, 5, 1, 0);                                      // by word 1: the weights carried along
  EXPECT_EQ(Items(a), (std::vector<int32_t>{3, -1, 7, 1, INT32_MIN}));
  SortChunkedArray(a, 0, 5, 2, 1);  // key word beyond the width: word 0, descending
  EXPECT_EQ(Items(a), (std::vector<int32_t>{-1, INT32_MIN, 7, 3, 1}));
  SortChunkedArray(a, 1, 3, 0, 0);  // a sub-range only
  EXPECT_EQ(Items(a), (std::vector<int32_t>{-1, 7, INT32_MIN, 3, 1}));
  FreeChunkedArray(a);
}

// One million equal keys (Fixed selection over new cards) and sorted input
// on a worker-sized stack.
TEST(ChunkedArray, LargeSortsRunOnASmallStack) {
  struct Work {
    bool ok = true;
  } work;
  auto run = [](void* context) -> void* {
    auto* w = static_cast<Work*>(context);
    for (int kind = 0; kind < 3; ++kind) {
      ChunkedArray* a = CreateChunkedArray(1, 2048, 1024, 0);
      const int32_t n = 1000000;
      for (int32_t i = 0; i < n; ++i)
        AppendChunkedArray(a,
                           kind == 0   ? 100u
                           : kind == 1 ? static_cast<uint32_t>(i)
                                       : static_cast<uint32_t>(n - i),
                           0);
      SortChunkedArray(a, 0, a->count, 0, 0);
      for (int32_t i = 1; i < a->count; ++i)
        if (static_cast<uint32_t>(GetChunkedArrayItem(a, i - 1)) > static_cast<uint32_t>(GetChunkedArrayItem(a, i))) {
          w->ok = false;
          break;
        }
      w->ok = w->ok && a->count == n;
      FreeChunkedArray(a);
    }
    return nullptr;
  };
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, 256 * 1024), 0);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attr, run, &work), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  EXPECT_TRUE(work.ok);
}

TEST(ChunkedArray, ShufflesFollowTheScriptedValues) {
  ChunkedArray* a = CreateChunkedArray(2, 2, 8, 0);
  for (uint32_t i = 1; i <= 5; ++i) ASSERT_EQ(AppendChunkedArray(a, i * 10, i), 0);
  {
    // i = 4: j = 7 mod 4 = 3; i = 3: j = 5 mod 3 = 2; i = 2: j = 1; i = 1: j = 0.
    ScriptedRandom script({7, 5, 3, 100});
    ShuffleChunkedArray(a, nullptr);
  }
  EXPECT_EQ(Items(a), (std::vector<int32_t>{50, 10, 20, 30, 40}));
  EXPECT_EQ(GetChunkedArrayWeight(a, 0), 5u);  // whole records move
  // Two records always exchange.
  ChunkedArray* two = Filled(2);
  {
    ScriptedRandom script({12345});
    ShuffleChunkedArray(two, nullptr);
  }
  EXPECT_EQ(Items(two), (std::vector<int32_t>{2, 1}));
  ChunkedArray* one = Filled(1);
  ShuffleChunkedArray(one, nullptr);
  EXPECT_EQ(Items(one), (std::vector<int32_t>{1}));
  FreeChunkedArray(a);
  FreeChunkedArray(two);
  FreeChunkedArray(one);

  int32_t ids[4] = {1, 2, 3, 4};
  {
    // d = 4: j = 1 <-> 3; d = 3: j = 0 <-> 2; d = 2: j = 1 <-> 1.
    ScriptedRandom script({5, 6, 1});
    ShuffleIdArray(ids, 4, nullptr);
  }
  EXPECT_EQ(std::vector<int32_t>(ids, ids + 4), (std::vector<int32_t>{3, 4, 1, 2}));
  int32_t pair[2] = {1, 2};
  {
    ScriptedRandom script({1, 2});
    ShuffleIdArray(pair, 2, nullptr);  // bit 1 clear: stays
    EXPECT_EQ(pair[0], 1);
    ShuffleIdArray(pair, 2, nullptr);  // bit 1 set: exchanged
    EXPECT_EQ(pair[0], 2);
  }
}

// Every allocation of creation is checked: any one that fails gives no
// array and leaves nothing allocated; a chunk that cannot be had leaves the
// array as it was.
TEST(ChunkedArray, FailedAllocationsLeaveNothingBehind) {
  const SIZE_T before = GetLocalHeapBlockCount();
  for (DWORD nth = 1; nth <= 5; ++nth) {
    SCOPED_TRACE(nth);
    SetLocalHeapFailure(nth, 1);
    EXPECT_EQ(CreateChunkedArray(2, 4, 8, 1), nullptr);
    ClearLocalHeapFailure();
    EXPECT_EQ(GetLocalHeapBlockCount(), before);
  }
  ChunkedArray* a = Filled(4);
  SetLocalHeapFailure(1, 1);
  EXPECT_EQ(AppendChunkedArray(a, 5, 0), 1);
  ClearLocalHeapFailure();
  EXPECT_EQ(a->count, 4);
  EXPECT_EQ(a->chunkCount, 1);
  EXPECT_EQ(AppendChunkedArray(a, 5, 0), 0);
  EXPECT_EQ(Items(a), (std::vector<int32_t>{1, 2, 3, 4, 5}));
  FreeChunkedArray(a);
  EXPECT_EQ(GetLocalHeapBlockCount(), before);
}
