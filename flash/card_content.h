// The text a card shows: in the test window, in card lists, in its info
// sheet, and in the exchange files. One builder for all of them, steered
// by field bits, so that every caller states once what it wants.
//
// Results: 0 with the terminated UTF-16 text in the record's handle
// (resized to fit); 1 when the card cannot be read or the handle cannot
// grow. Takes the engine lock around dictionary reads; callers hold no
// lock.
#pragma once
#include <cstdint>

#include "platform/types.h"

struct DictEngine;
struct FlashSession;
struct FlashcardStore;
struct MemHandle;

// Field bits of CardContentRecord::fields. A caller passes its whole mask;
// bits not listed are ignored.
enum : uint32_t {
  kContentHeadword = 0x0001,        // headword line, the other form in brackets
  kContentPronunciation = 0x0002,   // pronunciation line, key marks removed
  kContentDefinition = 0x0004,      // definition line
  kContentLinkedEntry = 0x0010,     // render the linked dictionary entry in place of the card's own fields
  kContentOneLine = 0x0020,         // one line: the entry in its one-line form, the card's lines joined by spaces
  kContentDefinitionOnly = 0x0100,  // of the linked entry only the text after its headword and reading
  kContentAltFirst = 0x0200,        // the alternative headword first (the traditional-first display)
  kContentNoNote = 0x1000,          // a missing link renders the card's fields without the note
  kContentStoredFirst = 0x2000,     // a stored definition wins over the linked entry's
};

// The callers' masks, without kContentAltFirst: each adds it when the
// alternative headword is to come first (CardAltHeadwordFirst).
inline constexpr uint32_t kCardListMask = 0x37;            // card lists and the info sheet
inline constexpr uint32_t kLinkedDefinitionMask = 0x134;   // a linked card's definition field
inline constexpr uint32_t kExportDefinitionMask = 0x3034;  // export: the definition
inline constexpr uint32_t kExportFullCardMask = 0x3037;    // export: the whole card
inline constexpr uint32_t kImportQuestionMask = 0x7;       // import: the duplicate question
inline constexpr uint32_t kExchangeExistingMask = 0x1007;  // exchange file: the existing card

// Shown when a card's link leads nowhere: the card's own fields follow.
inline constexpr char16_t kMissingLinkNote[] =
    u"The dictionary or entry that this card links to appears to be missing or unavailable.";

struct CardContentRecord {
  FlashcardStore* store;  // used when no session is given
  int32_t card;
  uint32_t fields;  // the bits above
  MemHandle* text;  // receives the text
};

// The card's content under content->fields. With a session, its store is
// used and the card and fields come from the record as given.
int BuildCardContent(FlashSession* session, CardContentRecord* content);
// The card text for lists (kCardListMask, the alternative headword first
// with the program's traditional-first display).
int GetCardDisplayText(FlashcardStore* store, int32_t card, MemHandle* handle);
// The shown card's content: with whole the whole card, else the fields of
// the current field set; the charset as SelectCardCharset chooses. 1 when
// no card is shown.
int PrepareCurrentCardContent(FlashSession* session, MemHandle* handle, int whole);
// 1 when the session shows the alternative headword first: the profile's
// forced charset when it forces one, else the program's display mode.
int SelectCardCharset(const FlashSession* session);
// 1 when the program shows the alternative headword first.
int CardAltHeadwordFirst(FlashcardStore* store);
