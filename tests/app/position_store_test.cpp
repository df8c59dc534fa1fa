// The reader's position store over a file of the test's own device root:
// the layout it writes, the records it keeps and replaces, and how it
// treats a file whose numbers cannot be trusted.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/reader_position_store.h"
#include "engine/dict_engine.h"
#include "engine/engine_time.h"
#include "engine/stream_file.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/heap.h"
#include "tests/app/store_file.h"
#include "tests/support/temp_device_root.h"
#include "tests/support/utf16_print.h"
#include "tests/support/virtual_clock.h"

namespace {

using storefile::Bytes;

class PositionStore : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallTestClock();
    engine_ = new DictEngine{};
  }
  void TearDown() override {
    ClearFileErrorInjection();
    CloseReaderPositionStore(engine_);
    delete engine_;
    UninstallVirtualClock();
  }

  // The store file's host path (made by the first open).
  std::filesystem::path File() const { return storefile::StorePath(root_); }
  Bytes Read() const { return storefile::ReadBytes(File()); }
  void Write(const Bytes& b) { storefile::WriteBytes(root_, b); }
  void Reopen() {
    CloseReaderPositionStore(engine_);
    OpenReaderPositionStore(engine_);
  }

  static DocumentKey Key(const std::u16string& name, uint32_t kind = kKeyTextFile) {
    DocumentKey k{};
    for (size_t i = 0; i < name.size() && i + 1 < kDocumentKeyNameChars; ++i) k.name[i] = name[i];
    k.kind = kind;
    return k;
  }
  static Bookmark Mark(const std::u16string& name, uint32_t position) {
    Bookmark b{};
    for (size_t i = 0; i < name.size() && i + 1 < kBookmarkNameChars; ++i) b.name[i] = name[i];
    b.position = position;
    return b;
  }
  // Loads the key's slots; the array is freed here.
  int32_t Load(const DocumentKey& key, std::vector<Bookmark>* out = nullptr) {
    Bookmark* slots = nullptr;
    int32_t capacity = 0;
    const int32_t n = LoadDocumentBookmarks(engine_, &key, &slots, &capacity);
    EXPECT_EQ(capacity, 32);
    EXPECT_NE(slots, nullptr);
    if (out && slots) out->assign(slots, slots + n);
    LocalFree(slots);
    return n;
  }
  int32_t Find(const DocumentKey& key) { return FindPositionRecord(engine_, &key); }
  int Save(const DocumentKey& key, std::vector<Bookmark> slots) {
    return SaveDocumentBookmarks(engine_, &key, slots.data(), static_cast<int32_t>(slots.size()));
  }

  TempDeviceRoot root_;
  DictEngine* engine_ = nullptr;
};

TEST_F(PositionStore, AFirstRunWritesTheHeaderAlone) {
  EXPECT_EQ(OpenReaderPositionStore(engine_), 0);
  ASSERT_NE(engine_->readerPositionStore, nullptr);
  EXPECT_EQ(Read(), storefile::Header(2, 0, 2208));
}

TEST_F(PositionStore, BookmarksComeBackInTheirOrderAfterReopening) {
  OpenReaderPositionStore(engine_);
  const std::vector<Bookmark> marks = {Mark(u"", 777), Mark(u"第一", 10), Mark(u"zwei", 5000), Mark(u"three", 20)};
  ASSERT_EQ(Save(Key(u"a.txt"), marks), 0);
  Reopen();
  std::vector<Bookmark> back;
  ASSERT_EQ(Load(Key(u"a.txt"), &back), 4);
  for (size_t i = 0; i < marks.size(); ++i) {
    EXPECT_EQ(std::u16string(back[i].name), std::u16string(marks[i].name)) << i;
    EXPECT_EQ(back[i].position, marks[i].position) << i;
  }
  const Bytes file = Read();
  ASSERT_EQ(file.size(), 12u + 2208u);
  EXPECT_EQ(storefile::Le32(file, 4), 1u);
  EXPECT_EQ(storefile::Le32(file, 12 + 152), 4u);   // in use
  EXPECT_EQ(storefile::Le32(file, 12 + 156), 32u);  // capacity
  // Slot layout: a 30-unit name, the position at byte 60, zeros beyond.
  EXPECT_EQ(storefile::Le32(file, 12 + 160 + 64 + 60), 10u);
  for (size_t i = 12 + 160 + 4 * 64; i < file.size(); ++i) ASSERT_EQ(file[i], 0) << i;
}

TEST_F(PositionStore, KeysMatchByKind) {
  struct Case {
    const char* what;
    DocumentKey a, b;
    bool match;
  };
  DocumentKey db1 = Key(u"x", kKeyDatabaseDocument), db2 = Key(u"y", kKeyDatabaseDocument);
  db1.firstId = db2.firstId = 7;
  db1.secondId = db2.secondId = 9;
  DocumentKey db3 = db1;
  db3.secondId = 8;
  const Case cases[] = {
      {"a text file by its name alone", Key(u"a.txt"), Key(u"a.txt"), true},
      {"names compare exactly, case included", Key(u"a.txt"), Key(u"A.txt"), false},
      {"kinds must agree", Key(u"a.txt"), Key(u"a.txt", kKeyMemoryText), false},
      {"a database document by both ids, not its name", db1, db2, true},
      {"one id differing", db1, db3, false},
  };
  for (const Case& c : cases) EXPECT_EQ(DocumentKeysMatch(&c.a, &c.b), c.match) << c.what;
}

TEST_F(PositionStore, TheSixtyFifthDocumentTakesTheLeastRecentlyUsedRecord) {
  OpenReaderPositionStore(engine_);
  for (int i = 0; i < 64; ++i) {
    ASSERT_EQ(Save(Key(u"doc" + Utf8ToUtf16(std::to_string(i))), {Mark(u"", static_cast<uint32_t>(i))}), 0);
    // Documents 10 and 11 share the oldest time once the others move on.
    if (i != 10) AdvanceVirtualClock(2000);
  }
  // Opening refreshes last used: documents 0-9 are no longer the oldest.
  for (int i = 0; i < 10; ++i) Load(Key(u"doc" + Utf8ToUtf16(std::to_string(i))));
  ASSERT_EQ(Save(Key(u"new"), {Mark(u"", 4242)}), 0);
  const Bytes file = Read();
  EXPECT_EQ(storefile::Le32(file, 4), 64u);
  EXPECT_EQ(storefile::RecordName(file, 10), u"new");  // first of the equal times
  EXPECT_EQ(storefile::RecordName(file, 11), u"doc11");
  EXPECT_EQ(Find(Key(u"doc10")), -1);
  std::vector<Bookmark> back;
  ASSERT_EQ(Load(Key(u"new"), &back), 1);
  EXPECT_EQ(back[0].position, 4242u);
}

TEST_F(PositionStore, OpeningRefreshesLastUsedAndSavingAlsoLastSaved) {
  OpenReaderPositionStore(engine_);
  const uint32_t t0 = GetUtcSeconds();
  ASSERT_EQ(Save(Key(u"a.txt"), {Mark(u"", 1)}), 0);
  Bytes file = Read();
  EXPECT_EQ(storefile::Le32(file, 12 + 140), t0);  // created
  EXPECT_EQ(storefile::Le32(file, 12 + 144), t0);
  EXPECT_EQ(storefile::Le32(file, 12 + 148), t0);
  AdvanceVirtualClock(60000);
  Load(Key(u"a.txt"));
  file = Read();
  EXPECT_EQ(storefile::Le32(file, 12 + 144), t0);
  EXPECT_EQ(storefile::Le32(file, 12 + 148), t0 + 60);
  AdvanceVirtualClock(60000);
  ASSERT_EQ(Save(Key(u"a.txt"), {Mark(u"", 2)}), 0);
  file = Read();
  EXPECT_EQ(storefile::Le32(file, 12 + 140), t0);
  EXPECT_EQ(storefile::Le32(file, 12 + 144), t0 + 120);
  EXPECT_EQ(storefile::Le32(file, 12 + 148), t0 + 120);
}

TEST_F(PositionStore, MemoryTextsNeverTouchTheFile) {
  OpenReaderPositionStore(engine_);
  ASSERT_EQ(Save(Key(u"a.txt"), {Mark(u"", 1)}), 0);
  const Bytes before = Read();
  const DocumentKey clip = Key(u"", kKeyMemoryText);
  EXPECT_EQ(Save(clip, {Mark(u"", 99)}), 0);
  EXPECT_EQ(Load(clip), 0);
  EXPECT_EQ(FindPositionRecord(engine_, &clip), -1);
  EXPECT_EQ(Read(), before);
}

// A header this code does not own: no store, the file as it was.
TEST_F(PositionStore, AForeignHeaderLeavesTheStoreAbsentAndTheFileUntouched) {
  struct Case {
    const char* what;
    uint32_t version, count, stride;
  };
  const Case cases[] = {
      {"version 3", 3, 1, 2208},
      {"stride below the head", 2, 1, 100},
      {"stride of another layout", 2, 1, 3000},
      {"more than 64 records", 2, 65, 2208},
  };
  for (const Case& c : cases) {
    Bytes bytes = storefile::Header(c.version, c.count, c.stride);
    storefile::AppendRecord(&bytes, u"a.txt", kKeyTextFile, 1, 1);
    Write(bytes);
    EXPECT_EQ(OpenReaderPositionStore(engine_), 1) << c.what;
    EXPECT_EQ(engine_->readerPositionStore, nullptr) << c.what;
    EXPECT_EQ(Load(Key(u"a.txt")), 0) << c.what;
    EXPECT_EQ(Save(Key(u"a.txt"), {Mark(u"", 5)}), 1) << c.what;
    EXPECT_EQ(Read(), bytes) << c.what;
  }
}

// Capacity and in-use words of a record are the file's: they bound nothing.
TEST_F(PositionStore, ARecordsOwnCountsNeverReachBeyondItsSlots) {
  for (uint32_t capacity : {0u, 1u, 1000u, 0xFFFFFFFFu}) {
    Bytes bytes = storefile::Header(2, 2, 2208);
    storefile::AppendRecord(&bytes, u"a.txt", kKeyTextFile, 40, capacity);
    storefile::AppendRecord(&bytes, u"b.txt", kKeyTextFile, 1, 32, 0xAB);
    Write(bytes);
    ASSERT_EQ(OpenReaderPositionStore(engine_), 0);
    std::vector<Bookmark> back;
    EXPECT_EQ(Load(Key(u"a.txt"), &back), 32) << capacity;
    EXPECT_EQ(Save(Key(u"a.txt"), std::vector<Bookmark>(40, Mark(u"x", 3))), 0);
    const Bytes after = Read();
    ASSERT_EQ(after.size(), bytes.size());
    EXPECT_EQ(storefile::Le32(after, 12 + 152), 32u) << capacity;
    EXPECT_EQ(storefile::Le32(after, 12 + 156), 32u) << capacity;
    EXPECT_TRUE(std::equal(bytes.begin() + 12 + 2208, bytes.end(), after.begin() + 12 + 2208)) << capacity;
    CloseReaderPositionStore(engine_);
  }
}

TEST_F(PositionStore, ACutFileLoadsTheWholeRecordsOnly) {
  Bytes bytes = storefile::Header(2, 5, 2208);
  for (int i = 0; i < 5; ++i)
    storefile::AppendRecord(&bytes, u"d" + Utf8ToUtf16(std::to_string(i)), kKeyTextFile, 2, 32);
  bytes.resize(12 + 3 * 2208 + 1000);  // inside record 3
  Write(bytes);
  ASSERT_EQ(OpenReaderPositionStore(engine_), 0);
  for (int i = 0; i < 5; ++i) {
    const DocumentKey k = Key(u"d" + Utf8ToUtf16(std::to_string(i)));
    EXPECT_EQ(FindPositionRecord(engine_, &k), i < 3 ? i : -1) << i;
    EXPECT_EQ(Load(k), i < 3 ? 2 : 0) << i;
  }
}

TEST_F(PositionStore, AFailedWriteIsReportedAndCountsNothing) {
  OpenReaderPositionStore(engine_);
  ASSERT_EQ(Save(Key(u"a.txt"), {Mark(u"", 1)}), 0);
  const Bytes before = Read();
  InjectFileError(FileCall::WriteFile, 1, ERROR_DISK_FULL);
  EXPECT_EQ(Save(Key(u"b.txt"), {Mark(u"", 2)}), 1);
  ClearFileErrorInjection();
  const Bytes after = Read();
  EXPECT_EQ(storefile::Le32(after, 4), 1u);
  EXPECT_EQ(Find(Key(u"b.txt")), -1);
  // The count is written after the record: failing there leaves the record
  // written but uncounted, never a counted record that was not written.
  InjectFileError(FileCall::WriteFile, 2, ERROR_DISK_FULL);
  EXPECT_EQ(Save(Key(u"c.txt"), {Mark(u"", 3)}), 1);
  ClearFileErrorInjection();
  EXPECT_EQ(storefile::Le32(Read(), 4), 1u);
  EXPECT_EQ(Save(Key(u"c.txt"), {Mark(u"", 3)}), 0);
  EXPECT_EQ(storefile::Le32(Read(), 4), 2u);
  (void)before;
}

TEST_F(PositionStore, AnEmptyFileIsAStoreWhoseCreationWasCut) {
  Write({});
  EXPECT_EQ(OpenReaderPositionStore(engine_), 0);
  EXPECT_EQ(Read(), storefile::Header(2, 0, 2208));
}

}  // namespace
