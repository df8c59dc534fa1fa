// The tables of a flashcard database, described once as column lists (every
// statement names a column by its index there), and the creation,
// recognition and index upgrade of the file.
#pragma once

#include <cstdint>

#include "engine/sql_schema.h"

struct DictEngine;
struct SqlDb;

inline constexpr char kFlashCardsTable[] = "sorvi_flash_cards";
inline constexpr char kFlashProfilesTable[] = "sorvi_flash_profiles";
inline constexpr char kFlashProfileSettingsTable[] = "sorvi_flash_profilesettings";
inline constexpr char kFlashScorefilesTable[] = "sorvi_flash_scorefiles";
inline constexpr char kFlashCategoriesTable[] = "sorvi_flash_categories";
inline constexpr char kFlashCategoryAssignsTable[] = "sorvi_flash_categoryassigns";
inline constexpr char kFlashImportsTable[] = "sorvi_flash_imports";
inline constexpr char kFlashPropertiesTable[] = "sorvi_flash_properties";
// "sorvi_flash_scores_" + scorefile id.
inline constexpr char kFlashScoresPrefix[] = "sorvi_flash_scores_";
inline constexpr uint32_t kFlashScoresTableMax = 40;
void FlashScoresTableName(int32_t scorefile, char out[kFlashScoresTableMax]);

inline constexpr char kFlashFormatString[] = "Sorvi SQL Flashcard Database";
inline constexpr int32_t kFlashFormatVersion = 8;
// "SRVN", most significant byte first, as the user dictionaries pack "SRVU".
inline constexpr uint32_t kFlashFileCreator = 0x5352564E;
inline constexpr char kFlashDefaultFileName[] = "Sorvi Flashcards.kvb";

enum : uint32_t {
  kCardId,
  kCardLang,
  kCardHw,
  kCardAltHw,
  kCardPron,
  kCardDefn,
  kCardDictCreator,
  kCardDictId,
  kCardDictEntry,
  kCardAltDictRefs,
  kCardWordLength,
  kCardCreated,
  kCardModified,
  kCardColumnCount
};
extern const SqlColumnDef kFlashCardColumns[kCardColumnCount];

// Profiles and scorefiles share their first columns.
enum : uint32_t {
  kListId,
  kListName,
  kListCreated,
  kListModified,
  kProfileLastStart = 4,
  kProfileLastEnd,
  kProfileSort,
  kProfileHidden,
  kProfileColumnCount,
  kScorefileSort = 4,
  kScorefileColumnCount,
};
extern const SqlColumnDef kFlashProfileColumns[kProfileColumnCount];
extern const SqlColumnDef kFlashScorefileColumns[kScorefileColumnCount];

enum : uint32_t {
  kCategoryId,
  kCategoryName,
  kCategoryCreated,
  kCategoryModified,
  kCategoryParent,
  kCategorySort,
  kCategoryHidden,
  kCategoryClass,
  kCategoryColumnCount
};
extern const SqlColumnDef kFlashCategoryColumns[kCategoryColumnCount];

enum : uint32_t { kAssignCard, kAssignCat, kAssignId, kAssignColumnCount };
extern const SqlColumnDef kFlashAssignColumns[kAssignColumnCount];

enum : uint32_t {
  kScoreCard,
  kScoreScore,
  kScoreDifficulty,
  kScoreHistory,
  kScoreCorrect,
  kScoreIncorrect,
  kScoreReviewed,
  kScoreSinceLastChange,
  kScoreFirstReviewed,
  kScoreLastReviewed,
  kScoreIncTime,
  kScoreDecTime,
  kScoreColumnCount
};
extern const SqlColumnDef kFlashScoreColumns[kScoreColumnCount];

inline constexpr uint32_t kImportColumnCount = 13;
extern const SqlColumnDef kFlashImportColumns[kImportColumnCount];

// Property set 0 of "sorvi_flash_properties", in this order.
enum : uint32_t {
  kFpFormatString,
  kFpFormatVersion,
  kFpFileGenerator,
  kFpFilePlatform,
  kFpFileCreated,
  kFpFileCreator,
  kFpFileId,
  kFpCount
};
extern const char* const kFlashPropertyNames[kFpCount];

// A new open database at `utf8Path` (null: "Sorvi Flashcards" in the
// current folder) holding the empty schema and property set 0, or null.
// Only a file without tables is used, and everything is made in one
// transaction: a failure leaves the file without tables, so a later start
// may still create it.
SqlDb* CreateFlashcardSchema(DictEngine* engine, const char* utf8Path);
// 1 for a flashcard database (property set 0 names the format, version 8,
// and the six tables exist), else 0. fileCreated gets "FileCreated" when
// present; needsUpgrade gets 1 when an index of the current set is missing.
// Either output may be null.
int RecognizeFlashcardDatabase(SqlDb* db, uint32_t* fileCreated, uint8_t* needsUpgrade);
// 1 when the composite assignment index or the dictentry index is missing.
int FlashIndexesNeedUpgrade(SqlDb* db);
// 0, or 1 when an index could not be made.
int UpgradeFlashcardIndexes(SqlDb* db);
// Creates "sorvi_flash_scores_<id>" (0 or the SQLite code).
int CreateScoreTable(SqlDb* db, int32_t scorefile);
