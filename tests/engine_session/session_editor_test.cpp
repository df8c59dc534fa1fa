// The entry editor through the session: preparing, saving (with a user
// dictionary made when none exists), updating, replacing in one
// transaction, deleting from the list and from the editor, and the
// editor's language.
#include <sqlite3.h>

#include "engine/sql_db.h"
#include "tests/engine_session/session_fixture.h"

using namespace sessionfix;
using lookupfix::kCedict;

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;

class EditorTest : public SessionTest {
 protected:
  struct Target {
    uint32_t language;
    uint16_t slot;
    uint32_t entry;
    uint32_t replaced;
    bool operator==(const Target&) const = default;
  };
  Target EditTarget() {
    Target t{};
    EXPECT_EQ(LookupGetEditTarget(session_, &t.language, &t.slot, &t.entry, &t.replaced), 0);
    return t;
  }
  // The editor entry's four texts ("<none>" for a missing one).
  std::vector<std::u16string> ReadEdit(int* rc = nullptr) {
    MemHandle* h[4];
    const int r = LookupReadEditEntry(session_, &h[0], &h[1], &h[2], &h[3]);
    if (rc) *rc = r;
    std::vector<std::u16string> out;
    for (MemHandle* m : h) {
      out.push_back(m ? HandleText(m) : u"<none>");
      FreeMemHandle(m);
    }
    return out;
  }
  void Exec(uint16_t slot, const char* sql) {
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(engine_->slots[slot]->db->conn, sql, nullptr, nullptr, &error), SQLITE_OK)
        << (error ? error : "");
    sqlite3_free(error);
  }
  // A user dictionary with three entries; the uids in word-list order
  // (by pinyin: er, san, yi).
  std::vector<uint32_t> ThreeEntries(uint16_t* slot) {
    *slot = AddUserDict();
    AddUserDictEntry(engine_, *slot, u"一", u"一", u"yi1", u"one");
    AddUserDictEntry(engine_, *slot, u"二", u"二", u"er4", u"two");
    AddUserDictEntry(engine_, *slot, u"三", u"三", u"san1", u"three");
    std::vector<uint32_t> uids;
    for (int32_t p = 0; p < 3; ++p) uids.push_back(static_cast<uint32_t>(GetDictEntryAtPosition(engine_, *slot, p)));
    return uids;
  }
};

TEST_F(EditorTest, SavingWithoutAUserDictionaryCreatesOne) {
  BuildStandard();
  Open();
  Command(kLookupEditPrepare, 0);  // a built-in dictionary: a new entry
  EXPECT_EQ(EditTarget(), (Target{kLanguageChinese, kNoDictSlot, kNone, kNone}));
  EXPECT_EQ(LookupIsCurrentDictUsable(session_), 0);
  int rc = -1;
  EXPECT_EQ(ReadEdit(&rc), (std::vector<std::u16string>{u"<none>", u"<none>", u"<none>", u"<none>"}));
  EXPECT_EQ(rc, 0);

  ASSERT_EQ(LookupSaveEditEntry(session_, u"你好", u"你好", u"ni3 hao3", u"hello"), 0);
  ASSERT_EQ(GetDictCount(engine_), 5);
  const uint16_t user = 4;
  EXPECT_TRUE(IsDictSlotOpen(engine_, user));
  EXPECT_EQ(GetDictLanguage(engine_, user), kLanguageChinese);
  const Target t = EditTarget();
  EXPECT_EQ(t.slot, user);
  EXPECT_NE(t.entry, kNone);
  EXPECT_EQ(GetDictEntryCount(engine_, user), 1u);

  // Command 19 shows it.
  Taken();
  Command(kLookupEditShow);
  EXPECT_EQ(Current(), std::make_pair(user, t.entry));
  EXPECT_EQ(Taken(), std::vector<std::string>{"TDLS"});
  EXPECT_NE(Plain(Definition()).find(u"hello"), std::u16string::npos);
  EXPECT_EQ(LookupIsCurrentDictUsable(session_), 1);

  // Editing the shown entry reads and updates it.
  Command(kLookupEditPrepare, 0);
  EXPECT_EQ(EditTarget(), (Target{kLanguageChinese, user, t.entry, kNone}));
  EXPECT_EQ(ReadEdit(), (std::vector<std::u16string>{u"你好", u"你好", u"ni3 hao3", u"hello"}));
  ASSERT_EQ(LookupSaveEditEntry(session_, u"你好", u"你好", u"ni3 hao3", u"hi there"), 0);
  EXPECT_EQ(ReadEdit()[3], u"hi there");
  EXPECT_EQ(GetDictEntryCount(engine_, user), 1u);
  // Argument 1: a new entry in the shown user dictionary.
  Command(kLookupEditPrepare, 1);
  EXPECT_EQ(EditTarget(), (Target{kLanguageChinese, user, kNone, kNone}));
  ASSERT_EQ(LookupSaveEditEntry(session_, u"好", u"好", u"hao3", u"good"), 0);
  EXPECT_EQ(GetDictEntryCount(engine_, user), 2u);
}

TEST_F(EditorTest, ReplacingDeletesAndAddsInOneTransaction) {
  BuildStandard();
  const uint16_t user = AddUserDict();
  const auto old = static_cast<uint32_t>(AddUserDictEntry(engine_, user, u"你好", u"你好", u"ni3 hao3", u"hello"));
  AddUserDictEntry(engine_, user, u"好", u"好", u"hao3", u"good");
  Open();
  LookupShowEntry(session_, user, old);
  Command(kLookupEditPrepare, 0);
  Command(kLookupEditReplace);
  EXPECT_EQ(EditTarget(), (Target{kLanguageChinese, user, old, old}));
  ASSERT_EQ(LookupSaveEditEntry(session_, u"您好", u"您好", u"nin2 hao3", u"hello (polite)"), 0);
  const Target t = EditTarget();
  EXPECT_NE(t.entry, old);
  EXPECT_EQ(t.replaced, kNone);
  EXPECT_EQ(HasUserDictEntry(engine_, user, static_cast<int32_t>(old)), 0);
  EXPECT_EQ(GetDictEntryCount(engine_, user), 2u);
  EXPECT_EQ(ReadEdit()[0], u"您好");

  // The add fails: the deletion is undone and the editor keeps its target.
  Command(kLookupEditReplace);
  Exec(user, "CREATE TRIGGER refuse_add BEFORE INSERT ON sorvi_dict_entries BEGIN SELECT RAISE(ABORT, 'no'); END");
  EXPECT_NE(LookupSaveEditEntry(session_, u"您", u"您", u"nin2", u"you (polite)"), 0);
  EXPECT_EQ(HasUserDictEntry(engine_, user, static_cast<int32_t>(t.entry)), 1);
  EXPECT_EQ(GetDictEntryCount(engine_, user), 2u);
  EXPECT_EQ(SqlTransactionDepth(engine_->slots[user]->db), 0u);
  EXPECT_EQ(EditTarget(), (Target{kLanguageChinese, user, t.entry, t.entry}));
  EXPECT_EQ(ReadEdit()[3], u"hello (polite)");
  // Once adding works again the same save goes through.
  Exec(user, "DROP TRIGGER refuse_add");
  ASSERT_EQ(LookupSaveEditEntry(session_, u"您", u"您", u"nin2", u"you (polite)"), 0);
  EXPECT_EQ(HasUserDictEntry(engine_, user, static_cast<int32_t>(t.entry)), 0);
  EXPECT_EQ(GetDictEntryCount(engine_, user), 2u);
  EXPECT_EQ(ReadEdit()[3], u"you (polite)");
}

TEST_F(EditorTest, FailedUpdateForgetsTheEntry) {
  BuildStandard();
  const uint16_t user = AddUserDict();
  const auto uid = static_cast<uint32_t>(AddUserDictEntry(engine_, user, u"好", u"好", u"hao3", u"good"));
  Open();
  LookupShowEntry(session_, user, uid);
  Command(kLookupEditPrepare, 0);
  Exec(user, "CREATE TRIGGER refuse_update BEFORE UPDATE ON sorvi_dict_entries BEGIN SELECT RAISE(ABORT, 'no'); END");
  EXPECT_EQ(LookupSaveEditEntry(session_, u"好", u"好", u"hao3", u"fine"), 1);
  EXPECT_EQ(EditTarget().entry, kNone);
  int rc = -1;
  EXPECT_EQ(ReadEdit(&rc)[3], u"<none>");
  EXPECT_EQ(rc, 0);
}

TEST_F(EditorTest, EnglishEditorDropsReadingAndPronunciation) {
  BuildStandard();
  Open();
  Command(kLookupEditPrepare, 0);
  Command(kLookupEditLanguage);
  EXPECT_EQ(EditTarget(), (Target{kLanguageEnglish, kNoDictSlot, kNone, kNone}));
  ASSERT_EQ(LookupSaveEditEntry(session_, u"hello", u"你好", u"ni3 hao3", u"你好"), 0);
  const Target t = EditTarget();
  ASSERT_NE(t.slot, kNoDictSlot);
  EXPECT_EQ(GetDictLanguage(engine_, t.slot), kLanguageEnglish);
  EXPECT_EQ(ReadEdit(), (std::vector<std::u16string>{u"hello", u"<none>", u"<none>", u"你好"}));
  // Back to Chinese: no Chinese user dictionary yet.
  Command(kLookupEditLanguage);
  EXPECT_EQ(EditTarget(), (Target{kLanguageChinese, kNoDictSlot, kNone, kNone}));
  // Choosing the editor's dictionary.
  EXPECT_EQ(LookupSetEditDict(session_, kNoDictSlot), 1);
  EXPECT_EQ(LookupSetEditDict(session_, kCedict), 1);
  EXPECT_EQ(LookupSetEditDict(session_, t.slot), 0);
  EXPECT_EQ(EditTarget().slot, t.slot);
  engine_->slots[t.slot]->editLock = 1;
  EXPECT_EQ(LookupSetEditDict(session_, t.slot), 1);
  engine_->slots[t.slot]->editLock = 0;
}

TEST_F(EditorTest, DeletingTheShownEntryMovesToItsNeighbour) {
  BuildStandard();
  uint16_t user = 0;
  const std::vector<uint32_t> uids = ThreeEntries(&user);
  Open();
  // A built-in dictionary: nothing.
  EXPECT_EQ(Command(kLookupDeleteCurrent), 0);
  EXPECT_TRUE(notices_.empty());

  LookupShowEntry(session_, user, uids[1]);
  Taken();
  EXPECT_EQ(Command(kLookupDeleteCurrent), 0);
  EXPECT_EQ(HasUserDictEntry(engine_, user, static_cast<int32_t>(uids[1])), 0);
  EXPECT_EQ(Current(), std::make_pair(user, uids[2]));  // the next one moved up
  EXPECT_EQ(session_->currentPosition, 1u);
  EXPECT_EQ(session_->currentIndex, 1u);
  EXPECT_EQ(Taken(), std::vector<std::string>{"DRLS"});
  // The last one: the one before.
  EXPECT_EQ(Command(kLookupDeleteCurrent), 0);
  EXPECT_EQ(Current(), std::make_pair(user, uids[0]));
  EXPECT_EQ(session_->currentPosition, 0u);
  // The only one: an empty dictionary.
  EXPECT_EQ(Command(kLookupDeleteCurrent), 0);
  EXPECT_EQ(session_->currentEntry, kNone);
  EXPECT_EQ(session_->currentPosition, kNone);
  EXPECT_EQ(GetDictEntryCount(engine_, user), 0u);
}

TEST_F(EditorTest, DeletingFromResultsWorksOutThePosition) {
  BuildStandard();
  uint16_t user = 0;
  const std::vector<uint32_t> uids = ThreeEntries(&user);
  SetPref(engine_, 138, 1);  // a single Chinese result stays in a result list
  Open();
  LookupSetDictionary(session_, user, 0);
  Search(u"三");  // the middle of the word list (er, san, yi)
  ASSERT_TRUE(LookupIsShowingResults(session_));
  ASSERT_EQ(Current(), std::make_pair(user, uids[1]));
  ASSERT_EQ(session_->currentPosition, kNone);
  EXPECT_EQ(Command(kLookupDeleteCurrent), 0);
  EXPECT_EQ(Current(), std::make_pair(user, uids[2]));
  EXPECT_EQ(session_->currentPosition, 1u);
}

TEST_F(EditorTest, LockedDictionaryRefusesTheDeletion) {
  BuildStandard();
  uint16_t user = 0;
  const std::vector<uint32_t> uids = ThreeEntries(&user);
  Open();
  LookupShowEntry(session_, user, uids[0]);
  Taken();
  engine_->slots[user]->editLock = 1;
  EXPECT_EQ(Command(kLookupDeleteCurrent), 65534);
  EXPECT_TRUE(notices_.empty());
  EXPECT_EQ(LookupIsCurrentDictUsable(session_), 0);
  engine_->slots[user]->editLock = 0;
  EXPECT_EQ(HasUserDictEntry(engine_, user, static_cast<int32_t>(uids[0])), 1);
}

TEST_F(EditorTest, EditorDeleteRemovesTheEditedEntryNotTheShownOne) {
  BuildStandard();
  uint16_t user = 0;
  const std::vector<uint32_t> uids = ThreeEntries(&user);
  Open();
  // Nothing without an editor entry.
  Command(kLookupEditPrepare, 1);
  EXPECT_EQ(Command(kLookupEditDelete), 0);
  EXPECT_EQ(GetDictEntryCount(engine_, user), 3u);

  LookupShowEntry(session_, user, uids[2]);
  Command(kLookupEditPrepare, 0);
  LookupShowEntry(session_, user, uids[0]);  // the user browsed on
  Taken();
  EXPECT_EQ(Command(kLookupEditDelete), 0);
  EXPECT_EQ(HasUserDictEntry(engine_, user, static_cast<int32_t>(uids[2])), 0);
  EXPECT_EQ(HasUserDictEntry(engine_, user, static_cast<int32_t>(uids[0])), 1);
  EXPECT_EQ(Current(), std::make_pair(user, uids[0]));
  EXPECT_EQ(EditTarget().entry, kNone);
  EXPECT_EQ(Taken(), std::vector<std::string>{"DRLS"});

  // Deleting the shown entry from the editor moves on like command 16.
  Command(kLookupEditPrepare, 0);
  EXPECT_EQ(Command(kLookupEditDelete), 0);
  EXPECT_EQ(Current(), std::make_pair(user, uids[1]));
  EXPECT_EQ(session_->currentPosition, 0u);
}

TEST_F(EditorTest, ForcedRepeatInAUserDictionaryReturnsToTheFullList) {
  BuildStandard();
  uint16_t user = 0;
  const std::vector<uint32_t> uids = ThreeEntries(&user);
  Open();
  LookupSetDictionary(session_, user, 0);
  Search(u"san");
  ASSERT_NE(session_->results, nullptr);
  ASSERT_TRUE(LookupIsShowingResults(session_));  // a user dictionary's result is kept in a list
  ASSERT_EQ(Current(), std::make_pair(user, uids[1]));
  LookupShowIndex(session_, 0, 0, 0);
  Taken();
  Search(u"san", 1);
  EXPECT_EQ(session_->results, nullptr);
  EXPECT_FALSE(LookupIsShowingResults(session_));
  EXPECT_EQ(session_->currentIndex, session_->currentPosition);
  EXPECT_EQ(Rows(), 3u);
  EXPECT_EQ(Taken(), std::vector<std::string>{"DLS"});
  EXPECT_EQ(History()[0], Current());
}

}  // namespace
