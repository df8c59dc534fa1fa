// The user dictionary file: making it and its names, accepting or refusing
// a database, loading its slot, its properties and the engine's view of it.
#include <algorithm>
#include <vector>

#include "engine/dict_order.h"
#include "engine/sql_properties.h"
#include "tests/engine_userdict/userdict_fixture.h"

namespace {

using FileTest = UserDictTest;

std::vector<std::string> Tables(FileTest* t, uint16_t slot) {
  return t->Rows(slot, "SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 'sorvi%' ORDER BY name");
}

TEST_F(FileTest, DefaultChineseAndEnglishDictionaries) {
  const uint16_t zh = NewDict(kLanguageChinese);
  const uint16_t en = NewDict(kLanguageEnglish);
  // Same two-second interval: the English one's id is one greater.
  const uint32_t zhId = static_cast<uint32_t>(GetDictId(engine, zh));
  EXPECT_EQ(static_cast<uint32_t>(GetDictId(engine, en)), zhId + 1);
  EXPECT_EQ(zhId, ((GetUtcSeconds() >> 1) | 0x80000000u));
  EXPECT_EQ(GetDictCreator(engine, zh), kUserDictCreator);

  char hex[9];
  FormatHex8(hex, GetUtcSeconds());
  EXPECT_EQ(HostFiles(), (std::vector<std::string>{std::string("SorviCUser") + hex + ".kvb",
                                                   std::string("SorviEUser") + hex + ".kvb"}));
  EXPECT_EQ(Tables(this, zh),
            (std::vector<std::string>{"sorvi_dict_entries", "sorvi_dict_posdex_hz_1", "sorvi_dict_posdex_hz_2",
                                      "sorvi_dict_posdex_hz_3", "sorvi_dict_posdex_hz_4", "sorvi_dict_posdex_py_1",
                                      "sorvi_dict_posdex_py_2", "sorvi_dict_posdex_py_3", "sorvi_dict_posdex_py_4",
                                      "sorvi_dict_properties"}));
  EXPECT_EQ(Tables(this, en),
            (std::vector<std::string>{"sorvi_dict_alphadex", "sorvi_dict_entries", "sorvi_dict_properties"}));
  EXPECT_EQ(One(zh, "SELECT sql FROM sqlite_master WHERE name = 'sorvi_dict_entries'"),
            "CREATE TABLE 'sorvi_dict_entries' (\"uid\" INTEGER PRIMARY KEY AUTOINCREMENT, \"created\" INTEGER, "
            "\"modified\" INTEGER, \"length\" INTEGER, \"word\" TEXT COLLATE NOCASE, \"altword\" TEXT COLLATE "
            "NOCASE, \"pron\" TEXT COLLATE NOCASE, \"defn\" TEXT, \"sortkey\" TEXT UNIQUE)");
  EXPECT_EQ(One(zh, "SELECT COUNT(*) FROM sqlite_master WHERE name = "
                    "'idx_sorvi_dict_posdex_hz_1_syllable_uid_length'"),
            "1");

  WCHAR buf[40];
  EXPECT_EQ(GetDictMenuName(engine, zh, buf, 40), 0);
  EXPECT_EQ(U16(buf), u"User C-E");
  EXPECT_EQ(GetDictShortName(engine, en, buf, 40), 0);
  EXPECT_EQ(U16(buf), u"User Dictionary E-C");
  EXPECT_EQ(U16(GetUserDictText(engine, zh, 2)), u"Sorvi User-Created Chinese-English Dictionary");
  EXPECT_EQ(GetDictLanguage(engine, zh), kLanguageChinese);
  EXPECT_EQ(GetDictTransLanguage(engine, zh), kLanguageEnglish);
  EXPECT_EQ(GetDictLanguage(engine, en), kLanguageEnglish);
  EXPECT_EQ(GetDictKind(engine, en), kDictKindUser);
  EXPECT_EQ(GetDictIconText(engine, zh, buf, kDictIconBufferUnits), 0);
  EXPECT_EQ(U16(buf), u"USR");
  EXPECT_EQ(GetUserDictIconFillColor(Slot(zh)), kUserDictDefaultFill);

  // The stored property set.
  EXPECT_EQ(Property(zh, "FormatString"), "Sorvi SQL Dictionary Database");
  EXPECT_EQ(Property(zh, "FormatVersion"), "8");
  EXPECT_EQ(Property(zh, "FilePlatform"), "Windows Mobile");
  EXPECT_EQ(Property(zh, "DictLang"), "Chinese");
  EXPECT_EQ(Property(zh, "TransLang"), "English");
  EXPECT_EQ(Property(zh, "EditLock"), "NULL");  // integer 0 is NULL in a TEXT column
  EXPECT_EQ(Property(zh, "DictIconTextColor"), "16777215");
  EXPECT_EQ(Count(zh, "sorvi_dict_properties"), 20);
  EXPECT_EQ(GetUserDictEntryCount(engine, zh), 0);
  EXPECT_EQ(IsUserDictIndexed(engine, zh), 1);
  EXPECT_EQ(IsDictSlotOpen(engine, en), 1);
  // Each joined the order list of its headword language.
  EXPECT_EQ(GetDictListLength(engine, 0), 1);
  EXPECT_EQ(GetDictListLength(engine, 1), 1);
  // Compacting keeps them usable.
  EXPECT_EQ(VacuumUserDatabases(engine), 0);
  EXPECT_GT(AddUserDictEntry(engine, en, u"after", nullptr, nullptr, nullptr), 0);
}

TEST_F(FileTest, NamesStayUtf16AndFileNamesStaySafe) {
  MakeEngine();
  struct Case {
    const char16_t* name;
    const char* file;  // expected file name in the folder, UTF-8
  } cases[] = {
      {u"我的词典", "我的词典.kvb"},
      {u"a/b\\c:d", "a_b_c_d.kvb"},
      {u"..", nullptr},  // no stem: the default name
      {u"Êtres 𠀀", "Êtres 𠀀.kvb"},
  };
  for (const Case& c : cases) {
    const auto before = HostFiles();
    const uint16_t slot = NewDict(kLanguageChinese, c.name);
    auto after = HostFiles();
    std::vector<std::string> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    ASSERT_EQ(added.size(), 1u);
    if (c.file) {
      EXPECT_EQ(added[0], c.file);
      EXPECT_EQ(U16(GetUserDictText(engine, slot, 2)), c.name);
      WCHAR buf[40];
      GetDictMenuName(engine, slot, buf, 40);
      EXPECT_EQ(U16(buf), c.name);
    } else {
      EXPECT_EQ(added[0].rfind("SorviCUser", 0), 0u) << added[0];
      EXPECT_EQ(U16(GetUserDictText(engine, slot, 1)), u"User C-E");
    }
  }
  // A name whose file exists keeps its name in a file of the default stem.
  const uint16_t again = NewDict(kLanguageChinese, u"我的词典");
  EXPECT_EQ(U16(GetUserDictText(engine, again, 0)), u"我的词典");
  EXPECT_EQ(Property(again, "DictName"), "我的词典");
  // Long names are cut to 32 characters.
  std::u16string longName(40, u'x');
  const uint16_t cut = NewDict(kLanguageEnglish, longName.c_str());
  EXPECT_EQ(U16(GetUserDictText(engine, cut, 1)), std::u16string(32, u'x'));
}

// The two ways of handing a list item's user-dictionary ids to an import or
// an export: two numbers, or the export record's fields at their offsets.
TEST_F(FileTest, ListItemIdsGoIntoTheCallersRecord) {
  const uint16_t zh = NewDict(kLanguageChinese);
  const uint16_t en = NewDict(kLanguageEnglish);
  ASSERT_NE(GetDictId(engine, zh), GetDictId(engine, en));
  struct Case {
    uint32_t list, item;
    int slot;  // -1: no open user dictionary there
    const char* why;
  };
  const Case cases[] = {
      {0, 0, zh, "the Chinese list's user dictionary"},
      {1, 0, en, "the English list's user dictionary"},
      {0, 1, -1, "an item past the end"},
      {2, 0, -1, "a list that does not exist"},
      {0xFFFFFFFFu, 0xFFFFFFFFu, -1, "both out of range"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    uint32_t creator = 5, id = 6;
    std::vector<uint8_t> record(kExportRecordBytes, 0xAB);
    const int expected = c.slot < 0 ? 1 : 0;
    EXPECT_EQ(GetDictListItemIds(engine, c.list, c.item, &creator, &id), expected);
    EXPECT_EQ(GetDictListItemIds2(engine, c.list, c.item, record.data()), expected);
    std::vector<uint8_t> want(kExportRecordBytes, 0xAB);
    if (c.slot >= 0) {
      const auto slot = static_cast<uint16_t>(c.slot);
      EXPECT_EQ(creator, GetDictCreator(engine, slot));
      EXPECT_EQ(id, static_cast<uint32_t>(GetDictId(engine, slot)));
      for (int i = 0; i < 4; ++i) {
        want[56 + i] = static_cast<uint8_t>(creator >> (8 * i));
        want[60 + i] = static_cast<uint8_t>(id >> (8 * i));
      }
    } else {
      EXPECT_EQ(creator, 5u);
      EXPECT_EQ(id, 6u);
    }
    EXPECT_EQ(record, want);  // nothing outside the two fields changes
  }
  EXPECT_EQ(GetDictListItemIds2(engine, 0, 0, nullptr), 1);
}

TEST_F(FileTest, FileIdsOfDictionariesMadeTogetherDiffer) {
  MakeEngine();
  std::vector<uint32_t> ids;
  for (int i = 0; i < 4; ++i) ids.push_back(static_cast<uint32_t>(GetDictId(engine, NewDict(kLanguageChinese))));
  ids.push_back(static_cast<uint32_t>(GetDictId(engine, NewDict(kLanguageEnglish))));
  std::vector<uint32_t> sorted = ids;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
  EXPECT_EQ(ids[1], ids[0] + 1);
  // Each file holds its own id, so they stay apart after a restart.
  for (uint16_t s = 0; s < 5; ++s) EXPECT_EQ(std::stoll(Property(s, "FileID")), static_cast<int32_t>(ids[s]));
}

TEST_F(FileTest, ExistingDatabaseIsNeverOverwritten) {
  MakeEngine();
  const uint16_t slot = NewDict(kLanguageChinese);
  const std::string path = std::string("\\My Documents\\other.kvb");
  SqlDb* db = SqlOpen(path.c_str());
  ASSERT_NE(db, nullptr);
  ASSERT_EQ(SqlExecRaw(db, "CREATE TABLE t (x)"), SQLITE_OK);
  SqlClose(db);
  EXPECT_EQ(CreateUserDictFile(engine, path.c_str(), u"n", u"n", u"n", kLanguageChinese, kLanguageEnglish, 0), -1);
  EXPECT_EQ(engine->slotCount, slot + 1);
  db = SqlOpen(path.c_str());
  EXPECT_EQ(SqlTableExists(db, "sorvi_dict_properties", 0), 0);
  SqlClose(db);
}

// Databases written by hand, then opened as the engine opens them.
class OpenTest : public UserDictTest {
 protected:
  // Makes a proper dictionary file, closes it, and lets `edit` change it.
  std::string MakeFile(const char* name, uint32_t language, const std::vector<std::string>& edits) {
    MakeEngine();
    const std::string path = std::string("\\My Documents\\") + name + ".kvb";
    EXPECT_EQ(CreateUserDictFile(engine, path.c_str(), u"Full", u"Short", u"Menu", language,
                                 language == kLanguageChinese ? kLanguageEnglish : kLanguageChinese, 0),
              0);
    DestroyEngineAndFree();
    SqlDb* db = SqlOpen(path.c_str());
    for (const auto& e : edits) EXPECT_EQ(SqlExecRaw(db, e.c_str()), SQLITE_OK) << e;
    SqlClose(db);
    return path;
  }
};

TEST_F(OpenTest, RefusesDatabasesThatAreNotThisFormat) {
  struct Case {
    const char* what;
    std::vector<std::string> edits;
  } cases[] = {
      {"other format string",
       {"UPDATE sorvi_dict_properties SET propvalue = 'Sorvi SQL Flashcard Database' WHERE propid = 'FormatString'"}},
      {"version 7", {"UPDATE sorvi_dict_properties SET propvalue = '7' WHERE propid = 'FormatVersion'"}},
      {"version missing", {"DELETE FROM sorvi_dict_properties WHERE propid = 'FormatVersion'"}},
      {"no properties", {"DELETE FROM sorvi_dict_properties"}},
      {"no entries table", {"DROP TABLE sorvi_dict_entries"}},
  };
  for (const Case& c : cases) {
    const std::string path = MakeFile("refused", kLanguageChinese, c.edits);
    MakeEngine({path});
    EXPECT_EQ(engine->slotCount, 0) << c.what;
    EXPECT_EQ(engine->userDbCount, 1) << c.what;  // kept open for the flashcard store
    DestroyEngineAndFree();
    std::filesystem::remove(root.host() + "/My Documents/refused.kvb");
  }
}

TEST_F(OpenTest, OpensThroughTheEngineAsASlot) {
  const std::string path = MakeFile("mine", kLanguageEnglish, {});
  // A flashcard database beside it is not a dictionary.
  SqlDb* cards = SqlOpen("\\My Documents\\cards.kvb");
  ASSERT_EQ(SqlExecRaw(cards, "CREATE TABLE sorvi_flash_properties (propset, propid, propvalue, propisstring)"), 0);
  ASSERT_EQ(SqlExecRaw(cards, "INSERT INTO sorvi_flash_properties VALUES (0, 'FormatString', 'x', 1)"), 0);
  SqlClose(cards);
  MakeEngine({"\\My Documents\\cards.kvb", path});
  ASSERT_EQ(engine->slotCount, 1);
  WCHAR buf[40];
  EXPECT_EQ(GetDictShortName(engine, 0, buf, 40), 0);
  EXPECT_EQ(U16(buf), u"Short");
  EXPECT_EQ(GetDictLanguage(engine, 0), kLanguageEnglish);
  EXPECT_EQ(GetDictListLength(engine, 1), 1);  // in the English order list
  const int32_t uid = AddUserDictEntry(engine, 0, u"hello", nullptr, nullptr, u"greeting");
  EXPECT_GT(uid, 0);
  EXPECT_EQ(HasDictEntry(engine, kUserDictCreator, static_cast<uint32_t>(GetDictId(engine, 0)), uid), 1);
  EXPECT_EQ(GetDictEntryAtPosition(engine, 0, 0), uid);
  EXPECT_EQ(GetDictPositionOfEntry(engine, 0, uid), 0);
}

TEST_F(OpenTest, LoadingMendsTheFile) {
  // EntryCount missing: counted once and written.
  std::string path = MakeFile("count", kLanguageChinese,
                              {"INSERT INTO sorvi_dict_entries (word) VALUES ('a'), ('b'), ('c')",
                               "DELETE FROM sorvi_dict_properties WHERE propid = 'EntryCount'"});
  MakeEngine({path});
  ASSERT_EQ(engine->slotCount, 1);
  EXPECT_EQ(GetUserDictEntryCount(engine, 0), 3);
  EXPECT_EQ(Property(0, "EntryCount"), "3");
  DestroyEngineAndFree();

  // A line index without the lock goes; NoSortKey lists in uid order.
  path = MakeFile("leftover", kLanguageEnglish,
                  {"CREATE TABLE sorvi_dict_lineindex (line INTEGER PRIMARY KEY, uid INTEGER)",
                   "UPDATE sorvi_dict_properties SET propvalue = '1' WHERE propid = 'NoSortKey'"});
  MakeEngine({path});
  EXPECT_EQ(One(0, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'sorvi_dict_lineindex'"), "0");
  EXPECT_EQ(Slot(0)->lineIndex, 0);
  EXPECT_EQ(GetUserDictSortColumn(Slot(0)), kUdUid);
  const int32_t b = AddUserDictEntry(engine, 0, u"b", nullptr, nullptr, nullptr);
  const int32_t a = AddUserDictEntry(engine, 0, u"a", nullptr, nullptr, nullptr);
  EXPECT_EQ(One(0, "SELECT COUNT(*) FROM sorvi_dict_entries WHERE sortkey IS NULL"), "2");
  EXPECT_EQ(GetUserDictEntryAtLine(engine, 0, 0), b);
  EXPECT_EQ(GetUserDictEntryAtLine(engine, 0, 1), a);
  DestroyEngineAndFree();

  // Locked on disk: locked in memory with the same value.
  path = MakeFile("locked", kLanguageEnglish,
                  {"UPDATE sorvi_dict_properties SET propvalue = '2' WHERE propid = 'EditLock'",
                   "CREATE TABLE sorvi_dict_lineindex (line INTEGER PRIMARY KEY, uid INTEGER)"});
  MakeEngine({path});
  EXPECT_EQ(Slot(0)->editLock, 2u);
  EXPECT_EQ(Slot(0)->lineIndex, 1);
  EXPECT_EQ(GetUserDictEditLock(engine, 0), 2u);
}

TEST_F(OpenTest, SearchTablesAreBuiltForOlderFiles) {
  std::string path = MakeFile("old", kLanguageChinese,
                              {"DROP TABLE sorvi_dict_posdex_hz_1", "DROP TABLE sorvi_dict_posdex_py_1",
                               "INSERT INTO sorvi_dict_entries (word, altword, pron, length) "
                               "VALUES ('你@好', '你@好', 'ni3@hao3', 2)",
                               "CREATE INDEX idx_sorvi_dict_entries_word ON sorvi_dict_entries (word)"});
  MakeEngine({path});
  ASSERT_EQ(engine->slotCount, 1);
  EXPECT_EQ(IsUserDictIndexed(engine, 0), 0);
  std::vector<uint32_t> progress;
  UserDictProgress report{[](void* c, uint32_t, uint32_t done) { static_cast<std::vector<uint32_t>*>(c)->push_back(done); },
                          &progress};
  EXPECT_EQ(BuildUserDictSearchIndex(engine, 0, &report), 0);
  EXPECT_EQ(progress, std::vector<uint32_t>{0});
  EXPECT_EQ(IsUserDictIndexed(engine, 0), 1);
  EXPECT_EQ(Rows(0, "SELECT syllable FROM sorvi_dict_posdex_hz_1"), std::vector<std::string>{"你"});
  EXPECT_EQ(Rows(0, "SELECT syllable FROM sorvi_dict_posdex_py_2"), std::vector<std::string>{"hao3"});
  EXPECT_EQ(One(0, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'idx_sorvi_dict_entries_word'"), "0");
  EXPECT_EQ(BuildUserDictSearchIndex(engine, 0, nullptr), 1);  // already indexed
}

TEST_F(FileTest, PropertiesAndLanguageChoice) {
  const uint16_t older = NewDict(kLanguageChinese);
  AdvanceVirtualClock(5000);
  const uint16_t newer = NewDict(kLanguageChinese);
  const uint16_t en = NewDict(kLanguageEnglish);
  EXPECT_EQ(FindDictByLanguages(engine, kLanguageChinese, 65535), newer);
  EXPECT_EQ(FindDictByLanguages(engine, kLanguageEnglish, kLanguageChinese), en);
  ASSERT_EQ(SetUserDictEditLock(engine, newer, 1, nullptr), 0);
  EXPECT_EQ(FindDictByLanguages(engine, kLanguageChinese, 65535), older);
  ASSERT_EQ(SetUserDictEditLock(engine, older, 1, nullptr), 0);
  EXPECT_EQ(FindDictByLanguages(engine, kLanguageChinese, 65535), kNoDictSlot);

  EXPECT_EQ(SetUserDictText(engine, en, 3, u"© 2026 𠀀"), 0);
  EXPECT_EQ(U16(GetUserDictText(engine, en, 3)), u"© 2026 𠀀");
  EXPECT_EQ(Property(en, "DictCopyright"), "© 2026 𠀀");
  EXPECT_EQ(SetUserDictText(engine, en, 4, u"x"), 1);
  EXPECT_EQ(SetUserDictIcon(engine, en, u"ABC", 0x112233, 0x445566), 0);
  EXPECT_EQ(Property(en, "DictIconName"), "ABC");
  EXPECT_EQ(Property(en, "DictIconFillColor"), std::to_string(0x445566));
  EXPECT_EQ(SetUserDictIcon(engine, en, nullptr, 0, 0), 0);
  EXPECT_EQ(Property(en, "DictIconName"), "USR");
  EXPECT_EQ(GetUserDictCreatedTime(engine, en), GetUtcSeconds());
  EXPECT_EQ(GetUserDictCreatedTime(engine, 99), 0u);
}

TEST_F(FileTest, ExportSelectsEveryEntryInWordListOrder) {
  const uint16_t en = NewDict(kLanguageEnglish);
  EXPECT_EQ(SelectUserDictEntriesForExport(engine, en), nullptr);  // no entry
  AddUserDictEntry(engine, en, u"pear", nullptr, nullptr, u"a fruit");
  AddUserDictEntry(engine, en, u"apple", nullptr, nullptr, nullptr);
  sqlite3_stmt* stmt = SelectUserDictEntriesForExport(engine, en);
  ASSERT_NE(stmt, nullptr);
  std::vector<std::string> words;
  do {
    words.push_back(SqlColumnText(stmt, 0));
    EXPECT_EQ(SqlColumnInt(stmt, 6), 0);  // the headword language
  } while (SqlIsRow(SqlStep(stmt)));
  SqlFinalize(stmt);
  EXPECT_EQ(words, (std::vector<std::string>{"apple", "pear"}));
}

}  // namespace
