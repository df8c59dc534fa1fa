// The import log and its undo, the word-list positions and the line index.
#include <atomic>
#include <thread>

#include "tests/engine_userdict/userdict_fixture.h"

namespace {

using ImportTest = UserDictTest;

std::vector<int32_t> AddRun(DictEngine* engine, uint16_t slot, const std::vector<const char16_t*>& words) {
  std::vector<int32_t> uids;
  EXPECT_EQ(BeginUserDictImport(engine, slot), 0);
  for (const char16_t* w : words) uids.push_back(AddUserDictEntry(engine, slot, w, nullptr, nullptr, w));
  EXPECT_EQ(EndUserDictImport(engine, slot), 0);
  return uids;
}

TEST_F(ImportTest, ImportsAreUndoneNewestFirstWithoutATrace) {
  const uint16_t en = NewDict(kLanguageEnglish);
  uint32_t start = 0, end = 0, count = 0;
  EXPECT_EQ(GetLastUserDictImport(engine, en, &start, &end, &count), 1);
  const int32_t byHand = AddUserDictEntry(engine, en, u"kept", nullptr, nullptr, nullptr);
  const auto first = AddRun(engine, en, {u"one", u"two", u"three"});
  AdvanceVirtualClock(60000);
  const auto second = AddRun(engine, en, {u"four", u"five"});
  EXPECT_EQ(GetUserDictEntryCount(engine, en), 6);
  ASSERT_EQ(GetLastUserDictImport(engine, en, &start, &end, &count), 0);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(start, GetUtcSeconds());
  EXPECT_EQ(Rows(en, "SELECT startentry || '-' || endentry FROM sorvi_dict_imports ORDER BY id"),
            (std::vector<std::string>{std::to_string(first[0]) + "-" + std::to_string(first[2]),
                                      std::to_string(second[0]) + "-" + std::to_string(second[1])}));

  GetUserDictEntryAtLine(engine, en, 0);  // something in the line cache
  EXPECT_EQ(UndoLastUserDictImport(engine, en), 0);
  EXPECT_EQ(Slot(en)->cachedLine, -1);
  EXPECT_EQ(GetUserDictEntryCount(engine, en), 4);
  EXPECT_EQ(Property(en, "EntryCount"), "4");
  for (int32_t uid : second) EXPECT_EQ(IndexRows(en, uid), 0) << uid;
  ASSERT_EQ(GetLastUserDictImport(engine, en, &start, &end, &count), 0);
  EXPECT_EQ(count, 3u);

  EXPECT_EQ(UndoLastUserDictImport(engine, en), 0);
  EXPECT_EQ(UndoLastUserDictImport(engine, en), 1);  // nothing left to undo
  EXPECT_EQ(Rows(en, "SELECT word FROM sorvi_dict_entries"), std::vector<std::string>{"kept"});
  EXPECT_EQ(Rows(en, "SELECT uid FROM sorvi_dict_alphadex"), std::vector<std::string>{std::to_string(byHand)});
  EXPECT_EQ(Count(en, "sorvi_dict_imports"), 0);
  EXPECT_EQ(GetUserDictEntryCount(engine, en), 1);
}

TEST_F(ImportTest, ChineseUndoTakesThePositionRows) {
  const uint16_t zh = NewDict(kLanguageChinese);
  ASSERT_EQ(BeginUserDictImport(engine, zh), 0);
  const int32_t a = AddUserDictEntry(engine, zh, u"中国", nullptr, u"zhong1guo2", nullptr);
  const int32_t b = AddUserDictEntry(engine, zh, u"人", u"人", u"ren2", nullptr);
  ASSERT_EQ(EndUserDictImport(engine, zh), 0);
  EXPECT_EQ(IndexRows(zh, a) + IndexRows(zh, b), 4 + 2);
  EXPECT_EQ(UndoLastUserDictImport(engine, zh), 0);
  int64_t rows = 0;
  for (const char* kind : {"hz", "py"})
    for (int n = 1; n <= 4; ++n) rows += Count(zh, std::string("sorvi_dict_posdex_") + kind + "_" + std::to_string(n));
  EXPECT_EQ(rows, 0);
  EXPECT_EQ(Count(zh, "sorvi_dict_entries"), 0);
}

TEST_F(ImportTest, UndoThatFailsChangesNothing) {
  const uint16_t en = NewDict(kLanguageEnglish);
  AddRun(engine, en, {u"one", u"two"});
  Exec(en, "CREATE TRIGGER stop BEFORE DELETE ON sorvi_dict_alphadex BEGIN SELECT RAISE(ABORT, 'no'); END");
  EXPECT_EQ(UndoLastUserDictImport(engine, en), SQLITE_CONSTRAINT);
  EXPECT_EQ(Count(en, "sorvi_dict_entries"), 2);
  EXPECT_EQ(Count(en, "sorvi_dict_imports"), 1);
  EXPECT_EQ(GetUserDictEntryCount(engine, en), 2);
  EXPECT_EQ(Property(en, "EntryCount"), "2");
  Exec(en, "DROP TRIGGER stop");
  EXPECT_EQ(UndoLastUserDictImport(engine, en), 0);
  EXPECT_EQ(Count(en, "sorvi_dict_entries"), 0);
  // A reversed range is no usable record.
  Exec(en, "INSERT INTO sorvi_dict_imports (starttime, endtime, startentry, endentry) VALUES (1, 1, 9, 3)");
  EXPECT_EQ(UndoLastUserDictImport(engine, en), 1);
}

// A word list sorted by a column that holds equal values.
class LineTest : public UserDictTest {
 protected:
  void SetUp() override {
    UserDictTest::SetUp();
    en = NewDict(kLanguageEnglish);
    // Interleaved so that uid order differs from word order.
    for (const char16_t* w : {u"b", u"a", u"b", u"a", u"c", u"b", u"a"})
      uids.push_back(AddUserDictEntry(engine, en, w, nullptr, nullptr, nullptr));
    // Word order with uid as the tie-break: a a a b b b c.
    expected = {uids[1], uids[3], uids[6], uids[0], uids[2], uids[5], uids[4]};
  }
  void SortBy(uint32_t method) {
    Slot(en)->sortMethod = method;
    ClearUserDictLineCache(Slot(en));
  }
  uint16_t en = 0;
  std::vector<int32_t> uids;
  std::vector<int32_t> expected;
};

TEST_F(LineTest, EveryLineOnceInEitherDirection) {
  SortBy(2);  // by word, which repeats
  const int32_t n = static_cast<int32_t>(expected.size());
  for (int32_t line = 0; line < n; ++line) EXPECT_EQ(GetUserDictEntryAtLine(engine, en, line), expected[line]) << line;
  for (int32_t line = n - 1; line >= 0; --line)
    EXPECT_EQ(GetUserDictEntryAtLine(engine, en, line), expected[line]) << line;
  // Jumps from the cached entry.
  for (int32_t line : {0, 5, 2, 6, 1, 4, 3})
    EXPECT_EQ(GetUserDictEntryAtLine(engine, en, line), expected[line]) << line;
  for (int32_t line = 0; line < n; ++line) EXPECT_EQ(GetUserDictLineOfEntry(engine, en, expected[line]), line);
  EXPECT_EQ(GetUserDictEntryAtLine(engine, en, n), -1);
  EXPECT_EQ(GetUserDictLineOfEntry(engine, en, 999), -1);
  // The cache keeps its old pair after a miss.
  EXPECT_EQ(GetUserDictEntryAtLine(engine, en, 3), expected[3]);
  EXPECT_EQ(GetUserDictEntryAtLine(engine, en, 99), -1);
  EXPECT_EQ(Slot(en)->cachedLine, 3);
}

TEST_F(LineTest, SortMethodsChooseTheColumn) {
  struct Case {
    uint32_t method;
    uint32_t column;
  } cases[] = {{0, kUdSortKey}, {1, kUdUid}, {2, kUdWord}, {3, kUdAltWord}, {4, kUdPron}, {9, kUdUid}};
  for (const Case& c : cases) {
    SortBy(c.method);
    EXPECT_EQ(GetUserDictSortColumn(Slot(en)), c.column) << c.method;
  }
  SortBy(1);
  EXPECT_EQ(GetUserDictEntryAtLine(engine, en, 2), uids[2]);
  SortBy(0);  // sort keys: a, a<time>, ...
  EXPECT_EQ(GetUserDictEntryAtLine(engine, en, 0), uids[1]);
  EXPECT_EQ(GetUserDictEntryAtLine(engine, en, 6), uids[4]);
}

TEST_F(LineTest, LockingKeepsALineIndex) {
  SortBy(2);
  std::vector<uint32_t> progress;
  UserDictProgress report{
      [](void* c, uint32_t kind, uint32_t done) {
        EXPECT_EQ(kind, 1u);
        static_cast<std::vector<uint32_t>*>(c)->push_back(done);
      },
      &progress};
  ASSERT_EQ(SetUserDictEditLock(engine, en, 1, &report), 0);
  EXPECT_EQ(progress.size(), expected.size());
  EXPECT_EQ(Slot(en)->lineIndex, 1);
  std::vector<std::string> lines;
  for (int32_t uid : expected) lines.push_back(std::to_string(uid));
  EXPECT_EQ(Rows(en, "SELECT uid FROM sorvi_dict_lineindex ORDER BY line"), lines);
  for (int32_t line = 0; line < static_cast<int32_t>(expected.size()); ++line) {
    EXPECT_EQ(GetUserDictEntryAtLine(engine, en, line), expected[line]);
    EXPECT_EQ(GetUserDictLineOfEntry(engine, en, expected[line]), line);
  }
  EXPECT_EQ(SetUserDictEditLock(engine, en, 1, nullptr), 0);  // already locked: nothing
  ASSERT_EQ(SetUserDictEditLock(engine, en, 0, nullptr), 0);
  EXPECT_EQ(One(en, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'sorvi_dict_lineindex'"), "0");
  EXPECT_EQ(Property(en, "EditLock"), "NULL");
  EXPECT_EQ(Slot(en)->editLock, 0u);
  EXPECT_EQ(Slot(en)->lineIndex, 0);
  EXPECT_GT(AddUserDictEntry(engine, en, u"d", nullptr, nullptr, nullptr), 0);
}

TEST_F(ImportTest, LineIndexOfManyEntriesAndALockThatFails) {
  const uint16_t en = NewDict(kLanguageEnglish);
  Exec(en, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) "
           "INSERT INTO sorvi_dict_entries (word, sortkey) SELECT 'w' || i, printf('%05d', i) FROM n");
  ASSERT_EQ(SetUserDictEditLock(engine, en, 1, nullptr), 0);
  EXPECT_EQ(Count(en, "sorvi_dict_lineindex"), 1200);
  EXPECT_EQ(One(en, "SELECT uid FROM sorvi_dict_lineindex WHERE line = 1199"), "1200");
  ASSERT_EQ(SetUserDictEditLock(engine, en, 0, nullptr), 0);

  // Killed at row 700: the dictionary stays unlocked and without index.
  struct Kill {
    sqlite3* conn;
  } kill{Conn(en)};
  UserDictProgress report{[](void* c, uint32_t, uint32_t done) {
                            if (done != 700) return;
                            sqlite3_exec(static_cast<Kill*>(c)->conn,
                                         "CREATE TEMP TRIGGER stop AFTER INSERT ON main.sorvi_dict_lineindex "
                                         "BEGIN SELECT RAISE(ABORT, 'no'); END",
                                         nullptr, nullptr, nullptr);
                          },
                          &kill};
  EXPECT_EQ(SetUserDictEditLock(engine, en, 1, &report), SQLITE_CONSTRAINT);
  EXPECT_EQ(Slot(en)->editLock, 0u);
  EXPECT_EQ(Slot(en)->lineIndex, 0);
  EXPECT_EQ(Property(en, "EditLock"), "NULL");
  EXPECT_EQ(One(en, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'sorvi_dict_lineindex'"), "0");
}

// The import thread and the UI thread share the dictionary's database:
// every call composes, runs and reads under the engine lock.
TEST_F(ImportTest, ImportThreadAndReaderShareTheDatabase) {
  const uint16_t en = NewDict(kLanguageEnglish);
  const int32_t first = AddUserDictEntry(engine, en, u"first", nullptr, nullptr, nullptr);
  std::atomic<bool> done{false};
  int failedSaves = 0;
  std::thread importer([&] {
    BeginUserDictImport(engine, en);
    for (int i = 0; i < 200; ++i) {
      std::u16string word = u"word";
      word += static_cast<char16_t>(u'a' + i % 26);
      word += static_cast<char16_t>(u'a' + i / 26);
      if (AddUserDictEntry(engine, en, word.c_str(), nullptr, nullptr, u"imported") < 0) ++failedSaves;
    }
    EndUserDictImport(engine, en);
    done = true;
  });
  int reads = 0;
  while (!done) {
    EXPECT_EQ(HasUserDictEntry(engine, en, first), 1);
    EXPECT_GE(GetUserDictEntryAtLine(engine, en, 0), 1);
    ++reads;
  }
  importer.join();
  EXPECT_EQ(failedSaves, 0);
  EXPECT_GT(reads, 0);
  EXPECT_EQ(Count(en, "sorvi_dict_entries"), 201);
  EXPECT_EQ(Count(en, "sorvi_dict_alphadex"), 201);
  uint32_t start = 0, end = 0, count = 0;
  ASSERT_EQ(GetLastUserDictImport(engine, en, &start, &end, &count), 0);
  EXPECT_EQ(count, 200u);
}

}  // namespace
