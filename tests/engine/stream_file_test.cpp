#include <gtest/gtest.h>

#include <cstring>

#include "engine/stream_file.h"
#include "platform/files.h"
#include "tests/support/temp_device_root.h"

namespace {

constexpr const char16_t* kFolder = u"\\Program Files\\Sorvi";
constexpr const char16_t* kSessionPath = u"\\Program Files\\Sorvi\\Sorvi Saved Flash Session";
constexpr const char16_t* kBookmarksPath = u"\\Program Files\\Sorvi\\Sorvi Reader Bookmarks";

bool Exists(const char16_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

class StreamFileTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(GetOpenFileHandleCount(), handlesBefore_); }
  TempDeviceRoot root_;
  DWORD handlesBefore_ = GetOpenFileHandleCount();
};

TEST_F(StreamFileTest, CreateMakesTheMissingFolder) {
  ASSERT_FALSE(Exists(kFolder));
  AppStreamFile* f = OpenAppStreamFile(kStreamSavedFlashSession, 1, 0);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->kind, kStreamSavedFlashSession);
  EXPECT_TRUE(GetFileAttributesW(kFolder) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(Exists(kSessionPath));
  EXPECT_FALSE(Exists(kBookmarksPath));
  EXPECT_EQ(CloseAppStreamFile(f), 0);
}

TEST_F(StreamFileTest, MustExistOnAMissingFileCreatesNothing) {
  EXPECT_EQ(OpenAppStreamFile(kStreamReaderBookmarks, 0, 1), nullptr);
  EXPECT_FALSE(Exists(kBookmarksPath));
  EXPECT_FALSE(Exists(kFolder));
  EXPECT_EQ(OpenAppStreamFile(0, 1, 0), nullptr);
  EXPECT_EQ(OpenAppStreamFile(3, 1, 0), nullptr);
}

TEST_F(StreamFileTest, WriteSeekReadAndEnd) {
  AppStreamFile* f = OpenAppStreamFile(kStreamReaderBookmarks, 1, 0);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(IsAppStreamFileAtEnd(f));  // empty right after opening
  const uint32_t values[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(WriteAppStreamFile(values, sizeof(uint32_t), 6, f), 0);
  EXPECT_EQ(TellAppStreamFile(f), 24u);
  EXPECT_TRUE(IsAppStreamFileAtEnd(f));
  EXPECT_EQ(CloseAppStreamFile(f), 0);

  f = OpenAppStreamFile(kStreamReaderBookmarks, 0, 1);
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(IsAppStreamFileAtEnd(f));
  uint32_t back[4] = {};
  EXPECT_EQ(SeekAppStreamFile(f, 8), 0);
  EXPECT_EQ(ReadAppStreamFile(back, sizeof(uint32_t), 2, f), 0);
  EXPECT_EQ(back[0], 3u);
  EXPECT_EQ(back[1], 4u);

  // 16 bytes asked 8 bytes before the end: a short read.
  EXPECT_EQ(SeekAppStreamFile(f, 16), 0);
  EXPECT_EQ(ReadAppStreamFile(back, 16, 1, f), 1);
  EXPECT_TRUE(IsAppStreamFileAtEnd(f));

  EXPECT_EQ(SeekAppStreamFileToEnd(f), 0);
  EXPECT_EQ(TellAppStreamFile(f), 24u);
  EXPECT_EQ(ReadAppStreamFile(back, 1, 1, f), 1);
  EXPECT_EQ(ReadAppStreamFile(back, 0, 5, f), 0);  // nothing asked, nothing missing
  EXPECT_EQ(CloseAppStreamFile(f), 0);

  // Create replaces the old contents.
  f = OpenAppStreamFile(kStreamReaderBookmarks, 1, 0);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(IsAppStreamFileAtEnd(f));
  EXPECT_EQ(CloseAppStreamFile(f), 0);
}

TEST_F(StreamFileTest, OverflowingSizesAreRefused) {
  AppStreamFile* f = OpenAppStreamFile(kStreamSavedFlashSession, 1, 0);
  ASSERT_NE(f, nullptr);
  char byte = 0;
  EXPECT_EQ(ReadAppStreamFile(&byte, SIZE_MAX / 2, 4, f), 1);
  EXPECT_EQ(WriteAppStreamFile(&byte, SIZE_MAX / 2, 4, f), 1);
  EXPECT_EQ(TellAppStreamFile(f), 0u);
  EXPECT_EQ(CloseAppStreamFile(f), 0);
}

TEST_F(StreamFileTest, Delete) {
  EXPECT_EQ(DeleteAppStreamFile(kStreamSavedFlashSession), 1);  // nothing there
  AppStreamFile* f = OpenAppStreamFile(kStreamSavedFlashSession, 1, 0);
  ASSERT_NE(f, nullptr);
  CloseAppStreamFile(f);
  EXPECT_EQ(DeleteAppStreamFile(kStreamSavedFlashSession), 0);
  EXPECT_FALSE(Exists(kSessionPath));
  EXPECT_EQ(DeleteAppStreamFile(7), 1);
}

}  // namespace
