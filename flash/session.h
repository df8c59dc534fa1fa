// The flashcard session: one test, built from the current profile of the
// store, holding the chosen cards in asking order, what has been answered,
// and a copy of every setting the test needs (so that a profile edited
// meanwhile does not change a running test). It lives on the user-interface
// thread and holds no lock; the statements it runs take the engine lock.
//
// Settings are read as the settings pages show them: an absent setting is
// 0, except the scorefile (none), "pro_buttonwhichcat" (none) and
// "pro_cardcount" (every listed card), where -1 has a meaning.
#pragma once

#include <cstdint>

#include "flash/card_scores.h"
#include "flash/session_scoring.h"
#include "flash/session_select.h"
#include "platform/types.h"

struct ChunkedArray;
struct FlashcardStore;
struct SqlText;
struct FlashSession;

// Session states.
enum : int32_t {
  kSessionBrowsing = 0,
  kSessionQuestion = 1,
  kSessionSecondChoice = 2,
  kSessionHiddenHeadword = 3,
  kSessionHiddenPron = 4,
  kSessionHiddenDefinition = 5,
  kSessionAnswerShown = 6,
  kSessionAfterCorrect = 7,
  kSessionAfterIncorrect = 8,
};

// Test types ("pro_type").
enum : int32_t {
  kTestReviewOnly = 0,
  kTestSelfScored = 1,
  kTestMultipleChoice = 2,
  kTestFreeAnswer = 3,
  kTestStrokeOrder = 4,
  kTestTonePractice = 5,
};

// Field codes of field sets.
enum : uint32_t {
  kFieldHeadword = 1,
  kFieldPron = 16,
  kFieldSound = 32,
  kFieldTones = 64,
  kFieldDefinition = 256,
};

inline constexpr int32_t kSessionOrderCapacity = 1024;
inline constexpr int32_t kSessionUndoMax = 32;
inline constexpr uint32_t kSessionDictSlotNone = 65535;
// Field sets: three directions, or one per score band (at most ten bands).
inline constexpr int32_t kFieldSetMax = 10;
// Order array entries: card id, its field set, the incorrect flag.
inline constexpr uint32_t kOrderCardMask = 0x0FFFFFFFu;
inline constexpr uint32_t kOrderFieldSetShift = 28;
inline constexpr uint32_t kOrderIncorrectFlag = 0x80000000u;
inline constexpr int32_t kSessionEventWords = 33;
// Multiple-choice answers and per-item marks (strokes, syllables).
inline constexpr int32_t kChoiceMax = 32;
// Event words: what the owner window is asked to do.
enum : int32_t {
  kEventLayout = 1,
  kEventButtons = 2,
  kEventActionRow = 3,
  kEventTopField1 = 9,
  kEventTopField2 = 10,
  kEventTopField3 = 11,
  kEventDefinition = 12,
  kEventClearSketch = 13,
  kEventStrokes = 14,
  kEventStrokeMarks = 15,
  kEventChoices = 17,
  kEventChoiceMarks = 18,
  kEventSelectors = 21,
  kEventSelectorTexts = 22,
  kEventSelectorMarks = 23,
  kEventEnded = 24,
  kEventShowStatistics = 25,
  kEventNoHub = 26,
  kEventCardInfo = 27,
  kEventPlayAudio = 28,
  kEventStopAudio = 29,
  kEventRetest = 30,
  kEventOutOfDue = 31,
  kEventNoCards = 32,
};

// Word w (1-32) asks the owner window for an action (0 none); word 0 is
// the session itself.
struct SessionEventRecord {
  FlashSession* session;
  int32_t words[kSessionEventWords];
};
using SessionEventCallback = void (*)(const SessionEventRecord* event, void* userData, int32_t refresh);
// Fills buffer with the typed answer or the drawn stroke items.
using SessionTextCallback = int (*)(WCHAR* buffer, WCHAR* work, void* userData);

struct SessionFieldSet {
  uint32_t shown[4];
  int32_t shownCount;
  uint32_t asked[3];
  int32_t askedCount;
  // The shown fields, then the asked ones (Self-scored adds the definition).
  uint32_t display[5];
  int32_t displayCount;
  int32_t scoreFrom;  // score bands: the set applies to [from, to)
  int32_t scoreTo;
};
enum : int32_t { kFieldChoiceRotate = 0, kFieldChoiceSequence = 1, kFieldChoiceByScore = 2 };

// The words the test window reads, in this order.
struct DisplaySettings {
  int32_t topField1, topField2, definitionSize, headwordSize, definitionParts;
  int32_t buttonBack, buttonUndo, buttonInfo, buttonDelete, buttonRemoveSession, buttonScore, buttonScoreChange,
      buttonScoreTarget, buttonScoreType, buttonCategory;
  int32_t buttonCategoryId;  // -1 none
  int32_t buttonCategoryExists;
  int32_t reverseAnswerButtons;
  int32_t alwaysOne1, alwaysZero, alwaysOne2;
  int32_t audioMode;  // preference 210 when 1-4, else 0
  int32_t audioAll, audioAutoReveal, audioNoAutoShow;
  int32_t showDrawBox, forceCharset, charset, showStats, noKeyboard, dictHeads;
};

struct WeightRingEntry {
  int32_t card;
  uint32_t weight;
  int32_t chunk;
};

struct SessionDictRef {
  uint32_t slot;  // kSessionDictSlotNone: none
  int32_t entry;
};

struct FlashSession {
  // owner
  FlashcardStore* store;
  SessionEventCallback onEvent;
  SessionTextCallback onText;
  void* userData;
  int32_t profile;  // the profile that built the session; FreeFlashSession stamps it
  // selection
  int32_t method;
  ChunkedArray* cards;
  uint64_t totalWeight;  // Frequency adjust
  int32_t cardsToAsk;
  int32_t dueToAsk;
  int32_t dueCount;
  uint8_t unlimited;
  uint8_t noRepeat;
  uint8_t allowInvalid;
  int32_t forceDictsMode;
  uint16_t* forceDictSlots;
  int32_t forceDictCount;
  // progress
  int32_t questionIndex;
  int32_t nextPosition;
  int32_t currentCard;
  int32_t currentChunk;
  int32_t currentFieldSet;
  SessionDictRef dictRef;
  SessionDictRef savedDictRef;
  // statistics
  int32_t correctAnswers;
  int32_t incorrectAnswers;
  int64_t scoreSum;
  int64_t difficultySum;
  // order: newest first
  int32_t browsePosition;
  uint32_t* order;
  int32_t orderCapacity;
  int32_t orderCount;
  // undo: score rows before their answers, newest first
  CardScoreRecord undo[kSessionUndoMax];
  uint8_t undone[kSessionUndoMax];
  int32_t undoCount;
  // Frequency adjust delay ring
  WeightRingEntry* ring;
  int32_t ringCapacity;
  int32_t ringCount;
  int32_t ringOldest;
  // multiple-choice pools: word lengths 1-4, longer words, all candidates
  ChunkedArray* lengthPools[4];
  ChunkedArray* longPool;
  ChunkedArray* choicePool;
  // field sets
  SessionFieldSet fieldSets[kFieldSetMax];
  int32_t fieldSetCount;
  int32_t fieldChoice;
  uint8_t* fieldSequence;
  int32_t fieldSequenceLength;
  // answer state
  int32_t numChoices;             // "pro_numchoices" (Multiple-choice)
  int32_t choiceIds[kChoiceMax];  // the offered cards; -1 for a slot left empty
  int32_t poolCursor[6];          // where each choice pool's walk stopped
  int32_t choiceCount;
  uint32_t comparedField;
  int32_t correctChoice;
  int32_t chosenIndex;
  uint8_t marks[32];
  int32_t markCount;
  int32_t replaysUsed;
  // times (ticks)
  uint32_t startTicks;
  uint32_t shownTicks;
  uint32_t answerTicks;
  // state
  int32_t state;
  int32_t savedState;
  int32_t language;  // 4096 Chinese cards, 0 all others
  int32_t testType;
  int32_t learnedCount;
  int32_t learnedMode;
  // options
  int32_t maxReplays;
  uint8_t answerOverridden;
  uint8_t cardLeaving;  // the last scored card no longer meets the filters
  int32_t ignoreTones;
  int32_t requireFilled;
  int32_t repeatIncorrect, repeatIncorrectLoop, repeatIncorrectShuffle;
  uint8_t retestPass;
  uint8_t retestAnnounced;  // the window was told once that a re-test begins
  uint8_t dueNoticeGiven;   // the due cards ran out (asked once per session)
  uint8_t resumed;          // rebuilt from the saved-session file
  int32_t savePromptType;
  int32_t revealSeparately;
  int32_t scoreImmediately;
  int32_t drawBoxHeight;
  // clock
  uint32_t startTime;
  uint32_t referenceTime;
  uint8_t randomState[72];
  ScoringSettings scoring;
  DisplaySettings display;
};

// An integer setting of the current profile as the session reads it:
// absent is 0, except for the scorefile, "pro_buttonwhichcat" and
// "pro_cardcount", absent -1.
int32_t GetSessionSettingInt(FlashcardStore* store, uint32_t id);

// The new session, or null. *status (may be null) is 1 until the session
// is made, then 0. Nothing is written to the database.
FlashSession* BuildFlashSession(FlashcardStore* store, SessionEventCallback onEvent, SessionTextCallback onText,
                                void* userData, int32_t* status);
// Frees everything the session owns and stamps "laststart" (the session's
// start) and "lastend" (now) on the profile that built it. Null is
// accepted.
void FreeFlashSession(FlashSession* session);
// The current card; while browsing, the card at the browse position.
int32_t GetSessionCurrentCardId(const FlashSession* session);

// Field sets of the session's test type (called by the builder).
void SetUpTestFields(FlashSession* session);
// The field set for a card of `score` in score-band mode: the band holding
// it, the first band below the first start, the last band from the last
// start on.
int32_t FindFieldSetForScore(const FlashSession* session, int32_t score);
void LoadDisplaySettings(DisplaySettings* display, FlashcardStore* store);

// Writes a condition on the card alias "c" that admits exactly the cards
// assigned to one of the categories (an id with bit 29 set stands alone;
// others bring their subcategories; -3 admits the cards without any
// assignment; -2 admits every card). No ids admit no card. 0, or 1 when
// memory runs out.
int AppendCategorySelection(SqlText* text, FlashcardStore* store, const int32_t* ids, uint32_t count);
// Bit 29 of a category id in "pro_categories": without its subcategories.
inline constexpr uint32_t kCategoryAloneFlag = 1u << 29;
inline constexpr uint32_t kCategoryIdMask = 0x0FFFFFFFu;

// 1 when a reviewed filter (comparison 0-5: =, !=, >, <, >=, <=) lets
// cards that were never reviewed through: with a positive count only !=,
// < and <=; with count 0 every comparison but != and >; with a negative
// count none.
int ReviewedFilterAdmitsNewCards(int32_t compare, int32_t count);
