// User dictionaries: one SQLite database per dictionary, shown to the rest
// of the engine as a DictSlot of kind 1. This module owns the file: its
// schema and property set, making a new file and its names, the check that
// accepts a database as a user dictionary, loading its slot, the property
// accessors, building the search tables and the export selection. Entries
// and their index rows are in engine/user_dict_entries.h, the import log,
// undo, word-list positions and the line index in engine/user_dict_import.h.
//
// Results follow the user-dictionary convention: 0 success, -1 not a user
// dictionary or a failed save, -2 (65534 as 16 bits) locked, 65532 no such
// entry, else an SQLite result code.
//
// A file is a user dictionary only when it holds both the property table
// and the entries table: flashcard databases share the ".kvb" suffix.
#pragma once

#include <cstdint>

#include "engine/sql_schema.h"
#include "platform/types.h"

struct DictEngine;
struct DictSlot;
struct SqlDb;
struct sqlite3_stmt;

inline constexpr int kUserDictLocked = -2;
inline constexpr int kUserDictNoEntry = 65532;

inline constexpr char kUserDictFormatString[] = "Sorvi SQL Dictionary Database";
inline constexpr int32_t kUserDictFormatVersion = 8;
// FileCreator of every user dictionary this engine makes ('SRVU').
inline constexpr uint32_t kUserDictCreator = 0x53525655;

inline constexpr char kUserDictPropertiesTable[] = "sorvi_dict_properties";
inline constexpr char kUserDictEntriesTable[] = "sorvi_dict_entries";
inline constexpr char kUserDictImportsTable[] = "sorvi_dict_imports";
inline constexpr char kUserDictAlphadexTable[] = "sorvi_dict_alphadex";
inline constexpr char kUserDictLineIndexTable[] = "sorvi_dict_lineindex";

// Columns of sorvi_dict_entries (indexes into kUserDictEntryColumns).
enum : uint32_t {
  kUdUid = 0,
  kUdCreated = 1,
  kUdModified = 2,
  kUdLength = 3,
  kUdWord = 4,
  kUdAltWord = 5,
  kUdPron = 6,
  kUdDefn = 7,
  kUdSortKey = 8,
  kUdEntryColumnCount = 9,
};
extern const SqlColumnDef kUserDictEntryColumns[kUdEntryColumnCount];

// The property set (set 0), entries in this order.
enum : uint32_t {
  kUdpFormatString = 0,
  kUdpFormatVersion,
  kUdpFileGenerator,
  kUdpFilePlatform,
  kUdpFileCreated,
  kUdpFileCreator,
  kUdpFileId,
  kUdpDictIconName,
  kUdpDictMenuName,
  kUdpDictShortName,
  kUdpDictName,
  kUdpDictCopyright,
  kUdpDictIconFillColor,
  kUdpDictIconTextColor,
  kUdpDictLang,
  kUdpTransLang,
  kUdpEditLock,
  kUdpSortMethod,
  kUdpNoSortKey,
  kUdpEntryCount,
  kUdPropertyCount,
};
extern const char* const kUserDictPropertyNames[kUdPropertyCount];

inline constexpr uint32_t kUserDictDefaultFill = 39372;
inline constexpr uint32_t kUserDictDefaultText = 0xFFFFFF;
inline constexpr uint32_t kUserDictNameMax = 32;      // menu and short names
inline constexpr uint32_t kUserDictFullNameMax = 64;  // full name

// The progress report of long user-dictionary work: called with (kind 1,
// number of items done so far).
struct UserDictProgress {
  void (*callback)(void* context, uint32_t kind, uint32_t done);
  void* context;
};
void ReportUserDictProgress(UserDictProgress* progress, uint32_t done);

// Creating. Languages are 4096 (Chinese) or 0 (English); a translation
// language of 65535 means the other one. Names are kept in UTF-16; the
// file name is made from the name with separators and reserved characters
// replaced, or from the default stem (and the time) when the name gives
// nothing usable or that file exists. 0 on success, 1 on failure.
int CreateUserDictFileNamed(DictEngine* engine, uint32_t language, uint32_t transLanguage, const WCHAR* name);
// Makes the file at a UTF-8 device path (never over an existing non-empty
// database), appends it to the engine's databases and opens its slot.
// 0 or -1.
int CreateUserDictFile(DictEngine* engine, const char* utf8Path, const WCHAR* fullName, const WCHAR* shortName,
                       const WCHAR* menuName, uint32_t language, uint32_t transLanguage, uint32_t idOffset);
// 1 when the property table has a row and the entries table exists (with
// entriesMustHaveRows: has a row); 0 when not; kSqlProbeFailed when the
// database could not be read.
int IsUserDictDatabase(SqlDb* db, int entriesMustHaveRows);
// 0 when the database was accepted and its slot added; 1 when refused (the
// database stays the caller's).
int OpenUserDict(DictEngine* engine, SqlDb* db);
// Frees what OpenUserDict put into a slot (not the database).
void FreeUserDictSlot(DictSlot* slot);

// The slot when it is an open user dictionary, else null.
DictSlot* GetUserDictSlot(DictEngine* engine, uint16_t slot);
// Writes the changed properties of the slot; their marks are cleared on
// success. 0 or the SQLite code.
int SaveUserDictProperties(DictSlot* slot);
// Sets an integer property in memory and saves the set.
int StoreUserDictNumber(DictSlot* slot, uint32_t property, int32_t value);

// 1 = refused (no database, locked or already indexed), else 0 or the code
// of the failed build.
int BuildUserDictSearchIndex(DictEngine* engine, uint16_t slot, UserDictProgress* progress);
// word, altword, pron, defn, created, modified, headword language, in
// word-list order; stepped to its first row. Null when the slot has no
// entry or no database. The caller steps it on and finalises it holding
// the engine lock, as the database is shared with the other threads.
sqlite3_stmt* SelectUserDictEntriesForExport(DictEngine* engine, uint16_t slot);

// Accessors (neutral values on a slot without database).
int IsDictSlotOpen(DictEngine* engine, uint16_t slot);
int IsUserDictIndexed(DictEngine* engine, uint16_t slot);
uint32_t GetUserDictEditLock(DictEngine* engine, uint16_t slot);
int32_t GetUserDictEntryCount(DictEngine* engine, uint16_t slot);
// which 0: DictLang, 1: TransLang; 0, 4096, or 65535.
uint32_t GetUserDictLanguage(const DictSlot* slot, int which);
uint32_t GetUserDictId(const DictSlot* slot);
uint32_t GetUserDictCreator(const DictSlot* slot);
uint32_t GetUserDictCreatedTime(DictEngine* engine, uint16_t slot);
uint32_t GetUserDictIconFillColor(const DictSlot* slot);
int CopyUserDictIconName(const DictSlot* slot, WCHAR* buf, uint32_t n);
// which 0: DictShortName, else DictMenuName.
int CopyUserDictName(const DictSlot* slot, WCHAR* buf, uint32_t n, int which);
// which 0 DictShortName, 1 DictMenuName, 2 DictName, 3 DictCopyright; the
// slot's own text, or null.
const WCHAR* GetUserDictText(DictEngine* engine, uint16_t slot, int which);
// 0 saved, 1 for another which or when it could not be saved.
int SetUserDictText(DictEngine* engine, uint16_t slot, int which, const WCHAR* text);
int SetUserDictIcon(DictEngine* engine, uint16_t slot, const WCHAR* iconText, uint32_t textColor, uint32_t fillColor);
// The newest open, unlocked user dictionary of those languages (65535 for
// either matches any); 65535 when none.
uint16_t FindDictByLanguages(DictEngine* engine, uint32_t language, uint32_t transLanguage);

// Property access by name for the dictionary set: 0 and the value, or 1.
int GetUserDictNumberByName(const DictSlot* slot, const char* name, uint32_t* value);
int GetUserDictTextByName(const DictSlot* slot, const char* name, WCHAR* buf, uint32_t n);
