// Choosing, creating and recognising the flashcard database.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "engine/sql_schema.h"
#include "flash/profile_lists.h"
#include "flash/profile_settings.h"
#include "flash/card_batch.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash_fixture.h"
#include "platform/heap.h"
#include "tests/support/utf16_print.h"

namespace {

std::u16string NameOf(FlashcardStore* s, uint32_t kind, int32_t id) {
  WCHAR buffer[kFlashNameMax];
  uint32_t length = kFlashNameMax;
  if (GetFlashListName(s, kind, id, buffer, &length) != 0) return u"?";
  return buffer;
}

uint64_t FileTimeOf(time_t seconds) { return static_cast<uint64_t>(seconds) * 10000000ull + 116444736000000000ull; }

}  // namespace

TEST_F(FlashTest, CreatesTheDefaultDatabaseWithItsSchemaAndDefaults) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(engine->userDbCount, 1u);
  EXPECT_STREQ(store->database->path, kDefaultKvb);
  // Schema: the tables with their columns and constraints, and the indexes.
  const std::string master = "SELECT sql FROM sqlite_master WHERE name = ";
  EXPECT_EQ(Query(kDefaultKvb, master + "'sorvi_flash_cards'"),
            "CREATE TABLE 'sorvi_flash_cards' (\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, \"lang\" INTEGER, "
            "\"hw\" TEXT COLLATE NOCASE, \"althw\" TEXT COLLATE NOCASE, \"pron\" TEXT COLLATE NOCASE, "
            "\"defn\" TEXT, \"dictcreator\" INTEGER, \"dictid\" INTEGER, \"dictentry\" INTEGER, "
            "\"altdictrefs\" TEXT, \"wordlength\" INTEGER, \"created\" INTEGER, \"modified\" INTEGER)");
  EXPECT_EQ(Query(kDefaultKvb, master + "'sorvi_flash_categoryassigns'"),
            "CREATE TABLE 'sorvi_flash_categoryassigns' (\"card\" INTEGER, \"cat\" INTEGER, \"id\" INTEGER PRIMARY "
            "KEY AUTOINCREMENT, UNIQUE (\"card\", \"cat\") )");
  EXPECT_EQ(Query(kDefaultKvb, master + "'sorvi_flash_categories'"),
            "CREATE TABLE 'sorvi_flash_categories' (\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, \"name\" TEXT, "
            "\"created\" INTEGER, \"modified\" INTEGER, \"parent\" INTEGER, \"sort\" INTEGER, \"hidden\" INTEGER, "
            "\"class\" INTEGER, UNIQUE (\"name\", \"parent\") )");
  EXPECT_EQ(Query(kDefaultKvb, master + "'sorvi_flash_profiles'"),
            "CREATE TABLE 'sorvi_flash_profiles' (\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, \"name\" TEXT UNIQUE, "
            "\"created\" INTEGER, \"modified\" INTEGER, \"laststart\" INTEGER, \"lastend\" INTEGER, \"sort\" INTEGER, "
            "\"hidden\" INTEGER)");
  EXPECT_EQ(Query(kDefaultKvb, master + "'sorvi_flash_scorefiles'"),
            "CREATE TABLE 'sorvi_flash_scorefiles' (\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, \"name\" TEXT UNIQUE, "
            "\"created\" INTEGER, \"modified\" INTEGER, \"sort\" INTEGER)");
  EXPECT_EQ(Query(kDefaultKvb,
                  "SELECT group_concat(name, ' ') FROM (SELECT name FROM sqlite_master WHERE type = "
                  "'index' AND name LIKE 'idx_%' ORDER BY name)"),
            "idx_sorvi_flash_cards_althw idx_sorvi_flash_cards_dictentry idx_sorvi_flash_cards_hw "
            "idx_sorvi_flash_cards_pron idx_sorvi_flash_categoryassigns_card idx_sorvi_flash_categoryassigns_cat_card");
  EXPECT_EQ(Query(kDefaultKvb, "SELECT count(*) FROM sqlite_master WHERE name = 'sorvi_flash_profilesettings'"), "1");
  EXPECT_EQ(Query(kDefaultKvb, "SELECT count(*) FROM sqlite_master WHERE name = 'sorvi_flash_scores_1'"), "1");
  // Property set 0: seven rows; FileID is the signed creation stamp.
  const std::string prop = "SELECT propvalue FROM sorvi_flash_properties WHERE propset = 0 AND propid = ";
  EXPECT_EQ(Query(kDefaultKvb, "SELECT count(*) FROM sorvi_flash_properties"), "7");
  EXPECT_EQ(Query(kDefaultKvb, prop + "'FormatString'"), "Sorvi SQL Flashcard Database");
  EXPECT_EQ(Query(kDefaultKvb, prop + "'FormatVersion'"), "8");
  EXPECT_EQ(Query(kDefaultKvb, prop + "'FileGenerator'"), "Sorvi Engine 2.0");
  EXPECT_EQ(Query(kDefaultKvb, prop + "'FilePlatform'"), "Windows Mobile");
  const uint32_t created = static_cast<uint32_t>(std::stoul(Query(kDefaultKvb, prop + "'FileCreated'")));
  EXPECT_EQ(created, static_cast<uint32_t>(FlashNow()));
  EXPECT_EQ(Query(kDefaultKvb, prop + "'FileCreator'"), std::to_string(0x5352564E));
  EXPECT_EQ(Query(kDefaultKvb, prop + "'FileID'"), std::to_string(static_cast<int32_t>((created >> 1) | 0x80000000u)));
  // One scorefile, three profiles in sort order, the first current.
  ASSERT_EQ(GetScorefileCount(store), 1);
  EXPECT_EQ(NameOf(store, kFlashListScorefiles, GetScorefileIdByIndex(store, 0)), u"Default");
  ASSERT_EQ(GetProfileCount(store), 3);
  EXPECT_EQ(NameOf(store, kFlashListProfiles, GetProfileIdByIndex(store, 0)), u"Simple");
  EXPECT_EQ(NameOf(store, kFlashListProfiles, GetProfileIdByIndex(store, 1)), u"Weighted");
  EXPECT_EQ(NameOf(store, kFlashListProfiles, GetProfileIdByIndex(store, 2)), u"Spaced Repetition");
  EXPECT_EQ(GetCurrentProfileId(store), GetProfileIdByIndex(store, 0));
  EXPECT_EQ(GetPref(engine, kPrefCurrentProfile), GetProfileIdByIndex(store, 0));
  // The presets: Weighted selects by frequency, Spaced Repetition by spacing.
  const std::string setting =
      "SELECT propvalue FROM sorvi_flash_profilesettings WHERE propid = 'pro_cardselection' "
      "AND propset = ";
  EXPECT_EQ(Query(kDefaultKvb, setting + std::to_string(GetProfileIdByIndex(store, 0))), "<null>");  // 0
  EXPECT_EQ(Query(kDefaultKvb, setting + std::to_string(GetProfileIdByIndex(store, 1))), "2");
  EXPECT_EQ(Query(kDefaultKvb, setting + std::to_string(GetProfileIdByIndex(store, 2))), "1");
  EXPECT_EQ(WereMultipleFlashcardDbsFound(store), 0);
  EXPECT_EQ(NeedsFlashcardIndexUpgrade(store), 0);
  EXPECT_EQ(IsFlashcardIndexCurrent(store), 1);
  EXPECT_EQ(RunFlashcardIndexUpgrade(store, nullptr, nullptr), 0);
}

TEST_F(FlashTest, ReopeningFindsTheSameDatabaseAndProfile) {
  ASSERT_NE(Open(), nullptr);
  const int32_t weighted = GetProfileIdByIndex(store, 1);
  ASSERT_EQ(SelectFlashProfile(store, weighted), 0);
  Destroy();
  ASSERT_NE(Open({kDefaultKvb}), nullptr);
  EXPECT_EQ(engine->userDbCount, 1u);
  EXPECT_EQ(GetProfileCount(store), 3);
  // A fresh engine starts from default preferences: preference 82 names no
  // profile, so the first becomes current and is written back.
  EXPECT_EQ(GetCurrentProfileId(store), GetProfileIdByIndex(store, 0));
  EXPECT_EQ(GetPref(engine, kPrefCurrentProfile), GetProfileIdByIndex(store, 0));
}

TEST_F(FlashTest, PreferenceNamingADeletedProfileFallsBackToTheFirst) {
  ASSERT_NE(Open(), nullptr);
  const int32_t simple = GetProfileIdByIndex(store, 0);
  const int32_t weighted = GetProfileIdByIndex(store, 1);
  ASSERT_EQ(SelectFlashProfile(store, weighted), 0);
  ASSERT_EQ(MoveProfile(store, 0, 0), 0);  // Weighted first, Simple second
  ASSERT_EQ(SaveProfileList(store), 0);
  // The profile preference 82 names is deleted behind the store's back.
  Raw(kDefaultKvb, "DELETE FROM sorvi_flash_profiles WHERE id = " + std::to_string(weighted));
  // Open again with preference 82 still naming it.
  SetPref(engine, kPrefCurrentProfile, weighted);
  DictEngine* previous = engine;
  FlashcardStore* reopened = OpenFlashcardStore(previous, nullptr);
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(GetCurrentProfileId(reopened), simple);
  EXPECT_EQ(GetPref(engine, kPrefCurrentProfile), simple);
  CloseFlashcardStore(reopened);
}

TEST_F(FlashTest, OldestOfSeveralDatabasesIsUsed) {
  const char* a = "\\My Documents\\a.kvb";
  const char* b = "\\My Documents\\b.kvb";
  MakeDatabase(a);
  MakeDatabase(b);
  Raw(a, "UPDATE sorvi_flash_properties SET propvalue = '200' WHERE propid = 'FileCreated'");
  Raw(b, "UPDATE sorvi_flash_properties SET propvalue = '100' WHERE propid = 'FileCreated'");
  ASSERT_NE(Open({a, b}), nullptr);
  EXPECT_STREQ(store->database->path, b);
  EXPECT_EQ(WereMultipleFlashcardDbsFound(store), 1);
  EXPECT_EQ(engine->userDbCount, 2u);  // nothing created
  ASSERT_NE(Open({a}), nullptr);
  EXPECT_EQ(WereMultipleFlashcardDbsFound(store), 0);
}

TEST_F(FlashTest, EquallyOldDatabasesGoByTheWholeWriteTime) {
  const char* a = "\\My Documents\\a.kvb";
  const char* b = "\\My Documents\\b.kvb";
  MakeDatabase(a);
  MakeDatabase(b);
  Raw(a, "UPDATE sorvi_flash_properties SET propvalue = '100' WHERE propid = 'FileCreated'");
  Raw(b, "UPDATE sorvi_flash_properties SET propvalue = '100' WHERE propid = 'FileCreated'");
  // b is written ten minutes after a, yet the low word of its write time is
  // the smaller one.
  time_t early = 1700000000;
  while ((FileTimeOf(early) & 0xFFFFFFFFu) <= (FileTimeOf(early + 600) & 0xFFFFFFFFu)) ++early;
  SetWriteTime(a, early);
  SetWriteTime(b, early + 600);
  for (auto order : {std::vector<std::string>{a, b}, std::vector<std::string>{b, a}}) {
    ASSERT_NE(Open(order), nullptr);
    EXPECT_STREQ(store->database->path, b);
    EXPECT_EQ(WereMultipleFlashcardDbsFound(store), 1);
  }
}

// Files that are no flashcard database: passed over when they lie
// elsewhere, never turned into one when they lie at the default path.
TEST_F(FlashTest, OtherFilesArePassedOverAndNeverOverwritten) {
  struct Case {
    const char* what;
    const char* sql;  // applied to a fresh flashcard database; null: a file of another kind
    bool damaged;     // raw bytes instead: an SQLite header over nothing
  };
  const Case cases[] = {
      {"format version 7", "UPDATE sorvi_flash_properties SET propvalue = '7' WHERE propid = 'FormatVersion'", false},
      {"a user dictionary", nullptr, false},
      {"a damaged database", nullptr, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool atDefault : {false, true}) {
      const std::string path = atDefault ? kDefaultKvb : "\\My Documents\\other.kvb";
      std::filesystem::remove(HostOf(kDefaultKvb));
      std::filesystem::remove(HostOf("\\My Documents\\other.kvb"));
      if (c.damaged) {
        std::string bytes("SQLite format 3", 15);
        bytes.push_back('\0');
        bytes.append(84, 'Z');
        std::ofstream(HostOf(path), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      } else if (c.sql) {
        MakeDatabase(path.c_str());
        Raw(path, c.sql);
      } else {
        Raw(path,
            "CREATE TABLE sorvi_user_properties (propset INTEGER, propid TEXT, propvalue TEXT, propisstring "
            "INTEGER); INSERT INTO sorvi_user_properties VALUES (0, 'FormatVersion', '1', 0)");
      }
      const auto size = std::filesystem::file_size(HostOf(path));
      std::ifstream in(HostOf(path), std::ios::binary);
      const std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      Open({path});
      if (atDefault) {
        EXPECT_EQ(store, nullptr);
        EXPECT_EQ(GetFlashcardStore(engine), nullptr);
        std::ifstream again(HostOf(path), std::ios::binary);
        const std::string after((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
        EXPECT_EQ(after, before);  // left as it was
        EXPECT_EQ(std::filesystem::file_size(HostOf(path)), size);
      } else {
        ASSERT_NE(store, nullptr);
        EXPECT_STREQ(store->database->path, kDefaultKvb);
        EXPECT_EQ(GetProfileCount(store), 3);
      }
      Destroy();
    }
  }
}

TEST_F(FlashTest, OldIndexSetIsUpgradedInOneTransaction) {
  const char* path = "\\My Documents\\old.kvb";
  MakeDatabase(path);
  Raw(path,
      "DROP INDEX idx_sorvi_flash_categoryassigns_cat_card; DROP INDEX idx_sorvi_flash_cards_dictentry; "
      "CREATE INDEX idx_sorvi_flash_categoryassigns_cat ON sorvi_flash_categoryassigns (cat); "
      // Enough cards that building the index reaches the progress handler.
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
      "INSERT INTO sorvi_flash_cards (dictentry) SELECT i FROM n");
  ASSERT_NE(Open({path}), nullptr);
  EXPECT_EQ(NeedsFlashcardIndexUpgrade(store), 1);
  EXPECT_EQ(IsFlashcardIndexCurrent(store), 0);
  EXPECT_EQ(HostIsFlashcardIndexCurrent(engine), 0);
  std::vector<std::string> statements;
  sqlite3_trace_v2(
      store->database->conn, SQLITE_TRACE_STMT,
      [](unsigned, void* context, void*, void* x) {
        static_cast<std::vector<std::string>*>(context)->push_back(static_cast<const char*>(x));
        return 0;
      },
      &statements);
  int calls = 0;
  auto progress = [](void* context) {
    ++*static_cast<int*>(context);
    return 0;
  };
  EXPECT_EQ(RunFlashcardIndexUpgrade(store, progress, &calls), 0);
  sqlite3_trace_v2(store->database->conn, 0, nullptr, nullptr);
  EXPECT_GT(calls, 0);
  EXPECT_EQ(IsFlashcardIndexCurrent(store), 1);
  EXPECT_EQ(HostIsFlashcardIndexCurrent(engine), 1);
  // One BEGIN and one COMMIT around the drop and both creations.
  int begins = 0, commits = 0;
  for (const std::string& s : statements) {
    begins += s == "BEGIN";
    commits += s == "COMMIT";
  }
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(commits, 1);
  EXPECT_EQ(Query(path,
                  "SELECT count(*) FROM sqlite_master WHERE name IN ('idx_sorvi_flash_categoryassigns_cat_card',"
                  " 'idx_sorvi_flash_cards_dictentry')"),
            "2");
  EXPECT_EQ(Query(path, "SELECT count(*) FROM sqlite_master WHERE name = 'idx_sorvi_flash_categoryassigns_cat'"), "0");
}

TEST_F(FlashTest, NoFlashcardsSwitchOpensNoStore) {
  EXPECT_EQ(Open({}, kDefaultKvb, true), nullptr);
  EXPECT_EQ(GetFlashcardStore(engine), nullptr);
  EXPECT_FALSE(std::filesystem::exists(HostOf(kDefaultKvb)));
}

// A default path where no file can be made (its folder is missing, or a
// file stands where the folder should be).
TEST_F(FlashTest, UnwritablePlaceGivesNoStoreAndNoFile) {
  std::ofstream(root.Host("Blocker")).put('x');
  for (const char* path : {"\\Missing\\Sorvi Flashcards.kvb", "\\Blocker\\Sorvi Flashcards.kvb"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(Open({}, path), nullptr);
    EXPECT_EQ(GetFlashcardStore(engine), nullptr);
    EXPECT_EQ(engine->userDbCount, 0u);
  }
  EXPECT_FALSE(std::filesystem::exists(root.Host("Missing")));
  EXPECT_EQ(std::filesystem::file_size(root.Host("Blocker")), 1u);
}

// A creation that fails inside its transaction (an authorizer refuses the
// last table) leaves no table behind, so a later start can still create
// the database there.
namespace {
int RefuseAssignTable(void*, int action, const char* name, const char*, const char*, const char*) {
  return action == SQLITE_CREATE_TABLE && name && std::string(name) == "sorvi_flash_categoryassigns" ? SQLITE_DENY
                                                                                                     : SQLITE_OK;
}
int InstallRefusal(sqlite3* db, const char**, const sqlite3_api_routines*) {
  sqlite3_set_authorizer(db, RefuseAssignTable, nullptr);
  return SQLITE_OK;
}
}  // namespace

TEST_F(FlashTest, FailedCreationLeavesAFileWithoutTables) {
  sqlite3_auto_extension(reinterpret_cast<void (*)()>(InstallRefusal));
  EXPECT_EQ(Open(), nullptr);
  sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(InstallRefusal));
  Destroy();
  EXPECT_EQ(Query(kDefaultKvb, "SELECT count(*) FROM sqlite_master"), "0");
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(GetProfileCount(store), 3);
}

// A new database whose defaults cannot be written (an authorizer refuses
// the profile rows) is removed again rather than left without profiles.
namespace {
int RefuseProfileRows(void*, int action, const char* name, const char*, const char*, const char*) {
  return action == SQLITE_INSERT && name && std::string(name) == "sorvi_flash_profiles" ? SQLITE_DENY : SQLITE_OK;
}
int InstallProfileRefusal(sqlite3* db, const char**, const sqlite3_api_routines*) {
  sqlite3_set_authorizer(db, RefuseProfileRows, nullptr);
  return SQLITE_OK;
}
}  // namespace

TEST_F(FlashTest, FailedDefaultsRemoveTheNewFile) {
  sqlite3_auto_extension(reinterpret_cast<void (*)()>(InstallProfileRefusal));
  EXPECT_EQ(Open(), nullptr);
  sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(InstallProfileRefusal));
  EXPECT_EQ(engine->userDbCount, 0u);
  EXPECT_FALSE(std::filesystem::exists(HostOf(kDefaultKvb)));
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(GetProfileCount(store), 3);
}

TEST_F(FlashTest, DestroyingTheEngineWritesDirtyListRecords) {
  ASSERT_NE(Open(), nullptr);
  const int32_t id = GetScorefileIdByIndex(store, 0);
  ASSERT_EQ(RenameScorefile(store, id, u"Renamed"), 0);
  Destroy();
  EXPECT_EQ(Query(kDefaultKvb, "SELECT name FROM sorvi_flash_scorefiles WHERE id = " + std::to_string(id)), "Renamed");
}

TEST_F(FlashTest, TheHostTableCarriesTheStoreServices) {
  EngineHost fresh{};
  FillFlashcardHost(&fresh);
  EXPECT_EQ(fresh.openFlashcardStore, &OpenFlashcardStoreFromEngine);
  EXPECT_EQ(fresh.closeFlashcardStore, &CloseFlashcardStore);
  EXPECT_EQ(fresh.isFlashcardIndexCurrent, &IsFlashcardIndexCurrent);
  EXPECT_EQ(fresh.saveCard, &SaveCard);
  EXPECT_EQ(fresh.getCategoryDisplayName, &GetCategoryDisplayName);
  EXPECT_EQ(fresh.relinkCardsOfUserEntry, &RelinkCardsOfUserEntry);
}

// Opening over an existing database while the heap fails at any one point
// gives a store or none, and leaks nothing either way.
TEST_F(FlashTest, OpeningSurvivesAFailingHeap) {
  ASSERT_NE(Open(), nullptr);
  ASSERT_NE(Open({kDefaultKvb}, nullptr), nullptr);
  const int32_t current = GetPref(engine, kPrefCurrentProfile);
  ASSERT_GT(current, 0);
  int opened = 0;
  for (DWORD nth = 1; nth <= 40; ++nth) {
    SCOPED_TRACE(nth);
    const SIZE_T before = GetLocalHeapBlockCount();
    SetLocalHeapFailure(nth, 1);
    FlashcardStore* s = OpenFlashcardStore(engine, nullptr);
    ClearLocalHeapFailure();
    if (s) {
      ++opened;
      EXPECT_EQ(GetProfileCount(s), 3);
      CloseFlashcardStore(s);
    }
    EXPECT_EQ(GetLocalHeapBlockCount(), before);
    // A list that could not be read never replaces the current profile.
    EXPECT_EQ(GetPref(engine, kPrefCurrentProfile), current);
  }
  EXPECT_GT(opened, 0);  // past the last allocation it opens
}
