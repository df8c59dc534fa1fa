// Entries from plain fields (entry_markup.h) with what the search indexes
// read, so a word list of (headword, pinyin, senses) rows becomes a
// searchable dictionary in one call per entry.
#pragma once

#include <string>

#include "tools/databuild/dict_tables.h"
#include "tools/databuild/entry_markup.h"
#include "tools/databuild/index_tables.h"

namespace databuild {

// The index view of an entry: its two forms (one when equal), its pinyin as
// syllable codes, each sense's text, and as further text the forms of its
// cross-references and classifiers (they show in the entry).
SearchIndexEntry IndexEntryFromPlain(const PlainEntry& entry);

// MakeMarkupEntry and the index view together. 0, or 1 with a message.
int MakeIndexedMarkupEntry(const PlainEntry& entry, DictEntrySpec* out, std::string* error);

}  // namespace databuild
