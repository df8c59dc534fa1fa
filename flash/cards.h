// Cards and their category assignments. A card is one row of
// "sorvi_flash_cards", either linked to a dictionary entry (creator,
// dictionary id, entry key; its texts are taken from the entry when it is
// saved) or custom (reference -1, -1, -1; texts typed or imported). Every
// change of a card row or of its assignments stamps the card's "modified".
//
// Results: 0 success, 1 failure unless stated; creators return the new id
// or -1. Every function takes the engine lock itself.
#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"

struct CardEditRecord;
struct DictEngine;
struct MemHandle;
struct FlashcardStore;

enum : uint32_t { kCardLanguageEnglish = 0, kCardLanguageChinese = 4096 };
// Duplicate modes of CardEditRecord.duplicateMode.
enum : uint32_t {
  kDuplicateSkip = 0,
  kDuplicateMerge = 1,
  kDuplicateReplace = 2,
  kDuplicateAllow = 3,
  kDuplicatePrompt = 4
};
// Flag of FindCardsByTexts: never report the given card itself.
inline constexpr uint32_t kFindSkipGivenCard = 1;

// Inserts (cardId -1) or updates a card from the record: texts stored in
// key form, the duplicate check (modes 0, 1, 4), the categories, and for a
// new card the first score rows. The card id (the duplicate's id when one
// was found and the write skipped); -1 without store, for a dictionary
// that gives no cards, an entry that cannot be read, all texts empty, or a
// failed write. Everything is written in one transaction.
int32_t SaveCard(FlashcardStore* store, CardEditRecord* record, int32_t cardId);
// Removes the card's assignments, its row in every score table and its
// card row, all or nothing. 0, or the first failure's SQLite code.
int DeleteCard(FlashcardStore* store, int32_t card);
// Cards with these key texts (any may be null). The first match, or -1;
// the given card is preferred when it matches. With `ids`, up to
// *capacity matches are stored and *capacity becomes their count.
int32_t FindCardsByTexts(FlashcardStore* store, const WCHAR* hw, const WCHAR* althw, const WCHAR* pron, int32_t card,
                         uint32_t flags, int32_t* ids, uint32_t* capacity);
// Stamps "modified" (0 or the SQLite code).
int TouchCard(FlashcardStore* store, int32_t card);
// 0 with the reference; 1 for a missing card.
int GetCardDictRef(FlashcardStore* store, int32_t card, int32_t* creator, int32_t* dictId, int32_t* entry);
int IsCardUnlinked(FlashcardStore* store, int32_t card);
// "lang"; 1 when the card cannot be read.
int32_t GetCardLanguage(FlashcardStore* store, int32_t card);
// The texts a card would take from (slot, entry), each a new local-heap
// string (LocalFree) or null when empty; any output may be null. 0, or 1
// for a slot that is not open.
int GetCardEntryTexts(FlashcardStore* store, uint16_t slot, uint32_t entry, WCHAR** hw, WCHAR** althw, WCHAR** pron);
// The definition a card of (slot, entry) takes from that entry, as a new
// local-heap string (LocalFree); null when there is none or the slot is
// not open. The engine's entry id, not the stored key.
WCHAR* GetEntryDefinitionText(FlashcardStore* store, uint16_t slot, uint32_t entry);
// 0 with the open dictionary's slot and entry id of a linked card; 1 with
// slot kNoCardSlot and entry -1 when the card is missing, unlinked or its
// dictionary is not open.
inline constexpr uint16_t kNoCardSlot = 65535;
int ResolveCardEntry(FlashcardStore* store, int32_t card, uint16_t* slot, int32_t* entry);
// 1 when the card's dictionary is open and is a user dictionary.
int IsCardLinkedToUserDict(FlashcardStore* store, int32_t card);
// Fields of GetCardFieldText.
enum : uint32_t { kCardFieldHeadword = 0, kCardFieldAltHeadword, kCardFieldPronunciation, kCardFieldDefinition };
// The field's text, terminated, in the handle (resized to fit): headword,
// alternative headword and pronunciation without key marks; the stored
// definition, or for a linked card without one the entry's definition
// while its dictionary can be read. 0; 1 for another field, a missing card
// or a handle that cannot grow.
int GetCardFieldText(FlashcardStore* store, int32_t card, uint32_t field, MemHandle* handle);
// The stored text of the field (key marks removed but for the
// definition), without reaching the linked entry. 0; 1 as above.
int GetCardStoredText(FlashcardStore* store, int32_t card, uint32_t field, MemHandle* handle);
// The linked entry's text after its headword and reading; empty when the
// slot cannot lend it. The caller holds the engine lock.
std::u16string GetLinkedEntryDefinition(DictEngine* engine, uint16_t slot, uint32_t entry);
// Turns an unlinked card into an entry of the newest user dictionary of its
// language (created when there is none) and links the card to it. A linked
// card is left alone. 0; 1 when no user dictionary can be had or the entry
// or the card cannot be written.
int ConvertCardToUserDictEntry(FlashcardStore* store, int32_t card);

// Assignment rows of the category, -1 on failure.
int64_t CountCategoryCards(FlashcardStore* store, int32_t category);
// New assignment id; -1 on failure or when the card is already filed there.
int32_t AssignCard(FlashcardStore* store, int32_t card, int32_t category);
// 0 when at least one assignment was added; 1 when none was or the
// category does not exist. `stride` steps through `cards` (words).
int AddCardsToCategory(FlashcardStore* store, const int32_t* cards, uint32_t count, uint32_t stride, int32_t category);
// Without cards every assignment of the category goes (unstamped). 0.
int RemoveCardsFromCategory(FlashcardStore* store, const int32_t* cards, uint32_t count, uint32_t stride,
                            int32_t category);
// Makes the card's categories equal to the new sorted list (old sorted
// list given). 0, or the first failure's SQLite code (all or nothing).
int UpdateCardCategories(FlashcardStore* store, int32_t card, const int32_t* oldIds, uint32_t oldCount,
                         const int32_t* newIds, uint32_t newCount);
int RemoveCardFromAllCategories(FlashcardStore* store, int32_t card);
// Stamps every card of the category. 0 or the SQLite code.
int TouchCategoryCards(FlashcardStore* store, int32_t category);
