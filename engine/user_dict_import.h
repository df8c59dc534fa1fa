// Three services beside a user dictionary's entries: the import log (the
// uid range each import added, so that the newest import can be undone),
// the word-list positions (line n of the dictionary's sorted word list and
// back), and the line index kept while the dictionary is locked.
//
// While an import into a dictionary runs, edits and deletes from any other
// thread are refused: undo removes the import's uid range, and a hand edit
// inside that range (or inside the importer's open transaction) would be
// lost with it.
//
// The word list is ordered by the sort column and then by uid, so that
// entries sharing a sort value keep one fixed order.
#pragma once

#include <cstdint>

struct DictEngine;
struct DictSlot;
struct UserDictProgress;

inline constexpr char kUserDictImportRefused[] = "The dictionary is being imported into; try again when the import ends.";

// Import logging on the calling thread. 0; 1 without database.
int BeginUserDictImport(DictEngine* engine, uint16_t slot);
int EndUserDictImport(DictEngine* engine, uint16_t slot);
// 1 when an import into the slot runs on another thread than the caller's.
int IsUserDictImportRunningElsewhere(const DictSlot* slot);
// Forgets the import state of a slot that is being freed.
void ForgetUserDictImport(const DictSlot* slot);
// Records a saved uid in the current import's range (nothing when no import
// runs). 0 or the SQLite code.
int LogUserDictImportEntry(DictSlot* slot, int32_t uid);
// 0 with the newest import's times and entry count; 1 without database or
// record.
int GetLastUserDictImport(DictEngine* engine, uint16_t slot, uint32_t* startTime, uint32_t* endTime,
                          uint32_t* count);
// Removes the newest import's entries with their index rows and its record,
// in one transaction. 0; 1 without database or usable record; 65534 locked
// or importing; else the SQLite code (nothing changed).
int UndoLastUserDictImport(DictEngine* engine, uint16_t slot);

// The sort column of the slot's SortMethod (an entries column number).
uint32_t GetUserDictSortColumn(const DictSlot* slot);
// The uid at a line of the word list: 0 without database, -1 beyond the end.
int32_t GetUserDictEntryAtLine(DictEngine* engine, uint16_t slot, int32_t line);
// The line of a uid: 0 without database, -1 when not in the list.
int32_t GetUserDictLineOfEntry(DictEngine* engine, uint16_t slot, int32_t uid);
// lock non-zero: EditLock 2 and the line index; 0: unlocked, no index.
// 0, 1 without database, else the SQLite code (nothing changed).
int SetUserDictEditLock(DictEngine* engine, uint16_t slot, int lock, UserDictProgress* progress);
// Writes the line index (in transactions of 500 rows). 0 or the code.
int BuildUserDictLineIndex(DictSlot* slot, UserDictProgress* progress);
// Forgets the cached (line, uid) pair.
void ClearUserDictLineCache(DictSlot* slot);
