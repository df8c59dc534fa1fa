// Entries of a user dictionary and their index rows. An entry is a row of
// sorvi_dict_entries holding the key forms of its headwords and
// pronunciation, its definition, a length and a unique sort key. A
// Chinese-headword dictionary also keeps the characters and syllables of
// the first four positions of every entry in eight position tables; an
// English-headword one keeps one normalised word per entry in
// sorvi_dict_alphadex.
//
// Every multi-row change runs in one transaction: when any of its
// statements fails, the file is left as it was and so is the slot.
//
// Edits are refused while the dictionary is locked (one predicate: the
// edit-lock value is not 0) and while an import into it runs on another
// thread (engine/user_dict_import.h).
#pragma once

#include <cstdint>

#include "engine/sql_schema.h"
#include "platform/types.h"

struct DictEngine;
struct DictSlot;
struct MemHandle;
struct SqlDb;
struct UserDictProgress;
struct sqlite3_stmt;

inline constexpr uint32_t kPosdexTables = 4;
extern const SqlColumnDef kPosdexColumns[3];   // syllable, uid, length (table 1 only)
extern const SqlColumnDef kAlphadexColumns[2];  // word, uid

// Key forms. Both allocate (LocalFree / FreeMemHandle); null for a text
// that is empty after its leading blanks.
// The headword key: leading blanks dropped, the key marks '@' '*' '$' and
// U+00B7 removed, and for Chinese headwords (4096) an '@' before every
// character (U+3400-U+D7FF, a surrogate pair) and ASCII letter but the
// first unit.
WCHAR* MakeHeadwordKey(const WCHAR* text, uint32_t language);
// Numbered pinyin with '@' between syllables ("ni3@hao3"); Chinese only.
MemHandle* MakePronunciationKey(DictEngine* engine, const WCHAR* text, uint32_t language);
// Removes '@', '*', '$' and U+00B7 in place.
void StripKeyMarks(WCHAR* text);
// Copies the next pinyin syllable (letters and an optional tone digit, at
// most 6 letters) of text into out (8 units); the rest of the text, or
// null when the text holds no more syllable or nothing follows.
const WCHAR* NextPinyinSyllable(DictEngine* engine, const WCHAR* text, WCHAR* out);
// The stored length of an entry from its typed texts.
uint32_t ComputeUserEntryLength(DictEngine* engine, uint32_t language, const WCHAR* word, const WCHAR* altword,
                                const WCHAR* pron);
// A sort key that no entry but `excludeUid` (-1: none) holds: the base key,
// or the base key followed by the time, time + 1, ... Null when there is no
// base key or the database cannot be asked.
WCHAR* MakeUserDictSortKey(DictEngine* engine, SqlDb* db, uint32_t language, const WCHAR* word, const WCHAR* altword,
                           const WCHAR* pron, int32_t excludeUid);
// 1 when an entry other than excludeUid holds the key, 0 when none,
// kSqlProbeFailed when the query failed.
int UserDictSortKeyExists(SqlDb* db, const WCHAR* key, int32_t excludeUid);

// Index tables. The Create functions make the tables that are missing
// (rebuild: all of them anew). 0 or the SQLite code.
void PosdexTableName(uint32_t n, uint32_t kind, char* out);  // out holds 32 bytes
int CreatePosdexTables(SqlDb* db, int rebuild);
int CreateAlphadexTable(SqlDb* db, int rebuild);
// The characters (a pair outside the basic plane is one) and syllables of
// the first four places; syllables: the pronunciation as syllable codes
// (or null). 0 or the code of the first failed insert.
int WritePosdexRows(DictEngine* engine, SqlDb* db, int32_t uid, const WCHAR* word, const WCHAR* altword,
                    const WCHAR* syllables, uint32_t length);
// checked: 0 or the code of the first failed delete; unchecked (the tables
// may be missing): always 0.
int DeletePosdexRows(SqlDb* db, int32_t uid, int checked);
int WriteAlphadexRow(SqlDb* db, int32_t uid, const WCHAR* word);
int BuildPosdexTables(DictEngine* engine, uint16_t slot, UserDictProgress* progress);
int BuildAlphadexTable(DictEngine* engine, uint16_t slot, UserDictProgress* progress);

// The headword language of a user slot by its DictLang (0 or 4096).
uint32_t UserDictHeadwordLanguage(const DictSlot* slot);
// The one "locked" predicate: the edit-lock value is not 0.
int IsUserDictLocked(const DictSlot* slot);

// Writing entries. Texts are UTF-16; null or empty means absent.
// The new uid, or -1.
int32_t AddUserDictEntry(DictEngine* engine, uint16_t slot, const WCHAR* word, const WCHAR* altword,
                         const WCHAR* pron, const WCHAR* defn);
// uid -1 inserts. The uid, or -1 (refused, invalid, failed, or an update of
// a uid that is not there).
int32_t SaveUserDictEntry(DictEngine* engine, uint16_t slot, int32_t uid, const WCHAR* word, const WCHAR* altword,
                          const WCHAR* pron, const WCHAR* defn);
// 0; 1 save failed (also a uid that is not there); -1 not a user slot or
// the flashcard index is not current; -2 locked or importing.
int UpdateUserDictEntry(DictEngine* engine, uint16_t slot, int32_t uid, const WCHAR* word, const WCHAR* altword,
                        const WCHAR* pron, const WCHAR* defn);
// 0; 1 failed or no such uid; -1 not a user slot; -2 locked or importing.
int TouchUserDictEntry(DictEngine* engine, uint16_t slot, int32_t uid, const WCHAR* defn);
// 0; 65532 no such uid; -1 not a user slot; -2 locked or importing; else
// the SQLite code (nothing changed).
int DeleteUserDictEntry(DictEngine* engine, uint16_t slot, int32_t uid);

// Reading entries.
// 1 the row exists, 0 it does not (or no database), -1 the query failed.
int HasUserDictEntry(DictEngine* engine, uint16_t slot, int32_t uid);
// 0 and a new MemHandle of UTF-16 text (key marks removed) for each
// non-NULL column, outputs of NULL columns untouched; 65532 no such entry;
// 1 when the query fails or the slot has no database.
int ReadUserDictEntry(DictEngine* engine, uint16_t slot, int32_t uid, MemHandle** word, MemHandle** altword,
                      MemHandle** pron, MemHandle** defn);
uint16_t GetUserDictEntryLength(DictEngine* engine, uint16_t slot, int32_t uid);
// SELECT word, altword, pron, defn of the uid; the caller steps and
// finalises it.
sqlite3_stmt* SelectUserDictEntry(SqlDb* db, int32_t uid);
