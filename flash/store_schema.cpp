#include "flash/store_schema.h"

#include <sqlite3.h>

#include <cstdio>
#include <initializer_list>

#include "engine/engine_time.h"
#include "engine/sql_db.h"
#include "engine/sql_properties.h"
#include "engine/string_utils.h"
#include "engine/system_services.h"
#include "engine/text_compare.h"
#include "platform/engine_lock.h"

namespace {

// name, type, unique, primaryKey, indexed, autoincrement, defaultTimestamp, compositeUnique, nocase
constexpr SqlColumnDef Int(const char* name) { return {name, kSqlInteger, 0, 0, 0, 0, 0, 0, 0}; }
constexpr SqlColumnDef Key(const char* name) { return {name, kSqlInteger, 0, 1, 0, 1, 0, 0, 0}; }
constexpr SqlColumnDef Text(const char* name) { return {name, kSqlText, 0, 0, 0, 0, 0, 0, 0}; }
constexpr SqlColumnDef NocaseIndexed(const char* name) { return {name, kSqlText, 0, 0, 1, 0, 0, 0, 1}; }
constexpr SqlColumnDef UniqueText(const char* name) { return {name, kSqlText, 1, 0, 0, 0, 0, 0, 0}; }

constexpr uint32_t kCompositeIndexColumns[2] = {kAssignCat, kAssignCard};
constexpr char kCompositeIndexPart[] = "cat_card";

// Text properties are widened from 8-bit literals, at most 32 units.
constexpr uint32_t kPropertyTextMax = 32;

int SetNarrowProperty(SqlPropertyList* list, uint32_t entry, const char* text) {
  WCHAR wide[kPropertyTextMax + 1] = {};
  WideFromNarrowN(wide, text, kPropertyTextMax);
  return SqlSetPropertyText(list, entry, wide);
}

int WriteProperties(SqlDb* db) {
  SqlPropertyList* list = SqlNewPropertyList(kFpCount, kFlashPropertyNames, kFpCount);
  if (!list) return SQLITE_NOMEM;
  const uint32_t now = GetUtcSeconds();
  WCHAR platform[kPlatformNameSize];
  GetPlatformName(platform);
  int bad = 0;
  bad |= SetNarrowProperty(list, kFpFormatString, kFlashFormatString);
  bad |= SqlSetPropertyInt(list, kFpFormatVersion, kFlashFormatVersion);
  bad |= SetNarrowProperty(list, kFpFileGenerator, "Sorvi Engine 2.0");
  bad |= SqlSetPropertyText(list, kFpFilePlatform, platform);
  bad |= SqlSetPropertyInt(list, kFpFileCreated, static_cast<int32_t>(now));
  bad |= SqlSetPropertyInt(list, kFpFileCreator, static_cast<int32_t>(kFlashFileCreator));
  // Negative as int32: stored as signed decimal text.
  bad |= SqlSetPropertyInt(list, kFpFileId, static_cast<int32_t>((now >> 1) | 0x80000000u));
  const int rc = bad ? SQLITE_NOMEM : SqlSavePropertySet(db, kFlashPropertiesTable, 0, list);
  SqlFreePropertyList(list);
  return rc;
}

int CreateTables(SqlDb* db) {
  int rc = SqlCreatePropertyTable(db, kFlashPropertiesTable);
  if (rc == SQLITE_OK) rc = WriteProperties(db);
  if (rc == SQLITE_OK) rc = SqlCreateTable(db, kFlashCardsTable, kFlashCardColumns, kCardColumnCount);
  if (rc == SQLITE_OK) rc = SqlCreateTable(db, kFlashProfilesTable, kFlashProfileColumns, kProfileColumnCount);
  if (rc == SQLITE_OK) rc = SqlCreatePropertyTable(db, kFlashProfileSettingsTable);
  if (rc == SQLITE_OK) rc = SqlCreateTable(db, kFlashScorefilesTable, kFlashScorefileColumns, kScorefileColumnCount);
  if (rc == SQLITE_OK) rc = SqlCreateTable(db, kFlashCategoriesTable, kFlashCategoryColumns, kCategoryColumnCount);
  if (rc == SQLITE_OK) rc = SqlCreateTable(db, kFlashCategoryAssignsTable, kFlashAssignColumns, kAssignColumnCount);
  if (rc == SQLITE_OK)
    rc = SqlCreateIndex(db, kFlashCategoryAssignsTable, kCompositeIndexPart, kFlashAssignColumns,
                        kCompositeIndexColumns, 2);
  return rc;
}

}  // namespace

const SqlColumnDef kFlashCardColumns[kCardColumnCount] = {
    Key("id"),
    Int("lang"),
    NocaseIndexed("hw"),
    NocaseIndexed("althw"),
    NocaseIndexed("pron"),
    Text("defn"),
    Int("dictcreator"),
    Int("dictid"),
    {"dictentry", kSqlInteger, 0, 0, 1, 0, 0, 0, 0},
    Text("altdictrefs"),
    Int("wordlength"),
    Int("created"),
    Int("modified"),
};

const SqlColumnDef kFlashProfileColumns[kProfileColumnCount] = {
    Key("id"),        UniqueText("name"), Int("created"), Int("modified"),
    Int("laststart"), Int("lastend"),     Int("sort"),    Int("hidden"),
};

const SqlColumnDef kFlashScorefileColumns[kScorefileColumnCount] = {
    Key("id"), UniqueText("name"), Int("created"), Int("modified"), Int("sort"),
};

const SqlColumnDef kFlashCategoryColumns[kCategoryColumnCount] = {
    Key("id"),
    {"name", kSqlText, 0, 0, 0, 0, 0, 1, 0},
    Int("created"),
    Int("modified"),
    {"parent", kSqlInteger, 0, 0, 0, 0, 0, 1, 0},
    Int("sort"),
    Int("hidden"),
    Int("class"),
};

const SqlColumnDef kFlashAssignColumns[kAssignColumnCount] = {
    {"card", kSqlInteger, 0, 0, 1, 0, 0, 1, 0},
    {"cat", kSqlInteger, 0, 0, 0, 0, 0, 1, 0},
    Key("id"),
};

const SqlColumnDef kFlashScoreColumns[kScoreColumnCount] = {
    {"card", kSqlInteger, 0, 1, 0, 0, 0, 0, 0},
    Int("score"),
    Int("difficulty"),
    Text("history"),
    Int("correct"),
    Int("incorrect"),
    Int("reviewed"),
    Int("sincelastchange"),
    Int("firstreviewedtime"),
    Int("lastreviewedtime"),
    Int("scoreinctime"),
    Int("scoredectime"),
};

const SqlColumnDef kFlashImportColumns[kImportColumnCount] = {
    Key("id"),           Int("starttime"),      Int("endtime"),        Int("startcard"),    Int("endcard"),
    Int("startprofile"), Int("endprofile"),     Int("startscorefile"), Int("endscorefile"), Int("startcat"),
    Int("endcat"),       Int("startcatassign"), Int("endcatassign"),
};

const char* const kFlashPropertyNames[kFpCount] = {
    "FormatString", "FormatVersion", "FileGenerator", "FilePlatform", "FileCreated", "FileCreator", "FileID",
};

void FlashScoresTableName(int32_t scorefile, char out[kFlashScoresTableMax]) {
  std::snprintf(out, kFlashScoresTableMax, "%s%d", kFlashScoresPrefix, scorefile);
}

SqlDb* CreateFlashcardSchema(DictEngine*, const char* utf8Path) {
  EngineLockGuard lock;
  SqlDb* db = SqlOpen(utf8Path ? utf8Path : "Sorvi Flashcards");
  if (!db) return nullptr;
  // Only a file that holds nothing; one that cannot be probed may hold
  // someone's data.
  int rc = SqlIsEmptyDatabase(db) == 1 ? SqlBegin(db) : SQLITE_ERROR;
  if (rc == SQLITE_OK) {
    rc = CreateTables(db);
    if (rc == SQLITE_OK) rc = SqlCommit(db);
    else
      SqlRollback(db);
  }
  if (rc != SQLITE_OK) {
    SqlClose(db);
    return nullptr;
  }
  return db;
}

int FlashIndexesNeedUpgrade(SqlDb* db) {
  return SqlIndexExists(db, kFlashCategoryAssignsTable, kCompositeIndexPart) != 1 ||
         SqlColumnIndexExists(db, kFlashCardsTable, kFlashCardColumns, kCardDictEntry) != 1;
}

int RecognizeFlashcardDatabase(SqlDb* db, uint32_t* fileCreated, uint8_t* needsUpgrade) {
  if (!db) return 0;
  EngineLockGuard lock;
  if (SqlTableExists(db, kFlashPropertiesTable, 1) != 1) return 0;
  for (const char* table : {kFlashCardsTable, kFlashProfilesTable, kFlashProfileSettingsTable, kFlashScorefilesTable,
                            kFlashCategoriesTable, kFlashCategoryAssignsTable})
    if (SqlTableExists(db, table, 0) != 1) return 0;
  SqlPropertyList* list = SqlNewPropertyList(kFpCount, kFlashPropertyNames, kFpCount);
  if (!list) return 0;
  int ok = SqlLoadPropertySet(db, kFlashPropertiesTable, 0, list) == SQLITE_OK;
  const SqlPropertyEntry& format = list->entries[kFpFormatString];
  const SqlPropertyEntry& version = list->entries[kFpFormatVersion];
  ok = ok && format.hasValue && format.isText && NarrowWideCmp(kFlashFormatString, format.text) == 0;
  ok = ok && version.hasValue && !version.isText && version.value == kFlashFormatVersion;
  if (ok) {
    const SqlPropertyEntry& created = list->entries[kFpFileCreated];
    if (fileCreated && created.hasValue) *fileCreated = static_cast<uint32_t>(created.value);
    if (needsUpgrade) *needsUpgrade = static_cast<uint8_t>(FlashIndexesNeedUpgrade(db));
  }
  SqlFreePropertyList(list);
  return ok ? 1 : 0;
}

int UpgradeFlashcardIndexes(SqlDb* db) {
  if (!db) return 1;
  EngineLockGuard lock;
  int rc = SqlBegin(db);
  if (rc != SQLITE_OK) return 1;
  if (SqlIndexExists(db, kFlashCategoryAssignsTable, kCompositeIndexPart) != 1) {
    // The old single-column index is replaced by the composite; a file
    // without it is upgraded all the same.
    if (SqlColumnIndexExists(db, kFlashCategoryAssignsTable, kFlashAssignColumns, kAssignCat) == 1)
      rc = SqlDropColumnIndex(db, kFlashCategoryAssignsTable, kFlashAssignColumns, kAssignCat);
    if (rc == SQLITE_OK)
      rc = SqlCreateIndex(db, kFlashCategoryAssignsTable, kCompositeIndexPart, kFlashAssignColumns,
                          kCompositeIndexColumns, 2);
  }
  if (rc == SQLITE_OK && SqlColumnIndexExists(db, kFlashCardsTable, kFlashCardColumns, kCardDictEntry) != 1)
    rc = SqlCreateColumnIndex(db, kFlashCardsTable, kFlashCardColumns, kCardDictEntry);
  if (rc != SQLITE_OK) {
    SqlRollback(db);
    return 1;
  }
  return SqlCommit(db) == SQLITE_OK ? 0 : 1;
}

int CreateScoreTable(SqlDb* db, int32_t scorefile) {
  char table[kFlashScoresTableMax];
  FlashScoresTableName(scorefile, table);
  return SqlCreateTable(db, table, kFlashScoreColumns, kScoreColumnCount);
}
