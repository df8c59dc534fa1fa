// Entries of user dictionaries: key forms, saving, updating, touching and
// deleting with their index rows, the refusals, and changes that fail
// half-way.
#include <atomic>
#include <thread>

#include "engine/pinyin.h"
#include "engine/sql_properties.h"
#include "tests/engine_userdict/userdict_fixture.h"

namespace {

using EntryTest = UserDictTest;

std::u16string Key(const WCHAR* text, uint32_t language) {
  WCHAR* k = MakeHeadwordKey(text, language);
  std::u16string s = k ? k : u"<none>";
  if (k) LocalFree(k);
  return s;
}

TEST_F(EntryTest, HeadwordAndPronunciationKeys) {
  struct Case {
    const char16_t* text;
    uint32_t language;
    const char16_t* key;
  } cases[] = {
      {u"  你好", kLanguageChinese, u"你@好"},
      {u"你*好$·", kLanguageChinese, u"你@好"},
      {u"卡拉OK", kLanguageChinese, u"卡@拉@O@K"},
      {u"𠀀𠀁", kLanguageChinese, u"𠀀@𠀁"},
      {u"a@b*c", kLanguageEnglish, u"abc"},
      {u"   ", kLanguageChinese, u"<none>"},
      {u"@", kLanguageEnglish, u"<none>"},
  };
  for (const Case& c : cases) EXPECT_EQ(Key(c.text, c.language), c.key) << Utf8(c.text);

  MakeEngine();
  struct PronCase {
    const char16_t* text;
    const char16_t* key;
  } prons[] = {
      {u"ni3hao3", u"ni3@hao3"},
      {u"nǐ hǎo", u"ni3 @hao3"},
      {u"Zhōngguó", u"Zhong1@guo2"},
      {u"lü4", u"lü4"},
  };
  for (const PronCase& p : prons) {
    MemHandle* h = MakePronunciationKey(engine, p.text, kLanguageChinese);
    ASSERT_NE(h, nullptr) << Utf8(p.text);
    EXPECT_EQ(U16(static_cast<const WCHAR*>(h->data)), p.key) << Utf8(p.text);
    FreeMemHandle(h);
  }
  EXPECT_EQ(MakePronunciationKey(engine, u"ni3", kLanguageEnglish), nullptr);
  EXPECT_EQ(MakePronunciationKey(engine, u"  ", kLanguageChinese), nullptr);

  WCHAR marks[] = u"a@b*c$d·e";
  StripKeyMarks(marks);
  EXPECT_EQ(U16(marks), u"abcde");

  WCHAR syllable[8];
  const WCHAR* rest = NextPinyinSyllable(engine, u"  xian4zai4", syllable);
  EXPECT_EQ(U16(syllable), u"xian4");
  EXPECT_EQ(U16(rest), u"zai4");
  EXPECT_EQ(NextPinyinSyllable(engine, rest, syllable), nullptr);
  EXPECT_EQ(U16(syllable), u"zai4");
}

TEST_F(EntryTest, ChineseEntryWithItsIndexRows) {
  const uint16_t zh = NewDict(kLanguageChinese);
  const int32_t uid = AddUserDictEntry(engine, zh, u"你好", u"你好", u"ni3hao3", u"hello");
  ASSERT_GT(uid, 0);
  const std::string where = " FROM sorvi_dict_entries WHERE uid = " + std::to_string(uid);
  EXPECT_EQ(One(zh, "SELECT word" + where), "你@好");
  EXPECT_EQ(One(zh, "SELECT altword" + where), "你@好");
  EXPECT_EQ(One(zh, "SELECT pron" + where), "ni3@hao3");
  EXPECT_EQ(One(zh, "SELECT length" + where), "2");
  EXPECT_EQ(One(zh, "SELECT sortkey" + where), "ｎｉ３你ｈａｏ３好");
  // The same traditional form is indexed once.
  EXPECT_EQ(Rows(zh, "SELECT syllable FROM sorvi_dict_posdex_hz_1"), std::vector<std::string>{"你"});
  EXPECT_EQ(Rows(zh, "SELECT length FROM sorvi_dict_posdex_hz_1"), std::vector<std::string>{"2"});
  EXPECT_EQ(Rows(zh, "SELECT syllable FROM sorvi_dict_posdex_hz_2"), std::vector<std::string>{"好"});
  EXPECT_EQ(Rows(zh, "SELECT syllable FROM sorvi_dict_posdex_py_1"), std::vector<std::string>{"ni3"});
  EXPECT_EQ(Rows(zh, "SELECT syllable FROM sorvi_dict_posdex_py_2"), std::vector<std::string>{"hao3"});
  EXPECT_EQ(IndexRows(zh, uid), 4);
  EXPECT_EQ(GetUserDictEntryCount(engine, zh), 1);
  EXPECT_EQ(Property(zh, "EntryCount"), "1");
  EXPECT_EQ(GetUserDictEntryLength(engine, zh, uid), 2);
  EXPECT_EQ(HasUserDictEntry(engine, zh, uid), 1);
  EXPECT_EQ(HasUserDictEntry(engine, zh, uid + 1), 0);

  // Six characters: four positions of each kind. A different traditional
  // form gets its own rows where it differs.
  const int32_t six = AddUserDictEntry(engine, zh, u"一二三四五六", u"一二參四五六", u"yi1er4san1si4wu3liu4", nullptr);
  EXPECT_EQ(IndexRows(zh, six), 4 + 1 + 4);
  EXPECT_EQ(Rows(zh, "SELECT syllable FROM sorvi_dict_posdex_hz_3 WHERE uid = " + std::to_string(six)),
            (std::vector<std::string>{"三", "參"}));
  EXPECT_EQ(GetUserDictEntryLength(engine, zh, six), 6);

  // Only a pronunciation, or nothing at all.
  const int32_t pronOnly = AddUserDictEntry(engine, zh, nullptr, nullptr, u"ma1", u"x");
  EXPECT_GT(pronOnly, 0);
  EXPECT_EQ(GetUserDictEntryLength(engine, zh, pronOnly), 1);
  EXPECT_EQ(AddUserDictEntry(engine, zh, u" ", nullptr, nullptr, u"only a definition"), -1);
  EXPECT_EQ(Count(zh, "sorvi_dict_entries"), 3);
}

TEST_F(EntryTest, NonBmpTextRoundTrips) {
  const uint16_t zh = NewDict(kLanguageChinese);
  const char16_t* word = u"𠀀𪚥";
  const int32_t uid = AddUserDictEntry(engine, zh, word, nullptr, nullptr, u"rare 𝄞");
  ASSERT_GT(uid, 0);
  // Real four-byte UTF-8 in the file: two characters, '@', two characters.
  EXPECT_EQ(One(zh, "SELECT length(CAST(word AS BLOB)) FROM sorvi_dict_entries"), "9");
  EXPECT_EQ(GetUserDictEntryLength(engine, zh, uid), 2);
  // Each character keeps its own place in the position tables.
  EXPECT_EQ(Rows(zh, "SELECT syllable FROM sorvi_dict_posdex_hz_1"), std::vector<std::string>{"𠀀"});
  EXPECT_EQ(Rows(zh, "SELECT syllable FROM sorvi_dict_posdex_hz_2"), std::vector<std::string>{"𪚥"});
  MemHandle* w = nullptr;
  MemHandle* a = nullptr;
  MemHandle* d = nullptr;
  ASSERT_EQ(ReadUserDictEntry(engine, zh, uid, &w, &a, nullptr, &d), 0);
  EXPECT_EQ(a, nullptr);  // NULL column: output untouched
  EXPECT_EQ(U16(static_cast<const WCHAR*>(w->data)), word);
  EXPECT_EQ(U16(static_cast<const WCHAR*>(d->data)), u"rare 𝄞");
  FreeMemHandle(w);
  FreeMemHandle(d);
  EXPECT_EQ(ReadUserDictEntry(engine, zh, uid + 5, &w, nullptr, nullptr, nullptr), kUserDictNoEntry);
}

TEST_F(EntryTest, EnglishEntriesAndSortKeys) {
  const uint16_t en = NewDict(kLanguageEnglish);
  const int32_t first = AddUserDictEntry(engine, en, u"Héllo (there)", u"ignored", u"ni3", u"greeting");
  const int32_t second = AddUserDictEntry(engine, en, u"hello", nullptr, nullptr, nullptr);
  const std::string now = std::to_string(GetUtcSeconds());
  EXPECT_EQ(Rows(en, "SELECT sortkey FROM sorvi_dict_entries ORDER BY uid"),
            (std::vector<std::string>{"hello", "hello" + now}));
  EXPECT_EQ(Rows(en, "SELECT altword FROM sorvi_dict_entries ORDER BY uid"), (std::vector<std::string>{"NULL", "NULL"}));
  EXPECT_EQ(Rows(en, "SELECT pron FROM sorvi_dict_entries ORDER BY uid"), (std::vector<std::string>{"NULL", "NULL"}));
  EXPECT_EQ(Rows(en, "SELECT word FROM sorvi_dict_alphadex ORDER BY uid"), (std::vector<std::string>{"hello", "hello"}));
  EXPECT_EQ(GetUserDictEntryLength(engine, en, first), 5);
  // Saving an entry again keeps its own key: its row does not count.
  EXPECT_EQ(SaveUserDictEntry(engine, en, first, u"Héllo (there)", nullptr, nullptr, u"greeting"), first);
  EXPECT_EQ(One(en, "SELECT sortkey FROM sorvi_dict_entries WHERE uid = " + std::to_string(first)), "hello");
  EXPECT_EQ(IndexRows(en, first), 1);
  (void)second;
}

TEST_F(EntryTest, ManyEqualSortKeysAllFindAFreeKey) {
  const uint16_t en = NewDict(kLanguageEnglish);
  // The clock stands still: every save after the first needs a new suffix.
  for (int i = 0; i < 30; ++i) ASSERT_GT(AddUserDictEntry(engine, en, u"same", nullptr, nullptr, nullptr), 0) << i;
  EXPECT_EQ(One(en, "SELECT COUNT(DISTINCT sortkey) FROM sorvi_dict_entries"), "30");
  EXPECT_EQ(One(en, "SELECT MAX(sortkey) FROM sorvi_dict_entries"), "same" + std::to_string(GetUtcSeconds() + 28));
}

TEST_F(EntryTest, UpdateTouchAndDelete) {
  host.giveStore = true;
  MakeEngine();
  const uint16_t zh = NewDict(kLanguageChinese);
  const int32_t uid = AddUserDictEntry(engine, zh, u"你好", nullptr, u"ni3hao3", u"hello");
  const int32_t other = AddUserDictEntry(engine, zh, u"再见", nullptr, u"zai4jian4", u"bye");
  AdvanceVirtualClock(10000);
  EXPECT_EQ(UpdateUserDictEntry(engine, zh, uid, u"您好", u"您好", nullptr, u"hello (polite)"), 0);
  EXPECT_EQ(host.relinked, std::vector<int32_t>{uid});
  const std::string where = " FROM sorvi_dict_entries WHERE uid = " + std::to_string(uid);
  EXPECT_EQ(One(zh, "SELECT word" + where), "您@好");
  EXPECT_EQ(One(zh, "SELECT pron" + where), "NULL");
  EXPECT_EQ(One(zh, "SELECT modified" + where), std::to_string(GetUtcSeconds()));
  EXPECT_EQ(Rows(zh, "SELECT syllable FROM sorvi_dict_posdex_hz_1 WHERE uid = " + std::to_string(uid)),
            std::vector<std::string>{"您"});
  EXPECT_EQ(IndexRows(zh, uid), 2);  // no syllable rows left
  EXPECT_EQ(GetUserDictEntryCount(engine, zh), 2);

  // A uid that is not there: nothing "succeeds".
  EXPECT_EQ(UpdateUserDictEntry(engine, zh, 999, u"x", nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(TouchUserDictEntry(engine, zh, 999, nullptr), 1);
  EXPECT_EQ(DeleteUserDictEntry(engine, zh, 999), kUserDictNoEntry);
  EXPECT_EQ(GetUserDictEntryCount(engine, zh), 2);
  EXPECT_EQ(Count(zh, "sorvi_dict_entries"), 2);

  // A stale flashcard index refuses the update.
  host.indexCurrent = false;
  EXPECT_EQ(UpdateUserDictEntry(engine, zh, uid, u"你好", nullptr, nullptr, nullptr), -1);
  host.indexCurrent = true;

  AdvanceVirtualClock(10000);
  EXPECT_EQ(TouchUserDictEntry(engine, zh, other, u"goodbye"), 0);
  EXPECT_EQ(One(zh, "SELECT defn FROM sorvi_dict_entries WHERE uid = " + std::to_string(other)), "goodbye");
  EXPECT_EQ(One(zh, "SELECT modified FROM sorvi_dict_entries WHERE uid = " + std::to_string(other)),
            std::to_string(GetUtcSeconds()));

  EXPECT_EQ(DeleteUserDictEntry(engine, zh, other), 0);
  EXPECT_EQ(IndexRows(zh, other), 0);
  EXPECT_EQ(DeleteUserDictEntry(engine, zh, uid), 0);
  EXPECT_EQ(GetUserDictEntryCount(engine, zh), 0);
  EXPECT_EQ(Property(zh, "EntryCount"), "NULL");  // 0
  EXPECT_EQ(HasUserDictEntry(engine, zh, uid), 0);

  // Not a user dictionary slot.
  EXPECT_EQ(DeleteUserDictEntry(engine, 42, uid), -1);
  EXPECT_EQ(TouchUserDictEntry(engine, 42, uid, nullptr), -1);
  EXPECT_EQ(UpdateUserDictEntry(engine, 42, uid, u"x", nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(AddUserDictEntry(engine, 42, u"x", nullptr, nullptr, nullptr), -1);
}

TEST_F(EntryTest, LockedMeansLockedForEveryEdit) {
  const uint16_t en = NewDict(kLanguageEnglish);
  const int32_t uid = AddUserDictEntry(engine, en, u"kept", nullptr, nullptr, nullptr);
  // Whatever non-zero value is stored, every edit is refused.
  for (uint32_t value : {1u, 2u, 7u}) {
    Slot(en)->editLock = value;
    EXPECT_EQ(AddUserDictEntry(engine, en, u"new", nullptr, nullptr, nullptr), -1) << value;
    EXPECT_EQ(SaveUserDictEntry(engine, en, uid, u"changed", nullptr, nullptr, nullptr), -1) << value;
    EXPECT_EQ(UpdateUserDictEntry(engine, en, uid, u"changed", nullptr, nullptr, nullptr), kUserDictLocked) << value;
    EXPECT_EQ(TouchUserDictEntry(engine, en, uid, u"d"), kUserDictLocked) << value;
    EXPECT_EQ(DeleteUserDictEntry(engine, en, uid), kUserDictLocked) << value;
    EXPECT_EQ(UndoLastUserDictImport(engine, en), 65534) << value;
  }
  Slot(en)->editLock = 0;
  EXPECT_EQ(One(en, "SELECT word FROM sorvi_dict_entries"), "kept");
  EXPECT_EQ(Count(en, "sorvi_dict_entries"), 1);
  // Locking stores 2 and keeps 2 in memory.
  ASSERT_EQ(SetUserDictEditLock(engine, en, 1, nullptr), 0);
  EXPECT_EQ(Slot(en)->editLock, 2u);
  EXPECT_EQ(Property(en, "EditLock"), "2");
  EXPECT_EQ(TouchUserDictEntry(engine, en, uid, nullptr), kUserDictLocked);
}

TEST_F(EntryTest, EditsFromAnotherThreadWaitForTheImport) {
  const uint16_t zh = NewDict(kLanguageChinese);
  const int32_t kept = AddUserDictEntry(engine, zh, u"人", nullptr, u"ren2", nullptr);
  ASSERT_EQ(BeginUserDictImport(engine, zh), 0);
  const int32_t imported = AddUserDictEntry(engine, zh, u"大", nullptr, u"da4", nullptr);
  EXPECT_GT(imported, kept);
  int32_t added = 0;
  int updated = 0, touched = 0, deleted = 0, undone = 0;
  std::thread other([&] {
    added = AddUserDictEntry(engine, zh, u"小", nullptr, u"xiao3", nullptr);
    updated = UpdateUserDictEntry(engine, zh, kept, u"入", nullptr, nullptr, nullptr);
    touched = TouchUserDictEntry(engine, zh, kept, u"x");
    deleted = DeleteUserDictEntry(engine, zh, kept);
    undone = UndoLastUserDictImport(engine, zh);
  });
  other.join();
  EXPECT_EQ(added, -1);
  EXPECT_EQ(updated, kUserDictLocked);
  EXPECT_EQ(touched, kUserDictLocked);
  EXPECT_EQ(deleted, kUserDictLocked);
  EXPECT_EQ(undone, 65534);
  EXPECT_EQ(Count(zh, "sorvi_dict_entries"), 2);
  ASSERT_EQ(EndUserDictImport(engine, zh), 0);
  std::thread after([&] { deleted = DeleteUserDictEntry(engine, zh, kept); });
  after.join();
  EXPECT_EQ(deleted, 0);
}

// Statements that fail half-way through a change: a trigger aborts them.
TEST_F(EntryTest, FailureHalfWayLeavesTheFileAsItWas) {
  const uint16_t zh = NewDict(kLanguageChinese);
  const int32_t uid = AddUserDictEntry(engine, zh, u"你好", nullptr, u"ni3hao3", u"hello");
  ASSERT_GT(uid, 0);
  Exec(zh, "CREATE TRIGGER stop_insert BEFORE INSERT ON sorvi_dict_posdex_py_2 BEGIN SELECT RAISE(ABORT, 'no'); END");
  Exec(zh, "CREATE TRIGGER stop_delete BEFORE DELETE ON sorvi_dict_posdex_py_2 BEGIN SELECT RAISE(ABORT, 'no'); END");

  ASSERT_EQ(BeginUserDictImport(engine, zh), 0);
  EXPECT_EQ(AddUserDictEntry(engine, zh, u"再见", nullptr, u"zai4jian4", u"bye"), -1);
  EXPECT_EQ(Slot(zh)->importId, -1);  // the import record went with the rolled-back save
  EndUserDictImport(engine, zh);
  EXPECT_EQ(UpdateUserDictEntry(engine, zh, uid, u"您好", nullptr, u"nin2hao3", nullptr), 1);
  EXPECT_EQ(DeleteUserDictEntry(engine, zh, uid), SQLITE_CONSTRAINT);

  EXPECT_EQ(Count(zh, "sorvi_dict_entries"), 1);
  EXPECT_EQ(One(zh, "SELECT word FROM sorvi_dict_entries"), "你@好");
  EXPECT_EQ(IndexRows(zh, uid), 4);
  EXPECT_EQ(Count(zh, "sorvi_dict_posdex_hz_1"), 1);
  EXPECT_EQ(GetUserDictEntryCount(engine, zh), 1);
  EXPECT_EQ(Property(zh, "EntryCount"), "1");
  EXPECT_EQ(One(zh, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'sorvi_dict_imports'"), "0");
  EXPECT_EQ(SqlTransactionDepth(Slot(zh)->db), 0u);
}

// Saves and deletes inside a caller's transaction are savepoints: when the
// caller rolls back, the count in memory follows the file.
TEST_F(EntryTest, CountFollowsTheFileWhenTheCallersTransactionRollsBack) {
  const uint16_t zh = NewDict(kLanguageChinese);
  SqlDb* db = Slot(zh)->db;
  auto expectInStep = [&](int64_t rows, const char* when) {
    EXPECT_EQ(Count(zh, "sorvi_dict_entries"), rows) << when;
    EXPECT_EQ(GetUserDictEntryCount(engine, zh), rows) << when;
    EXPECT_EQ(Slot(zh)->entryCount, rows) << when;
    EXPECT_EQ(Property(zh, "EntryCount"), rows ? std::to_string(rows) : "NULL") << when;
    EXPECT_EQ(Slot(zh)->properties->entries[kUdpEntryCount].value, rows) << when;
    EXPECT_EQ(SqlTransactionDepth(db), 0u) << when;
  };

  // The first entries of a new dictionary, rolled back: 0 again (stored as
  // NULL).
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_GT(AddUserDictEntry(engine, zh, u"中", nullptr, u"zhong1", nullptr), 0);
  ASSERT_EQ(SqlRollback(db), SQLITE_OK);
  expectInStep(0, "first adds rolled back");

  const int32_t kept = AddUserDictEntry(engine, zh, u"你好", nullptr, u"ni3hao3", u"hello");
  const int32_t other = AddUserDictEntry(engine, zh, u"再见", nullptr, u"zai4jian4", u"bye");
  ASSERT_GT(kept, 0);
  ASSERT_GT(other, 0);

  // Two adds, then the caller rolls back.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  const int32_t a = AddUserDictEntry(engine, zh, u"中国", nullptr, u"zhong1guo2", nullptr);
  const int32_t b = AddUserDictEntry(engine, zh, u"人", nullptr, u"ren2", nullptr);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  EXPECT_EQ(GetUserDictEntryCount(engine, zh), 4);
  ASSERT_EQ(SqlRollback(db), SQLITE_OK);
  expectInStep(2, "adds rolled back");
  EXPECT_EQ(IndexRows(zh, a), 0);

  // Two deletes, then the caller rolls back.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  EXPECT_EQ(DeleteUserDictEntry(engine, zh, kept), 0);
  EXPECT_EQ(DeleteUserDictEntry(engine, zh, other), 0);
  EXPECT_EQ(GetUserDictEntryCount(engine, zh), 0);
  ASSERT_EQ(SqlRollback(db), SQLITE_OK);
  expectInStep(2, "deletes rolled back");
  EXPECT_EQ(IndexRows(zh, kept), 4);

  // An add and a delete, and a failing step of the caller's own that turns
  // its commit into a rollback.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_GT(AddUserDictEntry(engine, zh, u"中国", nullptr, u"zhong1guo2", nullptr), 0);
  EXPECT_EQ(DeleteUserDictEntry(engine, zh, kept), 0);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_EQ(SqlRollback(db), SQLITE_OK);
  EXPECT_EQ(SqlCommit(db), SQLITE_ABORT);
  expectInStep(2, "commit turned rollback");

  // A caller's commit keeps what was done inside it.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_GT(AddUserDictEntry(engine, zh, u"中国", nullptr, u"zhong1guo2", nullptr), 0);
  ASSERT_GT(AddUserDictEntry(engine, zh, u"人", nullptr, u"ren2", nullptr), 0);
  EXPECT_EQ(DeleteUserDictEntry(engine, zh, other), 0);
  ASSERT_EQ(SqlCommit(db), SQLITE_OK);
  expectInStep(3, "committed");
  // And a later transaction that is rolled back goes back to that.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  EXPECT_EQ(DeleteUserDictEntry(engine, zh, kept), 0);
  ASSERT_EQ(SqlRollback(db), SQLITE_OK);
  expectInStep(3, "after a commit");
}

// An import that logs its entries inside the caller's transaction: after
// the rollback its log row is gone, and so is the id of it in memory.
TEST_F(EntryTest, ImportLogFollowsTheFileWhenTheCallersTransactionRollsBack) {
  const uint16_t zh = NewDict(kLanguageChinese);
  SqlDb* db = Slot(zh)->db;
  ASSERT_EQ(BeginUserDictImport(engine, zh), 0);
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  ASSERT_GT(AddUserDictEntry(engine, zh, u"中国", nullptr, u"zhong1guo2", nullptr), 0);
  EXPECT_GE(Slot(zh)->importId, 0);
  ASSERT_EQ(SqlRollback(db), SQLITE_OK);
  EXPECT_EQ(Slot(zh)->importId, -1);
  // The next chunk starts a log row of its own and keeps it.
  ASSERT_EQ(SqlBegin(db), SQLITE_OK);
  const int32_t uid = AddUserDictEntry(engine, zh, u"人", nullptr, u"ren2", nullptr);
  ASSERT_GT(uid, 0);
  ASSERT_EQ(SqlCommit(db), SQLITE_OK);
  EndUserDictImport(engine, zh);
  EXPECT_EQ(Rows(zh, "SELECT startentry || '-' || endentry FROM sorvi_dict_imports"),
            std::vector<std::string>{std::to_string(uid) + "-" + std::to_string(uid)});
  EXPECT_EQ(GetUserDictEntryCount(engine, zh), 1);
}

TEST_F(EntryTest, AFailedQueryIsNotAnAnswer) {
  const uint16_t en = NewDict(kLanguageEnglish);
  const int32_t uid = AddUserDictEntry(engine, en, u"x", nullptr, nullptr, nullptr);
  Exec(en, "ALTER TABLE sorvi_dict_entries RENAME TO moved");
  EXPECT_EQ(HasUserDictEntry(engine, en, uid), -1);
  EXPECT_EQ(HasDictEntry(engine, kUserDictCreator, static_cast<uint32_t>(GetDictId(engine, en)), uid), 0);
  EXPECT_EQ(AddUserDictEntry(engine, en, u"y", nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(GetUserDictEntryCount(engine, en), 1);
}

}  // namespace

// A transaction another thread keeps open on the dictionary (a worker
// waiting on the UI) refuses this thread's edits with SQLITE_BUSY; the
// file is left alone and reads go on.
TEST_F(EntryTest, EditsWaitForAnotherThreadsTransaction) {
  const uint16_t zh = NewDict(kLanguageChinese);
  const int32_t uid = AddUserDictEntry(engine, zh, u"你好", nullptr, u"ni3hao3", u"hello");
  ASSERT_GT(uid, 0);
  SqlDb* db = Slot(zh)->db;
  std::atomic<int> stage{0};
  std::thread worker([&] {
    EXPECT_EQ(SqlBegin(db), SQLITE_OK);
    stage = 1;
    while (stage != 2) std::this_thread::yield();
    EXPECT_EQ(SqlCommit(db), SQLITE_OK);
  });
  while (stage != 1) std::this_thread::yield();
  EXPECT_EQ(AddUserDictEntry(engine, zh, u"再见", nullptr, u"zai4jian4", u"goodbye"), -1);
  EXPECT_EQ(DeleteUserDictEntry(engine, zh, uid), SQLITE_BUSY);
  EXPECT_EQ(HasUserDictEntry(engine, zh, uid), 1);  // reads go on
  stage = 2;
  worker.join();
  EXPECT_EQ(Count(zh, "sorvi_dict_entries"), 1);
  EXPECT_EQ(GetUserDictEntryCount(engine, zh), 1);
  EXPECT_EQ(DeleteUserDictEntry(engine, zh, uid), 0);
  EXPECT_EQ(Count(zh, "sorvi_dict_entries"), 0);
}
