// The profile and scorefile lists: named rows of "sorvi_flash_profiles" and
// "sorvi_flash_scorefiles" kept in memory in "sort" order, loaded once and
// written back when dirty. The same code serves both lists ("kind").
//
// A change that touches the file runs in one transaction (nested inside a
// caller's when one is open) and changes memory only once the file has
// changed; a rollback, here or later in a caller's transaction, reloads
// the lists, the settings cache and the current profile from the file.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct FlashcardStore;

enum : uint32_t { kFlashListProfiles = 0, kFlashListScorefiles = 1 };

inline constexpr uint32_t kFlashNameMax = 40;  // units, terminator included

struct FlashListRecord {
  WCHAR name[kFlashNameMax];
  int32_t id;
  int32_t sort;
  uint8_t dirty;
};

struct FlashList {
  FlashListRecord* records;  // local heap, grows 16 records at a time
  int32_t capacity;
  int32_t count;
  uint8_t loaded;
};

// A copy for list boxes.
struct FlashListName {
  WCHAR name[kFlashNameMax];
  int32_t id;
};

// Results of creation.
inline constexpr int32_t kFlashNameTaken = -10;
inline constexpr int32_t kFlashCreateFailed = -1;
// Result of a rename onto another record's name.
inline constexpr int kFlashRenameTaken = 10;

// Loads the list when it is not loaded (an unreadable table gives an empty,
// loaded list; running out of memory an empty list left unloaded). The
// list, or null for another kind.
FlashList* LoadFlashList(FlashcardStore* store, uint32_t kind);
void FreeFlashList(FlashList* list);

// New id; kFlashNameTaken; kFlashCreateFailed. A scorefile gets its score
// table (with the rows of `source` copied when source != -1), a profile the
// settings of `source` (or preset 0 for -1). Row and table or settings are
// made together or not at all.
int32_t CreateFlashListRecord(FlashcardStore* store, uint32_t kind, const WCHAR* name, int32_t source);
int32_t CreateProfile(FlashcardStore* store, const WCHAR* name, int32_t source);
int32_t CreateScorefile(FlashcardStore* store, const WCHAR* name, int32_t source);
// 0; 1 when it is the only record, not in the list, or any step failed (the
// file and memory are then as before). A scorefile's profiles move to the
// first remaining scorefile; a deleted current profile hands over to the
// first profile.
int DeleteFlashListRecord(FlashcardStore* store, uint32_t kind, int32_t id);
int DeleteProfile(FlashcardStore* store, int32_t id);
int DeleteScorefile(FlashcardStore* store, int32_t id);
// 0; 1 for an id not in the list; kFlashRenameTaken when another record has
// that name (exact comparison). The row is written by the next list save.
int RenameFlashListRecord(FlashcardStore* store, uint32_t kind, int32_t id, const WCHAR* name);
int RenameProfile(FlashcardStore* store, int32_t id, const WCHAR* name);
int RenameScorefile(FlashcardStore* store, int32_t id, const WCHAR* name);
// Exchanges the record at `position` with its upper (up) or lower
// neighbour; sorts stay with the places. 0; 1 without that neighbour.
int MoveFlashListRecord(FlashcardStore* store, uint32_t kind, int32_t position, int up);
int MoveProfile(FlashcardStore* store, int32_t position, int up);
int MoveScorefile(FlashcardStore* store, int32_t position, int up);
// 0 and the name cut to *length units (terminated) with *length set to the
// full length; 1 for an id not in the list.
int GetFlashListName(FlashcardStore* store, uint32_t kind, int32_t id, WCHAR* buffer, uint32_t* length);
int GetProfileName(FlashcardStore* store, int32_t id, WCHAR* buffer, uint32_t* length);
int GetScorefileName(FlashcardStore* store, int32_t id, WCHAR* buffer, uint32_t* length);
// A new array the caller frees with LocalFree, or null when empty.
FlashListName* CopyFlashList(FlashcardStore* store, uint32_t kind, int32_t* count);
FlashListName* CopyProfileList(FlashcardStore* store, int32_t* count);
FlashListName* CopyScorefileList(FlashcardStore* store, int32_t* count);
int32_t GetProfileCount(FlashcardStore* store);
int32_t GetScorefileCount(FlashcardStore* store);
int32_t GetProfileIdByIndex(FlashcardStore* store, int32_t position);  // -1 past the end
int32_t GetScorefileIdByIndex(FlashcardStore* store, int32_t position);
int ProfileExists(FlashcardStore* store, int32_t id);
// The first scorefile whose name matches `pattern` ("_" in either name
// matches any one character); with `largest`, the largest id of all that
// match. -1 when none does.
int32_t FindScorefileByName(FlashcardStore* store, const WCHAR* pattern, int largest);
// Deletes every row of the scorefile's table; the table stays.
int ClearScorefile(FlashcardStore* store, int32_t scorefile);
// Writes the dirty records (renames colliding with one another settle over
// further passes). 0, or 1 when a record could not be written (it stays
// dirty) or for another kind. `freeList` frees the list afterwards.
int SaveFlashListRecords(FlashcardStore* store, uint32_t kind, int freeList);
int SaveProfileList(FlashcardStore* store);
int SaveScorefileList(FlashcardStore* store);
// 1 for id -1; else makes it current, unloads the settings cache and writes
// preference 82; 0.
int SelectFlashProfile(FlashcardStore* store, int32_t id);
// The current profile; when it is 0 or -1 the first profile becomes
// current (-1 without profiles).
int32_t GetCurrentProfileId(FlashcardStore* store);
// Sets "laststart" and "lastend" of the profile row; the update's result.
int SetProfileSessionTimes(FlashcardStore* store, int32_t id, int32_t start, int32_t end);
