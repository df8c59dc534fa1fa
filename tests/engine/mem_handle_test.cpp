#include <gtest/gtest.h>

#include <cstring>

#include "engine/builtin_tables.h"
#include "engine/mem_handle.h"
#include "platform/heap.h"

namespace {

TEST(MemHandle, NewIsZeroFilledAndUnmarked) {
  MemHandle* h = NewMemHandle(64);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GetMemHandleSize(h), 64u);
  EXPECT_EQ(GetMemHandleLockCount(h), 0);
  EXPECT_EQ(h->MemHandleFromStore, 0);
  EXPECT_EQ(h->MemHandleBorrowed, 0);
  const auto* p = static_cast<const unsigned char*>(h->data);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0) << i;
  FreeMemHandle(h);
}

TEST(MemHandle, LockCounting) {
  MemHandle* h = NewMemHandle(8);
  ASSERT_NE(h, nullptr);
  void* a = LockMemHandle(h);
  void* b = LockMemHandle(h);
  EXPECT_EQ(a, h->data);
  EXPECT_EQ(a, b);
  EXPECT_EQ(UnlockMemHandle(h), 0);
  EXPECT_EQ(GetMemHandleLockCount(h), 1);
  UnlockMemHandle(h);
  EXPECT_EQ(GetMemHandleLockCount(h), 0);
  FreeMemHandle(h);
}

TEST(MemHandle, ResizeKeepsDataAndZeroFillsTheGrowth) {
  MemHandle* h = NewMemHandle(4);
  ASSERT_NE(h, nullptr);
  std::memcpy(LockMemHandle(h), "abcd", 4);
  UnlockMemHandle(h);
  ASSERT_EQ(ResizeMemHandle(h, 4096), 0);
  EXPECT_EQ(GetMemHandleSize(h), 4096u);
  const auto* p = static_cast<const char*>(h->data);
  EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
  for (int i = 4; i < 4096; ++i) ASSERT_EQ(p[i], 0) << i;
  ASSERT_EQ(ResizeMemHandle(h, 2), 0);
  EXPECT_EQ(GetMemHandleSize(h), 2u);
  EXPECT_EQ(std::memcmp(h->data, "ab", 2), 0);
  FreeMemHandle(h);
}

TEST(MemHandle, FailedResizeChangesNothing) {
  MemHandle* h = NewMemHandle(16);
  ASSERT_NE(h, nullptr);
  std::memset(h->data, 7, 16);
  void* before = h->data;
  SetLocalHeapFailure(1, 1);
  EXPECT_EQ(ResizeMemHandle(h, 1 << 20), 1);
  ClearLocalHeapFailure();
  EXPECT_EQ(h->data, before);
  EXPECT_EQ(GetMemHandleSize(h), 16u);
  EXPECT_EQ(static_cast<unsigned char*>(h->data)[15], 7);
  FreeMemHandle(h);
}

TEST(MemHandle, ExhaustedHeapGivesNullWithoutLeaks) {
  const SIZE_T blocks = GetLocalHeapBlockCount();
  SetLocalHeapFailure(2, 1);  // the handle itself, after its data
  EXPECT_EQ(NewMemHandle(8), nullptr);
  ClearLocalHeapFailure();
  EXPECT_EQ(GetLocalHeapBlockCount(), blocks);
}

TEST(MemHandle, CopyIsMarkedAndOwned) {
  const char text[] = "record";
  MemHandle* h = NewMemHandleFromCopy(text, sizeof text);
  ASSERT_NE(h, nullptr);
  EXPECT_NE(h->data, static_cast<const void*>(text));
  EXPECT_STREQ(static_cast<const char*>(h->data), "record");
  EXPECT_EQ(h->MemHandleFromStore, 1);
  EXPECT_EQ(h->MemHandleBorrowed, 0);
  const SIZE_T blocks = GetLocalHeapBlockCount();
  FreeTableHandle(h);  // frees the copy and the handle
  EXPECT_EQ(GetLocalHeapBlockCount(), blocks - 2);
}

TEST(MemHandle, TableHandleOverBorrowedDataFreesOnlyTheHandle) {
  static const unsigned char resource[6] = {1, 2, 3, 4, 5, 6};
  MemHandle* h = WrapMemHandle(const_cast<unsigned char*>(resource), sizeof resource, 1, 1);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(ResizeMemHandle(h, 100), 1);  // borrowed data is not ours to move
  const SIZE_T blocks = GetLocalHeapBlockCount();
  FreeTableHandle(h);
  EXPECT_EQ(GetLocalHeapBlockCount(), blocks - 1);
  EXPECT_EQ(resource[5], 6);
}

TEST(MemHandle, FreePointerArrayFreesTheBlocksNotTheArray) {
  void* blocks[3] = {MemAlloc(10), nullptr, MemAlloc(20)};
  const SIZE_T before = GetLocalHeapBlockCount();
  FreePointerArray(blocks, 3);
  EXPECT_EQ(GetLocalHeapBlockCount(), before - 2);
}

}  // namespace
