// The points where the engine calls modules that are not written yet: the
// SQL layer and the user dictionaries, the code pages, the font slots and
// the headword search. Each function here answers "nothing there" until its
// module lands and fills the body (the callers stay as they are).
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DataFileDb;
struct DictEngine;
struct DictSlot;
struct SqlDb;
struct UserDictProgress;  // the progress report of long user-dictionary work

// SQL layer: open a user database by UTF-8 path (null: not opened), close
// it, VACUUM it (SQLite result code).
SqlDb* OpenUserDatabaseSeam(const char* utf8Path);
void CloseUserDatabaseSeam(SqlDb* db);
int VacuumUserDatabaseSeam(SqlDb* db);

// User dictionaries. Recognise a database as a user dictionary and make its
// slot: 0 when a slot was added, 1 when refused.
int OpenUserDictSlotSeam(DictEngine* engine, SqlDb* db);
// Frees what the opener put in a user slot (its property list).
void FreeUserDictSlotSeam(DictSlot* slot);
// Number properties: 0 and the value, or 1 when missing. `name` is the
// property name ("FileCreator", "FileID", "DictIconFillColor", ...).
int GetUserDictNumberSeam(const DictSlot* slot, const char* name, uint32_t* value);
// Text properties copied with truncation and a terminator: 0, or 1 and an
// empty buffer when missing.
int GetUserDictTextSeam(const DictSlot* slot, const char* name, WCHAR* buf, uint32_t n);
// 1 when the user dictionary holds the uid.
int HasUserDictEntrySeam(DictEngine* engine, uint16_t slot, int32_t uid);
// The line index of a user dictionary: entry at a position and back
// (unchanged without one).
int32_t UserDictEntryAtPositionSeam(DictEngine* engine, uint16_t slot, int32_t position);
int32_t UserDictPositionOfEntrySeam(DictEngine* engine, uint16_t slot, int32_t entry);
// Stores a user dictionary's icon in its properties; null text: the
// defaults ("USR", 0xFFFFFF on 0x0099CC).
void SetUserDictIconSeam(DictEngine* engine, uint16_t slot, const WCHAR* text, uint32_t textColor,
                         uint32_t fillColor);
// Replaces a user dictionary's text (0 short name, 1 menu name, 2 name,
// 3 copyright) and saves it: 0, or 1 when not saved.
int SetUserDictTextSeam(DictEngine* engine, uint16_t slot, int which, const WCHAR* text);
// The last import of a user dictionary: 0 with its first and last time and
// entry count, 1 when there is none. Undo removes its entries: 0 on success.
int GetUserDictImportRangeSeam(DictEngine* engine, uint16_t slot, uint32_t* first, uint32_t* last,
                               uint32_t* count);
int UndoUserDictImportSeam(DictEngine* engine, uint16_t slot);
// Locks (with its line index) or unlocks a user dictionary for editing.
int SetUserDictEditLockSeam(DictEngine* engine, uint16_t slot, int on, UserDictProgress* progress);
// Builds a user dictionary's search tables: 0 or an error code.
int BuildUserDictSearchIndexSeam(DictEngine* engine, uint16_t slot, UserDictProgress* progress);
// Creates a new user dictionary file and its slot: 0, or 1 when none was made.
int CreateUserDictSeam(DictEngine* engine, uint32_t language, uint32_t transLanguage, const WCHAR* name);

// Code pages over the given readers (engine/code_pages.h); FindCodePageSeam
// 1 when the encoding has a code page.
void LoadCodePagesSeam(DictEngine* engine, DataFileDb* const* readers, uint32_t count);
void FreeCodePagesSeam(DictEngine* engine);
int FindCodePageSeam(DictEngine* engine, uint32_t encoding);

// Font slots over the given font files.
void AddFontSlotSeam(DictEngine* engine, const char* const* paths, uint32_t count);
void FreeFontSlotsSeam(DictEngine* engine);
void ApplyFontRenderModeSeam(DictEngine* engine);

// Searches the one-character Chinese headword ch in that slot alone: 0 and
// the first hit's entry, or 1 when nothing was found.
int FindCharEntryInSlotSeam(DictEngine* engine, uint16_t slot, WCHAR ch, int32_t* entry);
