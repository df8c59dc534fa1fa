// The commands of the test window over a running session: revealing,
// grading, browsing earlier cards, undo, deleting and removing cards, score
// changes and the end; the move to the next card with its re-test pass;
// taking a card out of a session and the candidate pools of
// multiple-choice answers.
//
// A command that ends the session frees it: the owner learns of it through
// event word 24 and must not use the session afterwards.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct FlashSession;

// 1 for the card being shown (nothing changes); else 0 after every trace
// of the card is gone: its order entries with their undo rows and flags,
// and its record in the card list (for Frequency adjust its delay-ring
// entry if it has one, else its weighted record).
int RemoveCardFromSession(FlashSession* session, int32_t card);

// The candidates of multiple-choice answers by "pro_choicesfrom" (0 the
// session's language, 1 its own categories, 2 "pro_choicescustomcats"),
// split by word length into the session's pools, each shuffled. 0, or 1
// when a pool or the query could not be had (the pools may then be
// partial).
int BuildChoicePools(FlashSession* session);

// The text callback's answer: at most this many units; U+E9FE marks an
// item not filled in yet.
inline constexpr int32_t kTypedAnswerMax = 40;
inline constexpr WCHAR kUnfilledItem = 0xE9FE;
// Colours (0xRRGGBB) of the marks of a right and a wrong answer.
inline constexpr int32_t kMarkColourRight = 0x00FF00;
inline constexpr int32_t kMarkColourWrong = 0xFF0000;

// Commands (the argument is -1 when none).
enum : int32_t {
  kCmdReveal = 1,
  kCmdRevealOrCorrect = 2,
  kCmdRevealOrIncorrect = 3,
  kCmdRevealHeadword = 4,
  kCmdRevealPron = 6,
  kCmdRevealDefinition = 7,
  kCmdCorrect = 8,
  kCmdIncorrect = 9,
  kCmdCheckAnswer = 10,
  kCmdNext = 11,
  kCmdGrade1 = 12,  // 12-17: grades 1-6
  kCmdGrade6 = 17,
  kCmdBack = 18,
  kCmdForward = 19,
  kCmdReturn = 20,
  kCmdDeleteCard = 21,
  kCmdRemoveCard = 22,
  kCmdCategory = 23,
  kCmdReplaySound = 24,
  kCmdRedraw = 25,
  kCmdScoreChange = 26,
  kCmdDrawBoxHeight = 27,
  kCmdEnd = 28,
  kCmdStart = 29,
  kCmdUndo = 30,
  kCmdScoringOff = 31,
};
// Score changes of command 26 (any other argument: the button settings).
enum : int32_t {
  kScoreChangeDouble = 1,
  kScoreChangeQuadruple = 2,
  kScoreChangeHalve = 3,
  kScoreChangeQuarter = 4,
  kScoreChangeTenth = 5,
  kScoreChangeIgnore = 6,
  kScoreChangeReset = 7,
};

// 0 as a rule; 1 for Back without an earlier card; for End the result of
// EndFlashSession. Commands that do not apply in the state do nothing.
// Checking an answer (10): the chosen index (Multiple-choice), the typed
// answer or tone digits, or the stroke items, from the text callback.
int ProcessSessionCommand(FlashSession* session, int32_t command, int32_t argument);
// Key actions 1-25 as commands: 1-3 press the offered answer buttons, the
// others name commands (some by state). 0; other actions are ignored.
int HandleSessionKeyAction(FlashSession* session, int32_t action);
// Shows the next card, or, without one (or with endFlag), starts the
// re-test pass of wrongly answered cards or ends the session. 0.
int AdvanceToNextCard(FlashSession* session, int endFlag);
// Scores a pending Correct/Incorrect prompt (and a Review Only card), saves
// the session with saveFlag, tells the window the session ended and frees
// it. The save result (0 when not saving).
int EndFlashSession(FlashSession* session, int saveFlag, int pendingFlag);
// Multiple-choice: fills the session's choices for the card and answer
// part (0 or 1): numChoices - 1 other cards from the pool of the card's
// word length (every candidate when the definition is asked), walking on
// from where the last question stopped; the correct one at a random index.
// Slots that cannot be filled are -1.
void PickChoiceDistractors(FlashSession* session, int32_t card, int32_t part);
// The text of choice `index` for the current part, terminated within size;
// 0, or 1 (empty) for an empty slot or an unknown index.
int GetSessionChoiceText(FlashSession* session, int32_t index, WCHAR* buffer, uint32_t size);

// 1 when the card can be shown with the current field set: every needed
// field is on the card or its linked entry exists, and with forced
// dictionaries the link names one of them. Sets the session's dictionary
// reference.
int LoadSessionCard(FlashSession* session, int32_t card);
