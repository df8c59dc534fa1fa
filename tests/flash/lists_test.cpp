// Profiles and scorefiles: creation, copies, renames, moves, deletion, and
// what a failure in the middle leaves behind.
#include <atomic>
#include <thread>

#include "engine/sql_db.h"
#include "flash/card_scores.h"
#include "flash/profile_lists.h"
#include "flash/profile_settings.h"
#include "flash_fixture.h"
#include "tests/support/utf16_print.h"

namespace {

class ListsTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    ASSERT_NE(Open(), nullptr);
  }
  std::string Count(const std::string& sql) { return Query(kDefaultKvb, "SELECT count(*) FROM " + sql); }
  std::vector<int32_t> Sorts(uint32_t kind) {
    std::vector<int32_t> out;
    FlashList* list = LoadFlashList(store, kind);
    for (int32_t i = 0; i < list->count; ++i) out.push_back(list->records[i].sort);
    return out;
  }
  std::vector<std::u16string> Names(uint32_t kind) {
    std::vector<std::u16string> out;
    FlashList* list = LoadFlashList(store, kind);
    for (int32_t i = 0; i < list->count; ++i) out.push_back(list->records[i].name);
    return out;
  }
};

}  // namespace

TEST_F(ListsTest, NewProfileHasPresetZeroPlusScorefileAndTime) {
  const int32_t id = CreateProfile(store, u"Mine", -1);
  ASSERT_GT(id, 0);
  EXPECT_EQ(Count("sorvi_flash_profilesettings WHERE propset = " + std::to_string(id)), "124");
  const std::string value =
      "SELECT propvalue FROM sorvi_flash_profilesettings WHERE propset = " + std::to_string(id) + " AND propid = ";
  EXPECT_EQ(Query(kDefaultKvb, value + "'pro_scorefile'"), std::to_string(GetScorefileIdByIndex(store, 0)));
  EXPECT_EQ(Query(kDefaultKvb, value + "'pro_limittimetime'"), std::to_string(FlashNow()));
  EXPECT_EQ(Query(kDefaultKvb, value + "'pro_scorefilter_review_starts'"), "100,200,400,800,1600,3200,6400,12800,");
  EXPECT_EQ(Names(kFlashListProfiles).back(), u"Mine");
  EXPECT_EQ(Sorts(kFlashListProfiles), (std::vector<int32_t>{1, 2, 3, 4}));
  // A copy takes the source's settings, not the preset.
  ASSERT_EQ(SelectFlashProfile(store, id), 0);
  const ProfileSettingValue cards{37, nullptr};
  ASSERT_EQ(SetProfileSetting(store, kSetCardCount, &cards), 0);
  ASSERT_EQ(SaveCurrentProfileSettings(store), 0);
  const int32_t copy = CreateProfile(store, u"Copy", id);
  ASSERT_GT(copy, 0);
  EXPECT_EQ(Query(kDefaultKvb, "SELECT propvalue FROM sorvi_flash_profilesettings WHERE propset = " +
                                   std::to_string(copy) + " AND propid = 'pro_cardcount'"),
            "37");
}

TEST_F(ListsTest, TakenNamesAndRenames) {
  EXPECT_EQ(CreateProfile(store, u"Simple", -1), kFlashNameTaken);
  EXPECT_EQ(CreateScorefile(store, u"Default", -1), kFlashNameTaken);
  EXPECT_EQ(GetProfileCount(store), 3);
  const int32_t weighted = GetProfileIdByIndex(store, 1);
  EXPECT_EQ(RenameProfile(store, weighted, u"Simple"), kFlashRenameTaken);
  EXPECT_EQ(RenameProfile(store, 999, u"Other"), 1);
  EXPECT_EQ(RenameProfile(store, weighted, u"Heavy"), 0);
  EXPECT_EQ(Names(kFlashListProfiles)[1], u"Heavy");
  // Two names exchanged settle over the save's passes.
  const int32_t simple = GetProfileIdByIndex(store, 0);
  ASSERT_EQ(RenameProfile(store, simple, u"Tmp"), 0);
  ASSERT_EQ(RenameProfile(store, weighted, u"Simple"), 0);
  ASSERT_EQ(RenameProfile(store, simple, u"Heavy"), 0);
  EXPECT_EQ(SaveProfileList(store), 0);
  EXPECT_EQ(Query(kDefaultKvb, "SELECT name FROM sorvi_flash_profiles WHERE id = " + std::to_string(simple)), "Heavy");
  EXPECT_EQ(Query(kDefaultKvb, "SELECT name FROM sorvi_flash_profiles WHERE id = " + std::to_string(weighted)),
            "Simple");
  WCHAR cut[4];
  uint32_t length = 4;
  EXPECT_EQ(GetProfileName(store, simple, cut, &length), 0);
  EXPECT_EQ(std::u16string(cut), u"Hea");
  EXPECT_EQ(length, 5u);
}

TEST_F(ListsTest, MovesKeepSortsWithPlaces) {
  EXPECT_EQ(MoveProfile(store, 0, 1), 1);  // first up
  EXPECT_EQ(MoveProfile(store, 2, 0), 1);  // last down
  EXPECT_EQ(MoveProfile(store, 2, 1), 0);
  EXPECT_EQ(Names(kFlashListProfiles), (std::vector<std::u16string>{u"Simple", u"Spaced Repetition", u"Weighted"}));
  EXPECT_EQ(Sorts(kFlashListProfiles), (std::vector<int32_t>{1, 2, 3}));
  ASSERT_EQ(SaveProfileList(store), 0);
  FreeFlashList(&store->profiles);
  EXPECT_EQ(Names(kFlashListProfiles), (std::vector<std::u16string>{u"Simple", u"Spaced Repetition", u"Weighted"}));
}

TEST_F(ListsTest, DeletingTheMiddleProfileClosesTheGap) {
  const int32_t simple = GetProfileIdByIndex(store, 0);
  const int32_t weighted = GetProfileIdByIndex(store, 1);
  ASSERT_EQ(SelectFlashProfile(store, weighted), 0);
  ASSERT_EQ(LoadCurrentProfileSettings(store), 0);
  EXPECT_EQ(DeleteProfile(store, weighted), 0);
  EXPECT_EQ(Sorts(kFlashListProfiles), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(Names(kFlashListProfiles), (std::vector<std::u16string>{u"Simple", u"Spaced Repetition"}));
  // The deleted profile was current: the first takes over, the cache is
  // for it, and its settings are gone from the file.
  EXPECT_EQ(GetCurrentProfileId(store), simple);
  EXPECT_EQ(GetPref(engine, kPrefCurrentProfile), simple);
  EXPECT_EQ(store->settingsLoaded, 0);
  EXPECT_EQ(Count("sorvi_flash_profilesettings WHERE propset = " + std::to_string(weighted)), "0");
  ASSERT_EQ(SaveProfileList(store), 0);
  EXPECT_EQ(Query(kDefaultKvb, "SELECT group_concat(sort) FROM sorvi_flash_profiles"), "1,2");
}

TEST_F(ListsTest, DeletingTheLastRecordIsRefused) {
  ASSERT_EQ(DeleteProfile(store, GetProfileIdByIndex(store, 2)), 0);
  ASSERT_EQ(DeleteProfile(store, GetProfileIdByIndex(store, 1)), 0);
  EXPECT_EQ(DeleteProfile(store, GetProfileIdByIndex(store, 0)), 1);
  EXPECT_EQ(GetProfileCount(store), 1);
  EXPECT_EQ(DeleteScorefile(store, GetScorefileIdByIndex(store, 0)), 1);
  EXPECT_EQ(GetScorefileCount(store), 1);
  EXPECT_EQ(Count("sorvi_flash_scores_1"), "0");  // the table is still there
}

TEST_F(ListsTest, ScorefilesCopyRowsAndDeletingOneRepointsProfiles) {
  const int32_t first = GetScorefileIdByIndex(store, 0);
  CardScoreRecord r;
  InitCardScoreRecord(&r);
  for (int32_t card : {1, 2, 3}) ASSERT_EQ(WriteCardScore(store, first, card, &r), 0);
  const int32_t copy = CreateScorefile(store, u"Copy", first);
  ASSERT_GT(copy, 0);
  EXPECT_EQ(Count("sorvi_flash_scores_" + std::to_string(copy)), "3");
  const int32_t empty = CreateScorefile(store, u"Empty", -1);
  EXPECT_EQ(Count("sorvi_flash_scores_" + std::to_string(empty)), "0");
  // Every profile scores into the copy; deleting it moves them to the first.
  for (int32_t i = 0; i < 3; ++i) {
    ASSERT_EQ(SelectFlashProfile(store, GetProfileIdByIndex(store, i)), 0);
    const ProfileSettingValue v{copy, nullptr};
    ASSERT_EQ(SetProfileSetting(store, kSetScorefile, &v), 0);
    ASSERT_EQ(SaveCurrentProfileSettings(store), 0);
  }
  EXPECT_EQ(DeleteScorefile(store, copy), 0);
  EXPECT_EQ(Query(kDefaultKvb,
                  "SELECT count(*) FROM sqlite_master WHERE name = 'sorvi_flash_scores_" + std::to_string(copy) + "'"),
            "0");
  EXPECT_EQ(Count("sorvi_flash_profilesettings WHERE propid = 'pro_scorefile' AND propvalue = '" +
                  std::to_string(first) + "'"),
            "3");
  EXPECT_EQ(GetProfileScorefileId(store), first);
  // A score table already gone is no failure.
  Raw(kDefaultKvb, "DROP TABLE sorvi_flash_scores_" + std::to_string(empty));
  EXPECT_EQ(DeleteScorefile(store, empty), 0);
  EXPECT_EQ(GetScorefileCount(store), 1);
  EXPECT_EQ(ClearScorefile(store, first), 0);
  EXPECT_EQ(Count("sorvi_flash_scores_" + std::to_string(first)), "0");
}

TEST_F(ListsTest, FindScorefileByNameMatchesUnderscoreAndLargest) {
  const int32_t a = CreateScorefile(store, u"Week 1", -1);
  const int32_t b = CreateScorefile(store, u"Week_2", -1);
  const int32_t c = CreateScorefile(store, u"Week 3", -1);
  struct Case {
    const char16_t* pattern;
    int largest;
    int32_t expected;
  };
  const Case cases[] = {
      {u"Week 1", 0, a},   // exact
      {u"Week_1", 0, a},   // "_" in the pattern matches " "
      {u"Week__", 0, a},   // first match in list order
      {u"Week__", 1, c},   // the largest id of all matches
      {u"Week 2", 0, b},   // "_" in the stored name matches " "
      {u"week 1", 0, -1},  // exact case
      {u"Week", 0, -1},    // whole names only
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(Utf8Of(k.pattern));
    EXPECT_EQ(FindScorefileByName(store, k.pattern, k.largest), k.expected);
  }
}

TEST_F(ListsTest, ResetToPresetLeavesUnlearnedRatioAbsent) {
  const int32_t simple = GetProfileIdByIndex(store, 0);
  ASSERT_EQ(ResetProfileToPreset(store, simple, 1), 0);
  EXPECT_EQ(
      Count("sorvi_flash_profilesettings WHERE propid = 'pro_unlearnedratio' AND propset = " + std::to_string(simple)),
      "0");
  ASSERT_EQ(LoadCurrentProfileSettings(store), 0);
  EXPECT_EQ(store->settings[kSetUnlearnedRatio].value, 1);
  EXPECT_EQ(store->settings[kSetUnlearnedRatio].present, 1u);
  EXPECT_EQ(store->settings[kSetUnlearnedRatio].dirty, 1u);
  EXPECT_EQ(store->settings[kSetCardCount].value, -1);  // preset 1's own value
  EXPECT_EQ(store->settings[kSetCardSelection].value, 1);
}

TEST_F(ListsTest, ValidateGivesEachMessage) {
  EXPECT_EQ(ValidateProfileForSession(store), nullptr);
  Raw(kDefaultKvb, "DROP TABLE sorvi_flash_scores_1");
  EXPECT_EQ(std::u16string(ValidateProfileForSession(store)), kInvalidScorefileMessage);
  Raw(kDefaultKvb, "DROP TABLE sorvi_flash_profilesettings");
  UnloadProfileSettingsCache(store);
  EXPECT_EQ(std::u16string(ValidateProfileForSession(store)), kProfileLoadFailedMessage);
  ProfileSettingValue v{};
  EXPECT_EQ(GetProfileSetting(store, kSetType, &v), 1);
}

// A scorefile whose score table cannot be made leaves no row: its name
// stays free and the list as it was.
TEST_F(ListsTest, FailedScoreTableLeavesNoScorefile) {
  const int32_t next = std::stoi(Query(kDefaultKvb,
                                       "SELECT seq + 1 FROM sqlite_sequence WHERE name = "
                                       "'sorvi_flash_scorefiles'"));
  OnStore("CREATE TABLE sorvi_flash_scores_" + std::to_string(next) + " (x)");
  EXPECT_EQ(CreateScorefile(store, u"New", -1), kFlashCreateFailed);
  EXPECT_EQ(Count("sorvi_flash_scorefiles WHERE name = 'New'"), "0");
  EXPECT_EQ(GetScorefileCount(store), 1);
  EXPECT_EQ(SqlTransactionDepth(store->database), 0u);
  OnStore("DROP TABLE sorvi_flash_scores_" + std::to_string(next));
  EXPECT_GT(CreateScorefile(store, u"New", -1), 0);
  EXPECT_EQ(GetScorefileCount(store), 2);
}

// Any failed step of a delete rolls everything back: file, list, cache and
// preference 82.
TEST_F(ListsTest, FailedDeleteChangesNothing) {
  const int32_t simple = GetProfileIdByIndex(store, 0);
  ASSERT_EQ(LoadCurrentProfileSettings(store), 0);
  const int32_t extra = CreateScorefile(store, u"Extra", -1);
  ASSERT_GT(extra, 0);
  OnStore(
      "CREATE TRIGGER no_delete BEFORE DELETE ON sorvi_flash_scorefiles BEGIN SELECT RAISE(ABORT, 'no'); END;"
      "CREATE TRIGGER no_profile_delete BEFORE DELETE ON sorvi_flash_profiles BEGIN SELECT RAISE(ABORT, 'no'); "
      "END;");
  EXPECT_EQ(DeleteScorefile(store, extra), 1);
  EXPECT_EQ(GetScorefileCount(store), 2);
  EXPECT_EQ(Query(kDefaultKvb,
                  "SELECT count(*) FROM sqlite_master WHERE name = 'sorvi_flash_scores_" + std::to_string(extra) + "'"),
            "1");
  EXPECT_EQ(DeleteProfile(store, simple), 1);
  EXPECT_EQ(GetProfileCount(store), 3);
  EXPECT_EQ(GetCurrentProfileId(store), simple);
  EXPECT_EQ(GetPref(engine, kPrefCurrentProfile), simple);
  EXPECT_EQ(store->settingsLoaded, 1);
  EXPECT_EQ(Count("sorvi_flash_profilesettings WHERE propset = " + std::to_string(simple)), "124");
  EXPECT_EQ(SqlTransactionDepth(store->database), 0u);
}

// A caller's transaction that ends rolled back takes memory back with the
// file.
TEST_F(ListsTest, CallerRollbackReloadsListsAndPreference) {
  const int32_t simple = GetProfileIdByIndex(store, 0);
  ASSERT_EQ(SqlBegin(store->database), 0);
  ASSERT_GT(CreateProfile(store, u"Gone", -1), 0);
  ASSERT_EQ(DeleteProfile(store, simple), 0);
  EXPECT_EQ(GetProfileCount(store), 3);
  EXPECT_NE(GetPref(engine, kPrefCurrentProfile), simple);
  ASSERT_EQ(SqlRollback(store->database), 0);
  EXPECT_EQ(Names(kFlashListProfiles), (std::vector<std::u16string>{u"Simple", u"Weighted", u"Spaced Repetition"}));
  EXPECT_EQ(GetCurrentProfileId(store), simple);
  EXPECT_EQ(GetPref(engine, kPrefCurrentProfile), simple);
  EXPECT_EQ(Count("sorvi_flash_profiles"), "3");
}

// While a worker's transaction is open, changes from this thread are
// refused with SQLITE_BUSY and leave file and memory alone; reads go on.
TEST_F(ListsTest, WorkerTransactionRefusesChangesFromOtherThreads) {
  CardScoreRecord r;
  InitCardScoreRecord(&r);
  ASSERT_EQ(WriteCardScore(store, 1, 5, &r), 0);
  ASSERT_EQ(LoadCurrentProfileSettings(store), 0);
  std::atomic<int> stage{0};
  std::thread worker([&] {
    EXPECT_EQ(SqlBegin(store->database), SQLITE_OK);
    stage = 1;
    while (stage != 2) std::this_thread::yield();
    EXPECT_EQ(SqlCommit(store->database), SQLITE_OK);
  });
  while (stage != 1) std::this_thread::yield();
  EXPECT_EQ(CreateProfile(store, u"Busy", -1), kFlashCreateFailed);
  EXPECT_EQ(DeleteProfile(store, GetProfileIdByIndex(store, 2)), 1);
  const ProfileSettingValue v{42, nullptr};
  ASSERT_EQ(SetProfileSetting(store, kSetCardCount, &v), 0);
  EXPECT_EQ(SaveCurrentProfileSettings(store), SQLITE_BUSY);
  EXPECT_EQ(store->settings[kSetCardCount].dirty, 1u);  // still to be saved
  EXPECT_EQ(WriteCardScore(store, 1, 6, &r), SQLITE_BUSY);
  EXPECT_EQ(ApplyCardPriorityCode(store, 1, 5, kCodeHigh), SQLITE_BUSY);
  CardScoreRecord back;
  EXPECT_EQ(ReadCardScore(store, 1, 5, &back, 1), 0);  // reads go on
  EXPECT_EQ(GetProfileCount(store), 3);
  stage = 2;
  worker.join();
  EXPECT_EQ(Count("sorvi_flash_profiles"), "3");
  EXPECT_EQ(Count("sorvi_flash_scores_1"), "1");
  EXPECT_EQ(SaveCurrentProfileSettings(store), 0);
  EXPECT_GT(CreateProfile(store, u"Busy", -1), 0);
}
