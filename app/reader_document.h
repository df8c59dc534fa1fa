// The reader's document: a long text behind a read callback or a document of
// the data files, seen through an 8,192-byte window, with the dictionary
// word under a tap or a cursor, the current entry and its result list,
// sections, bookmarks and card adding. It draws nothing: every change goes
// to the owner as a ReaderUpdate through its ReaderNotifyProc, and the
// owner reads the getters.
//
// Positions that persist (bookmarks, the store, the percentage) are
// absolute byte offsets in the source. Character indexes in the window are
// UTF-16 units: a supplementary character is two units for four UTF-8 bytes,
// an invalid UTF-8 byte decodes to one U+FFFD, and the odd last byte of a
// UTF-16 source is no character. Decoding and the char<->byte mapping share
// these rules, so every position maps to a byte and back.
//
// Results: 0 success, 1 nothing found or nothing done, unless a function
// says otherwise.
#pragma once

#include <cstdint>

#include "app/reader_position_store.h"
#include "app/reader_settings.h"
#include "platform/types.h"

struct DictEngine;
struct ReaderDocument;
struct SearchResultList;

// Bytes read into `buffer` from `offset`; fewer at the end of the source.
using ReaderReadProc = uint32_t (*)(void* context, void* buffer, uint32_t offset, uint32_t count);

enum ReaderUpdateFlags : uint32_t {
  kReaderUpdateSections = 0x1,
  kReaderUpdatePopup = 0x2,
  kReaderUpdateWord = 0x4,
  kReaderUpdateText = 0x8,
  kReaderUpdateSelection = 0x10,
  kReaderUpdateKeepVisible = 0x20,
  kReaderUpdateDefinition = 0x40,
  kReaderUpdatePercentage = 0x80,
  kReaderUpdateResultButtons = 0x100,
  kReaderUpdateCardResult = 0x200,
};

// Answers of the card commands (kReaderUpdateCardResult).
enum ReaderCardCode : int32_t {
  kCardReportNone = 0,
  kCardReportAdded = 1,
  kCardReportFailed = 2,
  kCardReportNotAllowed = 3,  // the dictionary's entries cannot become cards
  kCardReportExisting = 4,
  kCardReportExistingFiled = 5,
  kCardReportAskDuplicate = 6,  // carries the category
};

struct ReaderUpdate {
  uint32_t flags;
  int32_t cardCode;
  int32_t category;
};

using ReaderNotifyProc = void (*)(ReaderDocument* document, const ReaderUpdate* update);

enum ReaderSourceKind : uint32_t {
  kReaderSourceKindDatabase = 1,
  kReaderSourceKindCallback = 2,
};

inline constexpr uint32_t kReaderWindowBytes = 8192;
inline constexpr uint32_t kReaderTitleChars = 20;
// The word text: the looked-up word with one char of context, terminated.
inline constexpr uint32_t kReaderWordChars = 32;
// No lookup reads more than this: the word text must hold it and a
// terminator.
inline constexpr uint32_t kReaderMaxLookup = kReaderWordChars - 1;

struct ReaderDocument {
  DictEngine* engine;
  uint32_t sourceKind;
  uint32_t documentIndex;
  uint32_t fileTime;
  ReaderReadProc readProc;
  void* readContext;
  ReaderNotifyProc notifyProc;
  ReaderSettings request;
  uint32_t audioSetChoice;
  int32_t windowStart;
  uint8_t* raw;
  int32_t windowBytes;
  int32_t rawCapacity;
  int32_t encoding;
  int32_t skippedBytes;
  uint32_t converts;  // 1 when the text lives apart from the raw bytes
  WCHAR* text;
  int32_t textLength;
  int32_t textCapacity;
  int32_t positionChar;
  int32_t positionByte;  // behind the skipped bytes
  int32_t selectionStart;
  int32_t selectionEnd;
  uint32_t documentLength;
  uint32_t currentSlot;
  uint32_t currentEntry;
  SearchResultList* results;
  uint16_t resultIndex;
  uint32_t textWidth;
  WCHAR title[kReaderTitleChars + 1];
  WCHAR word[kReaderWordChars];
  uint32_t wordStart;
  uint32_t wordEnd;
  DocumentKey key;
  Bookmark* bookmarks;
  int32_t bookmarksInUse;
  int32_t bookmarkCapacity;
  // UTF-8: the raw bytes behind the skipped ones that the text decodes (a
  // character cut by the window's end waits for the next window).
  int32_t decodedBytes;
};

// ---- creation and end ----

// Null when the heap is exhausted, the database document is not there or
// cannot be read (block size 0, an info area shorter than its layout).
ReaderDocument* OpenReaderDocument(DictEngine* engine, const ReaderSettings* request, const WCHAR* title,
                                   ReaderNotifyProc notify, ReaderReadProc read, void* readContext,
                                   const WCHAR* keyName, uint32_t documentLength, uint32_t fileTime);
// Stores the position in slot 0, saves the bookmarks, frees everything.
void CloseReaderDocument(ReaderDocument* document);

// ---- getters ----

const ReaderSettings* GetReaderRequest(const ReaderDocument* document);
const WCHAR* GetReaderText(const ReaderDocument* document, int32_t* positionChar, int32_t* selectionStart,
                           int32_t* selectionEnd);
// The word text with the word's place in it; empty when neither the
// highlight nor the popup option is on.
const WCHAR* GetReaderWord(const ReaderDocument* document, uint32_t* wordStart, uint32_t* wordEnd);
int CanPageBack(const ReaderDocument* document);
int CanPageForward(const ReaderDocument* document);
int HasPreviousResult(const ReaderDocument* document);
int HasNextResult(const ReaderDocument* document);
// Absolute byte of the reading position.
uint32_t GetReaderAbsolutePosition(const ReaderDocument* document);
// Position and length for the jump dialog: bytes, halved for UTF-16.
void GetReaderJumpRange(const ReaderDocument* document, uint32_t* position, uint32_t* length);
// "12.34%" for position of length (0 for an empty document), at most
// "100.00%"; `out` holds at least 12 units.
void FormatPercentText(uint32_t position, uint32_t length, WCHAR* out);
void FormatReaderPercent(const ReaderDocument* document, WCHAR* out);
// The current entry's definition into `handle` (FormatEntryText); 1 when
// there is no current entry.
struct MemHandle;
int FormatReaderDefinition(ReaderDocument* document, MemHandle* handle);
// Icon text (3 units and a terminator) and colour of the current entry's
// dictionary; empty with slot 65535.
void GetReaderDictIcon(ReaderDocument* document, WCHAR out[4], uint32_t* color);
void SetReaderTextWidth(ReaderDocument* document, uint32_t width);
void SetReaderDefinitionHeight(ReaderDocument* document, uint16_t height);

// ---- movement ----

// Moves the reading position to `target` (a byte offset in the source, or
// with charIndex a char index in the window); 0. *moved (optional) is 1 when
// the window was refilled.
int MoveReaderWindow(ReaderDocument* document, int64_t target, int charIndex, int scroll, int keepSelection,
                     int* moved);
// percent: value % of the length; else a character position (x 2 for
// UTF-16). Computed in 64 bits and clamped to the document.
int GoToPercentOrOffset(ReaderDocument* document, uint64_t value, int percent);
// Slot 0's position when the document has one, else byte 0.
int GoToStartPosition(ReaderDocument* document);

// ---- bookmarks (user bookmark n is slot n + 1) ----

int32_t GetBookmarkCount(const ReaderDocument* document);
int GetBookmarkName(const ReaderDocument* document, int32_t n, WCHAR* buffer, uint32_t size);
int CanAddBookmark(const ReaderDocument* document);
// A bookmark at the reading position; the name keeps 29 characters.
int AddBookmark(ReaderDocument* document, const WCHAR* name);
int DeleteBookmark(ReaderDocument* document, int32_t n);
// Bookmark n changes places with n + 1.
int SwapBookmarkDown(ReaderDocument* document, int32_t n);
int GoToBookmark(ReaderDocument* document, int32_t n);

// ---- sections ----

uint32_t GetReaderSectionCount(ReaderDocument* document, uint32_t level);
int GetReaderSectionName(ReaderDocument* document, uint32_t level, uint32_t n, WCHAR* buffer, uint32_t size);
uint32_t GetReaderCurrentSection(const ReaderDocument* document, uint32_t level);
// Moves to section n of the level (under the current section of the level
// above) and keeps n as the level's current index.
int GoToSection(ReaderDocument* document, uint32_t level, uint32_t n);

// ---- lookup ----

// The longest dictionary word of at least `minimum` chars that begins at
// char `position` and is made of CJK chars (U+3400-U+D7FF), reading at most
// `maximum` (capped at 31) chars. 0 found (selection, word, entry and list
// replaced), 1 not (nothing changes).
int LookupWordAt(ReaderDocument* document, int32_t position, int32_t maximum, int32_t minimum);
// A tap on char p (selection end e; e not beyond p: a plain tap). With
// inWordField both are positions in the word text.
int ReaderTapLookup(ReaderDocument* document, int32_t p, int32_t e, int inWordField);

enum ReaderKeyOp : int {
  kReaderKeyUp = 1,
  kReaderKeyDown = 2,
  kReaderKeyLeft = 3,
  kReaderKeyRight = 4,
  kReaderKeyEnter = 5
};
// A navigation key; `cursor` is the field's cursor char, `visible` the chars
// on the page. 0 handled, 1 not.
int ReaderCursorKey(ReaderDocument* document, int op, int keyUp, int32_t cursor, int32_t visible);

enum ReaderWordCommandId : int {
  kReaderPreviousChar = 5,
  kReaderNextChar = 6,
  kReaderShrink = 7,
  kReaderExtend = 8,
  kReaderAddCard = 9,
  kReaderNextDictionary = 10,
  kReaderPreviousResult = 11,
  kReaderNextResult = 12,
  kReaderAddCardAlways = 13,  // the duplicate question answered "add"
  kReaderAddCardReuse = 14,   // answered "use the existing card"
};
// Commands 5-8, 10-12: 0 done, 1 not. Card commands 9, 13, 14: the
// ReaderCardCode (0 when nothing is reported). `category` for the card
// commands: -1 the default category (preference 83).
int ReaderWordCommand(ReaderDocument* document, int command, int32_t category);
// The current word again in the dictionary of `slot` alone.
int RelookupInDictionary(ReaderDocument* document, uint16_t slot);
// The current entry's clips (CollectEntryAudioClips with the document's file
// set, the other set when the first has no data).
int CollectReaderAudioClips(ReaderDocument* document, MemHandle* const* clips, uint32_t* sizes);
