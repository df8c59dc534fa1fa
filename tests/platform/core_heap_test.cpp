#include <cstring>

#include "core_fixture.h"

namespace {

using HeapTest = CoreTest;

TEST_F(HeapTest, ZeroInitAndSize) {
  const SIZE_T before = GetLocalHeapBlockCount();
  auto* p = static_cast<BYTE*>(LocalAlloc(LPTR, 100));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(LocalSize(p), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(p[i], 0) << i;
  EXPECT_EQ(GetLocalHeapBlockCount(), before + 1);
  EXPECT_EQ(LocalFree(p), nullptr);
  EXPECT_EQ(GetLocalHeapBlockCount(), before);
  EXPECT_EQ(LocalFree(nullptr), nullptr);
}

TEST_F(HeapTest, MoveableGrowthKeepsDataAndZeroesTheNewPart) {
  auto* p = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, 16));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 16; ++i) p[i] = static_cast<BYTE>(i + 1);
  auto* q = static_cast<BYTE*>(LocalReAlloc(p, 4096, LMEM_MOVEABLE | LMEM_ZEROINIT));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(LocalSize(q), 4096u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(q[i], i + 1);
  for (int i = 16; i < 4096; ++i) ASSERT_EQ(q[i], 0) << i;
  // Shrinking never moves.
  EXPECT_EQ(LocalReAlloc(q, 8, 0), q);
  EXPECT_EQ(LocalSize(q), 8u);
  LocalFree(q);
}

TEST_F(HeapTest, FixedGrowthFailsAndLeavesTheBlock) {
  auto* p = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, 8));
  std::memset(p, 7, 8);
  EXPECT_EQ(LocalReAlloc(p, 64, 0), nullptr);
  EXPECT_EQ(LocalSize(p), 8u);
  EXPECT_EQ(p[7], 7);
  LocalFree(p);
}

TEST_F(HeapTest, InjectedFailuresHitTheNthAllocationOnly) {
  SetLocalHeapFailure(2, 2);
  void* a = LocalAlloc(LMEM_FIXED, 10);
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(LocalAlloc(LMEM_FIXED, 10), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  // A failing reallocation keeps the old block and size.
  auto* grown = LocalReAlloc(a, 100, LMEM_MOVEABLE);
  EXPECT_EQ(grown, nullptr);
  EXPECT_EQ(LocalSize(a), 10u);
  void* b = LocalAlloc(LMEM_FIXED, 10);
  EXPECT_NE(b, nullptr);
  LocalFree(a);
  LocalFree(b);
}

}  // namespace
