// Where the entry fetch hands over to the user dictionaries.
#pragma once

#include <cstdint>

struct DictEngine;
struct EntryFetchRequest;
struct TextBuffer;

// Formats a user dictionary's entry from the same request: 0, 65532 when
// the entry does not exist, or a SQLite result code. The buffer is reset
// and terminated either way.
int FetchUserDictEntrySeam(DictEngine* engine, const EntryFetchRequest* request, TextBuffer* buffer);
// The stored headword length of a user dictionary's entry; 0 when unknown.
uint16_t GetUserDictWordLengthSeam(DictEngine* engine, uint16_t slot, uint32_t uid);
