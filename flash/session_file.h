// The saved session: one file ("\Sorvi Saved Flash Session" in the
// program's folder, through the stream-file service) that holds a whole
// session put aside, for the flashcard database that wrote it only.
// Resuming deletes the file whether it succeeds or not, so a saved session
// comes back at most once.
//
// Layout, all words u32 little-endian: a head of six words (version 5,
// 24 + the record size of this build, the database's "FileID", the
// milliseconds the session had run, since its card was shown and since its
// answer was shown, 0 when it was not), the session record written field by
// field, then one chunk per list that exists (card list, order array,
// weight ring, dictionary slots, the four word-length pools, the long-word
// pool, the all-cards pool, the field-set sequence). The file is untrusted
// on reading: every size, count, capacity and index is checked, and any
// mismatch is a failed resume.
#pragma once

#include <cstdint>

#include "flash/session.h"

struct AppStreamFile;
struct ChunkedArray;

inline constexpr uint32_t kSavedSessionVersion = 5;
// The size of this build's session record in the file.
uint32_t SavedSessionRecordSize();

// 0, or 1 when the file cannot be made or a write fails (no file is left).
int SaveFlashSession(const FlashSession* session);
// The rebuilt session (its state as saved, the scoring and display
// settings included), or null: no file, another version or database, a
// deleted scorefile, or any damage.
FlashSession* ResumeFlashSession(FlashcardStore* store, SessionEventCallback onEvent, SessionTextCallback onText,
                                 void* userData);
int HasSavedFlashSession();
void DeleteSavedFlashSession();

// Chunk roles and types.
enum : uint32_t {
  kChunkInts = 1,
  kChunkArray = 2,
  kChunkBytes = 3,
};
enum : uint32_t {
  kRoleCards = 1,
  kRoleOrder = 2,
  kRoleRing = 4,
  kRoleLengthPool = 5,
  kRoleLongPool = 6,
  kRoleChoicePool = 7,
  kRoleDictSlots = 8,
  kRoleFieldSequence = 9,
};
// Writers: 0, 1 on a failed or short write; a missing list writes nothing.
int WriteChunkedArrayChunk(AppStreamFile* file, const ChunkedArray* array, uint32_t role, uint32_t index);
int WriteIntChunk(AppStreamFile* file, const uint32_t* values, uint32_t count, uint32_t capacity, uint32_t role,
                  uint32_t index);
int WriteByteChunk(AppStreamFile* file, const uint8_t* values, uint32_t count, uint32_t capacity, uint32_t role,
                   uint32_t index);
// Readers: the new array (freed by the caller: FreeChunkedArray, LocalFree)
// or null when the head, the type, a size or a count does not fit.
ChunkedArray* ReadChunkedArrayChunk(AppStreamFile* file, uint32_t* role, uint32_t* index);
uint32_t* ReadIntChunk(AppStreamFile* file, uint32_t* count, uint32_t* capacity, uint32_t* role, uint32_t* index);
uint8_t* ReadByteChunk(AppStreamFile* file, uint32_t* count, uint32_t* capacity, uint32_t* role, uint32_t* index);
// Reads the four head words and seeks back; 0 or 1.
int PeekChunkHead(AppStreamFile* file, uint32_t head[4]);
