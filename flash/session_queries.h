// What the test window asks a running session: the answer buttons to
// offer, the status texts, the answer marks, the default score-change
// label and the statistics at the end; and the setting ids the settings
// sheets map test types and directions to. Read-only; user-interface
// thread.
//
// Texts are UTF-16 and always terminated within the given size (in units);
// a text that does not fit is cut.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DisplaySettings;
struct FlashSession;
struct FlashcardStore;

inline constexpr int32_t kActionButtonMax = 6;
struct SessionActionButtons {
  int32_t commands[kActionButtonMax];  // display order; 0 = no button
  uint8_t reverseOrder;                // "pro_reverseanswerbtnorder"
};

// Appends the statistics text ("No Cards Tested" before any answer) to the
// terminated text in buffer.
void FormatSessionStatistics(const FlashSession* session, WCHAR* buffer, uint32_t size);
// "1:02:05" with hours, else "1:05".
void FormatElapsedTime(uint32_t milliseconds, WCHAR* buffer, uint32_t size);
int GetSessionActionButtons(const FlashSession* session, SessionActionButtons* buttons);
// The 19 words the test window lays itself out by (engine/engine_host.h).
struct SessionDisplayLayout;
int GetSessionDisplayLayout(const FlashSession* session, SessionDisplayLayout* layout);

enum : int32_t { kInfoCardCounter = 0, kInfoTopField1 = 1, kInfoTopField2 = 2 };
// 0 with the text of the status item.
int FormatSessionInfoText(FlashSession* session, int32_t item, WCHAR* buffer, uint32_t size);
// The due label of a card reviewed at lastReviewed with score: "New" when
// never reviewed, else how long it is overdue ("1d 2h", "45m"), or "-" and
// how long until it is due.
void FormatDueLabel(bool reviewed, int64_t lastReviewed, int64_t score, int32_t dayType, int32_t pointsPerDay,
                    int64_t referenceTime, WCHAR* buffer, uint32_t size);

// Per-item marks of the checked answer.
enum : uint8_t { kMarkNone = 0, kMarkRight = 1, kMarkWrong = 2, kMarkPlain = 4 };
// The number of marks written (at most `count`).
int32_t GetSessionAnswerMarks(const FlashSession* session, uint8_t* marks, int32_t count);

// "Default (-50%)", "Default (to 200)"; with bare "-50%", "to 200".
void FormatDefaultScoreChangeLabel(const DisplaySettings* display, WCHAR* buffer, uint32_t size, int bare);
int32_t GetSessionMode(const FlashSession* session);
int GetSessionCardId(const FlashSession* session, int32_t* card);
// 1 when the answer side shows: states 0, 6, 7, 8, or a Review Only session.
int IsSessionOver(const FlashSession* session);
// For command 23 only: 1 when the shown card is in the button's category.
int IsCurrentCardInSessionCategory(FlashSession* session, int32_t command);
// The dictionary slot the shown card links to; 65535 when none.
uint32_t GetCardDictionarySlot(const FlashSession* session);

// The shown card's word length, at most 4 (the syllable selectors); 0 when
// no card is shown.
int32_t GetCurrentCardWordLength(FlashSession* session);
// Syllable `index` (from 0) of the shown card's pronunciation in the
// display form of the program's syllable setting. 0; 1 when no card is
// shown or it has no such syllable (the buffer then holds "").
int GetCardSyllableText(FlashSession* session, int32_t index, WCHAR* buffer, uint32_t size);
// The shown card's pronunciation in that display form. 0; 1 when no card
// is shown.
int GetCurrentCardPronText(FlashSession* session, WCHAR* buffer, uint32_t size);
// The character a Stroke Order card draws: the first character of the
// alternative headword when the session shows that form first (and the
// card has one), else of the headword; 0 without a shown card or text.
WCHAR GetStrokeOrderChar(FlashSession* session);
// The stroke items of that character scaled to a box of width × height
// (x at even, y at odd places, kAuxIndexSeparator between strokes), with
// their number in count; null (count 0) without the character or its
// record. The items last until the next stroke record is loaded.
const uint16_t* GetCurrentCardStrokeData(FlashSession* session, uint32_t width, uint32_t height, uint32_t* count);
// The sound clips of a card's pronunciation for the player: clips[0..7]
// (handles the caller owns and keeps, as LookupSyllableRecord fills them)
// with their sizes, and the clip group's kind (optional). A card linked to
// an open dictionary entry (slot, entry; slot kSessionDictSlotNone for
// none) speaks that entry; any other speaks its own pronunciation
// syllable by syllable (with the headword for the tone changes). The set
// chosen from *audioSet (which becomes that set) is tried first, the other
// set when it finds nothing. 0, or 1 when there is no clip.
struct MemHandle;
int FindPronunciationSounds(FlashcardStore* store, int32_t card, uint32_t slot, int32_t entry, uint8_t* audioSet,
                            MemHandle* const* clips, uint32_t* sizes, uint16_t* kind);
// FindPronunciationSounds for the shown card; 1 when no card is shown.
int GetCurrentCardAudio(FlashSession* session, uint8_t* audioSet, MemHandle* const* clips, uint32_t* sizes,
                        uint16_t* kind);
// The field the answer box works on while one field is still hidden
// (states 3, 4, 5); 0 in every other state.
enum : int32_t { kAnswerFieldDefinition = 3, kAnswerFieldPron = 5, kAnswerFieldHeadword = 6 };
int32_t GetAnswerFieldCode(const FlashSession* session);
// How the answer box takes its input: 1 handwritten characters, 2 typed
// text, 3 typed syllables, 4 tone digits, 5 text without the keyboard, 6
// syllables without the keyboard. In states 3-5 by the hidden field; in a
// Free-answer or Tone Practice question by the current field set's first
// asked field; 0 when there is no answer box.
enum : int32_t {
  kInputNone = 0,
  kInputCharacters = 1,
  kInputText = 2,
  kInputSyllables = 3,
  kInputTones = 4,
  kInputTextNoKeyboard = 5,
  kInputSyllablesNoKeyboard = 6
};
int32_t GetSessionInputMode(const FlashSession* session);
// Fills the buffers asked for (each may be null; size units each, always
// terminated): headword and alternative headword without key marks, the
// pronunciation as syllable codes (whole syllables with definite tones
// with bit 0 of mode, else also split before vowels and kept separators).
// 0, or 1 when the card cannot be read.
int ReadCardTexts(FlashcardStore* store, int32_t card, WCHAR* headword, WCHAR* altHeadword, WCHAR* pron, uint32_t size,
                  uint32_t mode);

// Compiled SELECTs over the cards table for the card and batch operations.
// The caller holds the engine lock (EngineLockGuard) from the call until
// it finalizes the statement with SqlFinalize. Null when there is no
// database, a column index is not a card column (kCardId … kCardModified),
// or the statement does not compile.
struct SqlTerm;
struct sqlite3_stmt;
// The given columns (count at least 1), in that order, of the one card.
sqlite3_stmt* QueryCardColumns(FlashcardStore* store, int32_t card, const uint32_t* columns, uint32_t count);
// The ids, in ascending order, of every card meeting the conditions (terms
// over the card columns joined by their connectors; none: every card).
sqlite3_stmt* QueryCardsWhere(FlashcardStore* store, const SqlTerm* conditions, uint32_t count);

// Setting ids of a test type's score bands (-1 where there is none).
void ScoreFilterSettingIds(int32_t testType, int32_t* starts, int32_t* shows, int32_t* asks);
// The simple show (ask 0) or ask setting of a test type, or -1.
int32_t MapFieldToCode(int32_t testType, int ask);
// The filter mask of a settings sheet's field combo: which entries of the
// show table (ask 0) or of the ask table (ask 1, given the chosen show
// value) a test type offers in a row (1 reading, 2 writing, 3 listening).
// Bits are the tables' flag bits (kShowFlag*, kAskFlag*). Without sound
// (the engine lacks capability 4, or English-Chinese cards) the show
// entries that play sound (kShowSoundFlags) are cleared.
inline constexpr uint32_t kShowSoundFlags = 0xF688;
inline constexpr uint32_t kAskFlagTones = 0x10;
inline constexpr uint32_t kFieldFlagStroke = 0x10000;
struct DictEngine;
uint32_t GetFlashFieldMask(DictEngine* engine, int32_t language, int32_t testType, int32_t row, int ask,
                           int32_t showValue);
// The per-direction (1 reading, 2 writing, 3 listening) show or ask
// setting of a test type, or -1.
int32_t MapPromptToCode(int32_t testType, int32_t direction, int ask);
