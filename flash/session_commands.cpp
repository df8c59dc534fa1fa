#include "flash/session_commands.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "engine/dict_set.h"
#include "engine/engine_time.h"
#include "engine/mem_handle.h"
#include "engine/pinyin.h"
#include "engine/preferences.h"
#include "engine/sql_query.h"
#include "engine/sql_text.h"
#include "engine/system_services.h"
#include "flash/card_scores.h"
#include "flash/cards.h"
#include "flash/categories.h"
#include "flash/chunked_array.h"
#include "flash/flash_sql.h"
#include "flash/profile_setting_ids.h"
#include "flash/profile_settings.h"
#include "flash/session.h"
#include "flash/session_file.h"
#include "flash/session_queries.h"
#include "flash/store.h"
#include "flash/store_schema.h"
#include "platform/engine_lock.h"
#include "platform/heap.h"

#include <initializer_list>
#include <vector>

namespace {

// The audio source command 24 may set (1-10).
constexpr int32_t kPrefAudioSource = 213;

// Drops order entry i and, for the most recent cards, its undo row.
void DropOrderEntry(FlashSession* s, int32_t i) {
  std::memmove(s->order + i, s->order + i + 1, static_cast<size_t>(s->orderCount - i - 1) * sizeof(uint32_t));
  --s->orderCount;
  if (i < s->undoCount) {
    std::memmove(&s->undo[i], &s->undo[i + 1], static_cast<size_t>(s->undoCount - i - 1) * sizeof(CardScoreRecord));
    std::memmove(&s->undone[i], &s->undone[i + 1], static_cast<size_t>(s->undoCount - i - 1));
    --s->undoCount;
  }
  if (s->browsePosition > i) --s->browsePosition;
}

void Notify(FlashSession* s, std::initializer_list<int32_t> words) {
  if (!s->onEvent) return;
  SessionEventRecord e{};
  e.session = s;
  for (int32_t w : words)
    if (w > 0 && w < kSessionEventWords) e.words[w] = 1;
  s->onEvent(&e, s->userData, 1);
}

void Redraw(FlashSession* s) {
  Notify(s, {kEventLayout, kEventButtons, kEventTopField1, kEventTopField2, kEventTopField3, kEventDefinition});
}

bool IsLive(const FlashSession* s) { return s->state != kSessionBrowsing; }

void MarkAnswerShown(FlashSession* s) {
  // 0 means "not yet": a tick count of 0 is taken as 1.
  if (s->answerTicks == 0) s->answerTicks = std::max(GetTicks(), 1u);
}

bool RemoveFromRing(FlashSession* s, int32_t card) {
  for (int32_t k = 0; k < s->ringCount; ++k) {
    const int32_t at = (s->ringOldest + k) % s->ringCapacity;
    if (s->ring[at].card != card) continue;
    // Later entries move one place towards the oldest, keeping their order.
    for (int32_t j = k; j + 1 < s->ringCount; ++j)
      s->ring[(s->ringOldest + j) % s->ringCapacity] = s->ring[(s->ringOldest + j + 1) % s->ringCapacity];
    --s->ringCount;
    return true;
  }
  return false;
}

void RemoveWeighted(FlashSession* s, int32_t card) {
  ChunkedArray* list = s->cards;
  for (int32_t c = 0; list && c < list->chunkCount; ++c)
    for (int32_t i = 0; i < list->chunkCounts[c]; ++i)
      if (static_cast<int32_t>(list->chunks[c][static_cast<size_t>(i) * list->width]) == card) {
        RemoveWeightedRecord(s, c, i);
        return;
      }
}

// Takes the card's remaining record out of the card list (or the ring or
// weighted list), so it is not asked again.
void TakeOutOfList(FlashSession* s, int32_t card) {
  if (s->method == kSelectFrequency) {
    if (!RemoveFromRing(s, card)) RemoveWeighted(s, card);
    return;
  }
  for (;;) {
    const int32_t at = FindChunkedArrayItem(s->cards, static_cast<uint32_t>(card));
    if (at < 0) return;
    DeleteChunkedArrayItem(s->cards, at);
    // A card already passed must not shift the next one out of turn.
    if (at < s->nextPosition) --s->nextPosition;
    if (s->cards->mark > at) --s->cards->mark;
    if (at < s->dueCount) --s->dueCount;
  }
}

void TakeOut(FlashSession* s, int32_t card) {
  for (int32_t i = s->orderCount - 1; i >= 0; --i)
    if (static_cast<int32_t>(s->order[i] & kOrderCardMask) == card) DropOrderEntry(s, i);
  TakeOutOfList(s, card);
}

// Shows the card: newest first in the order array with its score row kept
// for undo.
void RecordShownCard(FlashSession* s, int32_t card) {
  if (s->order && s->orderCapacity > 0) {
    const int32_t kept = std::min(s->orderCount, s->orderCapacity - 1);
    std::memmove(s->order + 1, s->order, static_cast<size_t>(kept) * sizeof(uint32_t));
    s->order[0] = (static_cast<uint32_t>(card) & kOrderCardMask) |
                  (static_cast<uint32_t>(std::max(s->currentFieldSet, 0) & 7) << kOrderFieldSetShift);
    s->orderCount = kept + 1;
  }
  const int32_t keptUndo = std::min(s->undoCount, kSessionUndoMax - 1);
  std::memmove(&s->undo[1], &s->undo[0], static_cast<size_t>(keptUndo) * sizeof(CardScoreRecord));
  std::memmove(&s->undone[1], &s->undone[0], static_cast<size_t>(keptUndo));
  ReadCardScore(s->store, s->scoring.scorefile, card, &s->undo[0], 0);
  s->undone[0] = 0;
  s->undoCount = keptUndo + 1;
}

bool StartRetest(FlashSession* s) {
  std::vector<uint32_t> entries;
  for (int32_t i = s->orderCount - 1; i >= 0; --i)
    if (s->order[i] & kOrderIncorrectFlag) entries.push_back(s->order[i] & ~kOrderIncorrectFlag);
  if (!s->retestPass) {
    // The same card with the same field set is re-tested once.
    std::vector<uint32_t> unique;
    for (uint32_t e : entries)
      if (std::find(unique.begin(), unique.end(), e) == unique.end()) unique.push_back(e);
    entries.swap(unique);
  }
  if (entries.empty()) return false;
  ChunkedArray* list = CreateChunkedArray(2, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 0);
  auto* sequence = static_cast<uint8_t*>(LocalAlloc(LPTR, entries.size()));
  if (!list || !sequence) {
    FreeChunkedArray(list);
    if (sequence) LocalFree(sequence);
    return false;
  }
  if (s->repeatIncorrectShuffle)
    ShuffleIdArray(reinterpret_cast<int32_t*>(entries.data()), static_cast<uint32_t>(entries.size()), s->randomState);
  for (size_t i = 0; i < entries.size(); ++i) {
    AppendChunkedArray(list, entries[i] & kOrderCardMask, 0);
    sequence[i] = static_cast<uint8_t>((entries[i] >> kOrderFieldSetShift) & 7);
  }
  FreeChunkedArray(s->cards);
  s->cards = list;
  if (s->fieldSequence) LocalFree(s->fieldSequence);
  s->fieldSequence = sequence;
  s->fieldSequenceLength = static_cast<int32_t>(entries.size());
  s->fieldChoice = kFieldChoiceSequence;
  s->cardsToAsk = static_cast<int32_t>(entries.size());
  s->unlimited = 0;
  s->noRepeat = 1;
  s->orderCount = 0;
  s->undoCount = 0;
  s->method = kSelectRandom;
  s->scoring.kind = kScoringNone;
  s->scoring.scorePrompt = 0;
  if (!s->repeatIncorrectLoop) s->repeatIncorrect = 0;
  s->questionIndex = -1;
  s->nextPosition = 0;
  s->dueCount = s->dueToAsk = 0;
  s->retestPass = 1;
  return true;
}

// The next card to try, or -1.
int32_t TakeNextCard(FlashSession* s, int32_t* position) {
  *position = -1;
  if (s->method == kSelectFrequency) return PickWeightedCard(s);
  if (s->nextPosition >= s->cards->count) {
    if (s->unlimited || s->noRepeat || s->cards->count == 0) return -1;
    ShuffleChunkedArray(s->cards, s->randomState);
    s->nextPosition = 0;
  }
  *position = s->nextPosition;
  return GetChunkedArrayItem(s->cards, s->nextPosition++);
}

// false when the session ended (and is freed).
bool Advance(FlashSession* s, int endFlag) {
  if (s->fieldSetCount > 0) {
    if (s->fieldChoice == kFieldChoiceSequence) {
      const int32_t next = s->questionIndex + 1;
      s->currentFieldSet = next >= 0 && next < s->fieldSequenceLength ? s->fieldSequence[next] : 0;
      if (s->currentFieldSet >= s->fieldSetCount) s->currentFieldSet = 0;
    } else {
      s->currentFieldSet = (s->currentFieldSet + 1) % s->fieldSetCount;
      if (s->currentFieldSet < 0) s->currentFieldSet = 0;
    }
  }
  int32_t card = -1, position = -1;
  while (!endFlag && s->questionIndex + 1 < s->cardsToAsk) {
    card = TakeNextCard(s, &position);
    if (card < 0) break;
    if (s->fieldChoice == kFieldChoiceByScore)
      s->currentFieldSet = FindFieldSetForScore(s, GetCardScore(s->store, s->scoring.scorefile, card));
    if (LoadSessionCard(s, card)) break;
    if (!s->unlimited && s->method != kSelectFrequency) {
      --s->cardsToAsk;
      if (position >= 0 && position < s->dueCount) --s->dueToAsk;
    }
    card = -1;
  }
  if (card >= 0 && s->method == kSelectRepetitionSpaced && position >= s->dueCount && !s->dueNoticeGiven &&
      !s->retestPass) {
    s->dueNoticeGiven = 1;
    Notify(s, {kEventOutOfDue});
  }
  if (card < 0) {
    const bool anyShown = s->orderCount > 0;
    if (!s->repeatIncorrect || !anyShown || !StartRetest(s)) {
      EndFlashSession(s, 0, 0);
      return false;
    }
    if (!s->retestAnnounced) {
      s->retestAnnounced = 1;
      Notify(s, {kEventRetest});
    }
    return Advance(s, 0);
  }
  s->currentCard = card;
  RecordShownCard(s, card);
  ++s->questionIndex;
  s->state = s->testType == kTestReviewOnly ? kSessionAnswerShown : kSessionQuestion;
  s->shownTicks = GetTicks();
  s->answerTicks = 0;
  if (s->state == kSessionAnswerShown) MarkAnswerShown(s);
  s->answerOverridden = 0;
  s->replaysUsed = 0;
  s->markCount = 0;
  std::memset(s->marks, 0, sizeof s->marks);
  if (s->testType == kTestMultipleChoice) PickChoiceDistractors(s, card, 0);
  Notify(s, {kEventChoices, kEventLayout, kEventButtons, kEventTopField1, kEventTopField2, kEventTopField3,
             kEventDefinition, kEventClearSketch});
  return true;
}

// Scores the shown card and moves on; false when the session ended.
bool GradeAndMove(FlashSession* s, int32_t grade) {
  const int32_t card = s->currentCard;
  ScoreSessionAnswer(s, grade);  // a failed row write does not stop the move
  // A card that no longer meets the filters is not asked again; its order
  // and undo entries stay.
  if (s->cardLeaving && s->method != kSelectFrequency) TakeOutOfList(s, card);
  return Advance(s, 0);
}

bool FieldAsked(const FlashSession* s, uint32_t field) {
  if (s->currentFieldSet < 0 || s->currentFieldSet >= s->fieldSetCount) return false;
  const SessionFieldSet& f = s->fieldSets[s->currentFieldSet];
  return std::find(f.asked, f.asked + f.askedCount, field) != f.asked + f.askedCount;
}
bool FieldShown(const FlashSession* s, uint32_t field) {
  if (s->currentFieldSet < 0 || s->currentFieldSet >= s->fieldSetCount) return false;
  const SessionFieldSet& f = s->fieldSets[s->currentFieldSet];
  return std::find(f.shown, f.shown + f.shownCount, field) != f.shown + f.shownCount;
}

void Reveal(FlashSession* s) {
  s->state = kSessionAnswerShown;
  MarkAnswerShown(s);
  Redraw(s);
}

// Commands 4, 6, 7: reveal one asked field at a time.
void RevealPart(FlashSession* s, int32_t hiddenState, uint32_t field, uint32_t firstOther, int32_t firstState,
                uint32_t secondOther, int32_t secondState) {
  if (s->state == hiddenState) {
    Reveal(s);
  } else if (s->state == kSessionQuestion && FieldAsked(s, field)) {
    if (FieldAsked(s, firstOther)) s->state = firstState;
    else if (FieldAsked(s, secondOther))
      s->state = secondState;
    else {
      Reveal(s);
      return;
    }
    Redraw(s);
  }
}

// Command 26 on the shown card's score.
void ChangeScore(FlashSession* s, int32_t argument) {
  FlashcardStore* store = s->store;
  const int32_t card = GetSessionCurrentCardId(s);
  if (card < 0) return;
  CardScoreRecord r;
  if (ReadCardScore(store, s->scoring.scorefile, card, &r, 0) != 0) return;
  const int64_t score = r.score;
  int64_t target = score;
  switch (argument) {
    case kScoreChangeDouble:
      target = score * 2;
      break;
    case kScoreChangeQuadruple:
      target = score * 4;
      break;
    case kScoreChangeHalve:
      target = score - score * 50 / 100;
      break;
    case kScoreChangeQuarter:
      target = score - score * 75 / 100;
      break;
    case kScoreChangeTenth:
      target = score - score * 90 / 100;
      break;
    case kScoreChangeIgnore:
      break;
    case kScoreChangeReset:
      ResetCardScore(store, s->scoring.scorefile, card);
      break;
    default: {
      const int64_t amount = s->display.buttonScoreTarget;
      const int64_t direction = s->display.buttonScoreChange;
      const int64_t change = s->display.buttonScoreType == 1 ? amount * score / 100 : amount;
      if (direction == 0) target = score + change;
      else if (direction == 1)
        target = score - change;
      else
        target = std::max<int64_t>(amount < 0 ? -amount : amount, 1);
      break;
    }
  }
  if (argument != kScoreChangeIgnore && argument != kScoreChangeReset)
    SetCardScore(store, s->scoring.scorefile, card, static_cast<int32_t>(std::clamp<int64_t>(target, 1, INT32_MAX)));
  if (IsLive(s)) s->answerOverridden = 1;
  Redraw(s);
}

void Undo(FlashSession* s) {
  if (s->state != kSessionBrowsing) return;
  const int32_t at = s->browsePosition;
  if (at < 0 || at >= s->orderCount || at >= s->undoCount || s->undone[at]) return;
  const uint32_t entry = s->order[at];
  if (entry & kOrderIncorrectFlag) s->incorrectAnswers = std::max(0, s->incorrectAnswers - 1);
  else
    s->correctAnswers = std::max(0, s->correctAnswers - 1);
  s->order[at] = entry & ~kOrderIncorrectFlag;
  WriteCardScore(s->store, s->scoring.scorefile, static_cast<int32_t>(entry & kOrderCardMask), &s->undo[at]);
  s->undone[at] = 1;
  Redraw(s);
}

// The asked field of a Multiple-choice part, 0 when none.
uint32_t PartField(const FlashSession* s, int32_t part) {
  if (s->currentFieldSet < 0 || s->currentFieldSet >= s->fieldSetCount) return 0;
  const SessionFieldSet& f = s->fieldSets[s->currentFieldSet];
  return part >= 0 && part < f.askedCount ? f.asked[part] : 0;
}

uint32_t CardFieldOf(uint32_t field) {
  return field == kFieldHeadword     ? kCardFieldHeadword
         : field == kFieldDefinition ? kCardFieldDefinition
                                     : kCardFieldPronunciation;
}

// The card's text of the field, marks removed; empty when it cannot be
// read.
std::u16string CardText(FlashcardStore* store, int32_t card, uint32_t field) {
  MemHandle* h = NewMemHandle(2);
  std::u16string out;
  if (h && GetCardFieldText(store, card, CardFieldOf(field), h) == 0 && h->data)
    out = reinterpret_cast<const char16_t*>(h->data);
  FreeMemHandle(h);
  return out;
}

int32_t CardWordLength(FlashcardStore* store, int32_t card) {
  std::vector<int32_t> lengths;
  SelectFlashInts(store->database, kFlashCardsTable, kFlashCardColumns, kCardColumnCount, kCardId, card,
                  kCardWordLength, &lengths);
  return lengths.empty() ? 0 : lengths[0];
}

// The result of a checked answer: state 7 or 8, the marks shown in the
// given colour (0xRRGGBB).
void NotifyAnswerResult(FlashSession* s, bool right, int32_t marksWord) {
  s->state = right ? kSessionAfterCorrect : kSessionAfterIncorrect;
  MarkAnswerShown(s);
  SessionEventRecord e{};
  e.session = s;
  for (int32_t w : {kEventLayout, kEventButtons, kEventTopField1, kEventTopField2, kEventTopField3, kEventDefinition})
    e.words[w] = 1;
  if (marksWord > 0) e.words[marksWord] = right ? kMarkColourRight : kMarkColourWrong;
  if (s->display.audioAutoReveal) {
    e.words[kEventPlayAudio] = 1;
    ++s->replaysUsed;
  }
  if (s->onEvent) s->onEvent(&e, s->userData, 1);
}

// Stroke Order: the user's stroke item numbers, item i right when it is
// number i + 1. Numbers outside 1-32 are no strokes of a mark slot and are
// passed over.
void CheckStrokes(FlashSession* s) {
  if (!s->onText) return;
  WCHAR items[kTypedAnswerMax + 1] = {}, work[kTypedAnswerMax + 1] = {};
  s->onText(items, work, s->userData);
  items[kTypedAnswerMax] = 0;
  uint8_t marks[sizeof s->marks] = {};
  int32_t count = 0, checked = 0;
  bool inOrder = true;
  for (int32_t i = 0; i < kChoiceMax && items[i]; ++i) {
    if (items[i] == kUnfilledItem) {
      if (s->requireFilled) return;  // not checked yet
      continue;
    }
    const int32_t number = static_cast<int32_t>(items[i]);
    if (number < 1 || number > kChoiceMax) continue;
    const bool right = number == i + 1;
    marks[number - 1] = right ? kMarkRight : kMarkWrong;
    inOrder = inOrder && right;
    count = std::max(count, number);
    ++checked;
  }
  std::memcpy(s->marks, marks, sizeof marks);
  s->markCount = count;
  NotifyAnswerResult(s, inOrder && checked > 0, kEventStrokeMarks);
}

bool IsSyllable(WCHAR c) { return c >= kSyllableFirst && c <= kSyllableLastArea; }
WCHAR WithoutTone(WCHAR code) { return static_cast<WCHAR>(code - (code - kSyllableFirst) % 5); }
int32_t ToneOf(WCHAR code) { return (code - kSyllableFirst) % 5; }

// Syllable codes of a pinyin text (codes already in it stay), placeholders
// kept.
std::u16string Syllables(DictEngine* engine, const std::u16string& text) {
  bool coded = false;
  for (char16_t c : text) coded = coded || (c >= kSyllableFirst && c <= kUnfilledItem);
  std::u16string parsed;
  if (coded) {
    parsed = text;
  } else {
    WCHAR low[kTypedAnswerMax * 2 + 1] = {};
    ParsePinyinQuery(engine, reinterpret_cast<const WCHAR*>(text.c_str()), low, nullptr, kTypedAnswerMax * 2 + 1,
                     kParseDefiniteTone | kParseWholeSyllables);
    parsed = reinterpret_cast<const char16_t*>(low);
  }
  std::u16string out;
  for (char16_t c : parsed)
    if (IsSyllable(c) || c == kUnfilledItem) out.push_back(c);
  return out;
}

// Free-answer and Tone Practice, command 10: the typed answer compared
// position by position with the card.
void CheckTyped(FlashSession* s) {
  if (!s->onText) return;
  WCHAR buffer[kTypedAnswerMax + 1] = {}, work[kTypedAnswerMax + 1] = {};
  s->onText(buffer, work, s->userData);
  buffer[kTypedAnswerMax] = 0;
  const std::u16string typed = reinterpret_cast<const char16_t*>(buffer);
  const int32_t card = s->currentCard;
  const uint32_t field = PartField(s, 0);
  const int32_t length = CardWordLength(s->store, card);
  std::u16string answer, alternative, given = typed;
  if (s->testType == kTestTonePractice || field == kFieldTones) {
    answer = Syllables(s->store->engine, CardText(s->store, card, kFieldPron));
    given.clear();
    for (char16_t c : typed)
      if (c >= u'0' && c <= u'5') given.push_back(c);
    if (s->requireFilled && given.size() < answer.size()) return;
    // Tone 5 is typed for the neutral tone the codes keep as 0.
    for (char16_t& c : answer) c = static_cast<char16_t>(u'0' + ToneOf(c));
    for (char16_t& c : given)
      if (c == u'5') c = u'0';
  } else if (field == kFieldHeadword) {
    if (s->requireFilled && typed.find(kUnfilledItem) != std::u16string::npos) return;
    answer = CardText(s->store, card, kFieldHeadword);
    MemHandle* h = NewMemHandle(2);
    if (h && GetCardFieldText(s->store, card, kCardFieldAltHeadword, h) == 0 && h->data)
      alternative = reinterpret_cast<const char16_t*>(h->data);
    FreeMemHandle(h);
  } else {
    if (s->requireFilled && typed.find(kUnfilledItem) != std::u16string::npos) return;
    answer = Syllables(s->store->engine, CardText(s->store, card, kFieldPron));
    given = Syllables(s->store->engine, typed);
    if (s->ignoreTones) {
      for (char16_t& c : answer) c = WithoutTone(c);
      for (char16_t& c : given)
        if (IsSyllable(c)) c = WithoutTone(c);
    }
  }
  const int32_t longer = static_cast<int32_t>(std::max(given.size(), answer.size()));
  const int32_t n = std::min({length > 0 ? length : longer, longer, 4});
  bool right = n > 0;
  std::memset(s->marks, 0, sizeof s->marks);
  for (int32_t i = 0; i < n; ++i) {
    const bool same = i < static_cast<int32_t>(given.size()) &&
                      ((i < static_cast<int32_t>(answer.size()) && given[i] == answer[i]) ||
                       (i < static_cast<int32_t>(alternative.size()) && given[i] == alternative[i]));
    s->marks[i] = same ? kMarkRight : kMarkWrong;
    right = right && same;
  }
  s->markCount = n;
  NotifyAnswerResult(s, right, kEventSelectorMarks);
}

// Multiple-choice, command 10: the argument is the chosen index.
void CheckChoice(FlashSession* s, int32_t chosen) {
  s->chosenIndex = chosen;
  const bool right = chosen >= 0 && chosen == s->correctChoice;
  if (right && s->state == kSessionQuestion && PartField(s, 1) != 0) {
    s->state = kSessionSecondChoice;
    PickChoiceDistractors(s, s->currentCard, 1);
    s->chosenIndex = -1;
    Notify(s, {kEventChoices, kEventChoiceMarks, kEventButtons});
    return;
  }
  NotifyAnswerResult(s, right, kEventChoiceMarks);
}

// Commands 21 and 22; false when the session ended.
bool DropShownCard(FlashSession* s, bool deleteCard) {
  const int32_t card = GetSessionCurrentCardId(s);
  if (card < 0) return true;
  // The database and the lists first: moving on may end and free the
  // session.
  if (deleteCard) DeleteCard(s->store, card);
  TakeOut(s, card);
  if (card != s->currentCard) {
    if (s->state == kSessionBrowsing && (s->browsePosition >= s->orderCount || s->browsePosition < 1)) {
      s->state = s->savedState;
      s->browsePosition = -1;
    }
    Redraw(s);
    return true;
  }
  s->currentCard = -1;
  if (s->state == kSessionBrowsing) s->state = s->savedState;
  return Advance(s, 0);
}

}  // namespace

void PickChoiceDistractors(FlashSession* s, int32_t card, int32_t part) {
  if (!s || !s->store) return;
  const int32_t n = std::clamp(s->numChoices, 1, kChoiceMax);
  s->choiceCount = n;
  std::fill(std::begin(s->choiceIds), std::end(s->choiceIds), -1);
  s->chosenIndex = -1;
  const uint32_t field = PartField(s, part);
  // The pool: by word length for headwords and pronunciations (a longer
  // word only among cards of its own length), every candidate for a
  // definition.
  const int32_t length = CardWordLength(s->store, card);
  int32_t which = 5;
  ChunkedArray* pool = s->choicePool;
  if (field != kFieldDefinition && length >= 1 && length <= 4) {
    which = length - 1;
    pool = s->lengthPools[which];
  } else if (field != kFieldDefinition && length >= 5) {
    which = 4;
    pool = s->longPool;
  }
  const std::u16string answer = field == kFieldDefinition ? u"" : CardText(s->store, card, field);
  std::vector<int32_t> chosen;
  std::vector<std::u16string> texts;
  if (pool && pool->count > 0) {
    int32_t& cursor = s->poolCursor[which];
    if (cursor < 0 || cursor >= pool->count) cursor = 0;
    // The end of the pool reshuffles it; the walk goes on for one whole
    // pass after that, so every candidate is looked at once at least.
    for (int32_t steps = 0; steps < 2 * pool->count && static_cast<int32_t>(chosen.size()) < n - 1; ++steps) {
      uint32_t value = static_cast<uint32_t>(GetChunkedArrayItem(pool, cursor));
      if (++cursor >= pool->count) {
        cursor = 0;
        ShuffleChunkedArray(pool, s->randomState);
      }
      int32_t candidate = static_cast<int32_t>(value);
      if (which == 4) {
        if (static_cast<int32_t>(value >> 24) != std::min(length, 255)) continue;
        candidate = static_cast<int32_t>(value & 0xFFFFFFu);
      }
      if (candidate == card || std::find(chosen.begin(), chosen.end(), candidate) != chosen.end()) continue;
      const std::u16string text = CardText(s->store, candidate, field);
      if (field == kFieldDefinition) {
        if (text.empty()) continue;  // no definition to offer
      } else if (text.empty() || text == answer || std::find(texts.begin(), texts.end(), text) != texts.end()) {
        continue;
      }
      chosen.push_back(candidate);
      texts.push_back(text);
    }
  }
  s->correctChoice = static_cast<int32_t>(GetRandom32() % static_cast<uint32_t>(n));
  size_t next = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (i == s->correctChoice) s->choiceIds[i] = card;
    else
      s->choiceIds[i] = next < chosen.size() ? chosen[next++] : -1;
  }
}

int GetSessionChoiceText(FlashSession* s, int32_t index, WCHAR* buffer, uint32_t size) {
  if (!buffer || size == 0) return 1;
  buffer[0] = 0;
  if (!s || index < 0 || index >= s->choiceCount || index >= kChoiceMax || s->choiceIds[index] < 0) return 1;
  const int32_t part = s->state == kSessionSecondChoice ? 1 : 0;
  const std::u16string text = CardText(s->store, s->choiceIds[index], PartField(s, part));
  const size_t n = std::min<size_t>(text.size(), size - 1);
  for (size_t i = 0; i < n; ++i) buffer[i] = static_cast<WCHAR>(text[i]);
  buffer[n] = 0;
  return 0;
}

int RemoveCardFromSession(FlashSession* s, int32_t card) {
  if (!s) return 1;
  if (card == s->currentCard) return 1;
  TakeOut(s, card);
  return 0;
}

int LoadSessionCard(FlashSession* s, int32_t card) {
  if (!s || !s->store || card < 0) return 0;
  s->dictRef = SessionDictRef{kSessionDictSlotNone, -1};
  const bool forced = s->forceDictsMode != 0 && s->forceDictCount > 0;
  if (s->allowInvalid && !forced) return 1;
  FlashcardStore* store = s->store;
  EngineLockGuard lock;
  SqlText text;
  SqlTextBegin(store->database, &text);
  SqlTextAppend(&text,
                "SELECT \"hw\", \"althw\", \"pron\", \"defn\", \"dictcreator\", \"dictid\", \"dictentry\" FROM \"");
  SqlTextAppend(&text, kFlashCardsTable);
  SqlTextAppend(&text, "\" WHERE \"id\" == ");
  SqlTextAppendInt(&text, card);
  sqlite3_stmt* statement = SqlTextPrepare(store->database, &text);
  if (!statement) return s->allowInvalid ? 1 : 0;
  if (SqlStep(statement) != SQLITE_ROW) {
    SqlFinalize(statement);
    return s->allowInvalid ? 1 : 0;
  }
  auto filled = [&](int column) {
    const WCHAR* t = SqlColumnText16(statement, column);
    return t && *t;
  };
  const bool hasHeadword = filled(0) || filled(1), hasPron = filled(2), hasDefinition = filled(3);
  const uint32_t creator = static_cast<uint32_t>(SqlColumnInt(statement, 4));
  const uint32_t dictId = static_cast<uint32_t>(SqlColumnInt(statement, 5));
  const int32_t entry = SqlColumnInt(statement, 6);
  SqlFinalize(statement);
  const uint16_t slot = FindDictSlot(store->engine, creator, dictId);
  if (slot != kSessionDictSlotNone) s->dictRef = SessionDictRef{slot, entry};
  if (forced && std::find(s->forceDictSlots, s->forceDictSlots + s->forceDictCount, slot) ==
                    s->forceDictSlots + s->forceDictCount)
    return 0;
  if (s->allowInvalid) return 1;
  bool complete = true;
  if (s->currentFieldSet >= 0 && s->currentFieldSet < s->fieldSetCount) {
    const SessionFieldSet& f = s->fieldSets[s->currentFieldSet];
    for (int32_t i = 0; i < f.displayCount; ++i) {
      const uint32_t field = f.display[i];
      if (field == kFieldHeadword && !hasHeadword) complete = false;
      if ((field == kFieldPron || field == kFieldSound || field == kFieldTones) && !hasPron) complete = false;
      if (field == kFieldDefinition && !hasDefinition) complete = false;
    }
  }
  return complete || HasDictEntry(store->engine, creator, dictId, entry) ? 1 : 0;
}

int AdvanceToNextCard(FlashSession* s, int endFlag) {
  if (s) Advance(s, endFlag);
  return 0;
}

int EndFlashSession(FlashSession* s, int saveFlag, int pendingFlag) {
  if (!s) return 1;
  const int32_t live = s->state == kSessionBrowsing ? s->savedState : s->state;
  if (pendingFlag && s->currentCard >= 0) {
    if (live == kSessionAfterCorrect) ScoreSessionAnswer(s, 6);
    else if (live == kSessionAfterIncorrect)
      ScoreSessionAnswer(s, 2);
    else if (live == kSessionAnswerShown && s->testType == kTestReviewOnly)
      ScoreSessionAnswer(s, -1);
  }
  const int result = saveFlag ? SaveFlashSession(s) : 0;
  const bool noneShown = s->questionIndex < 0 && !s->retestPass;
  const bool statistics = s->display.showStats && s->correctAnswers + s->incorrectAnswers > 0;
  if (s->onEvent) {
    SessionEventRecord e{};
    e.session = s;
    e.words[kEventEnded] = 1;
    e.words[kEventShowStatistics] = statistics ? 1 : 0;
    e.words[kEventNoCards] = noneShown ? 1 : 0;
    s->onEvent(&e, s->userData, 1);
  }
  FreeFlashSession(s);
  return result;
}

int HandleSessionKeyAction(FlashSession* s, int32_t action) {
  if (!s) return 0;
  int32_t command = 0;
  if (action >= 1 && action <= 3) {
    SessionActionButtons b;
    GetSessionActionButtons(s, &b);
    // The n-th offered button, else the nearest one before it.
    for (int32_t i = action - 1; i >= 0 && command == 0; --i) command = b.commands[i];
  } else if (action >= 20 && action <= 25) {
    command = kCmdGrade1 + (action - 20);
  } else {
    switch (action) {
      case 4:
        command = s->testType == kTestSelfScored ? kCmdReveal : kCmdCheckAnswer;
        break;
      case 5:
        command = kCmdCorrect;
        break;
      case 6:
        command = kCmdIncorrect;
        break;
      case 7:
        command = kCmdBack;
        break;
      case 8:
        command = s->state == kSessionBrowsing ? kCmdReturn : kCmdNext;
        break;
      case 9:
      case 10:
      case 11:
        if (s->state == kSessionAfterCorrect) command = kCmdGrade1 + 3 + (action - 9);
        else if (s->state == kSessionAfterIncorrect)
          command = kCmdGrade1 + (action - 9);
        break;
      case 12:
        command = kCmdReplaySound;
        break;
      case 13:
        command = kCmdCategory;
        break;
      case 16:
        command = kCmdRemoveCard;
        break;
      case 17:
        command = kCmdDeleteCard;
        break;
      case 18:
        command = kCmdRedraw;
        break;
      case 19:
        command = kCmdScoreChange;
        break;
      default:
        break;
    }
  }
  if (command != 0) ProcessSessionCommand(s, command, -1);
  return 0;
}

int ProcessSessionCommand(FlashSession* s, int32_t command, int32_t argument) {
  if (!s) return 0;
  const bool selfScored = s->testType == kTestSelfScored;
  switch (command) {
    case kCmdReveal:
      if (selfScored && (s->state == kSessionQuestion ||
                         (s->state >= kSessionHiddenHeadword && s->state <= kSessionHiddenDefinition)))
        Reveal(s);
      return 0;
    case kCmdRevealOrCorrect:
    case kCmdRevealOrIncorrect:
      if (!selfScored) return 0;
      if (s->state != kSessionAnswerShown) return ProcessSessionCommand(s, kCmdReveal, argument);
      return ProcessSessionCommand(s, command == kCmdRevealOrCorrect ? kCmdCorrect : kCmdIncorrect, argument);
    case kCmdRevealHeadword:
      if (selfScored)
        RevealPart(s, kSessionHiddenHeadword, kFieldHeadword, kFieldPron, kSessionHiddenPron, kFieldDefinition,
                   kSessionHiddenDefinition);
      return 0;
    case kCmdRevealPron:
      if (selfScored)
        RevealPart(s, kSessionHiddenPron, kFieldPron, kFieldHeadword, kSessionHiddenHeadword, kFieldDefinition,
                   kSessionHiddenDefinition);
      return 0;
    case kCmdRevealDefinition:
      if (selfScored)
        RevealPart(s, kSessionHiddenDefinition, kFieldDefinition, kFieldHeadword, kSessionHiddenHeadword, kFieldPron,
                   kSessionHiddenPron);
      return 0;
    case kCmdCorrect:
    case kCmdIncorrect:
      if (!selfScored || !IsLive(s) || s->state == kSessionAfterCorrect || s->state == kSessionAfterIncorrect ||
          s->currentCard < 0)
        return 0;
      if (!s->scoring.scorePrompt) {
        GradeAndMove(s, command == kCmdCorrect ? 6 : 2);
        return 0;
      }
      s->state = command == kCmdCorrect ? kSessionAfterCorrect : kSessionAfterIncorrect;
      MarkAnswerShown(s);
      Redraw(s);
      return 0;
    case kCmdCheckAnswer:
      if (s->state == kSessionQuestion && s->testType == kTestStrokeOrder) CheckStrokes(s);
      else if ((s->state == kSessionQuestion || s->state == kSessionSecondChoice) && s->testType == kTestMultipleChoice)
        CheckChoice(s, argument);
      else if (s->state == kSessionQuestion && (s->testType == kTestFreeAnswer || s->testType == kTestTonePractice))
        CheckTyped(s);
      return 0;
    case kCmdNext:
      if (s->state == kSessionAfterCorrect) GradeAndMove(s, 6);
      else if (s->state == kSessionAfterIncorrect)
        GradeAndMove(s, 2);
      else if (s->state == kSessionAnswerShown &&
               (s->testType == kTestReviewOnly || (selfScored && s->scoring.kind == kScoringNone)))
        GradeAndMove(s, -1);
      return 0;
    case kCmdBack:
      if (IsLive(s)) {
        if (s->orderCount < 2) return 0;
        s->savedState = s->state;
        s->state = kSessionBrowsing;
        s->browsePosition = 1;
      } else if (s->browsePosition + 1 < s->orderCount) {
        ++s->browsePosition;
      } else {
        return 1;
      }
      Redraw(s);
      return 0;
    case kCmdForward:
      if (s->state != kSessionBrowsing) return 0;
      if (s->browsePosition > 1) {
        --s->browsePosition;
      } else {
        s->state = s->savedState;
        s->browsePosition = -1;
      }
      Redraw(s);
      return 0;
    case kCmdReturn:
      if (s->state != kSessionBrowsing) return 0;
      s->state = s->savedState;
      s->browsePosition = -1;
      Redraw(s);
      return 0;
    case kCmdDeleteCard:
    case kCmdRemoveCard:
      DropShownCard(s, command == kCmdDeleteCard);
      return 0;
    case kCmdCategory: {
      const int32_t card = GetSessionCurrentCardId(s);
      const int32_t category = argument == -1 ? s->display.buttonCategoryId : argument;
      if (card >= 0 && category >= 0) ToggleCardCategory(s->store, card, category);
      Redraw(s);
      return 0;
    }
    case kCmdReplaySound: {
      // An argument 0-9 also chooses the audio source (preference 213).
      if (argument >= 0 && argument <= 9) SetPref(s->store->engine, kPrefAudioSource, argument + 1);
      const bool answerSide = !IsLive(s) || s->state == kSessionAnswerShown || s->state == kSessionAfterCorrect ||
                              s->state == kSessionAfterIncorrect;
      const bool soundAsked = FieldShown(s, kFieldSound) && (s->maxReplays == 0 || s->replaysUsed < s->maxReplays);
      if (!answerSide && !soundAsked) return 0;
      if (IsLive(s)) ++s->replaysUsed;
      Notify(s, {kEventPlayAudio, kEventStopAudio});
      return 0;
    }
    case kCmdRedraw:
      Redraw(s);
      return 0;
    case kCmdScoreChange:
      ChangeScore(s, argument);
      return 0;
    case kCmdDrawBoxHeight:
      s->drawBoxHeight = std::max<int32_t>(argument, 10);
      Redraw(s);
      return 0;
    case kCmdEnd:
      if (argument != 1 && !s->retestPass && s->repeatIncorrect) {
        Advance(s, 1);
        return 0;
      }
      return EndFlashSession(s, argument == 1, 1);
    case kCmdStart:
      if (s->questionIndex < 0) Advance(s, 0);
      else
        Redraw(s);
      return 0;
    case kCmdUndo:
      Undo(s);
      return 0;
    case kCmdScoringOff:
      s->scoring.kind = kScoringNone;
      s->scoring.scorePrompt = 0;
      return 0;
    default:
      if (command >= kCmdGrade1 && command <= kCmdGrade6 && s->scoring.scorePrompt &&
          (s->state == kSessionAnswerShown || s->state == kSessionAfterCorrect || s->state == kSessionAfterIncorrect))
        GradeAndMove(s, command - kCmdGrade1 + 1);
      return 0;
  }
}

int BuildChoicePools(FlashSession* s) {
  if (!s || !s->store || !s->store->database) return 1;
  for (ChunkedArray*& pool : s->lengthPools) {
    FreeChunkedArray(pool);
    pool = CreateChunkedArray(1, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 0);
  }
  FreeChunkedArray(s->longPool);
  FreeChunkedArray(s->choicePool);
  s->longPool = CreateChunkedArray(1, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 0);
  s->choicePool = CreateChunkedArray(1, kChunkedDefaultPerChunk, kChunkedDefaultMaxChunks, 0);
  if (!s->longPool || !s->choicePool || !s->lengthPools[0] || !s->lengthPools[1] || !s->lengthPools[2] ||
      !s->lengthPools[3])
    return 1;
  FlashcardStore* store = s->store;
  const int32_t from = GetSessionSettingInt(store, kProChoicesfrom);
  EngineLockGuard lock;
  SqlText text;
  SqlTextBegin(store->database, &text);
  SqlTextAppend(&text, "SELECT c.\"id\", c.\"wordlength\" FROM \"");
  SqlTextAppend(&text, kFlashCardsTable);
  SqlTextAppend(&text, "\" AS c WHERE ");
  SqlTextAppend(&text, s->language == kCardLanguageChinese ? "c.\"lang\" == 4096" : "c.\"lang\" != 4096");
  int rc = 0;
  if (from == 1 || from == 2) {
    ProfileSettingValue v{};
    if (GetProfileSetting(store, from == 1 ? kProCategories : kProChoicescustomcats, &v) == 0) {
      uint32_t count = 0;
      int32_t* ids = ParseIntList(v.text, 1, 0, &count);
      SqlTextAppend(&text, " AND ");
      rc = AppendCategorySelection(&text, store, ids, count);
      if (ids) LocalFree(ids);
      if (v.text) LocalFree(const_cast<WCHAR*>(v.text));
    }
  }
  if (rc != 0) {
    SqlTextEnd(store->database, &text);
    return 1;
  }
  sqlite3_stmt* statement = SqlTextPrepare(store->database, &text);
  if (!statement) return 1;
  return FillLengthPools(statement, s->lengthPools, s->longPool, s->choicePool, s->randomState);
}
