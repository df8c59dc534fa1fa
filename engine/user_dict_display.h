// A user-dictionary entry as display text: the entry fetch's user branch.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct EntryFetchRequest;
struct TextBuffer;

// Display text of a user entry for the entry fetch: 0; 65532 when the
// entry does not exist (0 also for a slot without database). With
// kFetchDictNameAfter the dictionary's short name follows in brackets.
int LoadUserDictEntryText(DictEngine* engine, const EntryFetchRequest* request, TextBuffer* buffer);
// Formats one entry (texts as stored, UTF-8) with the style codes of the
// text service: the headword forms (tone colours, a link, the other form in
// brackets), the pronunciation in bold and the definition. 0.
int FormatUserDictEntry(DictEngine* engine, const EntryFetchRequest* request, TextBuffer* buffer, const char* word,
                        const char* altword, const char* pron, const char* defn);
