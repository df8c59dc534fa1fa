// What the converter writes: one document of the flashcard exchange format
// (flash/exchange_xml.h) holding the user's first-generation cards with
// their entries, categories made from card lists, flags and ranks, a score
// derived from the rank, and optionally the user dictionaries' entries that
// no card refers to.
//
// The document goes out through a write callback in blocks of at most
// 16384 bytes of UTF-8; the first failed write ends the conversion.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace converter {

struct FirstGenDictSet;
struct FirstGenDictionary;

// The options the dialog's check boxes give, one byte each (1 checked).
inline constexpr uint32_t kExportOptionsSize = 20;
enum : uint32_t {
  kOptionFreeDefinitions = 10,  // definitions of cards from dictionaries with definitions
  kOptionUserDefinitions = 11,  // definitions of user-dictionary cards, "User Dict Cards"
  kOptionUncarded = 12,         // also user-dictionary entries no card refers to
  kOptionEntriesOnly = 13,      // only user-dictionary entries, no cards
  kOptionRankFrequency = 14,    // score from the rank, frequency-adjusted
  kOptionRankSpaced = 15,       // score from the rank, repetition-spaced
  kOptionRankCategories = 16,   // "Ranks/Rank<n>"
  kOptionFlagCategories = 17,   // "Flags/<name>"
};
struct ExportOptions {
  uint8_t bytes[kExportOptionsSize];
};

// Seconds between 1904-01-01 and 1970-01-01: first-generation times count
// from 1904.
inline constexpr uint32_t kEpoch1904 = 2082844800u;
inline constexpr uint32_t kConverterBlockSize = 16384;

struct ConverterOutput {
  // Writes all `length` bytes: 0, or nonzero for a failed or short write.
  int (*write)(void* user, const uint8_t* bytes, uint32_t length);
  // The number of cards written before the one being written now.
  void (*progress)(void* user, uint32_t written);
  void* user;
};

// Writes the whole document. `documentName` (may be null or empty: then
// "Untitled") names the root. 0 with *cards the number of `card` elements
// written; 1 when a write failed (what was handed over before stays the
// caller's to remove) or memory ran out.
int WriteConverterXml(FirstGenDictSet* set, const ExportOptions* options, const WCHAR* documentName,
                      const ConverterOutput* output, uint32_t* cards);

// The four-letter code of ours under which the dictionary engine knows a
// first-generation dictionary, by its third identity word and id; null for
// a dictionary that is none of the five known ones.
const char* GetFirstGenProductCode(const FirstGenDictionary* dict);

// The score a card's rank gives (0 < score), from the user file's rank
// table and settings: frequency-adjusted or repetition-spaced.
struct UserDataView;
int32_t ComputeRankScore(const UserDataView* view, uint32_t rank, bool spaced);

}  // namespace converter
